// Labels, local values of effects, place ranges and reward times that read
// global variables, the whole way: a model using all four is compiled with
// ssg-compile, built with this build's compiler and framework, and run.
// The test derives the chain of each experiment itself from the model's
// rules (firings that use local values move several places from the old
// marking) and compares it with the .arm file; it computes every label from
// the markings of the .sta file and every time point of the .pvtype file
// from the experiment's global variables. Runs whose globals do not suit the
// model, and a firing that leaves a place's range, end with status 1 and a
// message.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "tests/driver/OutputFaults.h"
#include "tests/driver/Subprocess.h"

namespace fs = std::filesystem;

namespace {

const char* const FeaturesModel = R"(model Features
global int K = 3
global double T = 2
global int F = 0
study {
  K = 3, 2, 3
  T = 2, 0.25, 1
  F = 0, 0, 1
}
place Up = K in 0..K, Down in 0..K, Spare in 0..K - 2
// Never changed: its initial marking must lie in its range (-O i:F:2).
place Extra = F in 0..1

// One failure at a time, or a crash of every working machine at once: the
// local value keeps the number that was working.
activity Fail exponential(0.5 * Up) when Up > 0 { Up -= 1; Down += 1 }
activity Crash exponential(0.1) when Up > 0 && Down == 0 { let n = Up; Up -= n; Down += n }
// Everything repaired: both places from the marking before the firing
// (the condition is not used: a local value may be unused).
activity RepairAll exponential(1) when Down == K {
  let d = Down; let u = Up; let unused = d > u
  Down -= d; Up += d + u
}
// Outside Spare's range in passing only: it ends where it was.
activity Blink exponential(2) when Up == K && F == 0 { Spare += 2; Spare -= 2 }
// Leaves Spare's range (experiment 2).
activity Overflow exponential(1) when F == 1 && Down > 0 { Spare += 2 }

label Failed = Up == 0
label Full = Down == K
// Up > 0 && Down > 0, as Up + Down = K; the definition is used twice.
let Working = Up
label Mixed = Working > 0 && Working < K

reward Avail instant at T, T * 3600, 1 rate Up
reward Accumulated interval 0..T, T..2 * T rate Down
)";

struct Experiment {
  int K;
  double T;
};
const Experiment Experiments[] = {{3, 2.0}, {2, 0.25}};

using Marking = std::tuple<int, int, int>; // Up, Down, Spare

// The model's firings from marking m (experiments with F = 0): target
// marking and summed rate.
std::map<Marking, double> Successors(const Marking& m, int K) {
  const auto [up, down, spare] = m;
  std::map<Marking, double> next;
  if (up > 0)
    next[{up - 1, down + 1, spare}] += 0.5 * up;
  if (up > 0 && down == 0)
    next[{0, down + up, spare}] += 0.1;
  if (down == K)
    next[{up + down, 0, spare}] += 1.0;
  if (up == K)
    next[m] += 2.0;
  return next;
}

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

class LanguageFeaturesRunTest : public testing::Test {
protected:
  static fs::path Dir;
  static fs::path Exe;
  static std::string BuildOutput;

  static void SetUpTestSuite() {
    char name[] = "/tmp/lang_features_XXXXXX";
    const char* made = mkdtemp(name);
    Dir = made != nullptr ? made : "/tmp/lang_features";
    std::ofstream(Dir / "features.san") << FeaturesModel;
    RunResult compiled = RunProgram(SSG_BINARY_DIR "/ssg-compile", {(Dir / "features.san").string(),
                                                                    "-o", (Dir / "gen").string()});
    if (compiled.status != 0) {
      BuildOutput = compiled.err;
      return;
    }
    // Warnings are errors: the generated code must compile cleanly.
    std::string command = std::string(SSG_CXX) + " " + SSG_CXX_FLAGS + " -Wall -Wextra -Werror -I" +
                          SSG_SOURCE_DIR + " -I" + (Dir / "gen").string();
    for (const char* f : {"SAN.cpp", "RewardPVModel.cpp", "RewardPVNodes.cpp", "Study.cpp"})
      command += " " + (Dir / "gen" / f).string();
    command += std::string(" ") + SSG_SOURCE_DIR + "/driver/main.cpp " + SSG_LIBS + " -o " +
               (Dir / "gen-features").string() + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
      return;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
      BuildOutput.append(buffer, n);
    if (pclose(pipe) == 0)
      Exe = Dir / "gen-features";
  }
  static void TearDownTestSuite() {
    std::error_code ignored;
    fs::remove_all(Dir, ignored);
  }

