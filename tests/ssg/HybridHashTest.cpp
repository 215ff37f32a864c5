#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <random>
#include <vector>

#include "ssg/HybridHash.h"

namespace {

constexpr uint32_t NotFound = 0xFFFFFFFFu;

// An 8-byte vector that encodes n.
std::vector<char> Vector(uint32_t n, size_t size = 8) {
  std::vector<char> v(size, 0);
  std::memcpy(v.data(), &n, std::min(size, sizeof n));
  return v;
}

TEST(HybridHashTest, LookupOnEmptyTableFindsNothing) {
  HybridHash table(nullptr, 8, 131071, 1000, 5, 128, 0.5);
  auto v = Vector(7);
  EXPECT_EQ(table.Lookup(v.data()), NotFound);
  EXPECT_EQ(table.RehashCount, 0u);
  EXPECT_EQ(table.LastArray, 0u);
}

TEST(HybridHashTest, KeyFoldsFiveByteChunks) {
  // Chunk words 1048578 and 98304 (then two zero chunks); two non-zero words
  // among the first three give the multiplier 16.
  HybridHash table(nullptr, 18, 131071, 1000, 5, 128, 0.5);
  std::vector<char> v(18, 0);
  v[0] = 1;
  v[4] = 2;
  v[6] = 3;
  EXPECT_EQ(table.getHashKey(v.data(), 4325341), ((1048578u * 16u) ^ 98304u) % 4325341u);
  EXPECT_EQ(table.getHashKey(v.data(), 4325341), 3899529u);
  EXPECT_EQ(second_shift, 16);
}

TEST(HybridHashTest, KeyTakesBytesAsSignedChars) {
  // A last chunk holding the single byte 255 is the word 0xFFFFFFFF.
  HybridHash table(nullptr, 6, 131071, 1000, 5, 128, 0.5);
  std::vector<char> v(6, 0);
  v[5] = static_cast<char>(255);
  EXPECT_EQ(table.getHashKey(v.data(), 4325341), 0xFFFFFFFFu % 4325341u);
}

TEST(HybridHashTest, MultiplierFollowsTheNumberOfNonZeroChunks) {
  // 30 bytes: six chunks, five before the last. With c non-zero leading
  // chunks the multiplier is 16 (c <= 2), 8 (3, 4), 4 (5).
  HybridHash table(nullptr, 30, 131071, 1000, 5, 128, 0.5);
  const int expected[] = {16, 16, 16, 8, 8, 4};
  for (int c = 0; c <= 5; c++) {
    std::vector<char> v(30, 0);
    for (int j = 0; j < c; j++)
      v[j * 5] = 1;
    table.getHashKey(v.data(), 131071);
    EXPECT_EQ(second_shift, expected[c]) << c << " non-zero chunks";
  }
}

// The key written out with plain divisions, for comparison with the table's
// division-free reduction.
uint64_t FoldedKey(const std::vector<char>& v, uint32_t m) {
  std::vector<uint32_t> words;
  for (size_t start = 0; start < v.size(); start += 5) {
    uint32_t w = 0;
    for (size_t i = start; i < std::min(v.size(), start + 5); i++)
      w = (w << 5) ^ static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(v[i])));
    words.push_back(w);
  }
  uint32_t nonZero = 0;
  for (size_t j = 0; j + 1 < words.size(); j++)
    nonZero += words[j] != 0;
  uint32_t k = nonZero > 16 ? 1 : nonZero > 8 ? 2 : nonZero > 4 ? 4 : nonZero > 2 ? 8 : 16;
  uint32_t key = 0;
  for (uint32_t w : words)
    if (w != 0)
      key = (key * k) ^ (w % m);
  return key % m;
}

