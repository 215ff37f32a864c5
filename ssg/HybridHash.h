#ifndef SSG_HYBRIDHASH_H
#define SSG_HYBRIDHASH_H

#include <cstddef>
#include <cstdint>
#include <vector>

class PVModel;

// Table sizes in increasing order, ended by 0. A table size must be one of
// them; the table grows to the next.
extern const uint64_t PrimeArray[25];

// The state table: every numbered state's vector, found by its contents.
//
// Two structures:
// - The store: state n's vector lives in block n / ArraySize at position
//   n % ArraySize (position 0 of block 0 stays unused). A block is one
//   allocation of ArraySize vectors, made when a number first reaches it and
//   never moved; the array of block pointers, StateArrays, doubles when full.
//   States are numbered 1, 2, 3, ... without gaps, so the store is also the
//   generator's list of states still to explore (StoredState(n)).
// - HashTable, open addressing with linear probing over HashTableSize 32-bit
//   entries. An entry is 0 (empty) or a state number; the bits above the
//   number hold a tag, the low bits of the vector's hash (TableEntry below).
//   A probe reads the stored vector only when the tag matches, so nearly
//   every mismatch costs one table read and no store access.
//
// The key of a vector is XXH3 (64 bits) over all its bytes: its high bits
// choose the first entry (hash * size / 2^64), its low bits are the tag.
// Nothing outside the table depends on the key's value: states are numbered
// in the order found.
//
// Growth: when an inserted number reaches HashTableSize * LoadFactor, the
// table is rebuilt at the next size of PrimeArray by re-keying the stored
// vectors in number order (a sequential read of the store). A table takes
// numbers below its growth point, so the width of a number, and with it the
// tag's, is fixed per table size: 22 number bits and 10 tag bits at 6684607
// entries, no tag from 3900000007 entries on.
//
// Cost: a lookup hashes the vector once and probes until an empty entry or a
// match; equality is the model's CompareState, called on tag matches only.
// An insertion of the vector that the last lookup did not find takes the
// empty entry that lookup ended on (as long as the table was not rebuilt and
// the entry is still empty in between); otherwise it hashes and probes again.
// Memory per state: StateSize bytes in the store plus 4 / LoadFactor bytes of
// table (4 / 0.5 = 8 at the default load factor, up to 1.6 times that just
// after a growth).
//
// Limits: state numbers have 32 bits, so at most MaxState() = 4294967294
// states (0xFFFFFFFF means "not found"); otherwise only memory. An
// allocation that fails ends the run with a message naming the states stored
// and the bytes asked for (OutOfMemory).
//
// Callers guarantee: numbers are inserted in increasing order, one at a time
// starting at 1, and no state equal to a stored one is inserted; equality is
// the model's CompareState.
class HybridHash {
public:
  uint32_t* HashTable;
  uint64_t HashTableSize;
  uint32_t RehashCount;
  PVModel* Model;
  char** StateArrays;
  uint32_t StateSize;
  uint32_t LastArray;
  uint32_t ArraySize;
  uint32_t ChunkParam;
  uint32_t MaxArrays;
  uint32_t InsertCount;
  double LoadFactor;

  // Value returned by Lookup for a state that is not stored.
  static constexpr uint32_t NotFound = 0xFFFFFFFFu;

  // model (its CompareState decides equality; with a null model vectors are
  // compared byte by byte), bytes per vector, initial table size (an entry of
  // PrimeArray), vectors per block, chunk parameter (stored only), initial
  // number of block pointers (the array doubles when full), load factor (in
  // (0, 1]).
  HybridHash(PVModel* model, unsigned long stateSize, unsigned long tableSize,
             unsigned long arraySize, unsigned long chunkParam, unsigned long maxArrays,
             double loadFactor);
  ~HybridHash();
  HybridHash(const HybridHash&) = delete;
  HybridHash& operator=(const HybridHash&) = delete;

  // The number of the stored state equal to `state`, or NotFound.
  uint32_t Lookup(char* state);

