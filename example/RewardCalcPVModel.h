#ifndef EXAMPLE_REWARDCALCPVMODEL_H
#define EXAMPLE_REWARDCALCPVMODEL_H

#include "reward/PVModel.h"

// The example's reward model: "Reliability" and "Availibility" over one
// AtomicModelSAN, which it creates and owns.
class RewardCalcPVModel : public PVModel {
public:
  // expandTimes: one variable node per time point instead of one per
  // variable.
  explicit RewardCalcPVModel(bool expandTimes);
  ~RewardCalcPVModel() override;

  // Variable 0 or 1 at the given time point; null for any other number.
  PerformanceVariableNode* createPVNode(int pv, int timeIndex) override;
};

#endif
