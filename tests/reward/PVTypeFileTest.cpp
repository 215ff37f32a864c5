#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "tests/reward/RewardTestModels.h"

namespace {

// A variable with the given time points and no dependencies.
class TimedNode : public PerformanceVariableNode {
public:
  BaseModelClass* Top = nullptr;
  TimedNode(const char* name, RewardType type, std::vector<double> start,
            std::vector<double> stop) {
    ModelSlot = &Top;
    Initialize(name, type, static_cast<int>(start.size()), start.data(), stop.data(), 0, 0, 0, 0);
  }
  void CreateWorkerList() override {}
};

std::string TempPath(const char* name) {
  return (std::filesystem::temp_directory_path() /
          (std::string("pvtype-") + std::to_string(getpid()) + "-" + name))
      .string();
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

} // namespace

TEST(PVTypeFileTest, ModelWithoutVariablesWritesHeaderOnly) {
  TestRewardModel model(new TokenModel("M", {{"P", 1}}, {}), {});
  std::string path = TempPath("empty");
  model.WritePVTypeFile(path.c_str());
  EXPECT_EQ(ReadFile(path), "Version:1\nNumPV:0\n");
  std::filesystem::remove(path);
}

TEST(PVTypeFileTest, WritesEveryVariableWithItsTimes) {
  TestRewardModel model(
      new TokenModel("M", {{"P", 1}}, {}),
      {[] {
         return new TimedNode("Spread", INTERVAL_OF_TIME, {0.0, 0.5, 1234567.0},
                              {24.0, 2.25, 1e-5});
       },
       [] { return new TimedNode("Never", STEADY_STATE, {}, {}); },
       [] { return new TimedNode("Late", INSTANT_OF_TIME, {100000.0}, {100000.0}); }});
  std::string path = TempPath("times");
  model.WritePVTypeFile(path.c_str());
  EXPECT_EQ(ReadFile(path), "Version:1\nNumPV:3\n"
                            "Name:Spread\nType:1\nNumTimes:3\n"
                            "Start:0\nStop:24\n"
                            "Start:0.5\nStop:2.25\n"
                            "Start:1.23457e+06\nStop:1e-05\n"
                            "Name:Never\nType:3\nNumTimes:0\n"
                            "Name:Late\nType:0\nNumTimes:1\n"
                            "Start:100000\nStop:100000\n");
  std::filesystem::remove(path);
}

TEST(PVTypeFileTest, ExistingFileIsTruncated) {
  std::string path = TempPath("truncate");
  {
    std::ofstream old(path);
    old << std::string(500, 'x');
  }
  TestRewardModel model(new TokenModel("M", {{"P", 1}}, {}), {});
  model.WritePVTypeFile(path.c_str());
  EXPECT_EQ(ReadFile(path), "Version:1\nNumPV:0\n");
  std::filesystem::remove(path);
}

TEST(PVTypeFileTest, UncreatableFileExitsWithStatusOne) {
  TestRewardModel model(new TokenModel("M", {{"P", 1}}, {}), {});
  std::string path = TempPath("missing-dir") + "/exp.pvtype";
  EXPECT_EXIT(model.WritePVTypeFile(path.c_str()), testing::ExitedWithCode(1),
              "cannot create the performance variable type file .*missing-dir/exp\\.pvtype");
}

TEST(PVTypeFileTest, FullDeviceExitsWithStatusOne) {
  if (!std::filesystem::exists("/dev/full"))
    GTEST_SKIP() << "no /dev/full";
  TestRewardModel model(new TokenModel("M", {{"P", 1}}, {}), {});
  EXPECT_EXIT(model.WritePVTypeFile("/dev/full"), testing::ExitedWithCode(1),
              "cannot write the performance variable type file /dev/full");
  EXPECT_TRUE(std::filesystem::exists("/dev/full"));
}
