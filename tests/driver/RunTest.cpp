// The example executable run as a user runs it: command-line handling,
// failures of the output files, tracing.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/driver/Subprocess.h"
#include "tests/ssg/GenHarness.h"

namespace {

int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
    n++;
  return n;
}

TEST(RunTest, TwoArgumentsPrintTheUsage) {
  RunResult run = RunProgram(GenBinary(), {"-P.", "-Nexp1"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "usage:  gen -Pexperimentfilepath -Nexperimentname -hhash_value"
                     " -Bexperimentnumber -Ffiletype -edb_entity -sdb_macserver "
                     " -ltrace_level[0-4] -tTraceFilename\n"
                     "Example:  gen -P. -Nexp1 -B0\n");
}

TEST(RunTest, ExperimentNumberOutOfRangeIsRejected) {
  ScratchDir dir;
  // A negative number must be joined to its option: a separate "-1" would be
  // an option of its own.
  for (const char* exp : {"9", "6", "-1"}) {
    RunResult run = RunProgram(GenBinary(), {"-P", dir.path, "-Nexp1", std::string("-B") + exp});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, std::string("-B ") + exp +
                           ": experiment number out of range (this study has experiments 0 to "
                           "5)\n");
  }
  EXPECT_FALSE(std::filesystem::exists(dir.file("exp1.arm")));
}

