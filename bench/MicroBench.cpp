// Micro-benchmarks of the pieces the generator runs per state or per
// transition: the state table's key function, lookup and insert, the model's
// SetState / CurrentState / FireAction, and the .arm record writer.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <iostream>
#include <random>
#include <vector>

#include "RewardPVModel.h" // the compiled kanban model (models/kanban/kanban.san)
#include "SAN.h"
#include "ssg/HybridHash.h"
#include "ssg/RecordWriter.h"

namespace {

// The generator's table parameters.
constexpr unsigned long TableSize = 4325341;
constexpr unsigned long BlockSize = 100000;
constexpr unsigned long Blocks = 128;

// count distinct state vectors of `size` bytes shaped like SAN markings:
// 16-bit values 0..7, most high bytes 0. The first eight places spell the
// index in base 8, so the vectors are distinct for count < 8^8.
std::vector<char> MakeStates(std::size_t count, std::size_t size) {
  std::vector<char> states(count * size, 0);
  std::mt19937 rng(12345);
  for (std::size_t i = 0; i < count; i++) {
    std::uint64_t id = i;
    for (std::size_t b = 0; b + 1 < size; b += 2) {
      short v;
      if (b < 16) {
        v = static_cast<short>(id % 8);
        id /= 8;
      } else {
        v = static_cast<short>(rng() % 3);
      }
      std::memcpy(&states[i * size + b], &v, sizeof v);
    }
  }
  return states;
}

// Key of one vector; the argument is the vector size (32 = kanban, 44 = FMS).
void BM_HashKey(benchmark::State& state) {
  const std::size_t size = static_cast<std::size_t>(state.range(0));
  const std::size_t count = 4096;
  std::vector<char> states = MakeStates(count, size);
  HybridHash table(nullptr, size, TableSize, BlockSize, 5, 1, 0.5);
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(table.getHashKey(&states[i * size], TableSize));
    i = (i + 1) % count;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_HashKey)->Arg(32)->Arg(44);

// Inserting range(0) new states in number order, as the generator does (each
// insert follows a failed lookup). Reported per state.
void BM_LookupInsert(benchmark::State& state) {
  const std::size_t size = 32;
  const std::size_t count = static_cast<std::size_t>(state.range(0));
  std::vector<char> states = MakeStates(count, size);
  for (auto _ : state) {
    HybridHash table(nullptr, size, TableSize, BlockSize, 5, Blocks, 0.5);
    for (std::size_t i = 0; i < count; i++) {
      char* s = &states[i * size];
      if (table.Lookup(s) == 0xFFFFFFFFu)
        table.Insert(s, i + 1);
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_LookupInsert)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// Looking up states that are all present (the common case: most transitions
// reach a known state), in a table of range(0) states.
void BM_LookupHit(benchmark::State& state) {
  const std::size_t size = 32;
  const std::size_t count = static_cast<std::size_t>(state.range(0));
  std::vector<char> states = MakeStates(count, size);
  HybridHash table(nullptr, size, TableSize, BlockSize, 5, Blocks, 0.5);
  for (std::size_t i = 0; i < count; i++)
    table.Insert(&states[i * size], i + 1);
  std::mt19937 rng(7);
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(table.Lookup(&states[i * size]));
    i = rng() % count;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LookupHit)->Arg(100000)->Arg(2000000);

// The kanban reward model with N = 3, as the generator drives it.
struct KanbanFixture {
  KanbanRewardPVModel* model;
  std::vector<char> initial;
  std::vector<char> next;

  KanbanFixture() {
    G_N = 3;
    model = new KanbanRewardPVModel(false);
    model->ConsiderOnly(nullptr, -1);
    initial.resize(model->StateSize());
    next.resize(model->StateSize());
    model->CurrentState(initial.data());
  }
  ~KanbanFixture() { delete model; }
  KanbanFixture(const KanbanFixture&) = delete;
  KanbanFixture& operator=(const KanbanFixture&) = delete;
};

void BM_SetStateCurrentState(benchmark::State& state) {
  KanbanFixture f;
  for (auto _ : state) {
    f.model->SetState(f.initial.data());
    f.model->CurrentState(f.next.data());
    benchmark::DoNotOptimize(f.next.data());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SetStateCurrentState);

// One transition's model work: load the state, test and fire In1 (updating
// both reward variables and writing the new vector), as FindNext does.
void BM_FireAction(benchmark::State& state) {
  KanbanFixture f;
  KanbanSAN* san = static_cast<KanbanSAN*>(f.model->ChildModel);
  BaseActionClass* in1 = &san->A_In1;
  for (auto _ : state) {
    f.model->SetState(f.initial.data());
    if (in1->Enabled()) {
      benchmark::DoNotOptimize(in1->Rate() * f.model->Groups[in1->GroupID]->Probability(in1));
      f.model->FireAction(f.next.data(), in1);
    }
    benchmark::DoNotOptimize(f.next.data());
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FireAction);

// One .arm record of a state with 8 transitions, to /dev/null.
void BM_ArmRecord(benchmark::State& state) {
  RecordWriter w;
  if (!w.open("/dev/null")) {
    state.SkipWithError("cannot open /dev/null");
    return;
  }
  std::uint64_t n = 1000000;
  for (auto _ : state) {
    w.putUnsignedLine(n);
    for (unsigned t = 0; t < 8; t++) {
      w.putUnsignedLine(n + 1000 * t + 17);
      w.putScientific(0.36 + 0.01 * t);
      w.putChar('\n');
    }
    w.putUnsignedLine(0);
    n++;
  }
  w.close();
  state.SetItemsProcessed(state.iterations() * 8);
}
BENCHMARK(BM_ArmRecord);

} // namespace

// --help and --version answer whatever else is on the command line; every
// other option is the benchmark library's.
int main(int argc, char** argv) {
  bool help = false, version = false;
  for (int i = 1; i < argc; i++) {
    help = help || std::strcmp(argv[i], "--help") == 0;
    version = version || std::strcmp(argv[i], "--version") == 0;
  }
  if (help) {
    std::cout << "Usage: micro_bench [--benchmark_<option>=<value> ...]\n"
                 "Times the generator's pieces per state and per transition: the state\n"
                 "table's key, lookup and insert, the model's SetState / CurrentState /\n"
                 "FireAction, and the .arm record writer.\n"
                 "Options:\n"
                 "  --help      this text, then the benchmark library's options\n"
                 "  --version   the version\n"
                 "Example:\n"
                 "  micro_bench --benchmark_filter=BM_Lookup --benchmark_repetitions=5\n\n"
              << std::flush;
    char flag[] = "--help";
    char* arguments[] = {argv[0], flag, nullptr};
    int count = 2;
    benchmark::Initialize(&count, arguments); // prints its options and exits 0
    return 0;
  }
  if (version) {
    std::cout << "micro_bench 1.0.0\n";
    return 0;
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv))
    return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
