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
#include "tests/ssg/DistributedRun.h"

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

// Faults in many states of one level: from state 1, Go fires into six
// states (A = 1 .. 6). Experiment 0: every one of them has a rate that is
// not a rate (1 / (r - 1)); experiment 1: a reward that is not finite in
// those with A >= 3 and, from experiment 2, also a bad rate in those with
// A >= 5 (found later in the run than the rewards of the states they
// lead to). A run reports the fault it meets first.
const char* const SpreadModel = R"(model Spread
global int F = 0
global double r = 1
study { F = 0..2 }
place S = 1, A, Q
activity Go1 exponential(1) when S == 1 { S = 0; A = 1 }
activity Go2 exponential(2) when S == 1 { S = 0; A = 2 }
activity Go3 exponential(3) when S == 1 { S = 0; A = 3 }
activity Go4 exponential(4) when S == 1 { S = 0; A = 4 }
activity Go5 exponential(5) when S == 1 { S = 0; A = 5 }
activity Go6 exponential(6) when S == 1 { S = 0; A = 6 }
activity Step exponential(1) when S == 0 && Q == 0 && F > 0 { Q = 1 }
activity Bad exponential(1 / (r - 1)) when S == 0 && Q == 0 && (F == 0 || F == 2 && A >= 5) { Q = 2 }
reward Inverse steady rate F >= 1 && S == 0 && A >= 3 && Q == 1 ? 1 / (Q - 1) : 0
)";

class ModelFaultRunTest : public testing::Test {
protected:
  static fs::path Dir;
  static fs::path Exe;
  static fs::path SpreadExe;
  static std::string BuildOutput;

  static void SetUpTestSuite() {
    char name[] = "/tmp/lang_faults_XXXXXX";
    const char* made = mkdtemp(name);
    Dir = made != nullptr ? made : "/tmp/lang_faults";
    Exe = Build(FaultModel, "faults");
    SpreadExe = Build(SpreadModel, "spread");
  }
  // The executable of the model `text`, or empty (BuildOutput tells why).
  static fs::path Build(const char* text, const std::string& name) {
    const fs::path source = Dir / (name + ".san");
    const fs::path generated = Dir / ("gen_" + name);
    std::ofstream(source) << text;
    RunResult compiled =
        RunProgram(SSG_BINARY_DIR "/ssg-compile", {source.string(), "-o", generated.string()});
    if (compiled.status != 0) {
      BuildOutput += compiled.err;
      return {};
    }
    std::string command = std::string(SSG_CXX) + " " + SSG_CXX_FLAGS + " -I" + SSG_SOURCE_DIR +
                          " -I" + generated.string();
    for (const char* f : {"SAN.cpp", "RewardPVModel.cpp", "RewardPVNodes.cpp", "Study.cpp"})
      command += " " + (generated / f).string();
    const fs::path exe = Dir / ("gen-" + name);
    command += std::string(" ") + SSG_SOURCE_DIR + "/driver/main.cpp " + SSG_LIBS + " -o " +
               exe.string() + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
      return {};
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
      BuildOutput.append(buffer, n);
    return pclose(pipe) == 0 ? exe : fs::path();
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
fs::path ModelFaultRunTest::SpreadExe;
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

TEST_F(ModelFaultRunTest, WorkersReportTheFaultTheOneProcessRunMeetsFirst) {
  ASSERT_FALSE(SpreadExe.empty()) << BuildOutput;
  ASSERT_FALSE(Exe.empty()) << BuildOutput;
  // Every fault of both models: the same status and message with 2 and 3
  // workers as in one process, whichever worker found it.
  struct Case {
    const fs::path* exe;
    int experiment;
    const char* override;
  };
  std::vector<Case> cases;
  cases.reserve(11);
  for (int f = 0; f < 3; f++)
    cases.push_back({&SpreadExe, f, ""});
  for (int f = 0; f < 8; f++)
    cases.push_back({&Exe, f, f == 3 ? "d:r:-1" : ""});
  for (const Case& c : cases) {
    std::vector<std::string> arguments = {"-P" + Dir.string() + "/", "-Nw",
                                          "-B" + std::to_string(c.experiment)};
    if (c.override[0] != '\0')
      arguments.push_back(std::string("-O") + c.override);
    const RunResult one = RunProgram(c.exe->string(), arguments);
    EXPECT_EQ(one.status, 1) << one.err;
    for (int workers : {2, 3}) {
      const RunResult run = RunWorkers(workers, c.exe->string(), arguments);
      EXPECT_EQ(run.status, one.status) << c.exe->filename() << " " << c.experiment;
      EXPECT_EQ(run.err, one.err) << c.exe->filename() << " " << c.experiment << ", " << workers
                                  << " workers";
      EXPECT_TRUE(ArmClaimsNoCount((Dir / "w.arm").string()));
    }
  }
}
