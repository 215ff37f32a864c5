#ifndef MODELS_MDK_MDKREWARDPVNODES_H
#define MODELS_MDK_MDKREWARDPVNODES_H

#include "reward/PerformanceVariableNode.h"
#include "reward/SteadyState.h"

// The performance variables of the M/D/1/K reward model, both steady-state
// over the window (0, 1) and both reading the one "Mdk" model instance:
//   PV0 "QueueLength": the marking of Queue;
//   PV1 "Busy":        1 while the server is busy (Queue > 0), else 0.

class MdkRewardPV0Worker : public SteadyState {
public:
  // The "Mdk" instance read; written by the variable when binding.
  BaseModelClass* Mdk = nullptr;

  MdkRewardPV0Worker();
  double Reward_Function() override;
};

class MdkRewardPV0 : public PerformanceVariableNode {
public:
  BaseModelClass* TheModelPtr = nullptr;

  explicit MdkRewardPV0(int timeIndex);
  void CreateWorkerList() override;
};

class MdkRewardPV1Worker : public SteadyState {
public:
  BaseModelClass* Mdk = nullptr;

  MdkRewardPV1Worker();
  double Reward_Function() override;
};

class MdkRewardPV1 : public PerformanceVariableNode {
public:
  BaseModelClass* TheModelPtr = nullptr;

  explicit MdkRewardPV1(int timeIndex);
  void CreateWorkerList() override;
};

#endif
