#ifndef REWARD_INSTANTOFTIME_H
#define REWARD_INSTANTOFTIME_H

#include "reward/PerformanceVariableWorker.h"

// A worker whose reward is the reward function's value at an instant
// (StartTime).
class InstantOfTime : public PerformanceVariableWorker {
public:
  InstantOfTime();
  ~InstantOfTime() override;

  // RewardValue = r, Fraction = 1, when the instant lies at or after last;
  // otherwise zeros.
  void Accumulate(double t, double last) override;
  // RewardValue = r, RewardSquared = r * r.
  void CurrentReward() override;
};

#endif
