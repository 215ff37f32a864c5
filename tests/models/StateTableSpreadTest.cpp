// The state table's key on the state sets it meets in practice: the kanban
// and FMS markings, as the models' state vectors hold them (one 16-bit value
// per place). The key must tell the states apart, and a table filled with
// them must show probe runs no longer than a table filled at random places.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "ssg/HybridHash.h"
#include "tests/models/ReferenceNets.h"

namespace {

// The state vectors of the chain's states, in number order.
std::vector<std::vector<char>> Vectors(const RefChain& chain) {
  std::vector<std::vector<char>> vectors;
  for (const Marking& m : chain.states) {
    std::vector<char> v(m.size() * sizeof(short));
    for (std::size_t i = 0; i < m.size(); i++) {
      const short value = static_cast<short>(m[i]);
      std::memcpy(v.data() + i * sizeof value, &value, sizeof value);
    }
    vectors.push_back(v);
  }
  return vectors;
}

// The longest run of occupied entries when `count` entries are placed by
// linear probing at uniformly random first entries of a table of `size`.
uint64_t LongestRandomRun(uint64_t count, uint64_t size, uint64_t seed) {
  std::vector<bool> used(size, false);
  std::mt19937_64 random(seed);
  for (uint64_t k = 0; k < count; k++) {
    uint64_t h = random() % size;
    while (used[h])
      h = (h + 1) % size;
    used[h] = true;
  }
  uint64_t longest = 0, run = 0;
  for (int pass = 0; pass < 2; pass++) // twice round, for a run that wraps
    for (uint64_t h = 0; h < size; h++) {
      run = used[h] ? run + 1 : 0;
      longest = std::max(longest, std::min(run, size));
    }
  return longest;
}

void ExpectSpread(const RefChain& chain, const std::string& what) {
  SCOPED_TRACE(what);
  const std::vector<std::vector<char>> vectors = Vectors(chain);
  const std::size_t size = vectors.front().size();

  // Distinct states, distinct keys: in 2^62 keys a collision among these
  // few ten thousand would be a one-in-a-billion accident.
  HybridHash table(nullptr, size, 131071, 100000, 5, 128, 0.5);
  const long wide = 4611686018427387903; // 2^62 - 1
  std::set<uint64_t> keys;
  for (const std::vector<char>& v : vectors)
    keys.insert(table.getHashKey(const_cast<char*>(v.data()), wide));
  EXPECT_EQ(keys.size(), vectors.size());

  // Every state found under its number, in a table grown at its load factor.
  for (uint32_t n = 1; n <= vectors.size(); n++)
    table.Insert(const_cast<char*>(vectors[n - 1].data()), n);
  for (uint32_t n = 1; n <= vectors.size(); n++)
    ASSERT_EQ(table.Lookup(const_cast<char*>(vectors[n - 1].data())), n);

  // Probe runs like those of random placement: at most the worst of three
  // random fillings and a little more (a folding key on these sets gives
  // runs of thousands).
  const HybridHash::ProbeRuns runs = table.probeRuns();
  EXPECT_EQ(runs.occupied, vectors.size());
  uint64_t random = 0;
  for (uint64_t seed = 1; seed <= 3; seed++)
    random = std::max(random, LongestRandomRun(vectors.size(), table.HashTableSize, seed));
  EXPECT_LE(runs.longest, random + random / 2 + 4)
      << "table " << table.HashTableSize << ", random placement " << random;
}

TEST(StateTableSpreadTest, KanbanStatesAreSpreadLikeRandomOnes) {
  ExpectSpread(KanbanReference(3).chain(), "kanban N = 3"); // 58400 states
}

TEST(StateTableSpreadTest, FmsStatesAreSpreadLikeRandomOnes) {
  ExpectSpread(FmsReference(4).chain(), "FMS N = 4"); // 35910 states
}

} // namespace
