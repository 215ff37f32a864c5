#ifndef MODELS_FMS_FMSREWARDPVNODES_H
#define MODELS_FMS_FMSREWARDPVNODES_H

#include "reward/PerformanceVariableNode.h"
#include "reward/SteadyState.h"

// The performance variable of the FMS reward model: PV0 "Productivity",
// steady-state over the window (0, 1), reading the one "Fms" instance:
// 400 rate(tP1) + 600 rate(tP2) + 100 rate(tP3) + 1100 rate(tP12), each
// rate in the current marking (0 while the activity is disabled).

class FmsRewardPV0Worker : public SteadyState {
public:
  // The "Fms" instance read; written by the variable when binding.
  BaseModelClass* Fms = nullptr;

  FmsRewardPV0Worker();
  double Reward_Function() override;
};

class FmsRewardPV0 : public PerformanceVariableNode {
public:
  BaseModelClass* TheModelPtr = nullptr;

  explicit FmsRewardPV0(int timeIndex);
  void CreateWorkerList() override;
};

#endif
