#ifndef REWARD_STEADYSTATE_H
#define REWARD_STEADYSTATE_H

#include "reward/IntervalOfTime.h"

// A time-averaged interval worker whose window moves forward by its own
// length at every Reset: (0, 1) becomes (1, 2), then (2, 3).
class SteadyState : public IntervalOfTime {
public:
  SteadyState();
  ~SteadyState() override;

  void Accumulate(double t, double last) override;
  // RewardValue = r, RewardSquared = r * r.
  void CurrentReward() override;
  void Reset() override;
};

#endif
