#ifndef EXAMPLE_SETSTUDYSETSTUDY_H
#define EXAMPLE_SETSTUDYSETSTUDY_H

#include "driver/BaseStudyClass.h"

// The example's study: the global variables lambda (failure rate) and meo
// (repair rate), both double, over six experiments.
class setStudySetStudy : public BaseStudyClass {
public:
  // Per experiment, NumExps entries each.
  double* lambdaValues;
  double* meoValues;

  setStudySetStudy();
  ~setStudySetStudy() override;

  // Replaces the reward model made before, if any, by a new one.
  PVModel* GetPVModel(bool expandTimes) override;
  void SetGVs(int expNum) override;
  void PrintGlobalValues(int expNum) override;
  void* GetGVValue(char* name) override;
  // value points at a double.
  void OverrideGVValue(char* name, void* value) override;

  void SetValues_lambda();
  void SetValues_meo();
};

#endif
