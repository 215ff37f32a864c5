#ifndef MODELS_FMS_FMSREWARDPVMODEL_H
#define MODELS_FMS_FMSREWARDPVMODEL_H

#include "reward/PVModel.h"

// The reward model "FmsRewardPVModel" over a new FmsSAN: the variable
// "Productivity" (PV0).
class FmsRewardPVModel : public PVModel {
public:
  explicit FmsRewardPVModel(bool expandTimes);
  // PV0 at the given time point; null for any other number.
  PerformanceVariableNode* createPVNode(int pv, int timeIndex) override;
};

#endif
