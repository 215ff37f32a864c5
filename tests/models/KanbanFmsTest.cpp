// Runs the kanban and FMS executables as subprocesses and checks what they
// write against numbers derived from the two models' definitions: the
// published state and transition counts, the first records of the chain,
// reward values and the .pvtype file.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

#include "tests/models/ReferenceNets.h"

namespace fs = std::filesystem;

namespace {

struct Transition {
  unsigned target;
  double rate;
};

// What one run produced.
struct ModelRun {
  int status = -1;
  std::string stdoutText;
  std::string pvtype;
  unsigned states = 0; // line 2 of the .arm file
  // records[n - 1] = the transitions of state n, in file order.
  std::vector<std::vector<Transition>> records;
  std::vector<std::string> pvNames;
  // var[n - 1][2k], var[n - 1][2k + 1]: impulse and rate reward of PV k.
  std::vector<std::vector<double>> var;
  std::string armError; // non-empty when the .arm file is malformed

  unsigned long long transitions() const {
    unsigned long long t = 0;
    for (const auto& r : records)
      t += r.size();
    return t;
  }
};

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Parses the .arm file: type line, count line, blank line, then per state its
// number, (target, rate) pairs and a terminating 0.
void ParseArm(const fs::path& p, ModelRun& run) {
  std::ifstream in(p);
  std::string line;
  if (!std::getline(in, line) || line != "1") {
    run.armError = "first line is not the file type 1";
    return;
  }
  if (!std::getline(in, line)) {
    run.armError = "no state count";
    return;
  }
  run.states = static_cast<unsigned>(std::stoul(line));
  std::getline(in, line); // the remaining header blanks
  if (line.find_first_not_of(' ') != std::string::npos) {
    run.armError = "third header line is not blank";
    return;
  }
  for (unsigned n = 1; n <= run.states; n++) {
    if (!std::getline(in, line) || std::stoul(line) != n) {
      run.armError = "record " + std::to_string(n) + " missing or out of order";
      return;
    }
    std::vector<Transition> rec;
    for (;;) {
      if (!std::getline(in, line)) {
        run.armError = "record " + std::to_string(n) + " not terminated";
        return;
      }
      unsigned target = static_cast<unsigned>(std::stoul(line));
      if (target == 0)
        break;
      std::getline(in, line);
      rec.push_back({target, std::stod(line)});
    }
    run.records.push_back(std::move(rec));
  }
  if (std::getline(in, line))
    run.armError = "data after the last record";
}

// Parses the text .var file: numPVs name lines, then per state its number and
// two values per PV.
void ParseVar(const fs::path& p, int numPVs, ModelRun& run) {
  std::ifstream in(p);
  std::string line;
  for (int k = 0; k < numPVs && std::getline(in, line); k++)
    run.pvNames.push_back(line);
  while (std::getline(in, line)) {
    std::vector<double> values;
    for (int k = 0; k < 2 * numPVs && std::getline(in, line); k++)
      values.push_back(std::stod(line));
    run.var.push_back(values);
  }
}

// Runs gen-<model> with the given arguments into a fresh directory, once per
// distinct command line; later calls return the cached result.
const ModelRun& RunModel(const std::string& model, const std::string& args, int numPVs) {
  static std::map<std::string, ModelRun> cache;
  const std::string key = model + " " + args;
  auto it = cache.find(key);
  if (it != cache.end())
    return it->second;

  ModelRun& run = cache[key];
  static int counter = 0;
  const fs::path dir = fs::temp_directory_path() / ("ssg_models_" + std::to_string(::getpid()) +
                                                    "_" + std::to_string(counter++));
  fs::create_directories(dir);
  const std::string cmd = std::string(SSG_BINARY_DIR) + "/gen-" + model + " -P" + dir.string() +
                          "/ -Nrun " + args + " > " + (dir / "stdout.txt").string() + " 2>&1";
  const int rc = std::system(cmd.c_str());
  run.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  run.stdoutText = ReadFile(dir / "stdout.txt");
  run.pvtype = ReadFile(dir / "run.pvtype");
  ParseArm(dir / "run.arm", run);
  ParseVar(dir / "run.var", numPVs, run);
  fs::remove_all(dir);
  return run;
}

const ModelRun& Kanban(int n) {
  return RunModel("kanban", "-B" + std::to_string(n - 1), 2);
}
const ModelRun& Fms(int n) {
  return RunModel("fms", "-B" + std::to_string(n - 1), 1);
}

// Checks a run that should have succeeded and produced a well-formed chain:
// every target is a numbered state, targets of a record increase, every rate
// is positive and finite, and every state has its .var record.
void ExpectWellFormed(const ModelRun& run) {
  ASSERT_EQ(run.status, 0) << run.stdoutText;
  ASSERT_EQ(run.armError, "");
  ASSERT_EQ(run.records.size(), run.states);
  ASSERT_EQ(run.var.size(), run.states);
  for (unsigned n = 1; n <= run.states; n++) {
    unsigned previous = 0;
    for (const Transition& t : run.records[n - 1]) {
      ASSERT_GT(t.target, previous) << "state " << n;
      ASSERT_LE(t.target, run.states) << "state " << n;
      ASSERT_GT(t.rate, 0.0) << "state " << n;
      ASSERT_TRUE(std::isfinite(t.rate)) << "state " << n;
      previous = t.target;
    }
  }
  EXPECT_NE(run.stdoutText.find("Generated: " + std::to_string(run.states) + " states"),
            std::string::npos);
}

std::vector<double> SortedRates(const std::vector<Transition>& rec) {
  std::vector<double> r;
  r.reserve(rec.size());
  for (const Transition& t : rec)
    r.push_back(t.rate);
  std::sort(r.begin(), r.end());
  return r;
}

void ExpectRates(const std::vector<Transition>& rec, std::vector<double> expected) {
  std::sort(expected.begin(), expected.end());
  std::vector<double> got = SortedRates(rec);
  ASSERT_EQ(got.size(), expected.size());
  for (size_t i = 0; i < got.size(); i++)
    EXPECT_NEAR(got[i], expected[i], 1e-9 * std::max(1.0, expected[i])) << "entry " << i;
}

// Every record of the run equals the reference's, target by target.
void ExpectSameChain(const ModelRun& run, const RefChain& ref) {
  ASSERT_EQ(run.states, ref.states.size());
  for (size_t i = 0; i < ref.records.size(); i++) {
    const auto& got = run.records[i];
    ASSERT_EQ(got.size(), ref.records[i].size()) << "state " << i + 1;
    size_t k = 0;
    for (auto [target, rate] : ref.records[i]) {
      ASSERT_EQ(got[k].target, target) << "state " << i + 1;
      ASSERT_NEAR(got[k].rate, rate, 1e-9 * rate) << "state " << i + 1 << " -> " << target;
      k++;
    }
  }
}

} // namespace

