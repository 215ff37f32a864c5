#ifndef TESTS_MODEL_TESTACTIVITY_H
#define TESTS_MODEL_TESTACTIVITY_H

#include "distributions/DistributionDefinition.h"
#include "distributions/RandomNumberGenerator.h"
#include "model/Activity.h"

// An activity whose predicate, weight, rank and rate are set by the test.
// Enabled() keeps the enabling flags the way generated activities do.
class TestActivity : public Activity {
public:
  bool enabled = true;
  double weight = 1.0;
  int rank = 1;
  double rate = 1.0;
  int enabledCalls = 0;
  int fireCount = 0;

  explicit TestActivity(const char* name, int groupId = 0, Distribution dist = EXPONENTIAL) {
    ActivityInitialize(name, groupId, dist, DEFAULT_POLICY, 0, 2, false);
  }

  bool Enabled() override {
    enabledCalls++;
    PreviouslyEnabled = CurrentlyEnabled;
    CurrentlyEnabled = enabled;
    return CurrentlyEnabled;
  }
  double Weight() override { return weight; }
  int Rank() override { return rank; }
  double Rate() override { return rate; }
  double SampleDistribution() override { return rate; }
  BaseActionClass* Fire() override {
    fireCount++;
    return this;
  }
  void LinkVariables() override {}
};

// A generator returning a value chosen by the test.
class FixedGenerator : public RandomNumberGenerator {
public:
  double value = 0.0;
  double rnd() override { return value; }
};

// Makes TheDistribution draw from a FixedGenerator while it lives.
class FixedDraw {
public:
  FixedGenerator generator;
  FixedDraw() : saved(TheDistribution->Generator) { TheDistribution->Generator = &generator; }
  ~FixedDraw() { TheDistribution->Generator = saved; }
  FixedDraw(const FixedDraw&) = delete;
  FixedDraw& operator=(const FixedDraw&) = delete;

private:
  RandomNumberGenerator* saved;
};

#endif
