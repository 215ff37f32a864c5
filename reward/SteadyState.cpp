#include "reward/SteadyState.h"

SteadyState::SteadyState() : IntervalOfTime(true) {}

SteadyState::~SteadyState() = default;

void SteadyState::Accumulate(double t, double last) {
  double overlap = (t < StopTime ? t : StopTime) - (last > StartTime ? last : StartTime);
  RewardValue = 0.0;
  RewardSquared = 0.0;
  Fraction = 1.0;
  if (!(overlap > 0.0))
    return;
  Fraction = overlap / (StopTime - StartTime);
  RewardValue = Reward_Function();
  Status = t < StopTime ? 1 : 2;
}

void SteadyState::CurrentReward() {
  double r = Reward_Function();
  RewardValue = r;
  RewardSquared = r * r;
}

void SteadyState::Reset() {
  IntervalOfTime::Reset();
  RewardSquared = 0.0;
  double length = StopTime - StartTime;
  StartTime = StopTime;
  StopTime += length;
}
