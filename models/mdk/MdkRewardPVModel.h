#ifndef MODELS_MDK_MDKREWARDPVMODEL_H
#define MODELS_MDK_MDKREWARDPVMODEL_H

#include "reward/PVModel.h"

// The reward model "MdkRewardPVModel" over a new MdkSAN: the variables
// "QueueLength" (PV0) and "Busy" (PV1).
class MdkRewardPVModel : public PVModel {
public:
  explicit MdkRewardPVModel(bool expandTimes);
  // PV0 or PV1 at the given time point; null for any other number.
  PerformanceVariableNode* createPVNode(int pv, int timeIndex) override;
};

#endif
