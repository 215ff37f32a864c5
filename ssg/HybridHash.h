#ifndef SSG_HYBRIDHASH_H
#define SSG_HYBRIDHASH_H

#include <cstdint>
#include <vector>

class PVModel;

// Table sizes in increasing order, ended by 0. A table size must be one of
// them; the table grows to the next.
extern const uint64_t PrimeArray[25];

// Multiplier chosen by the last key computation (process-wide, as the
// generator runs one table at a time).
extern int second_shift;

// The state table: every numbered state's vector, found by its contents.
//
// Two structures:
// - HashTable, open addressing over HashTableSize 32-bit entries. An entry is
//   0 (empty) or encodes where a state is stored: the state number in the low
//   24 bits, the index of its block in the high 8 bits. No vector is held in
//   the table, so it can be kept sparse (load factor 0.5 by default) at 4
//   bytes per entry.
// - The block store: state n lives in block n / ArraySize at position
//   n % ArraySize. Each block is one contiguous allocation of ArraySize
//   vectors, made in advance and never moved, so a rehash only re-keys the
//   stored vectors.
//
// Growth: when an inserted number reaches HashTableSize * LoadFactor the
// table is rebuilt at the next size of PrimeArray; when a number reaches the
// next block a block is added.
//
// Cost: a lookup computes one key (linear in the vector size) and probes
// until an empty entry or a match; equality is the model's CompareState,
// called only for entries on the probe path. An insertion of the vector that
// the last lookup did not find takes the empty entry that lookup ended on,
// as long as the table was not rebuilt and the entry is still empty in
// between (that entry is then exactly where a fresh probe would stop);
// otherwise it computes the key and probes again. Memory per state: StateSize
// bytes in the store plus 4 / LoadFactor bytes of table.
//
// Limit: numbers must fit in 24 bits and block indices in 8 bits, and the
// store holds MaxArrays blocks; MaxState() is the largest number that can be
// stored (12799999 with the generator's 128 blocks of 100000). Inserting a
// larger number ends the run with a message naming the limit.
//
// Callers guarantee: numbers are inserted in increasing order, one at a time
// starting at 1, and no state equal to a stored one is inserted.
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

  // model (its CompareState decides equality; with a null model vectors are
  // compared byte by byte), bytes per vector, initial table size (an entry of
  // PrimeArray), vectors per block, chunk parameter (stored only), number of
  // blocks, load factor (in (0, 1]).
  HybridHash(PVModel* model, unsigned long stateSize, unsigned long tableSize,
             unsigned long arraySize, unsigned long chunkParam, unsigned long maxArrays,
             double loadFactor);
  ~HybridHash();
  HybridHash(const HybridHash&) = delete;
  HybridHash& operator=(const HybridHash&) = delete;

  // The number of the stored state equal to `state`, or 0xFFFFFFFF.
  uint32_t Lookup(char* state);
  // Stores a copy of `state` under number n (see the class contract).
  void Insert(char* state, unsigned long n);
  // Rebuilds the table at the next size of PrimeArray.
  void Rehash();
  // Adds the next block of the store.
  void AddArray();
  // The key of a vector for table size m: 0 .. m - 1, a function of the
  // vector's bytes only.
  uint64_t getHashKey(char* state, long m);
  // Largest state number the store can hold with these parameters.
  uint64_t MaxState() const;
  // Stored vector of state n (1 <= n <= InsertCount).
  char* StoredState(uint32_t n) const;
  // Releases HashTable once no lookup will follow; stored vectors stay.
  void ReleaseTable();

  // Debugging aid: "STATEVECTOR (<label>)", then the bytes, 20 per line.
  void printstate(char* state, int size, char* label);

private:
  // Chunk words of the key being computed (StateSize / 5 + 1 of them).
  std::vector<uint32_t> KeyWords;

  // Exact remainder by a fixed 32-bit divisor without a division: with
  // R = floor((2^64 - 1) / d) + 1, n mod d is the high 64 bits of
  // (R * n mod 2^64) * d, for every 32-bit n and every d >= 1. The key
  // reduces each chunk word by the table size, so the reciprocal is kept for
  // the last divisor used.
  struct Remainder32 {
    uint32_t Divisor = 0;
    uint64_t Reciprocal = 0;
    void use(uint32_t d) {
      if (d != Divisor) {
        Divisor = d;
        Reciprocal = UINT64_MAX / d + 1;
      }
    }
    uint32_t of(uint32_t n) const {
      uint64_t low = Reciprocal * n;
      return static_cast<uint32_t>((static_cast<unsigned __int128>(low) * Divisor) >> 64);
    }
  };
  Remainder32 KeyModulus;
  // Where the last lookup stopped when it found nothing: the empty entry, in
  // the table of which RehashCount, and a copy of the vector looked up.
  // MissValid is cleared by every other lookup and by the insertion that
  // takes the entry.
  bool MissValid = false;
  uint64_t MissEntry = 0;
  uint32_t MissRehashCount = 0;
  std::vector<char> MissState;

  bool SameState(const char* stored, const char* state) const;
  // Records the entry h at which the lookup of state ended; NotFound.
  uint32_t Miss(uint64_t h, const char* state);
  // True when the last lookup missed `state` and its empty entry is still
  // the end of state's probe path in the current table.
  bool MissEntryHolds(const char* state) const;
  // Next entry of the probe sequence.
  static uint64_t NextProbe(uint64_t h, uint64_t& i, uint64_t step, uint64_t size) {
    h += i * step;
    if (h >= size) {
      h %= size;
      i = 1;
    } else {
      i++;
    }
    return h;
  }
  uint64_t ProbeStep(uint32_t rehashCount) const { return (uint64_t(rehashCount) + 1) * 1024; }
  // Stores entry value at the first empty entry of its probe path in table;
  // false if the path holds no empty entry.
  bool Place(uint32_t* table, uint64_t size, uint32_t rehashCount, uint64_t key, uint32_t value);
  void AllocateBlock(uint32_t index);
};

#endif
