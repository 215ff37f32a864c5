#ifndef MODELS_FMS_FMSSTUDY_H
#define MODELS_FMS_FMSSTUDY_H

#include "driver/BaseStudyClass.h"

// The FMS study: one global variable, N (int, pallets per part type), and ten
// experiments; experiment e sets N = e + 1.
class FmsStudy : public BaseStudyClass {
public:
  // N per experiment, NumExps entries.
  int* NValues;

  FmsStudy();
  ~FmsStudy() override;

  // Replaces the reward model made before, if any, by a new one.
  PVModel* GetPVModel(bool expandTimes) override;
  void SetGVs(int expNum) override;
  void PrintGlobalValues(int expNum) override;
  void* GetGVValue(char* name) override;
  // value points at an int.
  void OverrideGVValue(char* name, void* value) override;

  void SetValues_N();
};

#endif
