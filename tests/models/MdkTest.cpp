// Runs the M/D/1/K executable as a subprocess and checks its four files byte
// for byte against files built here from the queue's definition: with
// capacity K the queue lengths 0..K are states 1..K+1 in the order found; an
// arrival (rate lambda) leads from state n to n+1 while n <= K, a service
// (deterministic, group probability 1) from n to n-1 for n >= 2, written as
// -1; every state with a customer enables the service with delay `delay`.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <sys/wait.h>

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string Sci(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.10e", value);
  return text;
}

struct MdkRun {
  int status = -1;
  std::string out;
  std::string arm, det, var, pvtype;
};

// A scratch directory removed at the end of the test.
struct Scratch {
  fs::path dir;
  Scratch() {
    char name[] = "/tmp/mdk_test_XXXXXX";
    const char* made = mkdtemp(name);
    EXPECT_NE(made, nullptr);
    dir = made ? made : "/tmp";
  }
  ~Scratch() {
    std::error_code ignored;
    fs::remove_all(dir, ignored);
  }
};

// gen-mdk -P<dir>/ -N<name> <options>; returns its exit status, standard
// output and files.
MdkRun RunMdk(const Scratch& scratch, const std::string& name, const std::string& options) {
  MdkRun run;
  const std::string exe = SSG_BINARY_DIR "/gen-mdk";
  if (!fs::exists(exe)) {
    ADD_FAILURE() << exe << " is not built";
    return run;
  }
  const std::string prefix = scratch.dir.string() + "/";
  const std::string command = exe + " -P" + prefix + " -N" + name + " " + options + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) {
    ADD_FAILURE() << "cannot run " << command;
    return run;
  }
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
    run.out.append(buffer, n);
  const int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.arm = ReadAll(prefix + name + ".arm");
  run.det = ReadAll(prefix + name + ".det");
  run.var = ReadAll(prefix + name + ".var");
  run.pvtype = ReadAll(prefix + name + ".pvtype");
  return run;
}

// The .arm file of the queue: the type line, the state count in a line of 8
// reserved characters, then one record per state.
std::string ExpectedArm(int k, double lambda) {
  const int states = k + 1;
  const std::string count = std::to_string(states);
  std::string arm = "1\n" + count + "\n";
  if (count.size() < 8)
    arm += std::string(8 - count.size() - 1, ' ') + "\n";
  for (int n = 1; n <= states; n++) {
    arm += std::to_string(n) + "\n";
    if (n >= 2)
      arm += std::to_string(n - 1) + "\n" + Sci(-1.0) + "\n";
    if (n <= k)
      arm += std::to_string(n + 1) + "\n" + Sci(lambda) + "\n";
    arm += "0\n";
  }
  return arm;
}

// One delay record listing states 2..K+1.
std::string ExpectedDet(int k, double delay) {
  std::string det = "1\n" + Sci(delay) + "\n";
  for (int n = 2; n <= k + 1; n++)
    det += std::to_string(n) + "\n";
  return det + "0\n";
}

// The variable names, then per state: number, and impulse (0) and rate
// reward of QueueLength (the queue length) and of Busy.
std::string ExpectedVar(int k) {
  std::string var = "QueueLength\nBusy\n";
  for (int n = 1; n <= k + 1; n++) {
    const int length = n - 1;
    var += std::to_string(n) + "\n0\n" + std::to_string(length) + "\n0\n" +
           (length > 0 ? "1" : "0") + "\n";
  }
  return var;
}

const char* ExpectedPvtype = "Version:1\nNumPV:2\n"
                             "Name:QueueLength\nType:3\nNumTimes:1\nStart:0\nStop:1\n"
                             "Name:Busy\nType:3\nNumTimes:1\nStart:0\nStop:1\n";

} // namespace

TEST(MdkTest, FirstExperimentWritesSixStateChain) {
  Scratch scratch;
  MdkRun run = RunMdk(scratch, "mdk0", "-B0");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(run.arm, ExpectedArm(5, 0.5));
  EXPECT_EQ(run.det, ExpectedDet(5, 1.0));
  EXPECT_EQ(run.var, ExpectedVar(5));
  EXPECT_EQ(run.pvtype, ExpectedPvtype);
  EXPECT_NE(run.out.find("Generated: 6 states\n"), std::string::npos) << run.out;
}

TEST(MdkTest, LargestExperimentNumbersThousandAndOneStates) {
  Scratch scratch;
  MdkRun run = RunMdk(scratch, "mdk2", "-B2");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(run.arm, ExpectedArm(1000, 0.95));
  EXPECT_EQ(run.det, ExpectedDet(1000, 1.0));
  EXPECT_EQ(run.var, ExpectedVar(1000));
  EXPECT_NE(run.out.find("_$1000$\n"), std::string::npos);
  EXPECT_NE(run.out.find("Generated: 1001 states\n"), std::string::npos);
}

TEST(MdkTest, IntOverrideChangesCapacity) {
  Scratch scratch;
  MdkRun run = RunMdk(scratch, "k7", "-B0 -O i:K:7");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(run.arm, ExpectedArm(7, 0.5));
  EXPECT_EQ(run.det, ExpectedDet(7, 1.0));
  EXPECT_NE(run.out.find("Generated: 8 states\n"), std::string::npos) << run.out;
}

TEST(MdkTest, DelayOverrideChangesOnlyDetFile) {
  Scratch scratch;
  MdkRun run = RunMdk(scratch, "d", "-B0 -O d:delay:2.5:d:lambda:0.25");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(run.arm, ExpectedArm(5, 0.25));
  EXPECT_EQ(run.det, ExpectedDet(5, 2.5));
}

TEST(MdkTest, UnwritableDetFileFailsTheRun) {
  Scratch scratch;
  fs::create_directory(scratch.dir / "bad.det");
  MdkRun run = RunMdk(scratch, "bad", "-B0");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("Error: Could not open det file"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("bad.det"), std::string::npos) << run.out;
}

// A capacity the 16-bit queue marking cannot count is refused before
// anything is explored; the largest one it can count is accepted.
TEST(MdkTest, CapacityBeyondTheMarkingRangeIsRefused) {
  Scratch scratch;
  MdkRun run = RunMdk(scratch, "big", "-B0 -O i:K:32768");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("Mdk: requirement 'K <= 32767' (mdk.san:14) does not hold: K = 32768\n"),
            std::string::npos)
      << run.out;
  EXPECT_EQ(run.out.find("Generated:"), std::string::npos) << run.out;
  EXPECT_TRUE(run.arm.empty());
}