TEST(HybridHashTest, KeyMatchesThePlainFoldForEveryTableSize) {
  // Every size of the growth table (the largest ones taken as 32-bit values,
  // as the key does), on random vectors with small markings, negative bytes
  // and all-ones words.
  const uint64_t sizes[] = {
      131071,     393209,     786419,         1179637,        1966049,        2752481,
      4325341,    6684607,    9437101,        15335303,       21000169,       31000303,
      51000353,   71000383,   91000387,       120000301,      160000289,      200000243,
      3900000007, 6000000001, 10000000019ull, 20000000089ull, 50000000021ull, 100000000003ull};
  std::mt19937 random(11);
  for (size_t size : {3, 18, 32, 44, 101}) {
    HybridHash table(nullptr, size, 131071, 1000, 5, 128, 0.5);
    for (int trial = 0; trial < 200; trial++) {
      std::vector<char> v(size);
      for (char& c : v)
        c = static_cast<char>(trial % 3 == 0 ? random() : random() % 4);
      for (uint64_t m : sizes) {
        uint32_t m32 = static_cast<uint32_t>(m);
        ASSERT_EQ(table.getHashKey(v.data(), static_cast<long>(m)), FoldedKey(v, m32))
            << "size " << size << ", table " << m;
      }
    }
  }
}

TEST(HybridHashTest, ShortVectorsGetKeysThatDependOnTheirBytes) {
  for (size_t size = 1; size <= 5; size++) {
    HybridHash table(nullptr, size, 131071, 1000, 5, 128, 0.5);
    std::vector<uint64_t> keys;
    for (int b = 1; b <= 20; b++) {
      std::vector<char> v(size, 0);
      v[size - 1] = static_cast<char>(b);
      uint64_t key = table.getHashKey(v.data(), 131071);
      EXPECT_LT(key, 131071u);
      keys.push_back(key);
    }
    std::sort(keys.begin(), keys.end());
    EXPECT_EQ(std::unique(keys.begin(), keys.end()), keys.end()) << "size " << size;

    // And every such state is stored and found under its own number.
    for (uint32_t n = 1; n <= 20; n++) {
      std::vector<char> v(size, 0);
      v[size - 1] = static_cast<char>(n);
      table.Insert(v.data(), n);
    }
    for (uint32_t n = 1; n <= 20; n++) {
      std::vector<char> v(size, 0);
      v[size - 1] = static_cast<char>(n);
      EXPECT_EQ(table.Lookup(v.data()), n);
    }
  }
}

TEST(HybridHashTest, TwoVectorsWithTheSameKeyAreBothFound) {
  // 6-byte vectors whose first chunk words are 1 and 1 + 131071 (the bytes
  // are base-32 digits of the word): equal keys for table size 131071.
  HybridHash table(nullptr, 6, 131071, 1000, 5, 128, 0.5);
  std::vector<char> a = {0, 0, 0, 0, 1, 0};
  std::vector<char> b = {0, 4, 0, 0, 0, 0};
  ASSERT_EQ(table.getHashKey(a.data(), 131071), table.getHashKey(b.data(), 131071));
  table.Insert(a.data(), 1);
  table.Insert(b.data(), 2);
  EXPECT_EQ(table.Lookup(a.data()), 1u);
  EXPECT_EQ(table.Lookup(b.data()), 2u);
  std::vector<char> c = {0, 0, 0, 0, 2, 0};
  EXPECT_EQ(table.Lookup(c.data()), NotFound);
}

// Vectors with the same key (for table size 131071) as {0, 0, 0, 0, 1, 0}:
// first chunk word 1 + j * 131071, written as base-32 digits.
std::vector<char> Colliding(uint32_t j) {
  uint32_t w = 1 + j * 131071u;
  std::vector<char> v(6, 0);
  for (int i = 4; i >= 0; i--, w >>= 5)
    v[i] = static_cast<char>(w & 31);
  return v;
}

