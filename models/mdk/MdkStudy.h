#ifndef MODELS_MDK_MDKSTUDY_H
#define MODELS_MDK_MDKSTUDY_H

#include "driver/BaseStudyClass.h"

// The M/D/1/K study: global variables K (int), lambda and delay (double), and
// three experiments:
//   0: K = 5,    lambda = 0.5,  delay = 1.0
//   1: K = 20,   lambda = 0.9,  delay = 1.0
//   2: K = 1000, lambda = 0.95, delay = 1.0
class MdkStudy : public BaseStudyClass {
public:
  // Per experiment, NumExps entries each.
  int* KValues;
  double* lambdaValues;
  double* delayValues;

  MdkStudy();
  ~MdkStudy() override;

  // Replaces the reward model made before, if any, by a new one.
  PVModel* GetPVModel(bool expandTimes) override;
  void SetGVs(int expNum) override;
  void PrintGlobalValues(int expNum) override;
  void* GetGVValue(char* name) override;
  // value points at an int for K, at a double for lambda and delay.
  void OverrideGVValue(char* name, void* value) override;

  void SetValues_K();
  void SetValues_lambda();
  void SetValues_delay();
};

#endif
