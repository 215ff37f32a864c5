#include "ssg/HybridHash.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <new>
#include <sys/mman.h>
#include <xxhash.h>

#include "reward/PVModel.h"
#include "ssg/OutOfMemory.h"

const uint64_t PrimeArray[25] = {
    131071ULL,      393209ULL,      786419ULL,      1179637ULL,      1966049ULL,
    2752481ULL,     4325341ULL,     6684607ULL,     9437101ULL,      15335303ULL,
    21000169ULL,    31000303ULL,    51000353ULL,    71000383ULL,     91000387ULL,
    120000301ULL,   160000289ULL,   200000243ULL,   3900000007ULL,   6000000001ULL,
    10000000019ULL, 20000000089ULL, 50000000021ULL, 100000000003ULL, 0ULL};

namespace {

// The table and the store's blocks are read at random places. From 2 MiB on
// they are mapped from the system directly, aligned to 2 MiB and marked for
// transparent huge pages, so that one address-translation entry covers 2 MiB
// instead of 4 KiB. Such pages come zeroed and are taken as they are first
// written. Smaller arrays come from the C allocator (zeroed as well).
// Either way a failure comes back as null, never through a new-handler, to
// be reported with its size.
constexpr std::size_t HugePage = std::size_t(2) << 20;
constexpr std::size_t SmallPage = 4096;

void* AllocateLarge(std::size_t bytes) {
  if (bytes < HugePage)
    return std::calloc(bytes, 1);
  const std::size_t length = (bytes + SmallPage - 1) / SmallPage * SmallPage;
  void* mapped = ::mmap(nullptr, length + HugePage, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (mapped == MAP_FAILED)
    return nullptr;
  // Keep the 2 MiB-aligned part, give back the rest.
  const uintptr_t start = reinterpret_cast<uintptr_t>(mapped);
  const uintptr_t aligned = (start + HugePage - 1) & ~(HugePage - 1);
  if (aligned > start)
    ::munmap(mapped, aligned - start);
  const uintptr_t end = start + length + HugePage;
  char* kept = static_cast<char*>(mapped) + (aligned - start);
  if (end > aligned + length)
    ::munmap(kept + length, end - (aligned + length));
  ::madvise(kept, length, MADV_HUGEPAGE);
  return kept;
}

void ReleaseLarge(void* memory, std::size_t bytes) {
  if (memory == nullptr)
    return;
  if (bytes < HugePage)
    std::free(memory);
  else
    ::munmap(memory, (bytes + SmallPage - 1) / SmallPage * SmallPage);
}

} // namespace

HybridHash::TableEntry::TableEntry(uint64_t maxNumber) {
  NumberBits = static_cast<uint32_t>(std::bit_width(std::min<uint64_t>(maxNumber, MaxState())));
  NumberBits = std::max<uint32_t>(NumberBits, 1);
  NumberMask = NumberBits >= 32 ? 0xFFFFFFFFu : (1u << NumberBits) - 1;
  TagMask = ~NumberMask;
}

HybridHash::HybridHash(PVModel* model, unsigned long stateSize, unsigned long tableSize,
                       unsigned long arraySize, unsigned long chunkParam, unsigned long maxArrays,
                       double loadFactor)
    : HashTable(nullptr), HashTableSize(tableSize), RehashCount(0), Model(model),
      StateArrays(nullptr), StateSize(static_cast<uint32_t>(stateSize)), LastArray(0),
      ArraySize(static_cast<uint32_t>(arraySize)), ChunkParam(static_cast<uint32_t>(chunkParam)),
      MaxArrays(static_cast<uint32_t>(std::max(maxArrays, 1ul))), InsertCount(0),
      LoadFactor(loadFactor), BlockReciprocal(0), Entry(1) {
  assert(StateSize > 0 && "state vectors have at least one byte");
  assert(ArraySize > 0 && "a block holds at least one vector");
  assert(LoadFactor > 0 && "the load factor is positive");
  while (PrimeArray[RehashCount] != 0 && PrimeArray[RehashCount] != tableSize)
    RehashCount++;
  assert(PrimeArray[RehashCount] == tableSize && "the table size is an entry of PrimeArray");
  BlockReciprocal = UINT64_MAX / ArraySize + 1;
  Entry = TableEntry(GrowthPoint(HashTableSize));

  HashTable = NewTable(HashTableSize);
  StateArrays = static_cast<char**>(std::calloc(MaxArrays, sizeof(char*)));
  if (StateArrays == nullptr)
    OutOfMemory::Exit(0, uint64_t(MaxArrays) * sizeof(char*), "the state store's block list");
  AllocateBlock(0);
  MissState.assign(StateSize, 0);
}

HybridHash::~HybridHash() {
  if (StateArrays != nullptr) {
    for (uint32_t b = 0; b <= LastArray && b < MaxArrays; b++)
      ReleaseLarge(StateArrays[b], std::size_t(ArraySize) * StateSize);
    std::free(StateArrays);
  }
  ReleaseLarge(HashTable, HashTableSize * sizeof(uint32_t));
  HashTable = nullptr;
  HashTableSize = 0;
}

uint32_t* HybridHash::NewTable(uint64_t size) const {
  void* table = AllocateLarge(size * sizeof(uint32_t));
  if (table == nullptr)
    OutOfMemory::Exit(InsertCount, size * sizeof(uint32_t), "the state table");
  return static_cast<uint32_t*>(table);
}

void HybridHash::AllocateBlock(uint32_t index) {
  const uint64_t bytes = uint64_t(ArraySize) * StateSize;
  StateArrays[index] = static_cast<char*>(AllocateLarge(bytes));
  if (StateArrays[index] == nullptr)
    OutOfMemory::Exit(InsertCount, bytes, "the state store");
}

uint64_t HybridHash::GrowthPoint(uint64_t size) const {
  // Insert grows the table before a number n >= size * LoadFactor; a number
  // never exceeds the entries either.
  const double point = std::ceil(double(size) * LoadFactor);
  return std::min<uint64_t>(size, point >= double(size) ? size : uint64_t(point));
}

uint64_t HybridHash::Hash(const char* state) const {
  return XXH3_64bits(state, StateSize);
}

bool HybridHash::SameState(const char* stored, const char* state) const {
  if (Model != nullptr)
    return Model->CompareState(const_cast<char*>(stored), const_cast<char*>(state));
  return std::memcmp(stored, state, StateSize) == 0;
}

uint64_t HybridHash::getHashKey(char* state, long m) {
  assert(m > 0 && "a table has entries");
  return FirstEntry(Hash(state), static_cast<uint64_t>(m));
}

uint32_t HybridHash::Lookup(char* state) {
  return Lookup(state, Hash(state));
}

uint32_t HybridHash::Lookup(char* state, uint64_t hash) {
  assert(HashTable != nullptr && "no lookup after the table was released");
  uint64_t h = FirstEntry(hash, HashTableSize);
  MissValid = false;
  for (uint64_t probes = 0; probes < HashTableSize; probes++) {
    const uint32_t e = HashTable[h];
    if (e == 0)
      return Miss(h, hash, state);
    if (Entry.tagMatches(e, hash)) {
      const uint32_t n = Entry.number(e);
      if (n == 0 || n > InsertCount) {
        HashTable[h] = 0; // a damaged entry: forget it
        return Miss(h, hash, state);
      }
      if (SameState(StoredState(n), state))
        return n;
    }
    if (++h == HashTableSize)
      h = 0;
  }
  return NotFound;
}

bool HybridHash::Place(uint32_t* table, uint64_t size, uint64_t first, uint32_t value) {
  uint64_t h = first;
  for (uint64_t probes = 0; probes < size; probes++) {
    if (table[h] == 0) {
      table[h] = value;
      return true;
    }
    if (++h == size)
      h = 0;
  }
  return false;
}

uint32_t HybridHash::Miss(uint64_t h, uint64_t hash, const char* state) {
  MissValid = true;
  MissEntry = h;
  MissHash = hash;
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
  assert(n == uint64_t(InsertCount) + 1 && "states are numbered 1, 2, 3, ... in order");
  if (n > MaxState()) {
    std::cerr << "Error: too many states: state numbers have 32 bits, so at most " << MaxState()
              << " states can be numbered; state " << n << " cannot be." << std::endl;
    std::exit(1);
  }
  while (double(n) >= double(HashTableSize) * LoadFactor || n > Entry.largestNumber())
    Rehash();
  while (n >= uint64_t(LastArray + 1) * ArraySize)
    AddArray();

  // The vector goes into the store first, so that a growth of the table
  // below re-keys it with the others.
  std::memcpy(StoredState(static_cast<uint32_t>(n)), state, StateSize);
  InsertCount++;

  if (MissEntryHolds(state)) {
    HashTable[MissEntry] = Entry.make(static_cast<uint32_t>(n), MissHash);
    MissValid = false;
    return;
  }
  // A table without an empty entry (filled to a load factor of 1) grows; the
  // growth places this state too.
  const uint64_t hash = Hash(state);
  if (!Place(HashTable, HashTableSize, FirstEntry(hash, HashTableSize),
             Entry.make(static_cast<uint32_t>(n), hash)))
    Rehash();
}

void HybridHash::Rehash() {
  for (;;) {
    RehashCount++;
    const uint64_t newSize = PrimeArray[RehashCount];
    if (newSize == 0) {
      std::cerr << "Hash:  Error:  allocate more memory for Hash Table. Previous size was "
                << HashTableSize << std::endl;
      std::exit(1);
    }
    if (newSize < HashTableSize) {
      std::cerr << "Hash:  Error, there is a typo in the Hash Table, check .h file" << std::endl;
      std::exit(1);
    }
    const TableEntry entry(GrowthPoint(newSize));

    // The old table goes first: the new one is built from the store, in
    // number order, so the peak is the new table alone.
    ReleaseLarge(HashTable, HashTableSize * sizeof(uint32_t));
    HashTable = nullptr;
    uint32_t* table = NewTable(newSize);
    // Entries land at random places: the hashes run Ahead numbers in front
    // of the placements, their entries prefetched, so the waits overlap.
    constexpr uint32_t Ahead = 16;
    uint64_t pending[Ahead];
    const uint32_t count = InsertCount;
    for (uint32_t n = 1; n <= std::min(count, Ahead); n++) {
      pending[n % Ahead] = Hash(StoredState(n));
      __builtin_prefetch(table + FirstEntry(pending[n % Ahead], newSize));
    }
    bool placedAll = true;
    for (uint32_t n = 1; n <= count && placedAll; n++) {
      const uint64_t hash = pending[n % Ahead];
      if (n + Ahead <= count) {
        const uint64_t next = Hash(StoredState(n + Ahead));
        pending[(n + Ahead) % Ahead] = next;
        __builtin_prefetch(table + FirstEntry(next, newSize));
      }
      placedAll = Place(table, newSize, FirstEntry(hash, newSize), entry.make(n, hash));
    }
    HashTable = table;
    HashTableSize = newSize;
    Entry = entry;
    MissValid = false;
    if (placedAll)
      return;
  }
}

void HybridHash::AddArray() {
  if (LastArray + 1 >= MaxArrays) {
    // The block list doubles.
    const uint64_t capacity = uint64_t(MaxArrays) * 2;
    void* arrays = std::realloc(StateArrays, capacity * sizeof(char*));
    if (arrays == nullptr)
      OutOfMemory::Exit(InsertCount, capacity * sizeof(char*), "the state store's block list");
    StateArrays = static_cast<char**>(arrays);
    std::fill(StateArrays + MaxArrays, StateArrays + capacity, nullptr);
    MaxArrays = static_cast<uint32_t>(capacity);
  }
  LastArray++;
  AllocateBlock(LastArray);
}

void HybridHash::ReleaseTable() {
  ReleaseLarge(HashTable, HashTableSize * sizeof(uint32_t));
  HashTable = nullptr;
  HashTableSize = 0;
}

HybridHash::ProbeRuns HybridHash::probeRuns() const {
  ProbeRuns runs;
  uint64_t run = 0;
  // A run that wraps around the end continues at the start: count the
  // leading run once more at the end.
  uint64_t leading = 0;
  while (leading < HashTableSize && HashTable[leading] != 0)
    leading++;
  for (uint64_t h = 0; h < HashTableSize; h++) {
    if (HashTable[h] != 0) {
      runs.occupied++;
      run++;
      runs.longest = std::max(runs.longest, run);
    } else {
      run = 0;
    }
  }
  runs.longest = std::max(runs.longest, std::min(run + leading, HashTableSize));
  return runs;
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