  static RunResult Run(const std::string& name, int experiment,
                       const std::vector<std::string>& extra = {}) {
    std::vector<std::string> arguments = {"-P" + Dir.string() + "/", "-N" + name,
                                          "-B" + std::to_string(experiment)};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return RunProgram(Exe.string(), arguments);
  }
};

fs::path LanguageFeaturesRunTest::Dir;
fs::path LanguageFeaturesRunTest::Exe;
std::string LanguageFeaturesRunTest::BuildOutput;

// The .sta file: the place columns, then one label column per label in
// declaration order, each 1 exactly where its condition holds on the
// marking; the chain of the .arm file is the one the model's rules give,
// with the local values taken before the firing.
TEST_F(LanguageFeaturesRunTest, LabelsAndLocalValuesGiveTheDerivedChain) {
  ASSERT_FALSE(Exe.empty()) << BuildOutput;
  for (int e = 0; e < 2; e++) {
    SCOPED_TRACE("experiment " + std::to_string(e));
    const int K = Experiments[e].K;
    const std::string name = "f" + std::to_string(e);
    RunResult run = Run(name, e, {"--states"});
    ASSERT_EQ(run.status, 0) << run.err;

    std::istringstream sta(ReadFile(Dir / (name + ".sta")));
    std::string line;
    ASSERT_TRUE(std::getline(sta, line));
    EXPECT_EQ(line, "(Up,Down,Spare,Extra,label(Failed),label(Full),label(Mixed))");
    std::vector<Marking> markings;
    for (int n = 1; std::getline(sta, line); n++) {
      int number = 0, up = -1, down = -1, spare = -1, extra = -1, failed = -1, full = -1,
          mixed = -1;
      ASSERT_EQ(std::sscanf(line.c_str(), "%d:(%d,%d,%d,%d,%d,%d,%d)", &number, &up, &down, &spare,
                            &extra, &failed, &full, &mixed),
                8)
          << line;
      EXPECT_EQ(number, n);
      EXPECT_EQ(extra, 0) << line;
      EXPECT_EQ(failed, up == 0 ? 1 : 0) << line;
      EXPECT_EQ(full, down == K ? 1 : 0) << line;
      EXPECT_EQ(mixed, up > 0 && down > 0 ? 1 : 0) << line;
      markings.emplace_back(up, down, spare);
    }

    // The reachable markings, by our own search: K + 1 of them (Up + Down
    // = K, Spare = 0).
    std::set<Marking> reachable = {{K, 0, 0}};
    std::vector<Marking> frontier = {{K, 0, 0}};
    while (!frontier.empty()) {
      const Marking m = frontier.back();
      frontier.pop_back();
      for (const auto& [to, rate] : Successors(m, K))
        if (reachable.insert(to).second)
          frontier.push_back(to);
    }
    EXPECT_EQ(std::set<Marking>(markings.begin(), markings.end()), reachable);
    ASSERT_EQ(markings.size(), reachable.size());
    EXPECT_EQ(markings[0], Marking(K, 0, 0));

    // The .arm records, read as tokens: state, then (target, rate) pairs
    // until 0.
    std::istringstream arm(ReadFile(Dir / (name + ".arm")));
    std::string type, count;
    arm >> type >> count;
    ASSERT_EQ(count, std::to_string(markings.size()));
    for (size_t n = 1; n <= markings.size(); n++) {
      std::string state;
      arm >> state;
      ASSERT_EQ(state, std::to_string(n));
      std::map<Marking, double> written;
      for (std::string target; arm >> target && target != "0";) {
        std::string rate;
        arm >> rate;
        const size_t to = std::stoul(target);
        ASSERT_TRUE(to >= 1 && to <= markings.size()) << target;
        written[markings[to - 1]] += std::stod(rate);
      }
      const std::map<Marking, double> expected = Successors(markings[n - 1], K);
      ASSERT_EQ(written.size(), expected.size()) << "state " << n;
      for (const auto& [to, rate] : expected) {
        ASSERT_EQ(written.count(to), 1u) << "state " << n;
        EXPECT_NEAR(written[to], rate, 1e-10 * rate) << "state " << n;
      }
    }
  }
}

