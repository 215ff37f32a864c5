#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "model/BaseGroupClass.h"
#include "model/PostselectGroup.h"
#include "model/PreselectGroup.h"
#include "tests/model/TestActivity.h"

namespace {

// Three members of ranks 1, 2, 2 and weights 1, 3, 1, all enabled.
class RankedGroupTest : public ::testing::Test {
protected:
  TestActivity low{"low"}, heavy{"heavy"}, light{"light"};
  BaseGroupClass group;

  void SetUp() override {
    low.rank = 1;
    low.weight = 1.0;
    heavy.rank = 2;
    heavy.weight = 3.0;
    light.rank = 2;
    light.weight = 1.0;
    group.appendGroup(&low);
    group.appendGroup(&heavy);
    group.appendGroup(&light);
  }
};

TEST_F(RankedGroupTest, WeightTableHoldsOnlyTopRankMembers) {
  EXPECT_DOUBLE_EQ(group.CalculateWeightDistribution(), 4.0);
  EXPECT_EQ(group.CurrentRank, 2);
  ASSERT_EQ(group.TableSize, 2);
  EXPECT_DOUBLE_EQ(group.WeightTable[0].CumulativeWeight, 3.0);
  EXPECT_EQ(group.WeightTable[0].Member, &heavy);
  EXPECT_DOUBLE_EQ(group.WeightTable[1].CumulativeWeight, 4.0);
  EXPECT_EQ(group.WeightTable[1].Member, &light);
  // The member tabled before the higher rank appeared stays marked enabled.
  EXPECT_FALSE(low.Disabled);
  EXPECT_FALSE(heavy.Disabled);
  EXPECT_FALSE(light.Disabled);
}

TEST_F(RankedGroupTest, ProbabilityIsWeightShareAmongTopRank) {
  EXPECT_DOUBLE_EQ(group.Probability(&heavy), 0.75);
  EXPECT_DOUBLE_EQ(group.Probability(&light), 0.25);
  EXPECT_DOUBLE_EQ(group.Probability(&low), 0.0);
  TestActivity stranger{"stranger"};
  EXPECT_DOUBLE_EQ(group.Probability(&stranger), 0.0);
}

TEST_F(RankedGroupTest, LowerRankAfterTopRankIsDisabled) {
  TestActivity late{"late"};
  late.rank = 1;
  TestActivity off{"off"};
  off.enabled = false;
  off.rank = 5;
  group.appendGroup(&late);
  group.appendGroup(&off);
  EXPECT_DOUBLE_EQ(group.CalculateWeightDistribution(), 4.0);
  EXPECT_TRUE(late.Disabled);
  EXPECT_TRUE(off.Disabled);
  EXPECT_EQ(group.CurrentRank, 2);
}

TEST_F(RankedGroupTest, SelectionPicksFirstEntryAboveTheDraw) {
  FixedDraw draw;
  // x = 4u: 0 -> heavy; exactly 3 (u = 0.75) -> the next entry, light.
  draw.generator.value = 0.0;
  EXPECT_TRUE(group.SelectAction());
  EXPECT_EQ(group.SelectedAction, &heavy);
  draw.generator.value = 0.74;
  group.SelectAction();
  EXPECT_EQ(group.SelectedAction, &heavy);
  draw.generator.value = 0.75;
  group.SelectAction();
  EXPECT_EQ(group.SelectedAction, &light);
  draw.generator.value = 0.999;
  group.SelectAction();
  EXPECT_EQ(group.SelectedAction, &light);
  // The group now forwards to its selection.
  light.rate = 7.5;
  EXPECT_DOUBLE_EQ(group.Rate(), 7.5);
  EXPECT_EQ(group.Rank(), 2);
  EXPECT_DOUBLE_EQ(group.Weight(), 1.0);
}

TEST_F(RankedGroupTest, FireRunsSelectionAndClearsIt) {
  FixedDraw draw;
  group.SelectAction();
  EXPECT_EQ(group.Fire(), &heavy);
  EXPECT_EQ(heavy.fireCount, 1);
  EXPECT_EQ(group.SelectedAction, nullptr);
  EXPECT_EQ(group.Fire(), nullptr);
  EXPECT_EQ(heavy.fireCount, 1);
}

TEST(GroupTest, BinarySearchTakesFirstCumulativeWeightAboveDraw) {
  TestActivity a{"a"}, b{"b"}, c{"c"};
  c.weight = 2.0; // table (1, a), (2, b), (4, c)
  BaseGroupClass group;
  group.appendGroup(&a);
  group.appendGroup(&b);
  group.appendGroup(&c);
  FixedDraw draw;
  const std::pair<double, TestActivity*> cases[] = {{0.0, &a},  {0.24, &a}, {0.25, &b},
                                                    {0.49, &b}, {0.5, &c},  {0.99, &c}};
  for (const auto& [u, expected] : cases) {
    draw.generator.value = u;
    ASSERT_TRUE(group.SelectAction());
    EXPECT_EQ(group.SelectedAction, expected) << "u = " << u;
  }
}

TEST(GroupTest, NoEnabledMember) {
  TestActivity a{"a"}, b{"b"};
  a.enabled = false;
  b.enabled = false;
  a.Disabled = false;
  b.Disabled = false;
  BaseGroupClass group;
  group.appendGroup(&a);
  group.appendGroup(&b);
  EXPECT_FALSE(group.Enabled());
  EXPECT_DOUBLE_EQ(group.CalculateWeightDistribution(), -1.0);
  EXPECT_TRUE(a.Disabled);
  EXPECT_TRUE(b.Disabled);
  group.SelectedAction = &a;
  FixedDraw draw;
  EXPECT_FALSE(group.SelectAction());
  EXPECT_EQ(group.SelectedAction, &a);

  BaseGroupClass empty;
  EXPECT_FALSE(empty.Enabled());
  EXPECT_FALSE(empty.SelectAction());
}

TEST(GroupTest, EnabledAndEnablingChangeAskEveryMember) {
  TestActivity a{"a"}, b{"b"}, c{"c"};
  b.enabled = false;
  BaseGroupClass group;
  group.appendGroup(&a);
  group.appendGroup(&b);
  group.appendGroup(&c);
  EXPECT_TRUE(group.Enabled());
  EXPECT_EQ(a.enabledCalls, 1);
  EXPECT_EQ(b.enabledCalls, 1);
  EXPECT_EQ(c.enabledCalls, 1);
  // a and c became enabled at the first evaluation; nothing changed since.
  EXPECT_FALSE(group.EnablingChange());
  c.enabled = false;
  EXPECT_TRUE(group.EnablingChange());
  EXPECT_EQ(a.enabledCalls, 3);
  EXPECT_EQ(c.enabledCalls, 3);
}

TEST(GroupTest, ZeroTotalWeightReportsAndGivesNaN) {
  TestActivity a{"a"};
  a.weight = 0.0;
  BaseGroupClass group;
  group.appendGroup(&a);
  testing::internal::CaptureStdout();
  double p = group.Probability(&a);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "BaseGroupClass::Probability() TotalWeight is zero.\n");
  EXPECT_TRUE(std::isnan(p));
}