// Published sizes: reachable states and transitions (.arm target entries).
TEST(KanbanTest, PublishedSizesForOneToThreeCards) {
  const unsigned states[] = {160, 4600, 58400};
  const unsigned long long transitions[] = {616, 28120, 446400};
  for (int n = 1; n <= 3; n++) {
    SCOPED_TRACE("N = " + std::to_string(n));
    const ModelRun& run = Kanban(n);
    ExpectWellFormed(run);
    EXPECT_EQ(run.states, states[n - 1]);
    EXPECT_EQ(run.transitions(), transitions[n - 1]);
  }
}

// In the initial state every card waits in Pkan{i}: only In1 (rate 1) is
// enabled. Its successor has one part in machine 1: In1, Redo1 and Ok1.
TEST(KanbanTest, FirstRecordsFollowFromTheInitialMarking) {
  const ModelRun& run = Kanban(2);
  ExpectWellFormed(run);
  ASSERT_EQ(run.records[0].size(), 1u);
  EXPECT_EQ(run.records[0][0].target, 2u);
  EXPECT_DOUBLE_EQ(run.records[0][0].rate, 1.0);
  ExpectRates(run.records[1], {1.0, 0.36, 0.84});
  // With one card, state 2 has no card left for In1.
  ExpectRates(Kanban(1).records[1], {0.36, 0.84});
}

