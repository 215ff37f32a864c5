// A model executable's list of experiments (--list-experiments), which
// ssg-study reads, and the other uses of a lone long option.

#include <gtest/gtest.h>

#include "tests/driver/Subprocess.h"

namespace {

TEST(GlobalValuesTest, ExampleListsItsSixExperiments) {
  RunResult run = RunProgram(GenBinary(), {"--list-experiments"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  // The example study's values: lambda and meo per experiment.
  EXPECT_EQ(run.out, "experiment\tlambda\tmeo\n"
                     "0\t0.1\t0.1\n"
                     "1\t0.01\t0.01\n"
                     "2\t0.001\t0.001\n"
                     "3\t0.001\t0.1\n"
                     "4\t0.1\t0.001\n"
                     "5\t0.0001\t0.0001\n");
}

TEST(GlobalValuesTest, OtherShortCommandLinesStillPrintTheUsage) {
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"--list-experiments", "-B0"}, {}}) {
    RunResult run = RunProgram(GenBinary(), arguments);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.rfind("usage:  gen -Pexperimentfilepath", 0), 0u) << run.out;
  }
  // A misspelt option is not ours: status 2 and the option meant.
  RunResult misspelt = RunProgram(GenBinary(), {"--list"});
  EXPECT_EQ(misspelt.status, 2);
  EXPECT_EQ(misspelt.out, "");
  EXPECT_EQ(misspelt.err, "gen: unknown option '--list'; did you mean '--list-experiments'? (gen "
                          "--help lists the options)\n");
}

} // namespace
