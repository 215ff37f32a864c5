#include "ssg/HybridHash.h"

#include <algorithm>
#include <cassert>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <new>

#include "model/StandardErrors.h"
#include "reward/PVModel.h"

const uint64_t PrimeArray[25] = {
    131071ULL,      393209ULL,      786419ULL,      1179637ULL,      1966049ULL,
    2752481ULL,     4325341ULL,     6684607ULL,     9437101ULL,      15335303ULL,
    21000169ULL,    31000303ULL,    51000353ULL,    71000383ULL,     91000387ULL,
    120000301ULL,   160000289ULL,   200000243ULL,   3900000007ULL,   6000000001ULL,
    10000000019ULL, 20000000089ULL, 50000000021ULL, 100000000003ULL, 0ULL};

int second_shift = 4;

namespace {

constexpr uint32_t NotFound = 0xFFFFFFFFu;
constexpr uint32_t NumberBits = 24;
constexpr uint32_t NumberMask = (1u << NumberBits) - 1;
constexpr uint32_t MaxBlocks = 256; // block indices are stored in 8 bits
constexpr uint32_t ChunkLength = 5;

} // namespace

HybridHash::HybridHash(PVModel* model, unsigned long stateSize, unsigned long tableSize,
                       unsigned long arraySize, unsigned long chunkParam, unsigned long maxArrays,
                       double loadFactor)
    : HashTable(nullptr), HashTableSize(tableSize), RehashCount(0), Model(model),
      StateArrays(nullptr), StateSize(static_cast<uint32_t>(stateSize)), LastArray(0),
      ArraySize(static_cast<uint32_t>(arraySize)), ChunkParam(static_cast<uint32_t>(chunkParam)),
      MaxArrays(static_cast<uint32_t>(maxArrays)), InsertCount(0), LoadFactor(loadFactor) {
  assert(StateSize > 0 && "state vectors have at least one byte");
  assert(ArraySize > 0 && MaxArrays > 0 && "the store has room for at least one block");
  while (PrimeArray[RehashCount] != 0 && PrimeArray[RehashCount] != tableSize)
    RehashCount++;
  assert(PrimeArray[RehashCount] == tableSize && "the table size is an entry of PrimeArray");

  HashTable = new (std::nothrow) uint32_t[HashTableSize]();
  StateArrays = new (std::nothrow) char*[MaxArrays]();
  if (HashTable == nullptr || StateArrays == nullptr)
    MemoryAllocationError();
  AllocateBlock(0);
  KeyWords.assign(StateSize / ChunkLength + 1, 0);
  MissState.assign(StateSize, 0);
}

HybridHash::~HybridHash() {
  if (StateArrays != nullptr) {
    for (uint32_t b = 0; b <= LastArray && b < MaxArrays; b++)
      delete[] StateArrays[b];
    delete[] StateArrays;
  }
  delete[] HashTable;
  HashTable = nullptr;
  HashTableSize = 0;
}

void HybridHash::AllocateBlock(uint32_t index) {
  StateArrays[index] = new (std::nothrow) char[size_t(ArraySize) * StateSize]();
  if (StateArrays[index] == nullptr) {
    std::cerr << "Error:  Unable to allocate memory" << std::endl;
    std::exit(1);
  }
}

uint64_t HybridHash::MaxState() const {
  uint64_t byBlocks = uint64_t(std::min(MaxArrays, MaxBlocks)) * ArraySize;
  uint64_t byNumbers = uint64_t(1) << NumberBits;
  return std::min(byBlocks, byNumbers) - 1;
}

char* HybridHash::StoredState(uint32_t n) const {
  uint32_t b = n / ArraySize;
  return StateArrays[b] + size_t(n - b * ArraySize) * StateSize;
}

bool HybridHash::SameState(const char* stored, const char* state) const {
  if (Model != nullptr)
    return Model->CompareState(const_cast<char*>(stored), const_cast<char*>(state));
  return std::memcmp(stored, state, StateSize) == 0;
}

uint64_t HybridHash::getHashKey(char* state, long m) {
  // Fold each 5-byte chunk into a word: w = (w << 5) ^ byte, the byte taken as
  // a signed char.
  const uint32_t chunks = (StateSize + ChunkLength - 1) / ChunkLength;
  uint32_t* words = KeyWords.data();
  for (uint32_t j = 0; j < chunks; j++) {
    uint32_t w = 0;
    uint32_t end = std::min(StateSize, (j + 1) * ChunkLength);
    for (uint32_t i = j * ChunkLength; i < end; i++)
      w = (w << 5) ^
          static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(state[i])));
    words[j] = w;
  }

  // The fewer non-zero chunks (the last one aside), the wider the spread.
  uint32_t nonZero = 0;
  for (uint32_t j = 0; j + 1 < chunks; j++)
    nonZero += words[j] != 0;
  uint32_t k = nonZero > 16 ? 1 : nonZero > 8 ? 2 : nonZero > 4 ? 4 : nonZero > 2 ? 8 : 16;
  second_shift = static_cast<int>(k);

  const uint32_t modulus = static_cast<uint32_t>(m);
  assert(modulus != 0 && "the table size reduced to 32 bits is a divisor");
  KeyModulus.use(modulus);
  uint32_t key = 0;
  for (uint32_t j = 0; j < chunks; j++) {
    if (words[j] != 0)
      key = (key * k) ^ KeyModulus.of(words[j]);
  }
  return KeyModulus.of(key);
}