TEST(GroupTest, NestedGroupSelectsAndWeighsThroughItsMember) {
  TestActivity a{"a"}, b{"b"}, c{"c"};
  c.weight = 2.0;
  PostselectGroup inner; // weight 1.0, rank 1
  inner.appendGroup(&a);
  inner.appendGroup(&b);
  BaseGroupClass outer;
  outer.appendGroup(&inner);
  outer.appendGroup(&c);
  // inner holds a and b at weight 1 of 3, then splits evenly.
  EXPECT_DOUBLE_EQ(outer.Probability(&a), 1.0 / 3.0 * 0.5);
  EXPECT_DOUBLE_EQ(outer.Probability(&c), 2.0 / 3.0);
  EXPECT_TRUE(outer.IsAMember(&inner));
  EXPECT_FALSE(outer.IsAMember(&a));

  FixedDraw draw;
  draw.generator.value = 0.2; // outer: x = 0.6 -> inner; inner: x = 0.4 -> a
  ASSERT_TRUE(outer.SelectAction());
  EXPECT_EQ(outer.SelectedAction, &a);
  draw.generator.value = 0.9; // outer: x = 2.7 -> c
  outer.SelectAction();
  EXPECT_EQ(outer.SelectedAction, &c);
}

TEST(GroupTest, AppendGrowsByOneAndAppendMembersToExactSize) {
  TestActivity a{"a"}, b{"b"}, c{"c"}, d{"d"};
  BaseGroupClass group("g", 0, EXPONENTIAL, DEFAULT_POLICY, 0, 2, false, 2);
  EXPECT_EQ(group.Capacity, 2);
  group.appendGroup(&a);
  group.appendGroup(&b);
  group.appendGroup(&c);
  EXPECT_EQ(group.Capacity, 3);
  ASSERT_EQ(group.NumMembers, 3);
  EXPECT_EQ(group.Members[0], &a);
  EXPECT_EQ(group.Members[1], &b);
  EXPECT_EQ(group.Members[2], &c);

  BaseGroupClass other;
  other.appendGroup(&d);
  other.appendGroup(&a);
  group.appendMembers(&other);
  EXPECT_EQ(group.Capacity, 5);
  ASSERT_EQ(group.NumMembers, 5);
  EXPECT_EQ(group.Members[3], &d);
  EXPECT_EQ(group.Members[4], &a);
  // The weight table follows the capacity.
  EXPECT_DOUBLE_EQ(group.CalculateWeightDistribution(), 5.0);
  EXPECT_EQ(group.TableSize, 5);
}