// Cell 1 holds N parts and cards in all (Pkan1 + Pm1 + Pback1 + Pout1 = N),
// so WipCell1 lies in 0..N and Throughput is 1 exactly when WipCell1 < N.
TEST(KanbanTest, RewardsRespectTheCardInvariantOfCellOne) {
  for (int n = 1; n <= 3; n++) {
    SCOPED_TRACE("N = " + std::to_string(n));
    const ModelRun& run = Kanban(n);
    ExpectWellFormed(run);
    ASSERT_EQ(run.pvNames, (std::vector<std::string>{"Throughput", "WipCell1"}));
    std::vector<int> wipSeen(n + 1, 0);
    for (const auto& v : run.var) {
      ASSERT_EQ(v.size(), 4u);
      EXPECT_EQ(v[0], 0.0); // no impulse rewards
      EXPECT_EQ(v[2], 0.0);
      const double wip = v[3];
      ASSERT_EQ(wip, std::floor(wip));
      ASSERT_GE(wip, 0.0);
      ASSERT_LE(wip, n);
      EXPECT_EQ(v[1], wip < n ? 1.0 : 0.0);
      wipSeen[static_cast<int>(wip)]++;
    }
    // Every fill level of cell 1 is reachable.
    for (int w = 0; w <= n; w++)
      EXPECT_GT(wipSeen[w], 0) << "WipCell1 = " << w;
    EXPECT_EQ(run.var[0][1], 1.0);
    EXPECT_EQ(run.var[0][3], 0.0);
  }
}

TEST(KanbanTest, StudyListsNAndOverrideReplacesIt) {
  const ModelRun& run = Kanban(2);
  EXPECT_NE(run.stdoutText.find("The Global Variable values for experiment Experiment 2 are:\n"
                                "N\tint\t2\n"),
            std::string::npos)
      << run.stdoutText;
  // Experiment 3 with N overridden to 1 is the N = 1 chain.
  const ModelRun& over = RunModel("kanban", "-B2 -Oi:N:1", 2);
  ExpectWellFormed(over);
  EXPECT_EQ(over.states, 160u);
  EXPECT_EQ(over.transitions(), 616ull);
}

// Markings are 16-bit and never negative: an N that no place could hold
// stops the run before anything is explored.
TEST(KanbanTest, OutOfRangeNIsRejected) {
  for (const char* n : {"40000", "-1"}) {
    const ModelRun& run = RunModel("kanban", std::string("-B0 -Oi:N:") + n, 2);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.stdoutText.find(std::string("Kanban: the initial marking of place Pkan1 is ") +
                                  n + " (N = " + n + "), but a place holds 0 to 32767 tokens"),
              std::string::npos)
        << run.stdoutText;
    EXPECT_EQ(run.stdoutText.find("Generated:"), std::string::npos);
  }
  const ModelRun& fms = RunModel("fms", "-B0 -Oi:N:32768", 1);
  EXPECT_EQ(fms.status, 1);
  EXPECT_NE(fms.stdoutText.find("Fms: the initial marking of place P1 is 32768 (N = 32768)"),
            std::string::npos);
}

TEST(KanbanTest, PvtypeNamesBothSteadyStateVariables) {
  EXPECT_EQ(Kanban(1).pvtype, "Version:1\nNumPV:2\n"
                              "Name:Throughput\nType:3\nNumTimes:1\nStart:0\nStop:1\n"
                              "Name:WipCell1\nType:3\nNumTimes:1\nStart:0\nStop:1\n");
}

// Published sizes: tangible states and transitions.
TEST(FmsTest, PublishedSizesForOneToThreePallets) {
  const unsigned states[] = {54, 810, 6520};
  const unsigned long long transitions[] = {155, 3699, 37394};
  for (int n = 1; n <= 3; n++) {
    SCOPED_TRACE("N = " + std::to_string(n));
    const ModelRun& run = Fms(n);
    ExpectWellFormed(run);
    EXPECT_EQ(run.states, states[n - 1]);
    EXPECT_EQ(run.transitions(), transitions[n - 1]);
  }
}

