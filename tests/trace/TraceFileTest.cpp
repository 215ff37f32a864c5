#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "tests/ssg/GenHarness.h"
#include "trace/TraceFileContainer.h"
#include "trace/TraceFileTarvekSSG.h"

namespace {

// A trace writing into a string at the given level.
struct StringTrace {
  std::ostringstream text;
  TraceFileTarvekSSG file{&text};
  explicit StringTrace(int level) { file.setTraceLevel(level); }
};

TEST(TraceFileTest, MessagesAboveTheLevelAreNotWritten) {
  StringTrace t(3);
  t.file.printStr(4, "four");
  t.file.printStr(3, "three");
  t.file.printStr(0, "zero");
  EXPECT_EQ(t.text.str(), "three\nzero\n");
}

TEST(TraceFileTest, FiringsFromLevelOnePostFiringAtEveryLevel) {
  BaseActionClass action;
  action.defineName("Fail");
  StringTrace silent(0);
  silent.file.printFireAction(&action, 0.0);
  silent.file.printPostFireAction(&action, nullptr);
  silent.file.newBatch();
  EXPECT_EQ(silent.text.str(), "State after firing action: Fail\n##### NEW BATCH #####\n");
  StringTrace shown(1);
  shown.file.printFireAction(&action, 2.5);
  EXPECT_EQ(shown.text.str(), "Firing Action: Fail\n");
}

TEST(TraceFileTest, HeaderIsABanner) {
  StringTrace t(0);
  t.file.printHeader(nullptr);
  std::string stars(38, '*');
  EXPECT_EQ(t.text.str(), stars + "\n\t\tTRACE\n" + stars + "\n");
}

TEST(TraceFileTest, StateDumpListsTheModelsPlaces) {
  auto* san = new SmallSAN;
  san->add("Up", 3);
  san->add("Down", -1);
  san->finish();
  SmallPVModel model(san);
  StringTrace t(0);
  t.file.printState(&model);
  EXPECT_EQ(t.text.str(),
            "  Model: (" + std::to_string(san->modelId) + ")Small\n    Up = 3\n    Down = -1\n");
}

TEST(TraceFileTest, EnablingStateIsShownFromLevelTwo) {
  auto* san = new SmallSAN;
  san->add("Up", 3);
  san->add("Down", 0);
  auto* a = san->activity("a");
  san->finish();
  a->addEnablingSV(san->places[1]);
  SmallPVModel model(san);
  StringTrace one(1);
  one.file.printPreFireAction(a);
  EXPECT_EQ(one.text.str(), "");
  StringTrace two(2);
  two.file.printPreFireAction(a);
  EXPECT_EQ(two.text.str(), "Enabling state before action firing:\n  Down = 0\n");
}

TEST(TraceFileContainerTest, FansOutToEveryFileWhichFiltersByItsOwnLevel) {
  StringTrace low(1), high(4);
  TraceFileContainer container;
  container.AddTraceFile(&low.file);
  container.AddTraceFile(&high.file);
  container.printf(1, "State Number = %d", 12);
  container.printf(4, "Checking Action: %s", "Fail");
  EXPECT_EQ(low.text.str(), "State Number = 12\n");
  EXPECT_EQ(high.text.str(), "State Number = 12\nChecking Action: Fail\n");
}

TEST(TraceFileContainerTest, LongMessagesAreWrittenWhole) {
  StringTrace t(4);
  TraceFileContainer container;
  container.AddTraceFile(&t.file);
  std::string name(5000, 'n');
  container.printf(4, "Checking Action: %s", name.c_str());
  EXPECT_EQ(t.text.str(), "Checking Action: " + name + "\n");
}

TEST(TraceFileContainerTest, WithoutFilesEveryCallIsAccepted) {
  TraceFileContainer container;
  BaseActionClass action;
  EXPECT_EQ(container.printf(1, "x %d", 1), 0);
  container.printStr(1, "text");
  container.printFireAction(&action, 0.0);
  container.printPreFireAction(&action);
  container.printPostFireAction(&action, &action);
  container.newBatch();
  container.printFooter();
  container.printState();
  EXPECT_EQ(container.RemoveTraceFile(nullptr), 0);
}

TEST(TraceFileContainerTest, ModelDumpUsesTheContainersModel) {
  auto* san = new SmallSAN;
  san->add("Up", 7);
  san->finish();
  SmallPVModel model(san);
  StringTrace t(0);
  TraceFileContainer container;
  container.AddTraceFile(&t.file);
  container.addPVModel(&model);
  container.printState();
  EXPECT_NE(t.text.str().find("    Up = 7\n"), std::string::npos);
}

TEST(TraceFileTest, FileThatCannotBeOpenedWarnsAndWritesNothing) {
  testing::internal::CaptureStderr();
  TraceFileTarvekSSG file("/nonexistent-directory/trace.txt");
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("Warning: could not open trace file /nonexistent-directory/trace.txt"),
            std::string::npos);
  file.setTraceLevel(4);
  file.printStr(1, "nothing happens");
  file.printHeader(nullptr);
}

} // namespace