TEST(HybridHashTest, InsertAfterLookupMatchesAFreshProbe) {
  // The same numbering done twice: with a lookup before each insertion (the
  // generator's order, in which an insertion may take the entry its lookup
  // ended on) and with insertions only. Entry for entry, the tables must
  // agree, also across the growth at number 65536.
  HybridHash looked(nullptr, 6, 131071, 1000, 5, 255, 0.5);
  HybridHash plain(nullptr, 6, 131071, 1000, 5, 255, 0.5);
  std::vector<std::vector<char>> vectors;
  for (uint32_t j = 0; j < 6; j++)
    vectors.push_back(Colliding(j));
  for (uint32_t n = 0; vectors.size() < 70000; n++)
    vectors.push_back(Vector(n * 2654435761u + 7, 6));
  ASSERT_EQ(looked.getHashKey(vectors[0].data(), 131071),
            looked.getHashKey(vectors[5].data(), 131071));

  uint32_t n = 0;
  auto insertBoth = [&](std::vector<char>& v) {
    n++;
    looked.Insert(v.data(), n);
    plain.Insert(v.data(), n);
  };
  // Two misses, then both insertions: the second lookup's entry is not the
  // first vector's.
  EXPECT_EQ(looked.Lookup(vectors[0].data()), NotFound);
  EXPECT_EQ(looked.Lookup(vectors[1].data()), NotFound);
  insertBoth(vectors[0]);
  insertBoth(vectors[1]);
  // A colliding vector inserted between a miss and its insertion takes the
  // entry the miss ended on.
  EXPECT_EQ(looked.Lookup(vectors[2].data()), NotFound);
  insertBoth(vectors[3]);
  insertBoth(vectors[2]);
  // The buffer looked up changes before it is inserted.
  std::vector<char> buffer = vectors[4];
  EXPECT_EQ(looked.Lookup(buffer.data()), NotFound);
  buffer = vectors[6];
  insertBoth(buffer);
  insertBoth(vectors[4]);
  insertBoth(vectors[5]);
  // (A growth re-keys every entry, so compare before the first one too.)
  EXPECT_EQ(std::memcmp(looked.HashTable, plain.HashTable, plain.HashTableSize * 4), 0);
  for (std::size_t k = 7; k < vectors.size(); k++) {
    ASSERT_EQ(looked.Lookup(vectors[k].data()), NotFound);
    insertBoth(vectors[k]);
  }
  EXPECT_EQ(looked.RehashCount, 1u);
  ASSERT_EQ(looked.HashTableSize, plain.HashTableSize);
  EXPECT_EQ(std::memcmp(looked.HashTable, plain.HashTable, plain.HashTableSize * 4), 0);
  EXPECT_EQ(looked.Lookup(buffer.data()), 5u);
  EXPECT_EQ(looked.Lookup(vectors[2].data()), 4u);
  EXPECT_EQ(looked.Lookup(vectors[69999].data()), 70000u);

  // A rebuild between a miss and the insertion: the entry belonged to the
  // old table.
  HybridHash small(nullptr, 6, 131071, 1000, 5, 255, 0.5);
  HybridHash reference(nullptr, 6, 131071, 1000, 5, 255, 0.5);
  small.Insert(vectors[0].data(), 1);
  reference.Insert(vectors[0].data(), 1);
  EXPECT_EQ(small.Lookup(vectors[1].data()), NotFound);
  small.Rehash();
  reference.Rehash();
  small.Insert(vectors[1].data(), 2);
  reference.Insert(vectors[1].data(), 2);
  ASSERT_EQ(small.HashTableSize, reference.HashTableSize);
  EXPECT_EQ(std::memcmp(small.HashTable, reference.HashTable, small.HashTableSize * 4), 0);
  EXPECT_EQ(small.Lookup(vectors[1].data()), 2u);
}

TEST(HybridHashTest, GrowsPastLoadFactorKeepsNumbers) {
  // From the smallest size at load factor 0.5: number 65536 grows the table to
  // 393209 entries, number 196605 to 786419.
  HybridHash table(nullptr, 8, 131071, 1000, 5, 255, 0.5);
  const std::map<uint32_t, uint64_t> sizeAfter = {
      {65535, 131071}, {65536, 393209}, {196604, 393209}, {196605, 786419}};
  const uint32_t total = 200000;
  for (uint32_t n = 1; n <= total; n++) {
    auto v = Vector(n * 2654435761u);
    table.Insert(v.data(), n);
    auto expected = sizeAfter.find(n);
    if (expected != sizeAfter.end()) {
      EXPECT_EQ(table.HashTableSize, expected->second) << "after " << n;
    }
  }
  EXPECT_EQ(table.RehashCount, 2u);
  EXPECT_EQ(table.InsertCount, total);
  for (uint32_t n = 1; n <= total; n++) {
    auto v = Vector(n * 2654435761u);
    ASSERT_EQ(table.Lookup(v.data()), n);
  }
  auto absent = Vector((total + 1) * 2654435761u);
  EXPECT_EQ(table.Lookup(absent.data()), NotFound);
}

