// ssg-study's own output files that cannot be written: the results
// database (status 1: the study cannot be recorded) and the plot (status 4:
// the table is complete, the plot is not). Never status 0. The plot is drawn
// afresh: a link in its place is replaced by the drawn file, never written
// through.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/driver/OutputFaults.h"
#include "tests/driver/Subprocess.h"

namespace {

std::string Bin(const std::string& name) {
  return std::string(SSG_BINARY_DIR) + "/" + name;
}

// Kanban N = 1 and 2, one job; `extra` adds the output options.
RunResult RunStudy(const FaultDir& dir, const std::vector<std::string>& extra,
                   const RunControls& controls) {
  std::vector<std::string> arguments = {
      Bin("gen-kanban"), "--out", dir.file("out"), "--experiments", "0-1", "--jobs", "1", "-q"};
  arguments.insert(arguments.end(), extra.begin(), extra.end());
  return RunControlled(Bin("ssg-study"), arguments, controls);
}

TEST(StudyOutputFaultTest, DatabaseUnwritableInTurn) {
  for (Unwritable how : AllUnwritable) {
    SCOPED_TRACE(Describe(how));
    FaultDir dir;
    RunControls controls;
    std::string why;
    ASSERT_TRUE(MakeUnwritable(dir, "r.db", how, controls, why)) << why;
    RunResult run = RunStudy(dir, {"--db", dir.file("r.db")}, controls);
    if (controls.unprivileged && UnprivilegedRunFailed(run))
      GTEST_SKIP() << "cannot run the program as nobody: " << run.err;
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find(dir.file("r.db")), std::string::npos) << run.err;
  }
}

TEST(StudyOutputFaultTest, PlotInAMissingOrReadOnlyDirectory) {
  if (access("/usr/bin/gnuplot", X_OK) != 0)
    GTEST_SKIP() << "gnuplot is not installed";
  for (bool readOnly : {false, true}) {
    SCOPED_TRACE(readOnly ? "read-only directory" : "missing directory");
    FaultDir dir;
    RunControls controls;
    std::string where = dir.file("missing/p.png");
    if (readOnly) {
      std::filesystem::create_directory(dir.file("readonly"));
      chmod(dir.file("readonly").c_str(), 0555);
      where = dir.file("readonly/p.png");
      controls.unprivileged = geteuid() == 0;
    }
    RunResult run = RunStudy(dir, {"--plot", where}, controls);
    if (controls.unprivileged && UnprivilegedRunFailed(run))
      GTEST_SKIP() << "cannot run the program as nobody: " << run.err;
    EXPECT_EQ(run.status, 4) << run.err;
    EXPECT_NE(run.err.find(where), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(where));
  }
}

TEST(StudyOutputFaultTest, PlotLinkedToAFullDeviceIsReplacedByTheDrawing) {
  if (access("/usr/bin/gnuplot", X_OK) != 0)
    GTEST_SKIP() << "gnuplot is not installed";
  FaultDir dir;
  RunControls controls;
  std::string why;
  ASSERT_TRUE(MakeUnwritable(dir, "p.png", Unwritable::FullDevice, controls, why)) << why;
  RunResult run = RunStudy(dir, {"--plot", dir.file("p.png")}, controls);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_FALSE(std::filesystem::is_symlink(dir.file("p.png")));
  // A PNG file begins with its 8-byte signature.
  EXPECT_EQ(ReadWholeFile(dir.file("p.png")).substr(0, 8), "\x89PNG\r\n\x1a\n");
}

} // namespace
