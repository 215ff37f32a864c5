// The impulse map beside the transition map: fed the same targets in the
// same order, both hold the same entries in the same order, and the impulse
// map's values are the per-target sums of what was added.

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <vector>

#include "ssg/ImpulseMap.h"
#include "ssg/TransitionMap.h"

namespace {

TEST(ImpulseMapTest, EntriesStayAlignedWithTheTransitionMapAndSumPerTarget) {
  std::mt19937 random(11);
  TransitionMap transitions;
  ImpulseMap impulses;
  for (std::size_t width : {2u, 6u}) {
    impulses.reset(width);
    for (int round = 0; round < 60; round++) {
      std::map<unsigned int, std::vector<double>> reference;
      // Mostly increasing targets (new states), some repeated or smaller.
      const int adds = static_cast<int>(random() % 30);
      unsigned int next = 1;
      for (int i = 0; i < adds; i++) {
        const unsigned int target =
            random() % 3 == 0 ? 1 + static_cast<unsigned int>(random() % next) : next++;
        std::vector<double> values(width);
        for (double& v : values)
          v = static_cast<double>(random() % 1000) / 16.0;
        transitions.add(target, 1.0);
        impulses.add(target, values.data());
        std::vector<double>& sum = reference[target];
        sum.resize(width, 0.0);
        for (std::size_t j = 0; j < width; j++)
          sum[j] += values[j];
      }
      ASSERT_EQ(impulses.size(), transitions.size());
      ASSERT_EQ(impulses.size(), reference.size());
      std::size_t entry = 0;
      auto it = reference.begin();
      for (const auto& [target, rate] : transitions) {
        EXPECT_EQ(impulses.target(entry), target);
        EXPECT_EQ(target, it->first);
        const std::vector<double> got(impulses.values(entry), impulses.values(entry) + width);
        EXPECT_EQ(got, it->second); // the same additions in the same order
        ++entry;
        ++it;
      }
      transitions.clear();
      impulses.clear();
      EXPECT_TRUE(impulses.empty());
    }
  }
}

} // namespace