TEST(HybridHashTest, BlocksAreAddedWhenANumberReachesTheNextBlock) {
  HybridHash table(nullptr, 8, 131071, 100000, 5, 128, 0.5);
  for (uint32_t n = 1; n < 100000; n++) {
    auto v = Vector(n);
    table.Insert(v.data(), n);
  }
  EXPECT_EQ(table.LastArray, 0u);
  auto last = Vector(100000);
  table.Insert(last.data(), 100000);
  EXPECT_EQ(table.LastArray, 1u);
  // Number 100000 is at position 0 of block 1.
  EXPECT_EQ(table.StoredState(100000), table.StateArrays[1]);
  EXPECT_EQ(std::memcmp(table.StateArrays[1], last.data(), 8), 0);
  EXPECT_EQ(table.StoredState(99999), table.StateArrays[0] + 99999 * 8);
  for (uint32_t n : {1u, 99999u, 100000u}) {
    auto v = Vector(n);
    EXPECT_EQ(table.Lookup(v.data()), n);
  }
}

TEST(HybridHashTest, FullLoadFactorStillFindsRoomForEveryState) {
  // At load factor 1 the table is filled completely before it grows; a probe
  // path without an empty entry must grow the table rather than loop.
  HybridHash table(nullptr, 8, 131071, 1000, 5, 255, 1.0);
  const uint32_t total = 140000;
  for (uint32_t n = 1; n <= total; n++) {
    auto v = Vector(n * 40503u);
    table.Insert(v.data(), n);
  }
  EXPECT_GT(table.HashTableSize, 131071u);
  for (uint32_t n = 1; n <= total; n++) {
    auto v = Vector(n * 40503u);
    ASSERT_EQ(table.Lookup(v.data()), n);
  }
}

TEST(HybridHashTest, DamagedEntryIsClearedAndNotFound) {
  HybridHash table(nullptr, 8, 131071, 1000, 5, 128, 0.5);
  auto v = Vector(42);
  uint64_t key = table.getHashKey(v.data(), 131071);
  table.HashTable[key] = (7u << 24) | 3u; // block 7 does not exist
  EXPECT_EQ(table.Lookup(v.data()), NotFound);
  EXPECT_EQ(table.HashTable[key], 0u);
}

TEST(HybridHashTest, StoreLimitFollowsTheParameters) {
  EXPECT_EQ(HybridHash(nullptr, 2, 131071, 100000, 5, 128, 0.5).MaxState(), 12799999u);
  // Block indices have 8 bits and numbers 24 bits.
  EXPECT_EQ(HybridHash(nullptr, 2, 131071, 10, 5, 300, 0.5).MaxState(), 2559u);
  EXPECT_EQ(HybridHash(nullptr, 2, 131071, 100000, 5, 255, 0.5).MaxState(), 16777215u);
}

TEST(HybridHashDeathTest, NumberingPastTheStoreLimitStopsTheRun) {
  // Three blocks of ten vectors hold the numbers 1 to 29.
  HybridHash table(nullptr, 4, 131071, 10, 5, 3, 0.5);
  for (uint32_t n = 1; n <= 29; n++) {
    auto v = Vector(n, 4);
    table.Insert(v.data(), n);
  }
  for (uint32_t n = 1; n <= 29; n++) {
    auto v = Vector(n, 4);
    ASSERT_EQ(table.Lookup(v.data()), n);
  }
  auto next = Vector(30, 4);
  EXPECT_EXIT(table.Insert(next.data(), 30), testing::ExitedWithCode(1),
              "too many states: the state table holds at most 29 states \\(3 blocks of 10 state "
              "vectors, state numbers stored in 24 bits\\); state 30 cannot be numbered");
}

} // namespace
