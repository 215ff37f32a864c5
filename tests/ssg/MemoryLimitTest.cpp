// Running out of memory: with the address space of a death test's child
// limited through setrlimit, the state store cannot grow, and the run must
// end with the memory message (states stored, bytes asked for) and status 1.
//
// The limit is set relative to the address space the child already maps, so
// the same test runs in the plain and in the AddressSanitizer build (whose
// shadow memory maps terabytes up front). The sanitizer's allocator must
// hand a failed allocation back as null, as the C library's does, instead of
// stopping the program itself: allocator_may_return_null below. The limit is
// a soft one and is lifted again at exit, so the sanitizer's leak check can
// still run.

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "ssg/HybridHash.h"
#include "ssg/OutOfMemory.h"
#include "tests/ssg/GenHarness.h"

#if defined(__SANITIZE_ADDRESS__)
extern "C" const char* __asan_default_options() {
  return "allocator_may_return_null=1";
}
#endif

namespace {

// Bytes of address space the process maps now.
uint64_t MappedBytes() {
  unsigned long long pages = 0;
  if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(statm, "%llu", &pages) != 1)
      pages = 0;
    std::fclose(statm);
  }
  return pages * static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
}

void LiftAddressSpaceLimit() {
  rlimit limit;
  if (getrlimit(RLIMIT_AS, &limit) == 0) {
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_AS, &limit);
  }
}

// From now on the process may map at most `bytes` more.
void LimitAddressSpace(uint64_t bytes) {
  rlimit limit;
  ASSERT_EQ(getrlimit(RLIMIT_AS, &limit), 0);
  limit.rlim_cur = MappedBytes() + bytes;
  ASSERT_EQ(setrlimit(RLIMIT_AS, &limit), 0) << std::strerror(errno);
  std::atexit(LiftAddressSpaceLimit);
}

TEST(HybridHashDeathTest, StoreOrTableThatCannotGrowEndsWithTheMemoryMessage) {
  // Blocks of 10000 vectors of 400 bytes (4 MB each) and a table that grows
  // only at 2162671 states, 24 MB to spare: the store takes a few blocks,
  // then the next one is refused.
  auto fillStore = [] {
    HybridHash table(nullptr, 400, 4325341, 10000, 5, 4, 0.5);
    LimitAddressSpace(24u << 20);
    std::vector<char> v(400, 0);
    for (uint32_t n = 1; n < 1000000; n++) {
      std::memcpy(v.data(), &n, sizeof n);
      table.Insert(v.data(), n);
    }
    std::exit(0); // not reached: the memory ran out first
  };
  EXPECT_EXIT(fillStore(), testing::ExitedWithCode(1),
              "^Error: out of memory after storing [1-9][0-9]+ states: could not allocate "
              "4000000 bytes for the state store\nGive the run more memory, or reduce the "
              "model.\n$");

  // Small vectors and the smallest table, 512 KiB to spare: the growth of
  // the table at state 65536 to 393209 entries (1.5 MiB) is refused. The
  // old table (516 KiB mapped) is given back first, and the C library maps
  // and unmaps blocks of these sizes directly, so the new table may use the
  // spare plus the old table's pages: with 1 MiB to spare that was 4 KiB
  // more than the new table's mapping, the growth succeeded and the store's
  // next block (at state 100000) was refused instead. The sanitizer's
  // allocator keeps freed blocks in quarantine and gives nothing back.
  // With 512 KiB the table is refused under either allocator.
  auto growTable = [] {
    HybridHash table(nullptr, 8, 131071, 100000, 5, 4, 0.5);
    LimitAddressSpace(512u << 10);
    std::vector<char> v(8, 0);
    for (uint32_t n = 1; n < 1000000; n++) {
      std::memcpy(v.data(), &n, sizeof n);
      table.Insert(v.data(), n);
    }
    std::exit(0); // not reached
  };
  EXPECT_EXIT(growTable(), testing::ExitedWithCode(1),
              "^Error: out of memory after storing 65535 states: could not allocate 1572836 "
              "bytes for the state table\nGive the run more memory, or reduce the model.\n$");
}

TEST(OutOfMemoryDeathTest, AFailingOperatorNewDuringTheRunEndsItWithTheMessage) {
  // Any other allocation of the run ends up in the new-handler that an
  // OutOfMemory object installs (called here as operator new would call it:
  // the sanitizer's operator new reports on its own instead).
  auto run = [] {
    uint32_t stored = 1234;
    OutOfMemory guard(stored);
    stored = 4321;
    std::get_new_handler()();
  };
  EXPECT_EXIT(run(), testing::ExitedWithCode(1),
              "^Error: out of memory after storing 4321 states: an allocation for the run "
              "failed\nGive the run more memory, or reduce the model.\n$");
  // The guard's end restores the handler in place before it.
  std::new_handler before = std::get_new_handler();
  {
    uint32_t stored = 0;
    OutOfMemory guard(stored);
    EXPECT_NE(std::get_new_handler(), before);
  }
  EXPECT_EQ(std::get_new_handler(), before);
}

// A state variable of 400 bytes: a counter in its first 4, zeros after.
class Blob : public BaseStateVariableClass {
public:
  static constexpr int Size = 400;
  uint32_t counter = 0;
  int StateSize() override { return Size; }
  void SetState(void* p) override { std::memcpy(&counter, p, sizeof counter); }
  void CurrentState(void* p) override {
    std::memset(p, 0, Size);
    std::memcpy(p, &counter, sizeof counter);
  }
  void share(BaseStateVariableClass*) override {}
};

class BlobSAN : public SmallSAN {
public:
  Blob blob;
  BlobSAN() {
    auto* up = activity("up");
    up->enabled = [this] { return blob.counter < 1000000; };
    up->rate = [] { return 1.0; };
    up->fire = [this] { blob.counter++; };
    BaseStateVariableClass* places[] = {&blob};
    Activity* acts[] = {up};
    BaseGroupClass* groups[] = {up};
    initializeSANModelNow("Blob", 1, places, 0, nullptr, 1, acts, 1, groups);
  }
};

TEST(StateSpaceGenDeathTest, RunOutOfMemoryNamesTheStatesStoredAndTheBytesAskedFor) {
  // The generator stores 100000 vectors per block, here of 400 bytes: 40 MB.
  // With 24 MB to spare (the output thread takes its stack and 4 MB of
  // chunks from it), block 0 (allocated at the start) holds states 1 to
  // 99999, and block 1, needed by state 100000, cannot be allocated.
  ScratchDir dir;
  auto run = [&dir] {
    BlobSAN* san = new BlobSAN;
    SmallPVModel model(san);
    StateSpaceGen gen(&model, dir.path.c_str(), "t", 0, 0.5, nullptr, nullptr, nullptr);
    gen.InitializeTrace();
    std::cout.rdbuf(nullptr); // no progress lines
    LimitAddressSpace(24u << 20);
    gen.GenStateSpace();
    std::exit(0); // not reached
  };
  EXPECT_EXIT(run(), testing::ExitedWithCode(1),
              "^Error: out of memory after storing 99999 states: could not allocate 40000000 "
              "bytes for the state store\nGive the run more memory, or reduce the model.\n$");
}

} // namespace
