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

// An independent reference: the two nets written as plain marking vectors
// straight from their definitions, explored the way the generator defines
// its chain (breadth-first; timed activities in action order; after a timed
// firing, enabled instantaneous activities fire depth-first, one alone with
// probability 1, several split by weight; a stable state reached for the
// first time with a positive rate gets the next number; rates to one target
// are summed). The numbering is therefore the generator's, and its records
// can be compared entry by entry.
using Marking = std::vector<int>;

struct RefActivity {
  bool instant;
  double weight;
  std::function<bool(const Marking&)> enabled;
  std::function<double(const Marking&)> rate;
  std::function<void(Marking&)> fire;
};

struct RefChain {
  std::vector<Marking> states;                     // states[n - 1] = state n
  std::vector<std::map<unsigned, double>> records; // target -> summed rate
};

class Reference {
public:
  Reference(std::vector<RefActivity> acts, const Marking& initial) : Acts(std::move(acts)) {
    Number(initial);
    for (Explored = 0; Explored < Chain.states.size(); Explored++) {
      const Marking m = Chain.states[Explored];
      for (const RefActivity& a : Acts) {
        if (a.instant || !a.enabled(m))
          continue;
        Marking next = m;
        a.fire(next);
        Settle(next, a.rate(m), 1.0);
      }
    }
  }
  const RefChain& chain() const { return Chain; }

private:
  std::vector<RefActivity> Acts;
  RefChain Chain;
  std::map<Marking, unsigned> Numbers;
  size_t Explored = 0; // index of the state being explored

  unsigned Number(const Marking& m) {
    auto [it, added] = Numbers.emplace(m, static_cast<unsigned>(Chain.states.size() + 1));
    if (added) {
      Chain.states.push_back(m);
      Chain.records.emplace_back();
    }
    return it->second;
  }

  // Follows the instantaneous activities enabled in m to stable states; p is
  // the probability of the chain so far.
  void Settle(const Marking& m, double rate, double p) {
    std::vector<const RefActivity*> enabled;
    for (const RefActivity& a : Acts)
      if (a.instant && a.enabled(m))
        enabled.push_back(&a);
    if (enabled.empty()) {
      if (rate * p > 0) {
        const unsigned n = Number(m);
        Chain.records[Explored][n] += rate * p;
      }
      return;
    }
    double total = 0;
    for (const RefActivity* a : enabled)
      total += a->weight;
    for (const RefActivity* a : enabled) {
      Marking next = m;
      a->fire(next);
      Settle(next, rate, enabled.size() == 1 ? p : a->weight / total * p);
    }
  }
};

// Kanban places: cell c (0-based) has Pkan 4c, Pm 4c + 1, Pback 4c + 2,
// Pout 4c + 3.
Reference KanbanReference(int n) {
  auto kan = [](int c) { return 4 * (c - 1); };
  auto pm = [](int c) { return 4 * (c - 1) + 1; };
  auto back = [](int c) { return 4 * (c - 1) + 2; };
  auto out = [](int c) { return 4 * (c - 1) + 3; };
  // A timed activity: enabled when every listed place is marked; fires the
  // listed (place, change) pairs.
  auto timed = [](std::vector<int> guard, double rate, std::vector<std::pair<int, int>> change) {
    return RefActivity{false, 1.0,
                       [guard](const Marking& m) {
                         return std::all_of(guard.begin(), guard.end(),
                                            [&](int p) { return m[p] > 0; });
                       },
                       [rate](const Marking&) { return rate; },
                       [change](Marking& m) {
                         for (auto [p, d] : change)
                           m[p] += d;
                       }};
  };
  const double redo[] = {0.36, 0.42, 0.39, 0.33};
  const double ok[] = {0.84, 0.98, 0.91, 0.77};
  std::vector<RefActivity> acts;
  acts.push_back(timed({kan(1)}, 1.0, {{kan(1), -1}, {pm(1), 1}}));
  for (int c = 1; c <= 4; c++) {
    acts.push_back(timed({pm(c)}, redo[c - 1], {{pm(c), -1}, {back(c), 1}}));
    acts.push_back(timed({pm(c)}, ok[c - 1], {{pm(c), -1}, {out(c), 1}}));
    acts.push_back(timed({back(c)}, 0.3, {{back(c), -1}, {pm(c), 1}}));
  }
  acts.push_back(
      timed({out(1), kan(2), kan(3)}, 0.4,
            {{out(1), -1}, {kan(1), 1}, {kan(2), -1}, {pm(2), 1}, {kan(3), -1}, {pm(3), 1}}));
  acts.push_back(
      timed({out(2), out(3), kan(4)}, 0.5,
            {{out(2), -1}, {kan(2), 1}, {out(3), -1}, {kan(3), 1}, {kan(4), -1}, {pm(4), 1}}));
  acts.push_back(timed({out(4)}, 0.9, {{out(4), -1}, {kan(4), 1}}));
  Marking initial(16, 0);
  for (int c = 1; c <= 4; c++)
    initial[kan(c)] = n;
  return Reference(std::move(acts), initial);
}

