#include <gtest/gtest.h>

#include "model/FastSet.h"

namespace {

TEST(FastSetTest, FreezesIntoAscendingArrayWithoutDuplicates) {
  FastSet s;
  EXPECT_TRUE(s.empty());
  EXPECT_TRUE(s.insert(5));
  EXPECT_TRUE(s.insert(1));
  EXPECT_FALSE(s.insert(5));
  EXPECT_TRUE(s.insert(3));
  EXPECT_TRUE(s.find(3));
  EXPECT_FALSE(s.find(4));
  EXPECT_FALSE(s.empty());
  s.NoMoreModifications();
  EXPECT_TRUE(s.is_vec_rep);
  ASSERT_EQ(s.size(), 3);
  EXPECT_EQ(s[0], 1);
  EXPECT_EQ(s[1], 3);
  EXPECT_EQ(s[2], 5);
}

TEST(FastSetTest, EmptySetFreezesToSizeZero) {
  FastSet s;
  s.NoMoreModifications();
  EXPECT_EQ(s.size(), 0);
  EXPECT_EQ(s.vec_rep, nullptr);
}

TEST(FastSetTest, ClearKeepsThePhase) {
  FastSet building;
  building.insert(2);
  building.clear();
  EXPECT_TRUE(building.empty());
  EXPECT_TRUE(building.insert(2));

  FastSet frozen;
  frozen.insert(-4);
  frozen.insert(9);
  frozen.NoMoreModifications();
  frozen.clear();
  EXPECT_TRUE(frozen.is_vec_rep);
  EXPECT_EQ(frozen.size(), 0);
  EXPECT_EQ(frozen.vec_rep, nullptr);
}

TEST(FastSetTest, LargeSetKeepsSortedOrder) {
  FastSet s;
  for (int i = 0; i < 1000; i++)
    s.insert((i * 7919) % 1000 - 500);
  s.NoMoreModifications();
  ASSERT_EQ(s.size(), 1000);
  for (int i = 0; i < 1000; i++)
    EXPECT_EQ(s[i], i - 500);
}

using FastSetDeathTest = ::testing::Test;

TEST_F(FastSetDeathTest, SizeBeforeFreezingAborts) {
  FastSet s;
  EXPECT_DEATH((void)s.size(), "FastSet.*Assertion `is_vec_rep' failed");
}

TEST_F(FastSetDeathTest, IndexBeforeFreezingAborts) {
  FastSet s;
  s.insert(1);
  EXPECT_DEATH((void)s[0], "FastSet.*Assertion `is_vec_rep' failed");
}

TEST_F(FastSetDeathTest, BuildingOperationsAfterFreezingAbort) {
  FastSet s;
  s.NoMoreModifications();
  EXPECT_DEATH(s.insert(1), "FastSet.*Assertion `!is_vec_rep' failed");
  EXPECT_DEATH((void)s.find(1), "FastSet.*Assertion `!is_vec_rep' failed");
  EXPECT_DEATH((void)s.empty(), "FastSet.*Assertion `!is_vec_rep' failed");
  EXPECT_DEATH(s.NoMoreModifications(), "FastSet.*Assertion `!is_vec_rep' failed");
}

} // namespace