  // Looking up several vectors at once, without waiting for memory on each:
  // take hashOf(v) and prefetch(hash) for every vector first, then
  // prefetchStored(hash) for every vector, then Lookup(v, hash) for each in
  // turn. Lookup(v, hashOf(v)) is Lookup(v); the prefetches change nothing
  // but what the processor has in its cache.
  uint64_t hashOf(const char* state) const { return Hash(state); }
  // Brings the first entry probed for `hash` towards the cache.
  void prefetch(uint64_t hash) const {
    __builtin_prefetch(HashTable + FirstEntry(hash, HashTableSize));
  }
  // Brings the stored vector that the first entry probed for `hash` names,
  // when its tag matches, towards the cache.
  void prefetchStored(uint64_t hash) const {
    const uint32_t e = HashTable[FirstEntry(hash, HashTableSize)];
    const uint32_t n = Entry.number(e);
    if (e != 0 && Entry.tagMatches(e, hash) && n <= InsertCount)
      __builtin_prefetch(StoredState(n));
  }
  uint32_t Lookup(char* state, uint64_t hash);
  // Stores a copy of `state` under number n (see the class contract).
  void Insert(char* state, unsigned long n);
  // Rebuilds the table at the next size of PrimeArray.
  void Rehash();
  // Adds the next block of the store.
  void AddArray();
  // The first entry probed for a vector in a table of m entries: 0 .. m - 1,
  // a function of the vector's bytes only.
  uint64_t getHashKey(char* state, long m);
  // Largest state number the table can hold.
  static constexpr uint64_t MaxState() { return 0xFFFFFFFEu; }
  // Stored vector of state n (1 <= n <= InsertCount). It stays where it is
  // for the table's lifetime.
  char* StoredState(uint32_t n) const {
    const uint32_t block = BlockOf(n);
    return StateArrays[block] + size_t(n - block * ArraySize) * StateSize;
  }
  // Releases HashTable once no lookup will follow; stored vectors stay.
  void ReleaseTable();

  // Debugging aid: "STATEVECTOR (<label>)", then the bytes, 20 per line.
  void printstate(char* state, int size, char* label);

  // The packing of a table entry: a state number in the low NumberBits bits,
  // a tag (low bits of the key) above it; 0 is the empty entry (numbers start
  // at 1). The only place that knows the layout.
  class TableEntry {
  public:
    // For a table that takes numbers up to maxNumber.
    explicit TableEntry(uint64_t maxNumber);
    uint32_t numberBits() const { return NumberBits; }
    uint32_t largestNumber() const { return NumberMask; }
    uint32_t make(uint32_t number, uint64_t hash) const {
      return number | (static_cast<uint32_t>(hash) & TagMask);
    }
    uint32_t number(uint32_t entry) const { return entry & NumberMask; }
    // True when the entry's tag is the one of `hash`.
    bool tagMatches(uint32_t entry, uint64_t hash) const {
      return ((entry ^ static_cast<uint32_t>(hash)) & TagMask) == 0;
    }

  private:
    uint32_t NumberBits;
    uint32_t NumberMask;
    uint32_t TagMask;
  };
  const TableEntry& entryLayout() const { return Entry; }

  // Probe statistics of the current table, for tests and tuning: the longest
  // run of occupied entries (a lookup never probes further) and the number of
  // occupied entries.
  struct ProbeRuns {
    uint64_t longest = 0;
    uint64_t occupied = 0;
  };
  ProbeRuns probeRuns() const;

private:
  // Division by the block size without a division instruction: for every
  // 32-bit n and divisor d >= 1, n / d is the high 64 bits of n * R with
  // R = floor((2^64 - 1) / d) + 1.
  uint64_t BlockReciprocal;
  uint32_t BlockOf(uint32_t n) const {
    return static_cast<uint32_t>((static_cast<unsigned __int128>(BlockReciprocal) * n) >> 64);
  }

  TableEntry Entry;

  // Where the last lookup stopped when it found nothing: the empty entry, in
  // the table of which RehashCount, the vector's hash and a copy of the
  // vector. MissValid is cleared by every other lookup and by the insertion
  // that takes the entry.
  bool MissValid = false;
  uint64_t MissEntry = 0;
  uint64_t MissHash = 0;
  uint32_t MissRehashCount = 0;
  std::vector<char> MissState;

  uint64_t Hash(const char* state) const;
  static uint64_t FirstEntry(uint64_t hash, uint64_t size) {
    return static_cast<uint64_t>((static_cast<unsigned __int128>(hash) * size) >> 64);
  }
  // The largest number a table of `size` entries takes before it grows.
  uint64_t GrowthPoint(uint64_t size) const;
  bool SameState(const char* stored, const char* state) const;
  // Records the entry h at which the lookup of state ended; NotFound.
  uint32_t Miss(uint64_t h, uint64_t hash, const char* state);
  // True when the last lookup missed `state` and its empty entry is still
  // the end of state's probe path in the current table.
  bool MissEntryHolds(const char* state) const;
  // Stores entry value at the first empty entry from `first` on in table;
  // false if the table holds no empty entry.
  static bool Place(uint32_t* table, uint64_t size, uint64_t first, uint32_t value);
  // A zeroed table of `size` entries, or the out-of-memory exit.
  uint32_t* NewTable(uint64_t size) const;
  void AllocateBlock(uint32_t index);
};

#endif
