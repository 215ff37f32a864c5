// Closed classes of hand-made graphs, and of graphs deep enough that a
// recursive search would overflow the stack.

#include <gtest/gtest.h>

#include <vector>

#include "solver/numeric/BottomComponents.h"
#include "solver/Progress.h"
#include "solver/numeric/RateMatrix.h"

namespace {

RateMatrix Graph(std::uint32_t n,
                 const std::vector<std::pair<std::uint32_t, std::uint32_t>>& edges) {
  std::vector<std::vector<std::uint32_t>> rows(n);
  for (auto [from, to] : edges)
    rows[from].push_back(to);
  RateMatrix m;
  m.begin(n, edges.size());
  for (std::uint32_t i = 0; i < n; i++) {
    m.startRow();
    for (std::uint32_t to : rows[i])
      m.add(to, 1.0);
  }
  m.finish();
  return m;
}

std::vector<std::uint32_t> ClassStates(const BottomComponents& b, std::uint32_t c) {
  std::vector<std::uint32_t> states;
  for (std::size_t k = 0; k < b.size(c); k++)
    states.push_back(b.states(c)[k]);
  return states;
}

TEST(BottomComponentsTest, ClassesTransientStatesAndTheirOrder) {
  // 0 -> 1 -> 4 -> 1 (a transient cycle), 1 -> 6, 0 -> 2, {2,3} closed,
  // 4 -> 5 absorbing, {6,7} closed, 8 -> 0 (8 is transient, unreachable).
  RateMatrix m = Graph(
      9, {{0, 1}, {1, 4}, {4, 1}, {1, 6}, {0, 2}, {2, 3}, {3, 2}, {4, 5}, {6, 7}, {7, 6}, {8, 0}});
  Progress quiet(false);
  BottomComponents b;
  b.find(m, quiet);
  ASSERT_EQ(b.classes(), 3u);
  EXPECT_EQ(b.components(), 6u); // {0} {1,4} {2,3} {5} {6,7} {8}
  EXPECT_EQ(ClassStates(b, 0), (std::vector<std::uint32_t>{2, 3}));
  EXPECT_EQ(ClassStates(b, 1), (std::vector<std::uint32_t>{5}));
  EXPECT_EQ(ClassStates(b, 2), (std::vector<std::uint32_t>{6, 7}));
  ASSERT_EQ(b.transientCount(), 4u);
  EXPECT_EQ(std::vector<std::uint32_t>(b.transientStates(), b.transientStates() + 4),
            (std::vector<std::uint32_t>{0, 1, 4, 8}));
  EXPECT_EQ(b.classOf(3), 0u);
  EXPECT_EQ(b.classOf(4), BottomComponents::Transient);
}

TEST(BottomComponentsTest, LongPathsNeedNoRecursion) {
  const std::uint32_t n = 300000;
  Progress quiet(false);
  // A path into an absorbing state: every state but the last is transient.
  std::vector<std::pair<std::uint32_t, std::uint32_t>> edges;
  for (std::uint32_t i = 0; i + 1 < n; i++)
    edges.emplace_back(i, i + 1);
  BottomComponents path;
  path.find(Graph(n, edges), quiet);
  ASSERT_EQ(path.classes(), 1u);
  EXPECT_EQ(ClassStates(path, 0), (std::vector<std::uint32_t>{n - 1}));
  EXPECT_EQ(path.transientCount(), n - 1);

  // Closing the path into a cycle makes one class of every state, listed as
  // the range 0 .. n-1.
  edges.emplace_back(n - 1, 0);
  BottomComponents cycle;
  cycle.find(Graph(n, edges), quiet);
  ASSERT_EQ(cycle.classes(), 1u);
  EXPECT_EQ(cycle.size(0), n);
  EXPECT_EQ(cycle.states(0), nullptr);
  EXPECT_EQ(cycle.transientCount(), 0u);
  EXPECT_EQ(cycle.classOf(n / 2), 0u);
}

} // namespace