TEST(GroupTest, MembershipEditing) {
  TestActivity a{"a"}, b{"b"}, c{"c"};
  BaseGroupClass group;
  group.appendGroup(&a);
  group.appendGroup(&b);
  group.appendGroup(&a);
  group.SelectedAction = &a;
  group.replaceMember(&a, &c);
  EXPECT_EQ(group.Members[0], &c);
  EXPECT_EQ(group.Members[1], &b);
  EXPECT_EQ(group.Members[2], &c);
  EXPECT_EQ(group.SelectedAction, &c);

  group.setMember(&a, 1);
  EXPECT_EQ(group.Members[1], &a);
  testing::internal::CaptureStderr();
  group.setMember(&b, 3);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Array out of bounds error at Array out of bounds (BaseGroupClass::setMember()\n");
  EXPECT_EQ(group.NumMembers, 3);
}

TEST(GroupTest, PrintGroupLabelsNestedMembers) {
  TestActivity a{"a"}, b{"b"}, c{"c"};
  BaseGroupClass inner("inner", 0, EXPONENTIAL, DEFAULT_POLICY, 0, 2, false);
  inner.appendGroup(&a);
  inner.appendGroup(&b);
  BaseGroupClass outer("outer", 0, EXPONENTIAL, DEFAULT_POLICY, 0, 2, false);
  outer.appendGroup(&inner);
  outer.appendGroup(&c);
  testing::internal::CaptureStdout();
  outer.printGroup();
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "** Members of Group outer\n[0] inner\n  [0.0] a\n  [0.1] b\n[1] c\n");

  outer.SelectedAction = &c;
  testing::internal::CaptureStdout();
  outer.PrintInfo();
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "************ Group: outer ****************\nContains the following actions:\n"
            "  inner\n  c\nSelected Action = c\n");
}

