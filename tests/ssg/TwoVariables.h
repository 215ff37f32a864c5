#ifndef TESTS_SSG_TWOVARIABLES_H
#define TESTS_SSG_TWOVARIABLES_H

// A reward model with two variables whose values a test sets directly, for
// the tests of the .var writer.

#include <cstring>

#include "reward/PerformanceVariableNode.h"
#include "tests/ssg/SmallModels.h"

// A variable whose values the test sets directly.
class FixedPV : public PerformanceVariableNode {
public:
  explicit FixedPV(const char* name) {
    Name = new char[std::strlen(name) + 1];
    std::strcpy(Name, name);
  }
  void CreateWorkerList() override {}
};

// A reward model whose variable list is, for the duration of a test, two
// FixedPVs "Up" and "Down".
struct TwoVariables {
  SmallSAN* san = new SmallSAN;
  SmallPVModel* model;
  FixedPV up{"Up"};
  FixedPV down{"Down"};
  PerformanceVariableNode* list[2] = {&up, &down};
  PerformanceVariableNode** savedList;
  int savedCount;

  TwoVariables() {
    san->add("p", 0);
    san->finish();
    model = new SmallPVModel(san);
    savedList = model->PVList;
    savedCount = model->NumPVs;
    model->PVList = list;
    model->NumPVs = 2;
  }
  TwoVariables(const TwoVariables&) = delete;
  TwoVariables& operator=(const TwoVariables&) = delete;
  ~TwoVariables() {
    model->PVList = savedList;
    model->NumPVs = savedCount;
    delete model;
  }
  void set(double upImpulse, double upRate, double downImpulse, double downRate) {
    up.ImpulseValue = upImpulse;
    up.RewardValue = upRate;
    down.ImpulseValue = downImpulse;
    down.RewardValue = downRate;
  }
};

#endif