// The .pvtype file carries the time points computed from each experiment's
// T: Avail at T, T * 3600 and 1; Accumulated over 0..T and T..2T.
TEST_F(LanguageFeaturesRunTest, RewardTimesAreComputedPerExperiment) {
  ASSERT_FALSE(Exe.empty()) << BuildOutput;
  for (int e = 0; e < 2; e++) {
    const double T = Experiments[e].T;
    const std::string name = "t" + std::to_string(e);
    RunResult run = Run(name, e);
    ASSERT_EQ(run.status, 0) << run.err;
    std::istringstream pvtype(ReadFile(Dir / (name + ".pvtype")));
    std::vector<std::pair<double, double>> times;
    std::vector<std::string> names;
    for (std::string line; std::getline(pvtype, line);) {
      if (line.rfind("Name:", 0) == 0)
        names.push_back(line.substr(5));
      if (line.rfind("Start:", 0) == 0)
        times.emplace_back(std::stod(line.substr(6)), -1.0);
      if (line.rfind("Stop:", 0) == 0 && !times.empty())
        times.back().second = std::stod(line.substr(5));
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Avail", "Accumulated"}));
    const std::vector<std::pair<double, double>> expected = {
        {T, T}, {T * 3600, T * 3600}, {1, 1}, {0, T}, {T, 2 * T}};
    ASSERT_EQ(times.size(), expected.size()) << e;
    for (size_t i = 0; i < expected.size(); i++) {
      // The file shows 6 significant digits.
      EXPECT_NEAR(times[i].first, expected[i].first, 1e-6 * expected[i].first) << e << " " << i;
      EXPECT_NEAR(times[i].second, expected[i].second, 1e-6 * expected[i].second) << e << " " << i;
    }
  }
}

// Globals that do not suit the model stop the run before anything is
// explored; a firing that leaves a declared range stops it with a message
// naming the activity, the place, the marking, the state and the range.
TEST_F(LanguageFeaturesRunTest, BadTimesRangesAndFiringsEndTheRun) {
  ASSERT_FALSE(Exe.empty()) << BuildOutput;
  struct Case {
    int experiment;
    std::string override;
    std::string message;
  };
  const Case cases[] = {
      {0, "d:T:-1", "Features: time point -1 of reward Avail (T = -1) must be 0 or more\n"},
      {0, "d:T:0",
       "Features: interval 0..0 of reward Accumulated (T = 0) must start at 0 or later and end "
       "after it starts\n"},
      {0, "i:K:1", "Features: the range of place Spare is 0..-1 (K = 1), which is empty\n"},
      {0, "i:F:2",
       "Features: the initial marking of place Extra is 2 (F = 2), outside its range 0..1\n"},
      {0, "i:K:40000",
       "Features: the initial marking of place Up is 40000 (K = 40000), but a place holds 0 to "
       "32767 tokens\n"},
      {2, "",
       "Error: activity Overflow leaves place Spare at 2 in a firing from state 2, outside its "
       "range 0..1\n"},
  };
  int k = 0;
  for (const Case& c : cases) {
    const std::string name = "bad" + std::to_string(k++);
    std::vector<std::string> extra = {"--states"};
    if (!c.override.empty())
      extra.push_back("-O" + c.override);
    RunResult run = Run(name, c.experiment, extra);
    EXPECT_EQ(run.status, 1) << c.override;
    EXPECT_EQ(run.err, c.message) << c.override;
    EXPECT_EQ(run.out.find("Generated:"), std::string::npos) << c.override;
    const fs::path arm = Dir / (name + ".arm");
    if (fs::exists(arm)) {
      EXPECT_TRUE(ArmClaimsNoCount(arm.string())) << c.override;
    }
  }
}

} // namespace