uint32_t HybridHash::Lookup(char* state) {
  assert(HashTable != nullptr && "no lookup after the table was released");
  const uint64_t step = ProbeStep(RehashCount);
  uint64_t h = getHashKey(state, static_cast<long>(HashTableSize));
  uint64_t i = 1;
  MissValid = false;
  for (uint64_t probes = 0; probes < HashTableSize; probes++) {
    uint32_t e = HashTable[h];
    if (e == 0)
      return Miss(h, state);
    uint32_t n = e & NumberMask;
    uint32_t b = e >> NumberBits;
    uint32_t p = n - b * ArraySize;
    if (b > LastArray || p >= ArraySize) {
      HashTable[h] = 0; // a damaged entry: forget it
      return Miss(h, state);
    }
    if (SameState(StateArrays[b] + size_t(p) * StateSize, state))
      return n;
    h = NextProbe(h, i, step, HashTableSize);
  }
  return NotFound;
}

bool HybridHash::Place(uint32_t* table, uint64_t size, uint32_t rehashCount, uint64_t key,
                       uint32_t value) {
  const uint64_t step = ProbeStep(rehashCount);
  uint64_t h = key;
  uint64_t i = 1;
  for (uint64_t probes = 0; probes < size; probes++) {
    if (table[h] == 0) {
      table[h] = value;
      return true;
    }
    h = NextProbe(h, i, step, size);
  }
  return false;
}

uint32_t HybridHash::Miss(uint64_t h, const char* state) {
  MissValid = true;
  MissEntry = h;
  MissRehashCount = RehashCount;
  std::memcpy(MissState.data(), state, StateSize);
  return NotFound;
}

bool HybridHash::MissEntryHolds(const char* state) const {
  // Insertions in between only fill empty entries, and every entry before
  // MissEntry on state's path was already in use.
  return MissValid && MissRehashCount == RehashCount && HashTable[MissEntry] == 0 &&
         std::memcmp(MissState.data(), state, StateSize) == 0;
}

void HybridHash::Insert(char* state, unsigned long n) {
  assert(HashTable != nullptr && "no insertion after the table was released");
  assert(n >= 1 && "state numbers start at 1");
  // The one place where the store's limit is enforced.
  if (n > MaxState()) {
    std::cerr << "Error: too many states: the state table holds at most " << MaxState()
              << " states (" << std::min(MaxArrays, MaxBlocks) << " blocks of " << ArraySize
              << " state vectors, state numbers stored in " << NumberBits << " bits); state " << n
              << " cannot be numbered." << std::endl;
    std::exit(1);
  }
  if (double(n) >= double(HashTableSize) * LoadFactor)
    Rehash();
  while (n >= uint64_t(LastArray + 1) * ArraySize)
    AddArray();
  InsertCount++;

  uint32_t value = static_cast<uint32_t>(n) + (LastArray << NumberBits);
  if (MissEntryHolds(state)) {
    HashTable[MissEntry] = value;
    MissValid = false;
  } else {
    // A probe path without an empty entry (a table filled to its load factor
    // of 1) is resolved by growing the table.
    while (!Place(HashTable, HashTableSize, RehashCount,
                  getHashKey(state, static_cast<long>(HashTableSize)), value))
      Rehash();
  }
  std::memcpy(StateArrays[LastArray] + size_t(n - uint64_t(LastArray) * ArraySize) * StateSize,
              state, StateSize);
}

void HybridHash::Rehash() {
  for (;;) {
    RehashCount++;
    uint64_t newSize = PrimeArray[RehashCount];
    if (newSize == 0) {
      std::cerr << "Hash:  Error:  allocate more memory for Hash Table. Previous size was "
                << HashTableSize << std::endl;
      std::exit(1);
    }
    uint32_t* table = new (std::nothrow) uint32_t[newSize]();
    if (table == nullptr) {
      std::cerr << "Error:  TempHashTable not allocated" << std::endl;
      std::exit(1);
    }
    if (newSize < HashTableSize) {
      delete[] table;
      std::cerr << "Hash:  Error, there is a typo in the Hash Table, check .h file" << std::endl;
      std::exit(1);
    }

    // Re-key every stored state; its entry value stays the same.
    bool placedAll = true;
    for (uint64_t h = 0; h < HashTableSize && placedAll; h++) {
      uint32_t e = HashTable[h];
      if (e == 0)
        continue;
      uint32_t n = e & NumberMask;
      uint32_t b = e >> NumberBits;
      uint32_t p = n - b * ArraySize;
      if (b > LastArray || p >= ArraySize)
        continue; // a damaged entry is dropped
      char* stored = StateArrays[b] + size_t(p) * StateSize;
      placedAll =
          Place(table, newSize, RehashCount, getHashKey(stored, static_cast<long>(newSize)), e);
    }
    if (!placedAll) {
      delete[] table;
      continue; // try the next size
    }
    delete[] HashTable;
    HashTable = table;
    HashTableSize = newSize;
    return;
  }
}

void HybridHash::AddArray() {
  if (LastArray + 1 >= std::min(MaxArrays, MaxBlocks)) {
    std::cerr << "Error:  Unable to allocate memory" << std::endl;
    std::exit(1);
  }
  LastArray++;
  AllocateBlock(LastArray);
}

void HybridHash::ReleaseTable() {
  delete[] HashTable;
  HashTable = nullptr;
  HashTableSize = 0;
}

void HybridHash::printstate(char* state, int size, char* label) {
  std::cout << "STATEVECTOR (" << label << ")" << std::endl;
  for (int i = 0; i < size; i++) {
    std::cout << static_cast<int>(state[i]) << " ";
    if ((i + 1) % 20 == 0)
      std::cout << std::endl;
  }
  std::cout << std::endl;
}
