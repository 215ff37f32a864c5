#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "distributions/DistributionDefinition.h"
#include "distributions/LaggedFibonacci.h"
#include "distributions/Rnd-KnuthLaggedFibonacci.h"
#include "distributions/Tausworthe.h"
#include "distributions/UserDistributions.h"

namespace {

std::string printed(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.20f", value);
  return text;
}

// The next `count` values of Knuth's stream as LaggedFibonacci would buffer
// them: seed, skip one buffer fill, then fill after fill.
std::vector<double> knuthStream(long seed, int count) {
  ranf_start(seed);
  double buffer[100];
  ranf_array(buffer, 100);
  std::vector<double> values;
  while (static_cast<int>(values.size()) < count) {
    ranf_array(buffer, 100);
    values.insert(values.end(), buffer, buffer + 100);
  }
  values.resize(count);
  return values;
}

} // namespace

TEST(KnuthLaggedFibonacciTest, PublishedCheckValueWithShortArrays) {
  std::vector<double> a(1009);
  ranf_start(310952);
  for (int m = 0; m < 2009; m++)
    ranf_array(a.data(), 1009);
  EXPECT_EQ(printed(ran_u[0]), "0.36410514377569680455");
}

TEST(KnuthLaggedFibonacciTest, PublishedCheckValueWithLongArrays) {
  std::vector<double> a(2009);
  ranf_start(310952);
  for (int m = 0; m < 1009; m++)
    ranf_array(a.data(), 2009);
  EXPECT_EQ(printed(ran_u[0]), "0.36410514377569680455");
}

TEST(TauswortheTest, SeedOneGivesPublishedFirstValue) {
  Tausworthe t;
  t.srnd(1);
  // x = (1 << 13) ^ 1 = 8193; 8193 >> 18 is 0.
  EXPECT_EQ(t.rnd(), 8193.0 / 2147483647.0);
}

TEST(LaggedFibonacciTest, HandsOutBufferedValuesThenRefills) {
  const std::vector<double> expected = knuthStream(4711, 250);
  LaggedFibonacci g;
  g.srnd(4711);
  for (int i = 0; i < 250; i++)
    ASSERT_EQ(g.rnd(), expected[i]) << "draw " << i;
}

TEST(LaggedFibonacciTest, TwoInstancesInterleaveOneStream) {
  const std::vector<double> expected = knuthStream(99, 330);
  LaggedFibonacci a, b;
  a.srnd(99);
  for (int i = 0; i < 330; i += 2) {
    ASSERT_EQ(a.rnd(), expected[i]) << "draw " << i;
    ASSERT_EQ(b.rnd(), expected[i + 1]) << "draw " << i + 1;
  }
}

TEST(LaggedFibonacciTest, ReseedingRestartsTheStreamMidBuffer) {
  LaggedFibonacci g;
  g.srnd(31);
  std::vector<double> first;
  first.reserve(137);
  for (int i = 0; i < 137; i++)
    first.push_back(g.rnd());
  g.srnd(31);
  for (int i = 0; i < 137; i++)
    ASSERT_EQ(g.rnd(), first[i]) << "draw " << i;
}

TEST(UserDistributionsTest, KindSelectsGenerator) {
  UserDistributions lagged(0, 5);
  UserDistributions taus(1, 5);
  UserDistributions other(7, 5);
  UserDistributions unseeded;
  EXPECT_NE(dynamic_cast<LaggedFibonacci*>(lagged.Generator), nullptr);
  EXPECT_NE(dynamic_cast<Tausworthe*>(taus.Generator), nullptr);
  EXPECT_NE(dynamic_cast<LaggedFibonacci*>(other.Generator), nullptr);
  EXPECT_NE(dynamic_cast<LaggedFibonacci*>(unseeded.Generator), nullptr);
}

TEST(UserDistributionsTest, ConstructorSeedsTheNewGenerator) {
  UserDistributions taus(1, 1);
  EXPECT_EQ(taus.Generator->rnd(), 8193.0 / 2147483647.0);

  const std::vector<double> expected = knuthStream(2024, 3);
  UserDistributions lagged(7, 2024);
  for (double v : expected)
    EXPECT_EQ(lagged.Generator->rnd(), v);
}

TEST(UserDistributionsTest, ProgramGeneratorIsSeededLaggedFibonacci) {
  EXPECT_EQ(TheDistribution, static_cast<Distributions*>(&TheGenerator));
  EXPECT_NE(dynamic_cast<LaggedFibonacci*>(TheDistribution->Generator), nullptr);
}
