#ifndef REWARD_INTERVALOFTIME_H
#define REWARD_INTERVALOFTIME_H

#include "reward/PerformanceVariableWorker.h"

// A worker whose reward is accumulated over the window [StartTime, StopTime],
// or averaged over it when TimeAveraged is set. Each Accumulate step sets
// Fraction to the share of the window it covers; the variable multiplies the
// sum of its workers' RewardValue by it.
class IntervalOfTime : public PerformanceVariableWorker {
public:
  // 0 = nothing accumulated, 1 = window open after the last step, 2 = closed.
  int Status;
  bool TimeAveraged;

  IntervalOfTime();
  explicit IntervalOfTime(bool timeAveraged);
  ~IntervalOfTime() override;

  void Accumulate(double t, double last) override;
  // RewardValue = r; RewardSquared is left alone.
  void CurrentReward() override;
  // RewardValue = 0, Status = 0.
  void Reset() override;
};

#endif
