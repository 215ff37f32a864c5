// The breakdown model shows a preselect group and an Erlang activity. The
// group splits the failure rate lambda = 0.5 between its two members by
// their weights 3 : 1; the Erlang repair is explored as the generator
// defines it: a phase that is not the last ages the activity (a transition
// at the phase rate back to the same marking), the last phase fires it.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "../driver/Subprocess.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> ArmLines(int experiment) {
  char name[] = "/tmp/breakdown_XXXXXX";
  const std::string dir = mkdtemp(name);
  RunResult r = RunProgram(SSG_BINARY_DIR "/gen-breakdown",
                           {"-P" + dir + "/", "-Nb", "-B" + std::to_string(experiment)});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  std::vector<std::string> lines;
  std::ifstream arm(dir + "/b.arm");
  std::string line;
  while (std::getline(arm, line))
    lines.push_back(line);
  fs::remove_all(dir);
  return lines;
}

} // namespace

// One phase: the Erlang repair is an exponential one. States: 1 working,
// 2 minor breakdown, 3 major breakdown.
TEST(BreakdownTest, GroupSplitsTheFailureRateByWeight) {
  const std::vector<std::string> arm = ArmLines(0);
  const std::vector<std::string> expected = {
      "1", "3", std::string(61, ' '), "1", "2", "3.7500000000e-01", "3", "1.2500000000e-01",
      "0",                                  // 0.5 * 3/4, 0.5 * 1/4
      "2", "1", "3.0000000000e+00",   "0",  // Fix, rate mu
      "3", "1", "1.0000000000e-01",   "0"}; // Replace, rate nu
  EXPECT_EQ(arm, expected);
}

// Three phases: in the minor-breakdown state the repair first ages, which
// the generator writes as a transition to the same state at rate mu.
TEST(BreakdownTest, ErlangPhaseThatIsNotTheLastAgesTheActivity) {
  const std::vector<std::string> arm = ArmLines(2);
  ASSERT_GE(arm.size(), 13u);
  EXPECT_EQ(std::vector<std::string>(arm.begin() + 9, arm.begin() + 13),
            (std::vector<std::string>{"2", "2", "3.0000000000e+00", "0"}));
}
