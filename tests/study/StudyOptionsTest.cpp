// ssg-study's command line, its list of experiments, the model executable's
// listing and the reading of a log's end.

#include <gtest/gtest.h>

#include <fstream>

#include "study/LogTail.h"
#include "study/ModelExecutable.h"
#include "study/StudyOptions.h"
#include "tests/ssg/GenHarness.h"

namespace {

TEST(StudyOptionsTest, ValuesDefaultsAndTheReportForm) {
  StudyOptions a = StudyOptions::Parse(
      {"build/gen-kanban", "--experiments", "0-3", "--jobs=3", "--plot", "t.svg", "-q"});
  EXPECT_EQ(a.Model, "build/gen-kanban");
  EXPECT_EQ(a.OutDir, "out/gen-kanban");
  EXPECT_EQ(a.DbFile, "out/gen-kanban/results.db");
  EXPECT_EQ(a.Experiments, "0-3");
  EXPECT_EQ(a.Jobs, 3u);
  EXPECT_EQ(a.PlotFile, "t.svg");
  EXPECT_TRUE(a.Quiet);
  StudyOptions b = StudyOptions::Parse({"gen", "--out=o", "--db", "x.db"});
  EXPECT_EQ(b.OutDir, "o");
  EXPECT_EQ(b.DbFile, "x.db");
  EXPECT_EQ(b.Jobs, 0u);
  // A letter's value joined to it, as make takes it.
  EXPECT_EQ(StudyOptions::Parse({"gen", "-j2"}).Jobs, 2u);
  EXPECT_EQ(StudyOptions::Parse({"gen", "-j", "5"}).Jobs, 5u);
  StudyOptions c = StudyOptions::Parse({"--report", "x.db", "--study", "2", "--plot=p.png"});
  EXPECT_EQ(c.Report, "x.db");
  EXPECT_EQ(c.StudyId, 2);
}

TEST(StudyOptionsTest, BadCommandLinesSayWhatIsWrong) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{}, "missing the model executable"},
      {{"a", "b"}, "more than one model executable"},
      {{"a", "--jobs", "0"}, "must lie between 1 and 1024"},
      {{"a", "--jobs", "two"}, "'two' is not a whole number"},
      {{"a", "--plot", "p.pdf"}, "must end in .png or .svg"},
      {{"a", "--experiments", "3-1"}, "'3-1' is not an experiment number or a range"},
      {{"a", "--experiments", "1,,2"}, "'' is not an experiment number"},
      {{"a", "--experiments"}, "--experiments needs a value"},
      {{"a", "--out="}, "--out needs a value"},
      {{"a", "--frobnicate"}, "unknown option '--frobnicate'"},
      {{"a", "--quiet=1"}, "--quiet takes no value"},
      {{"a", "-qx"}, "-q takes no value"},
      {{"a", "-j0"}, "-j: 0 must lie between 1 and 1024"},
      {{"--report", "x.db", "--jobs", "2"}, "--report prints a database's table"},
      {{"a", "--study", "1"}, "--study goes with --report"},
  };
  for (const auto& [arguments, message] : cases) {
    try {
      StudyOptions::Parse(arguments);
      ADD_FAILURE() << "accepted: " << message;
    } catch (const StudyOptions::Error& e) {
      EXPECT_NE(std::string(e.what()).find(message), std::string::npos) << e.what();
    }
  }
}

TEST(StudyOptionsTest, ExperimentListsAreRangesAndSingles) {
  EXPECT_EQ(StudyOptions::ExperimentList("0-4,6", 7), (std::vector<int>{0, 1, 2, 3, 4, 6}));
  EXPECT_EQ(StudyOptions::ExperimentList("6,2,2-3", 7), (std::vector<int>{2, 3, 6}));
  EXPECT_EQ(StudyOptions::ExperimentList("0", 1), (std::vector<int>{0}));
  try {
    StudyOptions::ExperimentList("0-7", 7);
    ADD_FAILURE();
  } catch (const StudyOptions::Error& e) {
    EXPECT_NE(std::string(e.what()).find("experiment 7 out of range (the model has experiments 0 "
                                         "to 6)"),
              std::string::npos)
        << e.what();
  }
  EXPECT_THROW(StudyOptions::ExperimentList("-1", 7), StudyOptions::Error);
  EXPECT_THROW(StudyOptions::ExperimentList("1-", 7), StudyOptions::Error);
}

TEST(ModelExecutableTest, ListingIsParsedAndCheckedLineByLine) {
  ModelExecutable::Listing l =
      ModelExecutable::Parse("experiment\tK\tlambda\n0\t5\t0.5\n1\t20\t0.9\n");
  EXPECT_EQ(l.Names, (std::vector<std::string>{"K", "lambda"}));
  EXPECT_EQ(l.count(), 2);
  EXPECT_EQ(l.Values[1], (std::vector<std::string>{"20", "0.9"}));
  EXPECT_EQ(ModelExecutable::Parse("experiment\n0\n").count(), 1);
  for (const char* bad : {"", "usage:  gen -Pexperimentfilepath\n", "experiment\tK\n0\t5\n2\t7\n",
                          "experiment\tK\n0\n", "experiment\tK\n"})
    EXPECT_THROW(ModelExecutable::Parse(bad), std::runtime_error) << bad;
}

TEST(LogTailTest, LatestStateCountAndLastLines) {
  ScratchDir dir;
  const std::string log = dir.file("g.log");
  EXPECT_FALSE(LogTail::LatestStateCount(log)); // no file yet
  std::string text = "path=[x]\nThe Global Variable values for experiment Experiment 1 are:\n";
  std::ofstream(log) << text;
  EXPECT_FALSE(LogTail::LatestStateCount(log));
  // Far more than the tail window of progress lines, the last one cut short.
  for (int n = 1000; n <= 2000000; n += 1000)
    text += "_$" + std::to_string(n) + "$\n";
  text += "_$2001";
  std::ofstream(log) << text;
  EXPECT_EQ(LogTail::LatestStateCount(log), 2000000u);

  text += "000$\nGenerated: 2001000 states\n\nError: could not write x.arm: No space left\n";
  std::ofstream(log) << text;
  EXPECT_EQ(LogTail::LatestStateCount(log), 2001000u);
  const std::string end =
      "Generated: 2001000 states\nError: could not write x.arm: No space left\n";
  EXPECT_EQ(LogTail::LastLines(log, 2), end);
  // Progress lines are left out; the first lines are beyond the window read.
  EXPECT_EQ(LogTail::LastLines(log, 5), end);
  std::ofstream(log) << "one\ntwo\n\nthree";
  EXPECT_EQ(LogTail::LastLines(log, 5), "one\ntwo\nthree\n");
}

} // namespace