// Initially P1 = P2 = P3 = N and S = 3N: the three arrivals fire at
// min(1, Np / 3N) * N each, Np = floor(3N / 2), into three distinct states
// (each made stable by tM1, tM2, or by tP3 leading straight to P3M2).
TEST(FmsTest, InitialArrivalsAreThrottledByTheLoad) {
  for (int n = 1; n <= 3; n++) {
    SCOPED_TRACE("N = " + std::to_string(n));
    const ModelRun& run = Fms(n);
    ExpectWellFormed(run);
    const double np = (3 * n) / 2; // NOLINT(bugprone-integer-division): floor(3N / 2) is meant
    const double rate = std::min(1.0, np / (3.0 * n)) * n;
    ASSERT_EQ(run.records[0].size(), 3u);
    EXPECT_EQ(run.records[0][0].target, 2u);
    EXPECT_EQ(run.records[0][1].target, 3u);
    EXPECT_EQ(run.records[0][2].target, 4u);
    ExpectRates(run.records[0], {rate, rate, rate});
    // Productivity in the initial state: (400 + 600 + 100) times that rate.
    ASSERT_EQ(run.var[0].size(), 2u);
    EXPECT_EQ(run.var[0][0], 0.0);
    EXPECT_NEAR(run.var[0][1], 1100.0 * rate, 1e-5 * 1100.0 * rate); // 6 digits written
  }
}

// With N = 1, state 2 is reached by tP1 then tM1: P1M1 = 1, P2 = P3 = 1,
// S = 2, Np = 1. tP2 and tP3 fire at 1/2; tP1M1 (0.25) ends in the vanishing
// P1d, split by the weights 80 : 20 between P1s and P1wP2.
TEST(FmsTest, InstantaneousChoiceSplitsTheTimedRateByWeight) {
  const ModelRun& run = Fms(1);
  ExpectWellFormed(run);
  ExpectRates(run.records[1], {0.5, 0.5, 0.25 * 0.8, 0.25 * 0.2});
  // Productivity there: 600 * 1/2 + 100 * 1/2.
  EXPECT_NEAR(run.var[1][1], 350.0, 1e-3);
}

TEST(FmsTest, PvtypeNamesProductivity) {
  EXPECT_EQ(Fms(1).pvtype,
            "Version:1\nNumPV:1\nName:Productivity\nType:3\nNumTimes:1\nStart:0\nStop:1\n");
}

// Every record of the kanban chain, and every state's rewards, as the
// definition gives them.
TEST(KanbanTest, ChainMatchesReferenceExploration) {
  for (int n = 1; n <= 2; n++) {
    SCOPED_TRACE("N = " + std::to_string(n));
    const ModelRun& run = Kanban(n);
    ExpectWellFormed(run);
    const Reference ref = KanbanReference(n);
    ExpectSameChain(run, ref.chain());
    for (size_t i = 0; i < ref.chain().states.size(); i++) {
      const Marking& m = ref.chain().states[i];
      ASSERT_EQ(run.var[i][1], m[0] > 0 ? 1.0 : 0.0) << "state " << i + 1;
      ASSERT_EQ(run.var[i][3], m[1] + m[2] + m[3]) << "state " << i + 1;
    }
  }
}

// Every record of the FMS chain (instantaneous chains eliminated, split by
// weight) and every state's Productivity, as the definition gives them.
TEST(FmsTest, ChainMatchesReferenceExploration) {
  for (int n = 1; n <= 2; n++) {
    SCOPED_TRACE("N = " + std::to_string(n));
    const ModelRun& run = Fms(n);
    ExpectWellFormed(run);
    const Reference ref = FmsReference(n);
    ExpectSameChain(run, ref.chain());
    for (size_t i = 0; i < ref.chain().states.size(); i++) {
      const Marking& m = ref.chain().states[i];
      const double productivity = 400 * FmsArrival(n, m, P1) + 600 * FmsArrival(n, m, P2) +
                                  100 * FmsArrival(n, m, P3) + 1100 * FmsArrival(n, m, P12);
      ASSERT_NEAR(run.var[i][1], productivity, 1e-5 * productivity) << "state " << i + 1;
    }
  }
}