enum FmsPlace {
  P1,
  P1wM1,
  P1M1,
  M1,
  P1d,
  P1s,
  P1wP2,
  P12,
  P12wM3,
  P12M3,
  M3,
  P12s,
  P2,
  P2wM2,
  P2M2,
  M2,
  P2d,
  P2wP1,
  P2s,
  P3,
  P3M2,
  P3s,
  FmsPlaces
};

// min(1, Np / S) times the marking of place, Np = floor(3N / 2).
double FmsArrival(int n, const Marking& m, int place) {
  const int s = m[P1] + m[P2] + m[P3] + m[P12];
  return m[place] == 0 ? 0.0 : std::min(1.0, double((3 * n) / 2) / s) * m[place];
}

Reference FmsReference(int n) {
  auto act = [](bool instant, double weight, std::vector<int> guard,
                std::function<double(const Marking&)> rate, std::function<void(Marking&)> fire) {
    return RefActivity{instant, weight,
                       [guard](const Marking& m) {
                         return std::all_of(guard.begin(), guard.end(),
                                            [&](int p) { return m[p] > 0; });
                       },
                       rate, fire};
  };
  auto move = [](int from, int to) {
    return [from, to](Marking& m) {
      m[from]--;
      m[to]++;
    };
  };
  auto constant = [](double r) { return [r](const Marking&) { return r; }; };
  std::vector<RefActivity> acts;
  const std::pair<int, int> arrivals[] = {{P1, P1wM1}, {P2, P2wM2}, {P3, P3M2}, {P12, P12wM3}};
  for (auto [from, to] : arrivals)
    acts.push_back(act(
        false, 1, {from}, [n, from = from](const Marking& m) { return FmsArrival(n, m, from); },
        move(from, to)));
  acts.push_back(act(
      false, 1, {P1M1}, [](const Marking& m) { return 0.25 * m[P1M1]; },
      [](Marking& m) { m[P1M1]--, m[M1]++, m[P1d]++; }));
  acts.push_back(
      act(false, 1, {P2M2}, constant(1.0 / 6), [](Marking& m) { m[P2M2]--, m[M2]++, m[P2d]++; }));
  acts.push_back(act(false, 1, {P3M2, M2}, constant(0.5), move(P3M2, P3s)));
  acts.push_back(act(
      false, 1, {P12M3}, [](const Marking& m) { return 1.0 * m[P12M3]; },
      [](Marking& m) { m[P12M3]--, m[M3]++, m[P12s]++; }));
  const std::pair<int, int> returns[] = {{P1s, P1}, {P2s, P2}, {P3s, P3}};
  for (auto [done, pallets] : returns)
    acts.push_back(
        act(false, 1, {done}, constant(1.0 / 60), [done = done, pallets = pallets](Marking& m) {
          m[pallets] += m[done];
          m[done] = 0;
        }));
  acts.push_back(act(false, 1, {P12s}, constant(1.0 / 60), [](Marking& m) {
    m[P1] += m[P12s], m[P2] += m[P12s];
    m[P12s] = 0;
  }));
  const int machines[][3] = {{P1wM1, M1, P1M1}, {P2wM2, M2, P2M2}, {P12wM3, M3, P12M3}};
  for (auto& w : machines)
    acts.push_back(
        act(true, 1, {w[0], w[1]}, constant(0),
            [w0 = w[0], w1 = w[1], w2 = w[2]](Marking& m) { m[w0]--, m[w1]--, m[w2]++; }));
  acts.push_back(act(true, 80, {P1d}, constant(0), move(P1d, P1s)));
  acts.push_back(act(true, 20, {P1d}, constant(0), move(P1d, P1wP2)));
  acts.push_back(act(true, 60, {P2d}, constant(0), move(P2d, P2s)));
  acts.push_back(act(true, 40, {P2d}, constant(0), move(P2d, P2wP1)));
  acts.push_back(act(true, 1, {P1wP2, P2wP1}, constant(0),
                     [](Marking& m) { m[P1wP2]--, m[P2wP1]--, m[P12]++; }));
  Marking initial(FmsPlaces, 0);
  initial[P1] = initial[P2] = initial[P3] = n;
  initial[M1] = 3;
  initial[M3] = 2;
  initial[M2] = 1;
  return Reference(std::move(acts), initial);
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
    const double np = (3 * n) / 2;
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
