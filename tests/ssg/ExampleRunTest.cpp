// The example's state space for all six experiments, compared with an
// independent breadth-first exploration of the example model's rules written
// out here: markings, enabling conditions, rates and firings as the model
// defines them, the instantaneous FailureBC eliminated by firing it at once.

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "tests/driver/Subprocess.h"
#include "tests/ssg/GenHarness.h"

namespace {

// Place indices in the state vector.
enum {
  PlaceB,
  B_Failure,
  PlaceC,
  C_Failure,
  FailState,
  PlaceA,
  A_Failure,
  BCCounter,
  FirstTimeFailure,
  NumPlaces
};
using Marking = std::array<short, NumPlaces>;

const Marking Initial = {2, 0, 3, 0, 0, 1, 0, 0, 0};

void RepairReset(Marking& m) {
  if (m[FailState] == 1 && m[A_Failure] == 0 && m[B_Failure] == 0 && m[C_Failure] == 0)
    m[FailState] = 0;
}

// The timed activities in action order: whether enabled, the rate, the
// firing.
struct Timed {
  bool (*enabled)(const Marking&);
  double (*rate)(const Marking&, double lambda, double meo);
  void (*fire)(Marking&);
};

const Timed TimedActivities[] = {
    // FailureB
    {[](const Marking& m) { return m[PlaceB] > 0 && m[FailState] == 0; },
     [](const Marking& m, double l, double) { return m[PlaceB] * (0.5 * l); },
     [](Marking& m) {
       m[PlaceB]--;
       m[B_Failure]++;
       m[BCCounter]++;
     }},
    // Activity_Repair_B
    {[](const Marking& m) { return m[B_Failure] > 0 && m[FailState] > 0; },
     [](const Marking& m, double, double u) { return m[B_Failure] * (0.5 * u); },
     [](Marking& m) {
       m[B_Failure]--;
       m[BCCounter]--;
       RepairReset(m);
       m[PlaceB]++;
     }},
    // FailureC
    {[](const Marking& m) { return m[PlaceC] > 0 && m[FailState] == 0; },
     [](const Marking& m, double l, double) { return m[PlaceC] * l; },
     [](Marking& m) {
       m[PlaceC]--;
       m[C_Failure]++;
       m[BCCounter]++;
     }},
    // Activity_Repair_C
    {[](const Marking& m) { return m[C_Failure] > 0 && m[FailState] > 0; },
     [](const Marking& m, double, double u) { return m[C_Failure] * u; },
     [](Marking& m) {
       m[C_Failure]--;
       m[BCCounter]--;
       RepairReset(m);
       m[PlaceC]++;
     }},
    // FailureA
    {[](const Marking& m) { return m[PlaceA] > 0 && m[FailState] == 0; },
     [](const Marking& m, double l, double) { return m[PlaceA] * (0.25 * l); },
     [](Marking& m) {
       m[PlaceA]--;
       m[FirstTimeFailure] = 1;
       m[FailState]++;
       m[A_Failure]++;
     }},
    // Activity_Repair_A
    {[](const Marking& m) { return m[A_Failure] > 0 && m[FailState] > 0; },
     [](const Marking& m, double, double u) { return m[A_Failure] * (0.25 * u); },
     [](Marking& m) {
       m[A_Failure]--;
       RepairReset(m);
       m[PlaceA]++;
     }},
};

// FailureBC, the one instantaneous activity.
void Stabilize(Marking& m) {
  while (m[BCCounter] == 5 && m[FailState] == 0) {
    m[FirstTimeFailure] = 1;
    m[FailState]++;
  }
}

struct Expected {
  std::string arm;
  std::string var;
  std::string sta; // the markings, as --states writes them
  size_t states = 0;
  size_t transitions = 0;
  size_t absorbing = 0;
};

// Breadth-first numbering from the initial marking (state 1), new states in
// the order found; the .var record of a state holds 1 - FirstTimeFailure and
// 1 - FailState (no impulse rewards).
Expected Explore(double lambda, double meo) {
  std::map<Marking, unsigned> numbers;
  std::vector<Marking> order;
  auto varRecord = [](unsigned n, const Marking& m) {
    char text[128];
    std::snprintf(text, sizeof text, "%u\n0\n%g\n0\n%g\n", n, 1.0 - m[FirstTimeFailure],
                  1.0 - m[FailState]);
    return std::string(text);
  };
  Expected e;
  e.var = "Reliability\nAvailibility\n";
  numbers[Initial] = 1;
  order.push_back(Initial);
  e.var += varRecord(1, Initial);

  std::string records;
  for (size_t i = 0; i < order.size(); i++) {
    const Marking from = order[i];
    std::map<unsigned, double> sums;
    for (const Timed& t : TimedActivities) {
      if (!t.enabled(from))
        continue;
      double rate = t.rate(from, lambda, meo);
      Marking to = from;
      t.fire(to);
      Stabilize(to);
      auto [it, added] = numbers.emplace(to, static_cast<unsigned>(order.size() + 1));
      if (added) {
        order.push_back(to);
        e.var += varRecord(it->second, to);
      }
      sums[it->second] += rate;
    }
    records += std::to_string(i + 1) + "\n";
    for (const auto& [target, rate] : sums)
      records += std::to_string(target) + "\n" + Sci(rate) + "\n";
    records += "0\n";
    e.transitions += sums.size();
    e.absorbing += sums.empty();
  }
  e.states = order.size();
  e.sta = "(PlaceB,B_Failure,PlaceC,C_Failure,FailState,PlaceA,A_Failure,BCCounter,"
          "FirstTimeFailure)\n";
  for (size_t i = 0; i < order.size(); i++) {
    e.sta += std::to_string(i + 1) + ":(";
    for (int p = 0; p < NumPlaces; p++)
      e.sta += (p > 0 ? "," : "") + std::to_string(order[i][p]);
    e.sta += ")\n";
  }
  std::string count = std::to_string(e.states);
  e.arm = "1\n" + count + "\n" + std::string(62 - count.size(), ' ') + "\n" + records;
  return e;
}

const double Lambdas[] = {0.1, 0.01, 0.001, 0.001, 0.1, 0.0001};
const double Meos[] = {0.1, 0.01, 0.001, 0.1, 0.001, 0.0001};

const char* const PVTypeFile = "Version:1\nNumPV:2\nName:Reliability\nType:0\nNumTimes:6\n"
                               "Start:24\nStop:24\nStart:360\nStop:360\nStart:1080\nStop:1080\n"
                               "Start:2520\nStop:2520\nStart:5400\nStop:5400\nStart:11160\n"
                               "Stop:11160\nName:Availibility\nType:3\nNumTimes:1\nStart:0\n"
                               "Stop:1\n";

class ExampleRunTest : public testing::TestWithParam<int> {};

TEST_P(ExampleRunTest, FilesMatchAnIndependentExploration) {
  const int exp = GetParam();
  const std::string name = "exp" + std::to_string(exp + 1);
  ScratchDir dir;
  RunResult run =
      RunProgram(GenBinary(), {"-P", dir.path, "-N" + name, "-B" + std::to_string(exp)});
  ASSERT_EQ(run.status, 0) << run.out << run.err;

  Expected expected = Explore(Lambdas[exp], Meos[exp]);
  EXPECT_EQ(expected.states, 44u);
  std::string arm = ReadFile(dir.file(name + ".arm"));
  EXPECT_EQ(arm.substr(0, 66), expected.arm.substr(0, 66));
  EXPECT_EQ(arm, expected.arm);
  EXPECT_EQ(ReadFile(dir.file(name + ".var")), expected.var);
  EXPECT_EQ(ReadFile(dir.file(name + ".pvtype")), PVTypeFile);

  // What the run tells: the settings, the experiment's values, the summary.
  char values[200];
  std::snprintf(values, sizeof values,
                "The Global Variable values for experiment Experiment %d are:\n"
                "lambda\tdouble\t%g\nmeo\tdouble\t%g\n",
                exp + 1, Lambdas[exp], Meos[exp]);
  EXPECT_EQ(run.out.find("path=[" + dir.path + "]\n" + values + "SSG: SetTraceLevel: 0\n"), 0u)
      << run.out;
  EXPECT_NE(run.out.find("_$44$\nGenerated: 44 states\nComputation Time (user + system): "),
            std::string::npos)
      << run.out;
  EXPECT_EQ(run.err, "");
}

// --states: the marking of every state in state-number order, the initial
// marking first, in both generation paths' breadth-first order; the summary
// line's counts are those of the files.
TEST_P(ExampleRunTest, MarkingsAndSummaryMatchTheIndependentExploration) {
  const int exp = GetParam();
  ScratchDir dir;
  RunResult run =
      RunProgram(GenBinary(), {"-P", dir.path, "-Nexp", "-B" + std::to_string(exp), "--states"});
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  Expected expected = Explore(Lambdas[exp], Meos[exp]);
  const std::string sta = ReadFile(dir.file("exp.sta"));
  EXPECT_EQ(sta.substr(0, sta.find('\n', sta.find('\n') + 1) + 1),
            expected.sta.substr(0, expected.sta.find("\n2:") + 1))
      << "the header and the initial marking 2,0,3,0,0,1,0,0,0";
  EXPECT_EQ(sta, expected.sta);
  EXPECT_EQ(ReadFile(dir.file("exp.arm")), expected.arm);

  // The last line: "Summary: <n> states, <m> transitions, <a> absorbing, ...
  // <b> bytes written", the sizes of the five files.
  const std::size_t at = run.out.rfind("Summary: ");
  ASSERT_NE(at, std::string::npos) << run.out;
  const std::string summary = run.out.substr(at);
  EXPECT_EQ(summary.back(), '\n');
  const std::string counts = "Summary: " + std::to_string(expected.states) + " states, " +
                             std::to_string(expected.transitions) + " transitions, " +
                             std::to_string(expected.absorbing) + " absorbing, ";
  EXPECT_EQ(summary.substr(0, counts.size()), counts) << summary;
  size_t bytes = 0;
  for (const char* suffix : {".arm", ".var", ".pvtype", ".rew", ".sta"})
    bytes += ReadFile(dir.file(std::string("exp") + suffix)).size();
  EXPECT_NE(summary.find(" MiB peak memory, " + std::to_string(bytes) + " bytes written\n"),
            std::string::npos)
      << summary;
}

INSTANTIATE_TEST_SUITE_P(AllExperiments, ExampleRunTest, testing::Range(0, 6));

} // namespace
