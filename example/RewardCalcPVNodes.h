#ifndef EXAMPLE_REWARDCALCPVNODES_H
#define EXAMPLE_REWARDCALCPVNODES_H

#include "example/AtomicModelSAN.h"
#include "reward/InstantOfTime.h"
#include "reward/PerformanceVariableNode.h"
#include "reward/SteadyState.h"

// The performance variables of the reward model RewardCalcPVModel over
// "AtomicModel":
//   0 "Reliability": 1 - FirstTimeFailure at 24, 360, 1080, 2520, 5400 and
//     11160 (instant of time): the system has not failed yet.
//   1 "Availibility": 1 - FailState in steady state: the system is up.
// Each variable reads one model, so it has one worker per instance of it.

// Worker of "Reliability". AtomicModel is the instance it reads (an
// AtomicModelSAN), written through References[0] when the variable binds.
class RewardCalcPV0Worker : public InstantOfTime {
public:
  BaseModelClass* AtomicModel;

  RewardCalcPV0Worker();
  ~RewardCalcPV0Worker() override;
  double Reward_Function() override;
};

class RewardCalcPV0 : public PerformanceVariableNode {
public:
  BaseModelClass* TheModelPtr;

  explicit RewardCalcPV0(int timeIndex = 0);
  ~RewardCalcPV0() override;
  void CreateWorkerList() override;
};

// Worker of "Availibility".
class RewardCalcPV1Worker : public SteadyState {
public:
  BaseModelClass* AtomicModel;

  RewardCalcPV1Worker();
  ~RewardCalcPV1Worker() override;
  double Reward_Function() override;
};

class RewardCalcPV1 : public PerformanceVariableNode {
public:
  BaseModelClass* TheModelPtr;

  explicit RewardCalcPV1(int timeIndex = 0);
  ~RewardCalcPV1() override;
  void CreateWorkerList() override;
};

#endif
