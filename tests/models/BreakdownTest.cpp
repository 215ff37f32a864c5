// The breakdown model shows a preselect group and an Erlang activity. The
// group splits the failure rate lambda = 0.5 between its two members by
// their weights 3 : 1; the Erlang repair Fix (rate mu = 3, k phases, k = 1..4
// in experiments 0..3) is explored phase by phase: the minor-breakdown
// marking appears once per phase, each phase left at rate mu. The expected
// chain and the steady-state values are worked out here from the model's
// definition.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "../driver/Subprocess.h"

namespace fs = std::filesystem;

namespace {

constexpr double Lambda = 0.5, Mu = 3.0, Nu = 0.1;

struct Scratch {
  std::string path;
  Scratch() {
    char name[] = "/tmp/breakdown_XXXXXX";
    path = mkdtemp(name);
  }
  ~Scratch() {
    std::error_code ignored;
    fs::remove_all(path, ignored);
  }
};

std::vector<std::string> Lines(const std::string& file) {
  std::vector<std::string> lines;
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line))
    lines.push_back(line);
  return lines;
}

std::string Sci(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.10e", value);
  return text;
}

// Generates experiment e into dir as "b".
void Generate(const Scratch& dir, int experiment) {
  RunResult r = RunProgram(SSG_BINARY_DIR "/gen-breakdown",
                           {"-P" + dir.path + "/", "-Nb", "-B" + std::to_string(experiment)});
  ASSERT_EQ(r.status, 0) << r.out << r.err;
}

// The .arm file of the chain with k repair phases, breadth-first from
// Working = state 1: its successors minor breakdown in phase 1 (state 2,
// rate lambda 3/4) and major breakdown (state 3, lambda 1/4); then the minor
// breakdown's later phases 2..k as states 4..k + 2. Each phase but the last
// leads to the next at rate mu, the last back to Working at mu; the major
// breakdown is replaced at rate nu.
std::vector<std::string> ExpectedArm(int k) {
  auto minor = [](int phase) { return phase == 1 ? 2 : phase + 2; };
  std::map<int, std::map<int, double>> chain;
  chain[1] = {{minor(1), Lambda * 3 / 4}, {3, Lambda * 1 / 4}};
  chain[3] = {{1, Nu}};
  for (int j = 1; j <= k; j++)
    chain[minor(j)] = {{j < k ? minor(j + 1) : 1, Mu}};
  const std::string count = std::to_string(chain.size());
  std::vector<std::string> arm = {"1", count, std::string(62 - count.size(), ' ')};
  for (const auto& [state, targets] : chain) {
    arm.push_back(std::to_string(state));
    for (const auto& [target, rate] : targets) {
      arm.push_back(std::to_string(target));
      arm.push_back(Sci(rate));
    }
    arm.emplace_back("0");
  }
  return arm;
}

} // namespace

TEST(BreakdownTest, RepairPhasesAreStatesOfTheChain) {
  for (int experiment = 0; experiment <= 3; experiment++) {
    Scratch dir;
    Generate(dir, experiment);
    EXPECT_EQ(Lines(dir.path + "/b.arm"), ExpectedArm(experiment + 1))
        << "experiment " << experiment;
  }
}

// Working, minor and major breakdown alternate as a renewal cycle: on
// average 1 / lambda working, then with probability 3/4 the Erlang repair of
// mean k / mu, with 1/4 the replacement of mean 1 / nu. The long-run
// fractions of time are each phase's mean over the cycle's mean.
TEST(BreakdownTest, SteadyStateMatchesTheRenewalCycle) {
  for (int experiment = 0; experiment <= 3; experiment++) {
    const int k = experiment + 1;
    const double cycle = 1 / Lambda + 0.75 * k / Mu + 0.25 / Nu;
    const std::map<std::string, double> expected = {{"Availability", (1 / Lambda) / cycle},
                                                    {"DownMajor", (0.25 / Nu) / cycle}};
    Scratch dir;
    Generate(dir, experiment);
    RunResult solved = RunProgram(SSG_BINARY_DIR "/ssg-solve", {dir.path + "/b", "-q"});
    ASSERT_EQ(solved.status, 0) << solved.out << solved.err;
    // Rows "Availability  steady-state  -  0.4210526316".
    std::istringstream rows(solved.out);
    std::string line;
    int checked = 0;
    while (std::getline(rows, line)) {
      std::istringstream words(line);
      std::string name, type, time, value;
      if (!(words >> name >> type >> time >> value) || expected.count(name) == 0)
        continue;
      EXPECT_EQ(type, "steady-state");
      EXPECT_NEAR(std::stod(value), expected.at(name), 1e-9) << name << ", k = " << k;
      checked++;
    }
    EXPECT_EQ(checked, 2) << solved.out;
  }
}
