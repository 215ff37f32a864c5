// A compiled model whose firings go wrong at run time: markings that leave
// the 0 to 32767 a place holds (they would wrap around in 16 bits) and rates
// set by global variables that are not rates, rewards that are not finite.
// The model is compiled and
// built once; each experiment trips one fault, which must end the run with
// status 1 and a message naming the activity, the place and the state.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/driver/OutputFaults.h"
#include "tests/driver/Subprocess.h"

namespace fs = std::filesystem;

namespace {

// Experiment F trips fault F from state 2 (P = 32767, Q = 0 after Start).
const char* const FaultModel = R"(model Faults
global int F = 0
global double r = 1
study { F = 0..7 }
place S = 1, P = 32766, Q
activity Start exponential(1) when S == 1 { S = 0; P += 1 }
activity Grow exponential(1) when S == 0 && F == 0 && Q == 0 { P += 1; Q = 1 }
activity Shrink exponential(1) when S == 0 && F == 1 && Q == 0 { Q -= 1 }
activity Double exponential(1) when S == 0 && F == 2 && Q == 0 { Q = 2 * P }
activity Rated exponential(r) when S == 0 && F == 3 && Q == 0 { Q = 1 }
activity Infinite exponential(1 / (r - 1)) when S == 0 && F == 4 && Q == 0 { Q = 1 }
activity Undefined exponential((r - 1) / (r - 1)) when S == 0 && F == 5 && Q == 0 { Q = 1 }
reward Held steady rate Q
reward Inverse steady rate F == 6 && S == 0 ? 1 / Q : 0
reward Kick steady { impulse Start F == 7 ? 1 / (r - 1) : 0 }
)";

class ModelFaultRunTest : public testing::Test {
protected:
  static fs::path Dir;
  static fs::path Exe;
  static std::string BuildOutput;

  static void SetUpTestSuite() {
    char name[] = "/tmp/lang_faults_XXXXXX";
    const char* made = mkdtemp(name);
    Dir = made != nullptr ? made : "/tmp/lang_faults";
    std::ofstream(Dir / "faults.san") << FaultModel;
    RunResult compiled = RunProgram(SSG_BINARY_DIR "/ssg-compile",
                                    {(Dir / "faults.san").string(), "-o", (Dir / "gen").string()});
    if (compiled.status != 0) {
      BuildOutput = compiled.err;
      return;
    }
    std::string command = std::string(SSG_CXX) + " " + SSG_CXX_FLAGS + " -I" + SSG_SOURCE_DIR +
                          " -I" + (Dir / "gen").string();
    for (const char* f : {"SAN.cpp", "RewardPVModel.cpp", "RewardPVNodes.cpp", "Study.cpp"})
      command += " " + (Dir / "gen" / f).string();
    command += std::string(" ") + SSG_SOURCE_DIR + "/driver/main.cpp " + SSG_LIBS + " -o " +
               (Dir / "gen-faults").string() + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
      return;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
      BuildOutput.append(buffer, n);
    if (pclose(pipe) == 0)
      Exe = Dir / "gen-faults";
  }
  static void TearDownTestSuite() {
    std::error_code ignored;
    fs::remove_all(Dir, ignored);
  }

  RunResult Run(int experiment, const std::string& override = "") {
    std::vector<std::string> arguments = {"-P" + Dir.string() + "/",
                                          "-Nf" + std::to_string(experiment),
                                          "-B" + std::to_string(experiment)};
    if (!override.empty())
      arguments.push_back("-O" + override);
    return RunProgram(Exe.string(), arguments);
  }
  // The .arm file never holds a state count after a fault: it is empty (its
  // header was still buffered) or its header keeps the blanks reserved for
  // the count.
  void ExpectNoCount(int experiment) {
    EXPECT_TRUE(ArmClaimsNoCount((Dir / ("f" + std::to_string(experiment) + ".arm")).string()))
        << experiment;
  }
};

fs::path ModelFaultRunTest::Dir;
fs::path ModelFaultRunTest::Exe;
std::string ModelFaultRunTest::BuildOutput;

} // namespace

TEST_F(ModelFaultRunTest, MarkingsOutsideWhatAPlaceHoldsEndTheRun) {
  ASSERT_FALSE(Exe.empty()) << BuildOutput;
  const char* expected[] = {
      "Error: activity Grow would set place P to 32768 in a firing from state 2; a place holds 0 "
      "to 32767 tokens\n",
      "Error: activity Shrink would set place Q to -1 in a firing from state 2; a place holds 0 "
      "to 32767 tokens\n",
      "Error: activity Double would set place Q to 65534 in a firing from state 2; a place holds "
      "0 to 32767 tokens\n"};
  for (int experiment = 0; experiment < 3; experiment++) {
    RunResult run = Run(experiment);
    EXPECT_EQ(run.status, 1) << experiment;
    EXPECT_EQ(run.err, expected[experiment]);
    EXPECT_EQ(run.out.find("Generated:"), std::string::npos);
    ExpectNoCount(experiment);
  }
}

TEST_F(ModelFaultRunTest, RateThatIsNotARateEndsTheRun) {
  ASSERT_FALSE(Exe.empty()) << BuildOutput;
  // r = -1 by override; 1 / 0 and 0 / 0 with r = 1.
  struct Case {
    int experiment;
    const char* override;
    const char* activity;
    const char* shown;
  };
  for (const Case& c : {Case{3, "d:r:-1", "Rated", "-1"}, Case{4, "", "Infinite", "inf"},
                        Case{5, "", "Undefined", "nan"}}) {
    RunResult run = Run(c.experiment, c.override);
    EXPECT_EQ(run.status, 1) << c.activity;
    const std::string expected = std::string("Error: activity ") + c.activity + " has rate ";
    EXPECT_EQ(run.err.find(expected), 0u) << run.err;
    const std::string rest = run.err.substr(std::min(run.err.size(), expected.size()));
    // 0 / 0 may carry a sign, shown as -nan.
    const std::string tail = c.shown + std::string(" in state 2 (a rate must be a finite number");
    EXPECT_TRUE(rest.find(tail) == 0 || rest.find("-" + tail) == 0) << run.err;
    ExpectNoCount(c.experiment);
  }
  // A rate of 0 is legitimate: the transition is dropped, the run completes.
  RunResult zero = Run(3, "d:r:0");
  EXPECT_EQ(zero.status, 0) << zero.err;
  EXPECT_NE(zero.out.find("Generated: 2 states"), std::string::npos) << zero.out;
}

TEST_F(ModelFaultRunTest, RewardThatIsNotFiniteEndsTheRun) {
  ASSERT_FALSE(Exe.empty()) << BuildOutput;
  // 1 / Q with Q = 0 in state 2; the impulse 1 / 0 of Start, which leads
  // to state 2.
  RunResult rate = Run(6);
  EXPECT_EQ(rate.status, 1);
  EXPECT_EQ(rate.err, "Error: reward variable Inverse has rate reward inf in state 2 (marking "
                      "S=0, P=32767, Q=0); a reward must be a finite number\n");
  EXPECT_EQ(rate.out.find("Generated:"), std::string::npos);
  ExpectNoCount(6);
  RunResult impulse = Run(7);
  EXPECT_EQ(impulse.status, 1);
  EXPECT_EQ(impulse.err, "Error: reward variable Kick has impulse reward inf in state 2 (marking "
                         "S=0, P=32767, Q=0); a reward must be a finite number\n");
  ExpectNoCount(7);
  // The same rewards, finite, let the run complete.
  RunResult finite = Run(7, "d:r:2");
  EXPECT_EQ(finite.status, 0) << finite.err;
}
