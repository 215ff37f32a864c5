#include "reward/IntervalOfTime.h"

IntervalOfTime::IntervalOfTime() : Status(0), TimeAveraged(false) {}

IntervalOfTime::IntervalOfTime(bool timeAveraged) : Status(0), TimeAveraged(timeAveraged) {}

IntervalOfTime::~IntervalOfTime() = default;

void IntervalOfTime::Accumulate(double t, double last) {
  double overlap = (t < StopTime ? t : StopTime) - (last > StartTime ? last : StartTime);
  RewardValue = 0.0;
  RewardSquared = 0.0;
  Fraction = 1.0;
  // A step outside the window, or touching it in a single point, adds nothing.
  if (!(overlap > 0.0))
    return;
  double r = Reward_Function();
  double length = StopTime - StartTime;
  RewardValue = r;
  Fraction = overlap / length;
  if (!TimeAveraged)
    RewardValue = r * length;
  Status = t < StopTime ? 1 : 2;
}

void IntervalOfTime::CurrentReward() {
  RewardValue = Reward_Function();
}

void IntervalOfTime::Reset() {
  RewardValue = 0.0;
  Status = 0;
}
