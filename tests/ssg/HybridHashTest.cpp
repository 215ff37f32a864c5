#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <vector>

#include "ssg/HybridHash.h"

namespace {

constexpr uint32_t NotFound = HybridHash::NotFound;

// A vector of `size` bytes that encodes n.
std::vector<char> Vector(uint32_t n, size_t size = 8) {
  std::vector<char> v(size, 0);
  std::memcpy(v.data(), &n, std::min(size, sizeof n));
  return v;
}

// `count` distinct 6-byte vectors that share their first entry in a table of
// `tableSize` entries, found by trying Vector(0), Vector(1), ...
std::vector<std::vector<char>> SameFirstEntry(HybridHash& table, size_t count, uint64_t tableSize) {
  std::vector<std::vector<char>> found = {Vector(0, 6)};
  const uint64_t key = table.getHashKey(found[0].data(), static_cast<long>(tableSize));
  for (uint32_t n = 1; found.size() < count; n++) {
    auto v = Vector(n, 6);
    if (table.getHashKey(v.data(), static_cast<long>(tableSize)) == key)
      found.push_back(v);
  }
  return found;
}

TEST(HybridHashTest, LookupOnEmptyTableFindsNothing) {
  HybridHash table(nullptr, 8, 131071, 1000, 5, 128, 0.5);
  auto v = Vector(7);
  EXPECT_EQ(table.Lookup(v.data()), NotFound);
  EXPECT_EQ(table.RehashCount, 0u);
  EXPECT_EQ(table.LastArray, 0u);
}

TEST(HybridHashTest, KeyIsInRangeAndDependsOnEveryByte) {
  // Vectors that differ in a single byte, at any position, get different
  // keys (a collision among these 3 * 101 vectors in 2^36 keys would be a
  // one-in-a-million accident), and every key lies in the table.
  for (size_t size : {1, 2, 5, 6, 32, 44, 101}) {
    HybridHash table(nullptr, size, 131071, 1000, 5, 128, 0.5);
    const uint64_t m = 68719476731ull; // a prime near 2^36
    std::set<uint64_t> keys;
    std::vector<char> base(size, 0);
    keys.insert(table.getHashKey(base.data(), static_cast<long>(m)));
    for (size_t i = 0; i < size; i++) {
      for (int value : {1, 2, -1}) {
        std::vector<char> v = base;
        v[i] = static_cast<char>(value);
        const uint64_t key = table.getHashKey(v.data(), static_cast<long>(m));
        EXPECT_LT(key, m);
        EXPECT_LT(table.getHashKey(v.data(), 131071), 131071u);
        keys.insert(key);
      }
    }
    EXPECT_EQ(keys.size(), 1 + 3 * size) << "size " << size;
  }
}

TEST(HybridHashTest, EntryKeepsTheNumberAndTagsTheRestOfItsBits) {
  // A table taking numbers up to 65535 stores them in 16 bits: 16 tag bits.
  HybridHash::TableEntry entry(65535);
  EXPECT_EQ(entry.numberBits(), 16u);
  EXPECT_EQ(entry.largestNumber(), 65535u);
  const uint64_t hash = 0x123456789ABCDEF0ull;
  const uint32_t e = entry.make(65535, hash);
  EXPECT_EQ(entry.number(e), 65535u);
  EXPECT_TRUE(entry.tagMatches(e, hash));
  EXPECT_TRUE(entry.tagMatches(e, hash ^ 0xFFFF)); // differs below the tag
  EXPECT_FALSE(entry.tagMatches(e, hash ^ 0x10000));
  EXPECT_NE(entry.make(1, 0), 0u);
  // Numbers of the full 32 bits leave no tag: every entry matches.
  HybridHash::TableEntry wide(HybridHash::MaxState());
  EXPECT_EQ(wide.numberBits(), 32u);
  EXPECT_EQ(wide.number(wide.make(0xFFFFFFFEu, hash)), 0xFFFFFFFEu);
  EXPECT_TRUE(wide.tagMatches(wide.make(5, hash), ~hash));
}

TEST(HybridHashTest, VectorsWithTheSameFirstEntryAreEachFoundUnderTheirNumber) {
  for (size_t size : {1, 3, 6}) {
    HybridHash table(nullptr, size, 131071, 1000, 5, 128, 0.5);
    std::vector<std::vector<char>> vectors;
    if (size == 6) {
      vectors = SameFirstEntry(table, 4, 131071);
    } else {
      for (int b = 0; b < 20; b++) {
        std::vector<char> v(size, 0);
        v[size - 1] = static_cast<char>(b);
        vectors.push_back(v);
      }
    }
    // The last vector stays out of the table.
    for (uint32_t n = 1; n < vectors.size(); n++)
      table.Insert(vectors[n - 1].data(), n);
    for (uint32_t n = 1; n < vectors.size(); n++)
      EXPECT_EQ(table.Lookup(vectors[n - 1].data()), n) << "size " << size;
    EXPECT_EQ(table.Lookup(vectors.back().data()), NotFound) << "size " << size;
  }
}

TEST(HybridHashTest, InsertAfterLookupMatchesAFreshProbe) {
  // The same numbering done twice: with a lookup before each insertion (the
  // generator's order, in which an insertion may take the entry its lookup
  // ended on) and with insertions only. Entry for entry, the tables must
  // agree, also across the growth at number 65536.
  HybridHash looked(nullptr, 6, 131071, 1000, 5, 255, 0.5);
  HybridHash plain(nullptr, 6, 131071, 1000, 5, 255, 0.5);
  std::vector<std::vector<char>> vectors = SameFirstEntry(looked, 6, 131071);
  for (uint32_t n = 1 << 20; vectors.size() < 70000; n++)
    vectors.push_back(Vector(n * 2654435761u + 7, 6));

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
  // 786419 entries at 0.5 take numbers below 393210: 19 bits.
  EXPECT_EQ(table.entryLayout().numberBits(), 19u);
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
  EXPECT_EQ(table.StoredState(99999), table.StateArrays[0] + std::size_t(99999) * 8);
  for (uint32_t n : {1u, 99999u, 100000u}) {
    auto v = Vector(n);
    EXPECT_EQ(table.Lookup(v.data()), n);
  }
}

TEST(HybridHashTest, BlockListDoublesAndStoredVectorsStayPut) {
  // Blocks of 7 vectors and room for one block pointer: the list doubles at
  // numbers 7, 14, 28, 56, 112; a stored vector never moves.
  HybridHash table(nullptr, 5, 131071, 7, 5, 1, 0.5);
  std::vector<char*> where(200, nullptr);
  const std::map<uint32_t, uint32_t> pointersAfter = {{6, 1},  {7, 2},   {13, 2},  {14, 4},
                                                      {28, 8}, {56, 16}, {112, 32}};
  for (uint32_t n = 1; n < 200; n++) {
    auto v = Vector(n * 40503u, 5);
    table.Insert(v.data(), n);
    where[n] = table.StoredState(n);
    auto expected = pointersAfter.find(n);
    if (expected != pointersAfter.end()) {
      EXPECT_EQ(table.MaxArrays, expected->second) << "after " << n;
    }
  }
  EXPECT_EQ(table.LastArray, 199u / 7);
  for (uint32_t n = 1; n < 200; n++) {
    auto v = Vector(n * 40503u, 5);
    ASSERT_EQ(table.StoredState(n), where[n]) << n;
    ASSERT_EQ(std::memcmp(where[n], v.data(), 5), 0) << n;
    ASSERT_EQ(table.Lookup(v.data()), n);
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
  table.Insert(v.data(), 1);
  // Its entry, made to name a number that was never stored.
  uint32_t* entry = std::find_if(table.HashTable, table.HashTable + table.HashTableSize,
                                 [](uint32_t e) { return e != 0; });
  ASSERT_NE(entry, table.HashTable + table.HashTableSize);
  const HybridHash::TableEntry& layout = table.entryLayout();
  *entry = *entry - layout.number(*entry) + 7;
  EXPECT_EQ(table.Lookup(v.data()), NotFound);
  EXPECT_EQ(*entry, 0u);
}

TEST(HybridHashTest, StateNumbersHaveThirtyTwoBits) {
  EXPECT_EQ(HybridHash::MaxState(), 4294967294u);
}

TEST(HybridHashDeathTest, NumberingPastThirtyTwoBitsStopsTheRun) {
  HybridHash table(nullptr, 4, 131071, 10, 5, 3, 0.5);
  table.InsertCount = 0xFFFFFFFEu; // as if every number had been handed out
  auto next = Vector(30, 4);
  EXPECT_EXIT(table.Insert(next.data(), 0xFFFFFFFFul), testing::ExitedWithCode(1),
              "too many states: state numbers have 32 bits, so at most 4294967294 states can be "
              "numbered; state 4294967295 cannot be");
}

} // namespace
