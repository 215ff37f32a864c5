// ssg-study's own output files made unwritable in turn: the results
// database (status 1: the study cannot be recorded) and the plot (status 4:
// the table is complete, the plot is not). Never status 0.

#include <gtest/gtest.h>

#include <string>

#include "tests/driver/OutputFaults.h"
#include "tests/driver/Subprocess.h"

namespace {

std::string Bin(const std::string& name) {
  return std::string(SSG_BINARY_DIR) + "/" + name;
}

struct Output {
  const char* option;
  const char* file;
  int status;
};

TEST(StudyOutputFaultTest, DatabaseAndPlotUnwritableInTurn) {
  const bool haveGnuplot = access("/usr/bin/gnuplot", X_OK) == 0;
  for (const Output& output : {Output{"--db", "r.db", 1}, Output{"--plot", "p.png", 4}}) {
    if (std::string(output.option) == "--plot" && !haveGnuplot)
      continue;
    for (Unwritable how : AllUnwritable) {
      SCOPED_TRACE(std::string(output.option) + ", " + Describe(how));
      FaultDir dir;
      RunControls controls;
      std::string why;
      ASSERT_TRUE(MakeUnwritable(dir, output.file, how, controls, why)) << why;
      RunResult run =
          RunControlled(Bin("ssg-study"),
                        {Bin("gen-kanban"), "--out", dir.file("out"), "--experiments", "0-1",
                         "--jobs", "1", output.option, dir.file(output.file), "-q"},
                        controls);
      if (controls.unprivileged && UnprivilegedRunFailed(run))
        GTEST_SKIP() << "cannot run the program as nobody: " << run.err;
      EXPECT_EQ(run.status, output.status) << run.err;
      EXPECT_NE(run.err.find(dir.file(output.file)), std::string::npos) << run.err;
    }
  }
}

} // namespace
