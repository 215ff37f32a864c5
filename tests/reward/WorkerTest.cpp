#include <gtest/gtest.h>

#include "reward/InstantOfTime.h"
#include "reward/IntervalOfTime.h"
#include "reward/SteadyState.h"

namespace {

// A worker of the given time type whose reward function returns a fixed r.
template <class Base> class FixedWorker : public Base {
public:
  double r;
  explicit FixedWorker(double value) : r(value) {}
  double Reward_Function() override { return r; }
};

class AveragedInterval : public IntervalOfTime {
public:
  double r;
  explicit AveragedInterval(double value) : IntervalOfTime(true), r(value) {}
  double Reward_Function() override { return r; }
};

template <class W> void SetWindow(W& w, double start, double stop) {
  w.StartTime = start;
  w.StopTime = stop;
}

// Overrides nothing but the pure operations.
class PlainWorker : public PerformanceVariableWorker {
public:
  double Reward_Function() override { return 9.0; }
  void Accumulate(double, double) override {}
};

} // namespace

TEST(PerformanceVariableWorkerTest, BaseCurrentRewardReportsAndKeepsValues) {
  PlainWorker w;
  w.RewardValue = 7.0;
  w.RewardSquared = 3.0;
  testing::internal::CaptureStderr();
  w.CurrentReward();
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "!! Calling PerformanceVariableWorker::CurrentReward()\n");
  EXPECT_EQ(w.RewardValue, 7.0);
  EXPECT_EQ(w.RewardSquared, 3.0);
}

TEST(PerformanceVariableWorkerTest, DefineNameCopiesAndReplaces) {
  PlainWorker w;
  char name[] = "First";
  w.DefineName(name, 3);
  name[0] = 'X';
  EXPECT_STREQ(w.Name, "First");
  EXPECT_EQ(w.WorkerIndex, 3);
  w.DefineName("Second", 4);
  EXPECT_STREQ(w.Name, "Second");
  EXPECT_EQ(w.WorkerIndex, 4);
}

TEST(InstantOfTimeTest, CurrentRewardSetsValueAndSquare) {
  FixedWorker<InstantOfTime> w(-3.0);
  w.CurrentReward();
  EXPECT_EQ(w.RewardValue, -3.0);
  EXPECT_EQ(w.RewardSquared, 9.0);
}

TEST(InstantOfTimeTest, AccumulateCountsInstantAtOrAfterLastAction) {
  FixedWorker<InstantOfTime> w(2.0);
  SetWindow(w, 5.0, 5.0);
  w.Accumulate(10.0, 5.0);
  EXPECT_EQ(w.RewardValue, 2.0);
  EXPECT_EQ(w.RewardSquared, 4.0);
  EXPECT_EQ(w.Fraction, 1.0);
  w.Accumulate(10.0, 3.0);
  EXPECT_EQ(w.RewardValue, 2.0);
}

TEST(InstantOfTimeTest, AccumulateAfterInstantGivesZero) {
  FixedWorker<InstantOfTime> w(2.0);
  SetWindow(w, 5.0, 5.0);
  w.RewardValue = 8.0;
  w.Fraction = 0.5;
  w.Accumulate(10.0, 6.0);
  EXPECT_EQ(w.RewardValue, 0.0);
  EXPECT_EQ(w.RewardSquared, 0.0);
  EXPECT_EQ(w.Fraction, 1.0);
}

TEST(IntervalOfTimeTest, AccumulatedStepCoversShareOfWindow) {
  FixedWorker<IntervalOfTime> w(3.0);
  SetWindow(w, 0.0, 10.0);
  w.Accumulate(5.0, 2.0);
  // Accumulated interval: r times the window length, scaled by the share.
  EXPECT_DOUBLE_EQ(w.RewardValue, 30.0);
  EXPECT_DOUBLE_EQ(w.Fraction, 0.3);
  EXPECT_EQ(w.Status, 1);
  w.Accumulate(12.0, 8.0);
  EXPECT_DOUBLE_EQ(w.Fraction, 0.2);
  EXPECT_EQ(w.Status, 2);
}

TEST(IntervalOfTimeTest, TimeAveragedStepGivesRewardRate) {
  AveragedInterval w(3.0);
  SetWindow(w, 0.0, 10.0);
  w.Accumulate(5.0, 2.0);
  EXPECT_DOUBLE_EQ(w.RewardValue, 3.0);
  EXPECT_DOUBLE_EQ(w.Fraction, 0.3);
  EXPECT_EQ(w.Status, 1);
}

TEST(IntervalOfTimeTest, StepOutsideOrTouchingWindowAddsNothing) {
  FixedWorker<IntervalOfTime> w(3.0);
  SetWindow(w, 5.0, 10.0);
  w.Accumulate(3.0, 1.0);
  EXPECT_EQ(w.RewardValue, 0.0);
  EXPECT_EQ(w.Fraction, 1.0);
  EXPECT_EQ(w.Status, 0);
  // Ends exactly where the window starts: overlap 0.
  w.Accumulate(5.0, 2.0);
  EXPECT_EQ(w.RewardValue, 0.0);
  EXPECT_EQ(w.Fraction, 1.0);
  EXPECT_EQ(w.Status, 0);
  // Wholly after the window.
  w.Accumulate(14.0, 11.0);
  EXPECT_EQ(w.RewardValue, 0.0);
  EXPECT_EQ(w.Status, 0);
}

TEST(IntervalOfTimeTest, CurrentRewardLeavesSquareAndResetClearsStatus) {
  FixedWorker<IntervalOfTime> w(4.0);
  w.RewardSquared = 1.5;
  w.CurrentReward();
  EXPECT_EQ(w.RewardValue, 4.0);
  EXPECT_EQ(w.RewardSquared, 1.5);
  SetWindow(w, 0.0, 10.0);
  w.Accumulate(5.0, 2.0);
  ASSERT_EQ(w.Status, 1);
  w.Reset();
  EXPECT_EQ(w.RewardValue, 0.0);
  EXPECT_EQ(w.Status, 0);
}

TEST(SteadyStateTest, IsTimeAveragedInterval) {
  FixedWorker<SteadyState> w(5.0);
  EXPECT_TRUE(w.TimeAveraged);
  SetWindow(w, 0.0, 4.0);
  w.Accumulate(2.0, 1.0);
  EXPECT_DOUBLE_EQ(w.RewardValue, 5.0);
  EXPECT_DOUBLE_EQ(w.Fraction, 0.25);
  EXPECT_EQ(w.Status, 1);
  w.Accumulate(6.0, 3.0);
  EXPECT_EQ(w.Status, 2);
}

TEST(SteadyStateTest, CurrentRewardSetsValueAndSquare) {
  FixedWorker<SteadyState> w(0.5);
  w.CurrentReward();
  EXPECT_EQ(w.RewardValue, 0.5);
  EXPECT_EQ(w.RewardSquared, 0.25);
}

TEST(SteadyStateTest, ResetMovesWindowByItsLength) {
  FixedWorker<SteadyState> w(1.0);
  SetWindow(w, 0.0, 1.0);
  w.CurrentReward();
  w.Reset();
  EXPECT_EQ(w.StartTime, 1.0);
  EXPECT_EQ(w.StopTime, 2.0);
  EXPECT_EQ(w.RewardValue, 0.0);
  EXPECT_EQ(w.RewardSquared, 0.0);
  w.Reset();
  EXPECT_EQ(w.StartTime, 2.0);
  EXPECT_EQ(w.StopTime, 3.0);
}