TEST(RunTest, OptionWithoutValueIsAnUnusableCommandLine) {
  RunResult run = RunProgram(GenBinary(), {"-Nexp1", "-B0", "-P"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err.find("-P: this option needs a value"), 0u) << run.err;
  EXPECT_NE(run.err.find("usage:  gen"), std::string::npos);
}

TEST(RunTest, FileTypeOptionStillWritesTypeOne) {
  ScratchDir dir;
  RunResult run = RunProgram(GenBinary(), {"-P", dir.path, "-Nexp1", "-F", "0"});
  ASSERT_EQ(run.status, 0);
  EXPECT_EQ(ReadFile(dir.file("exp1.arm")).substr(0, 5), "1\n44\n");
  EXPECT_EQ(ReadFile(dir.file("exp1.var")).substr(0, 27), "Reliability\nAvailibility\n1\n");
}

TEST(RunTest, OverridesChangeTheRates) {
  // meo 0.5: Activity_Repair_A's rate from a state with A failed is
  // 1 * (0.25 * 0.5).
  ScratchDir dir;
  RunResult run = RunProgram(GenBinary(), {"-P", dir.path, "-Nexp1", "-Od:meo:0.5"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("OverrideString is d:meo:0.5\n"), std::string::npos);
  EXPECT_NE(run.out.find("meo\tdouble\t0.1\nOverriding global variables in ssg\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(ReadFile(dir.file("exp1.arm")).find("\n" + Sci(1 * (0.25 * 0.5)) + "\n"),
            std::string::npos);
  // The summary line ends with the values the run used.
  EXPECT_NE(run.out.find(" bytes written; values in force: lambda=0.1, meo=0.5\n"),
            std::string::npos)
      << run.out;

  // An override that changes nothing (the same value; a type letter that
  // does not match, reported and skipped) leaves the summary as it was.
  for (const char* same : {"-Od:meo:0.1", "-Oi:meo:3"}) {
    RunResult unchanged = RunProgram(GenBinary(), {"-P", dir.path, "-Nexp1", same});
    ASSERT_EQ(unchanged.status, 0) << unchanged.err;
    EXPECT_EQ(unchanged.out.find("values in force"), std::string::npos) << unchanged.out;
  }
  RunResult mismatch = RunProgram(GenBinary(), {"-P", dir.path, "-Nexp1", "-Oi:meo:3"});
  EXPECT_EQ(mismatch.err,
            "Override i:meo:3 skipped: global variable meo is a double, not an int\n");
}

TEST(RunTest, MarkingFileThatCannotBeWrittenFailsTheRunBeforeTheArmCount) {
  ScratchDir dir;
  const std::string file = dir.file("exp1.sta");
  std::filesystem::create_symlink("/dev/full", file);
  RunResult run = RunProgram(GenBinary(), {"-P", dir.path, "-Nexp1", "--states"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("Error: could not write " + file + ": No space left on device"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(run.out.find("Generated:"), std::string::npos);
  // The .arm file never got its state count (it is empty, or line 2 is
  // still blank).
  const std::string arm = ReadFile(dir.file("exp1.arm"));
  EXPECT_TRUE(arm.empty() || arm.substr(0, 3) == "1\n ") << arm.substr(0, 80);
  // Nor does the .var file: it is emptied (a complete one holds at least
  // state 1's record).
  EXPECT_EQ(std::filesystem::file_size(dir.file("exp1.var")), 0u);

  // Unopenable (a directory of that name): the open message names it.
  std::filesystem::remove(file);
  std::filesystem::create_directory(file);
  RunResult open = RunProgram(GenBinary(), {"-P", dir.path, "-Nexp1", "--states"});
  EXPECT_EQ(open.status, 1);
  EXPECT_NE(open.err.find("Error: Could not open the state-marking file\n  " + file),
            std::string::npos)
      << open.err;
}

TEST(RunTest, ProgressOnStandardErrorOnlyWhenAskedAndNotForAShortRun) {
  ScratchDir dir;
  RunResult run = RunProgram(GenBinary(), {"-P", dir.path, "-Nexp1", "--progress"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_NE(run.out.find("\nSummary: 44 states, 99 transitions, 0 absorbing, "), std::string::npos)
      << run.out;
}

TEST(RunTest, UnknownLongOptionStopsBeforeAnyFileWithTheNearestOne) {
  ScratchDir dir;
  RunResult run = RunProgram(GenBinary(), {"-P", dir.path, "-Nexp1", "--state"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "gen: unknown option '--state'; did you mean '--states'? (gen --help lists "
                     "the options)\n");
  EXPECT_EQ(run.out, "");
  EXPECT_TRUE(std::filesystem::is_empty(dir.path));
  // A single letter is reported and the run goes on, as before.
  RunResult letter = RunProgram(GenBinary(), {"-P", dir.path, "-Nexp1", "-x"});
  EXPECT_EQ(letter.status, 0);
  EXPECT_NE(letter.out.find("ERROR: unknown argument: -x\n"), std::string::npos) << letter.out;
}

TEST(RunTest, MaxStatesEndsARunThatFindsMoreWithNoCompleteFile) {
  // The example's experiment 1 has 44 states: a limit of 44 lets it
  // complete, 43 stops it.
  ScratchDir dir;
  RunResult enough = RunProgram(GenBinary(), {"-P", dir.path, "-Nexp1", "--max-states", "44"});
  EXPECT_EQ(enough.status, 0) << enough.err;
  EXPECT_NE(enough.out.find("Generated: 44 states"), std::string::npos);
  for (const char* limit : {"--max-states=43", "--max-states=1"}) {
    RunResult run = RunProgram(GenBinary(), {"-P", dir.path, "-Nexp1", limit});
    EXPECT_EQ(run.status, 1) << limit;
    const std::string n = std::string(limit).substr(std::string("--max-states=").size());
    EXPECT_EQ(run.err.rfind("Error: the chain has more than " + n + " states (--max-states " + n +
                                ", reached while exploring state ",
                            0),
              0U)
        << run.err;
    EXPECT_EQ(run.out.find("Generated:"), std::string::npos);
    const std::string arm = ReadFile(dir.file("exp1.arm"));
    EXPECT_TRUE(arm.empty() || arm.substr(0, 3) == "1\n ") << arm.substr(0, 80);
  }
  for (const char* bad : {"0", "x", "-3"}) {
    RunResult run =
        RunProgram(GenBinary(), {"-P", dir.path, "-Nexp1", "--max-states=" + std::string(bad)});
    EXPECT_EQ(run.status, 1) << bad;
    EXPECT_NE(run.err.find("the limit must be a whole number of states, 1 or more"),
              std::string::npos)
        << run.err;
  }
}

TEST(RunTest, OutputFileSystemWithLessThanTheReserveStopsTheRun) {
  ScratchDir dir;
  // A reserve larger than any disk: the first check stops the run.
  RunResult run = RunProgram(GenBinary(), {"-P", dir.path, "-Nexp1", "--min-free", "1000000000"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find(" MiB free on the file system of " + dir.path +
                         ", less than the reserve of 1000000000.0 MiB, after "),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("the run stops before the disk is full"), std::string::npos);
  EXPECT_EQ(run.out.find("Generated:"), std::string::npos);
  const std::string arm = ReadFile(dir.file("exp1.arm"));
  EXPECT_TRUE(arm.empty() || arm.substr(0, 3) == "1\n ") << arm.substr(0, 80);
  // No reserve: the run completes.
  RunResult none = RunProgram(GenBinary(), {"-P", dir.path, "-Nexp1", "--min-free=0"});
  EXPECT_EQ(none.status, 0) << none.err;
  RunResult bad = RunProgram(GenBinary(), {"-P", dir.path, "-Nexp1", "--min-free", "lots"});
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.err.find("--min-free lots: the reserve must be a whole number of MiB"),
            std::string::npos)
      << bad.err;
}

TEST(RunTest, MissingOutputDirectoryFailsTheRun) {
  RunResult run = RunProgram(GenBinary(), {"-P", "/nonexistent-directory/", "-Nexp1"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("/nonexistent-directory/exp1."), std::string::npos) << run.err;
}

TEST(RunTest, TraceFileAtLevelOneListsStatesAndFirings) {
  ScratchDir dir;
  std::string trace = dir.file("trace.txt");
  RunResult run = RunProgram(GenBinary(), {"-P", dir.path, "-Nexp1", "-l1", "-t", trace});
  ASSERT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("TraceLevel=1\n"), std::string::npos);
  EXPECT_NE(run.out.find("SSG: SetTraceLevel: 1\n"), std::string::npos);
  std::string text = ReadFile(trace);
  EXPECT_EQ(text.find("State Number = 1\nFiring Action: FailureB\n"), 0u) << text.substr(0, 200);
  EXPECT_EQ(Count(text, "State Number = "), 44);
  EXPECT_GT(Count(text, "Firing Action: FailureBC\n"), 0);
  EXPECT_EQ(Count(text, "Checking Action:"), 0);
  EXPECT_NE(text.find("Generated: 44 states\nComputation time (user + system): "),
            std::string::npos);
}

TEST(RunTest, TraceAtLevelFourGoesToStandardOutput) {
  ScratchDir dir;
  RunResult run = RunProgram(GenBinary(), {"-P", dir.path, "-Nexp1", "-l", "4"});
  ASSERT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("State Number = 1\nChecking Action: FailureB\nFiring Action: FailureB\n"
                         "The rate to this state: 0.100000\n"),
            std::string::npos);
}

TEST(RunTest, TraceFileThatCannotBeOpenedIsAWarning) {
  ScratchDir dir;
  RunResult run = RunProgram(
      GenBinary(), {"-P", dir.path, "-Nexp1", "-l1", "-t", "/nonexistent-directory/trace"});
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.err.find("Warning: could not open trace file /nonexistent-directory/trace"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.out.find("Generated: 44 states"), std::string::npos);
}

} // namespace
