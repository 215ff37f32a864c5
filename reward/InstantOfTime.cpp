#include "reward/InstantOfTime.h"

InstantOfTime::InstantOfTime() = default;

InstantOfTime::~InstantOfTime() = default;

void InstantOfTime::Accumulate(double /*t*/, double last) {
  RewardValue = 0.0;
  RewardSquared = 0.0;
  Fraction = 1.0;
  // The instant counts for the step that starts at or before it.
  if (StartTime >= last) {
    double r = Reward_Function();
    RewardValue = r;
    RewardSquared = r * r;
  }
}

void InstantOfTime::CurrentReward() {
  double r = Reward_Function();
  RewardValue = r;
  RewardSquared = r * r;
}