TEST(PreselectGroupTest, KeepsChoiceUntilFiredThenSelectsAgain) {
  TestActivity a{"a"}, b{"b"};
  PreselectGroup group;
  group.appendGroup(&a);
  group.appendGroup(&b);
  FixedDraw draw;
  draw.generator.value = 0.0;
  EXPECT_TRUE(group.NeedsSelection);
  EXPECT_EQ(group.Rank(), 1);
  EXPECT_FALSE(group.NeedsSelection);
  EXPECT_EQ(group.SelectedAction, &a);

  // No new selection while one is held.
  draw.generator.value = 0.9;
  EXPECT_TRUE(group.Enabled());
  EXPECT_EQ(group.SelectedAction, &a);

  EXPECT_EQ(group.Fire(), &a);
  EXPECT_EQ(a.fireCount, 1);
  EXPECT_TRUE(group.NeedsSelection);
  EXPECT_EQ(group.SelectedAction, &a);

  b.rate = 3.0;
  EXPECT_DOUBLE_EQ(group.SampleDistribution(), 3.0);
  EXPECT_EQ(group.SelectedAction, &b);
  EXPECT_FALSE(group.NeedsSelection);
}

TEST(PreselectGroupTest, SelectionStaysDueWhileNothingIsEnabled) {
  TestActivity a{"a"};
  a.enabled = false;
  PreselectGroup group(4);
  EXPECT_EQ(group.Capacity, 4);
  EXPECT_EQ(group.NumMembers, 0);
  group.appendGroup(&a);
  FixedDraw draw;
  EXPECT_FALSE(group.Enabled());
  EXPECT_TRUE(group.NeedsSelection);
  a.enabled = true;
  EXPECT_TRUE(group.Enabled());
  EXPECT_FALSE(group.NeedsSelection);
  EXPECT_EQ(group.SelectedAction, &a);
}

TEST(PostselectGroupTest, ChoosesAtFiringAndForgets) {
  TestActivity a{"a"}, b{"b"};
  a.rank = 4;
  a.weight = 9.0;
  PostselectGroup group(2);
  EXPECT_EQ(group.NumMembers, 2);
  group.setMember(&a, 0);
  group.setMember(&b, 1);
  EXPECT_DOUBLE_EQ(group.Weight(), 1.0);
  EXPECT_EQ(group.Rank(), 1);
  a.rate = 2.5;
  EXPECT_DOUBLE_EQ(group.SampleDistribution(), 2.5);

  FixedDraw draw;
  EXPECT_EQ(group.SelectedAction, nullptr);
  EXPECT_EQ(group.Fire(), &a);
  EXPECT_EQ(a.fireCount, 1);
  EXPECT_EQ(group.SelectedAction, nullptr);
}

TEST(ActivityTest, IsItsOwnGroup) {
  TestActivity a{"a", 3, INSTANTANEOUS};
  TestActivity other{"other"};
  EXPECT_EQ(a.SelectedAction, &a);
  EXPECT_TRUE(a.Disabled);
  EXPECT_FALSE(a.Reactivation);
  EXPECT_STREQ(a.ActionName, "a");
  EXPECT_EQ(a.GroupID, 3);
  EXPECT_EQ(a.DistributionType, INSTANTANEOUS);
  EXPECT_DOUBLE_EQ(a.Probability(&a), 1.0);
  EXPECT_DOUBLE_EQ(a.Probability(&other), 0.0);
  a.setGroupId(6);
  EXPECT_EQ(a.GroupID, 6);
  a.enabled = false;
  EXPECT_FALSE(a.SelectAction());
  a.enabled = true;
  EXPECT_TRUE(a.SelectAction());
  EXPECT_EQ(a.SelectedAction, &a);
}

TEST(ActivityTest, EnablingChangeComparesSuccessiveEvaluations) {
  TestActivity a{"a"};
  a.enabled = false;
  EXPECT_FALSE(a.EnablingChange()); // false -> false
  a.enabled = true;
  EXPECT_TRUE(a.EnablingChange());  // false -> true
  EXPECT_FALSE(a.EnablingChange()); // true -> true
  a.enabled = false;
  EXPECT_TRUE(a.EnablingChange()); // true -> false
  EXPECT_EQ(a.enabledCalls, 4);
}

} // namespace
