// ssg-solve's output files made unwritable in turn (the CSV table, the plot,
// the results database, an export), and the same solve twice giving the
// same output.
// A failed CSV file is a failed run (status 1); the table on standard output
// is then complete but the file is not. The plot and the database keep
// their own statuses (4 and 5: every other output is complete). Never 0.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/driver/OutputFaults.h"
#include "tests/driver/Subprocess.h"

namespace {

std::string Bin(const std::string& name) {
  return std::string(SSG_BINARY_DIR) + "/" + name;
}

// The example's experiment 3 (44 states, instant-of-time and steady-state
// variables) generated into dir as e.*; returns the prefix.
std::string GenerateExample(const FaultDir& dir) {
  RunResult run = RunControlled(Bin("gen"), {"-P" + dir.path, "-Ne", "-B3"}, {});
  EXPECT_EQ(run.status, 0) << run.err;
  return dir.file("e");
}

// Standard output without the summary's line of seconds, which differs
// from run to run.
std::string WithoutSeconds(const std::string& out) {
  std::string kept;
  std::size_t at = 0;
  while (at < out.size()) {
    std::size_t end = out.find('\n', at);
    end = end == std::string::npos ? out.size() : end + 1;
    const std::string line = out.substr(at, end - at);
    if (line.find("seconds") == std::string::npos)
      kept += line;
    at = end;
  }
  return kept;
}

struct Output {
  const char* option;
  const char* file;
  int status; // of a run whose file cannot be written
};

TEST(SolveOutputFaultTest, EveryOutputFileUnwritableInTurn) {
  const bool haveGnuplot = access("/usr/bin/gnuplot", X_OK) == 0;
  for (const Output& output :
       {Output{"--csv", "e.csv", 1}, Output{"--plot", "e.png", 4}, Output{"--db", "e.db", 5}}) {
    if (std::string(output.option) == "--plot" && !haveGnuplot)
      continue; // without gnuplot nothing is drawn anywhere (status 4, tested elsewhere)
    for (Unwritable how : AllUnwritable) {
      SCOPED_TRACE(std::string(output.option) + ", " + Describe(how));
      FaultDir dir;
      const std::string prefix = GenerateExample(dir);
      RunControls controls;
      std::string why;
      ASSERT_TRUE(MakeUnwritable(dir, output.file, how, controls, why)) << why;
      RunResult run = RunControlled(Bin("ssg-solve"),
                                    {prefix, output.option, dir.file(output.file), "-q"}, controls);
      if (controls.unprivileged && UnprivilegedRunFailed(run))
        GTEST_SKIP() << "cannot run the program as nobody: " << run.err;
      EXPECT_EQ(run.status, output.status) << run.err;
      EXPECT_NE(run.err.find(dir.file(output.file)), std::string::npos) << run.err;
      // The table itself is complete.
      EXPECT_NE(run.out.find("Reliability"), std::string::npos);
    }
  }
}

TEST(SolveOutputFaultTest, ExportFileUnwritableInTurn) {
  // An export is all that is asked for: a file that cannot be written is a
  // failed run.
  for (Unwritable how : AllUnwritable) {
    SCOPED_TRACE(Describe(how));
    FaultDir dir;
    const std::string prefix = GenerateExample(dir);
    RunControls controls;
    std::string why;
    ASSERT_TRUE(MakeUnwritable(dir, "x.mtx", how, controls, why)) << why;
    RunResult run =
        RunControlled(Bin("ssg-solve"), {prefix, "--export", "mtx", dir.file("x"), "-q"}, controls);
    if (controls.unprivileged && UnprivilegedRunFailed(run))
      GTEST_SKIP() << "cannot run the program as nobody: " << run.err;
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find(dir.file("x.mtx")), std::string::npos) << run.err;
  }
}

TEST(SolveOutputFaultTest, SolvingTwiceGivesTheSameOutput) {
  FaultDir dir;
  const std::string prefix = GenerateExample(dir);
  RunResult first = RunControlled(Bin("ssg-solve"), {prefix, "--csv", dir.file("1.csv")}, {});
  RunResult second = RunControlled(Bin("ssg-solve"), {prefix, "--csv", dir.file("2.csv")}, {});
  ASSERT_EQ(first.status, 0) << first.err;
  ASSERT_EQ(second.status, 0) << second.err;
  EXPECT_EQ(WithoutSeconds(first.out), WithoutSeconds(second.out));
  EXPECT_NE(WithoutSeconds(first.out).find("Availibility"), std::string::npos);
  EXPECT_EQ(ReadWholeFile(dir.file("1.csv")), ReadWholeFile(dir.file("2.csv")));
  // A chain big enough for the iterative steady-state method: kanban N = 2.
  RunResult kanban = RunControlled(Bin("gen-kanban"), {"-P" + dir.path, "-Nk", "-B1"}, {});
  ASSERT_EQ(kanban.status, 0) << kanban.err;
  RunResult k1 = RunControlled(Bin("ssg-solve"), {dir.file("k"), "--csv", dir.file("k1.csv")}, {});
  RunResult k2 = RunControlled(Bin("ssg-solve"), {dir.file("k"), "--csv", dir.file("k2.csv")}, {});
  ASSERT_EQ(k1.status, 0) << k1.err;
  EXPECT_EQ(WithoutSeconds(k1.out), WithoutSeconds(k2.out));
  EXPECT_EQ(ReadWholeFile(dir.file("k1.csv")), ReadWholeFile(dir.file("k2.csv")));
}

} // namespace
