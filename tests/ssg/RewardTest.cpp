#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <filesystem>
#include <initializer_list>

#include "reward/PerformanceVariableNode.h"
#include "ssg/Reward.h"
#include "tests/ssg/GenHarness.h"
#include "tests/ssg/TwoVariables.h"

namespace {

TEST(RewardTest, TextRecordsUseSixSignificantDigits) {
  TwoVariables m;
  ScratchDir dir;
  std::string name = dir.file("r.var");
  for (short type : std::initializer_list<short>{1, 3, 5}) {
    {
      Reward writer(m.model, type, name.data());
      m.set(0.0, 1.0, 0.5, 1.0 / 3.0);
      writer.Calculate(1);
      m.set(1234567.0, 1e-5, -2.5, 24.0);
      writer.Calculate(12);
      writer.Close();
    }
    // Stream default notation: 1/3 is 0.333333, 1234567 is 1.23457e+06, 1e-5
    // is 1e-05.
    EXPECT_EQ(ReadFile(name), "Up\nDown\n"
                              "1\n0\n1\n0.5\n0.333333\n"
                              "12\n1.23457e+06\n1e-05\n-2.5\n24\n")
        << "file type " << type;
  }
}

TEST(RewardTest, BinaryRecordsFollowATextHeader) {
  TwoVariables m;
  ScratchDir dir;
  std::string name = dir.file("r.var");
  for (short type : std::initializer_list<short>{0, 2}) {
    {
      Reward writer(m.model, type, name.data());
      m.set(0.25, 1.0, -3.5, 1e300);
      writer.Calculate(7);
      m.set(0.0, 0.0, 2.0, 0.125);
      writer.Calculate(70000);
      writer.Close();
    }
    std::string text = ReadFile(name);
    ASSERT_EQ(text.size(), std::strlen("Up\nDown\n") + std::size_t(2) * (4 + 4 * 8));
    EXPECT_EQ(text.substr(0, 8), "Up\nDown\n");

    // Little-endian fields: number, then impulse and rate of each variable.
    auto u32 = [&](size_t at) {
      uint32_t v = 0;
      for (int i = 3; i >= 0; i--)
        v = (v << 8) | static_cast<unsigned char>(text[at + i]);
      return v;
    };
    auto f64 = [&](size_t at) {
      uint64_t bits = 0;
      for (int i = 7; i >= 0; i--)
        bits = (bits << 8) | static_cast<unsigned char>(text[at + i]);
      double v;
      std::memcpy(&v, &bits, 8);
      return v;
    };
    EXPECT_EQ(u32(8), 7u);
    EXPECT_EQ(f64(12), 0.25);
    EXPECT_EQ(f64(20), 1.0);
    EXPECT_EQ(f64(28), -3.5);
    EXPECT_EQ(f64(36), 1e300);
    EXPECT_EQ(u32(44), 70000u);
    EXPECT_EQ(f64(48), 0.0);
    EXPECT_EQ(f64(64), 2.0);
    EXPECT_EQ(f64(72), 0.125);
  }
}

TEST(RewardTest, WithoutVariablesEachRecordIsItsNumber) {
  auto* san = new SmallSAN;
  san->add("p", 0);
  san->finish();
  SmallPVModel model(san);
  ScratchDir dir;
  std::string name = dir.file("r.var");
  {
    Reward writer(&model, 1, name.data());
    EXPECT_EQ(writer.NamesWritten, 0u);
    writer.Calculate(1);
    writer.Calculate(2);
    writer.Close();
  }
  EXPECT_EQ(ReadFile(name), "1\n2\n");
}

TEST(RewardDeathTest, FileThatCannotBeOpenedStopsTheRun) {
  TwoVariables m;
  char name[] = "/nonexistent-directory/r.var";
  EXPECT_EXIT(Reward(m.model, 1, name), testing::ExitedWithCode(1),
              "Could not open file dude\n  /nonexistent-directory/r.var: No such file");
}

} // namespace
