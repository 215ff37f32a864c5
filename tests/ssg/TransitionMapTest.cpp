#include <gtest/gtest.h>

#include <map>
#include <random>

#include "ssg/TransitionMap.h"

namespace {

TEST(TransitionMapTest, SumsPerTargetInIncreasingOrderLikeAnOrderedMap) {
  std::mt19937 random(7);
  TransitionMap map;
  for (int round = 0; round < 50; round++) {
    std::map<unsigned int, double> reference;
    int adds = static_cast<int>(random() % 40);
    for (int i = 0; i < adds; i++) {
      unsigned int target = 1 + random() % 15;
      double rate = static_cast<double>(random() % 1000) / 8.0;
      map.add(target, rate);
      reference[target] += rate;
    }
    ASSERT_EQ(map.size(), reference.size());
    auto it = reference.begin();
    for (const auto& [target, rate] : map) {
      EXPECT_EQ(target, it->first);
      EXPECT_EQ(rate, it->second); // same additions in the same order
      ++it;
    }
    map.clear();
    EXPECT_TRUE(map.empty());
  }
}

TEST(TransitionMapTest, IndexingCreatesAZeroEntry) {
  TransitionMap map;
  map.add(5, 1.5);
  map[3] += 2.0;
  map[5] += 1.0;
  EXPECT_EQ(map[9], 0.0);
  std::vector<std::pair<unsigned int, double>> entries(map.begin(), map.end());
  EXPECT_EQ(entries, (std::vector<std::pair<unsigned int, double>>{{3, 2.0}, {5, 2.5}, {9, 0.0}}));
}

} // namespace
