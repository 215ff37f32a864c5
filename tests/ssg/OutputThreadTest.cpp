// The output thread writes the .arm, .var and .sta records the exploring thread
// hands it: every byte as a direct write would give it, whatever the size of
// a record against the chunks, and a write that fails still ends the run
// with the file's message.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "ssg/ExactRewardFile.h"
#include "ssg/ImpulseFile.h"
#include "ssg/ImpulseMap.h"
#include "ssg/OutputThread.h"
#include "ssg/RecordWriter.h"
#include "ssg/Reward.h"
#include "ssg/StaWriter.h"
#include "ssg/TransitionMap.h"
#include "tests/ssg/GenHarness.h"
#include "tests/ssg/TwoVariables.h"

namespace {

std::string General(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

// Records of states 1 .. 400: state n has n % 7 transitions, state 200 has
// 300000 (3.6 MB packed: it spans several chunks), every third state gets a
// .var record first, every fifth a .sta record (its marking n - 200) when
// there is a marking writer. Returns the expected .arm, .var (text) and .sta
// records.
struct Expected {
  std::string arm, var, sta;
};

Expected Feed(OutputThread& output, Reward& reward, TwoVariables& m,
              StaWriter* markings = nullptr) {
  Expected expected;
  TransitionMap transitions;
  for (uint32_t n = 1; n <= 400; n++) {
    if (markings != nullptr && n % 5 == 0) {
      const short marking = static_cast<short>(n - 200);
      char vector[sizeof marking];
      std::memcpy(vector, &marking, sizeof marking);
      markings->Write(n, vector);
      std::memset(vector, 0x7f, sizeof vector); // the record was copied
      expected.sta += std::to_string(n) + ":(" + std::to_string(marking) + ")\n";
    }
    if (n % 3 == 0) {
      m.set(n * 0.5, 1.0 / n, -double(n), 1e-7 * n);
      reward.Calculate(n);
      expected.var += std::to_string(n) + "\n";
      for (double v : {n * 0.5, 1.0 / n, -double(n), 1e-7 * n})
        expected.var += General(v) + "\n";
    }
    const uint32_t count = n == 200 ? 300000 : n % 7;
    for (uint32_t k = 1; k <= count; k++)
      transitions.add(k * 3 + n, 0.25 * k + n);
    expected.arm += std::to_string(n) + "\n";
    for (const auto& [target, rate] : transitions)
      expected.arm += std::to_string(target) + "\n" + Sci(rate) + "\n";
    expected.arm += "0\n";
    output.armRecord(n, transitions);
    transitions.clear();
  }
  return expected;
}

TEST(OutputThreadTest, RecordsAcrossChunksAreTheBytesOfDirectWrites) {
  for (bool thread : {true, false}) {
    for (bool withMarkings : {false, true}) {
      TwoVariables m;
      ScratchDir dir;
      std::string arm = dir.file("t.arm"), var = dir.file("t.var"), sta = dir.file("t.sta");
      RecordWriter armFile;
      ASSERT_TRUE(armFile.open(arm.c_str()));
      Reward reward(m.model, 1, var.data());
      std::unique_ptr<StaWriter> markings;
      if (withMarkings)
        markings = std::make_unique<StaWriter>(StateColumns::Of(*m.model), sta.c_str());
      Expected expected;
      {
        OutputThread output(armFile, reward, thread, markings.get());
        expected = Feed(output, reward, m, markings.get());
        output.finish();
      }
      armFile.close();
      reward.Close();
      EXPECT_TRUE(ReadFile(arm) == expected.arm) << "thread " << thread;
      EXPECT_EQ(ReadFile(var), "Up\nDown\n" + expected.var) << "thread " << thread;
      if (withMarkings) {
        markings->Close();
        EXPECT_EQ(ReadFile(sta), "(p)\n" + expected.sta) << "thread " << thread;
      }
    }
  }
}

template <class T> void AppendBytes(std::string& bytes, T value) {
  char raw[sizeof value];
  std::memcpy(raw, &value, sizeof value); // the test host is little-endian
  bytes.append(raw, sizeof value);
}

TEST(OutputThreadTest, ImpulseAndExactRewardRecordsAcrossChunksAreTheBytesOfDirectWrites) {
  // The .arm and .var records of Feed, the .rew records beside the .var
  // ones, and an .imp record per state: state n has n % 5 entries, state
  // 300 has 100000 (3.2 MB packed: it spans several chunks).
  for (bool thread : {true, false}) {
    TwoVariables m;
    ScratchDir dir;
    std::string arm = dir.file("t.arm"), var = dir.file("t.var");
    std::string rew = dir.file("t.rew"), imp = dir.file("t.imp");
    RecordWriter armFile;
    ASSERT_TRUE(armFile.open(arm.c_str()));
    Reward reward(m.model, 1, var.data());
    ExactRewardFile exact(m.model, rew.c_str());
    reward.AlsoWriteExact(&exact);
    ImpulseFile impulses(2, imp.c_str());
    std::string expectedImp = std::string("SSGIMP1\n") + std::string("\2\0\0\0", 4);
    Expected expected;
    {
      OutputThread output(armFile, reward, thread, nullptr, &impulses);
      expected = Feed(output, reward, m);
      ImpulseMap map;
      map.reset(4);
      for (uint32_t n = 1; n <= 400; n++) {
        const uint32_t count = n == 300 ? 100000 : n % 5;
        AppendBytes(expectedImp, n);
        AppendBytes(expectedImp, count);
        for (uint32_t e = 1; e <= count; e++) {
          const double values[4] = {n + 0.5 * e, 1.0 / e, -double(e), 1e-9 * n};
          map.add(e, values);
          for (double v : values)
            AppendBytes(expectedImp, v);
        }
        output.impulseRecord(n, map);
        map.clear();
      }
      output.finish();
    }
    armFile.close();
    reward.Close();
    exact.Finish(133);
    impulses.Finish(400);
    expectedImp += std::string("\x90\x01\0\0END\n", 8);
    // The .rew records: each .var record's rate values (Feed's 1 / n and
    // 1e-7 n for n = 3, 6, ..., 399), after the header of two variables
    // without time points.
    std::string expectedRew = std::string("SSGREW1\n\2\0\0\0", 12) + std::string(8, '\0');
    for (uint32_t n = 3; n <= 400; n += 3) {
      AppendBytes(expectedRew, 1.0 / n);
      AppendBytes(expectedRew, 1e-7 * n);
    }
    expectedRew += std::string("\x85\0\0\0END\n", 8);
    EXPECT_TRUE(ReadFile(arm) == expected.arm) << "thread " << thread;
    EXPECT_EQ(ReadFile(var), "Up\nDown\n" + expected.var) << "thread " << thread;
    EXPECT_TRUE(ReadFile(rew) == expectedRew) << "thread " << thread;
    EXPECT_TRUE(ReadFile(imp) == expectedImp) << "thread " << thread;
  }
}

TEST(OutputThreadDeathTest, ImpulseWriteFailingInTheThreadEndsTheRunWithItsMessage) {
  auto run = [] {
    TwoVariables m;
    ScratchDir dir;
    std::string arm = dir.file("t.arm"), var = dir.file("t.var");
    RecordWriter armFile;
    if (!armFile.open(arm.c_str()))
      std::exit(3);
    Reward reward(m.model, 1, var.data());
    ImpulseFile impulses(2, "/dev/full");
    OutputThread output(armFile, reward, true, nullptr, &impulses);
    ImpulseMap map;
    map.reset(4);
    const double values[4] = {1, 2, 3, 4};
    for (uint32_t e = 1; e <= 100000; e++)
      map.add(e, values);
    for (uint32_t n = 1; n <= 4; n++)
      output.impulseRecord(n, map);
    output.finish();
    std::exit(0);
  };
  EXPECT_EXIT(run(), testing::ExitedWithCode(1),
              "^Error: could not write /dev/full: No space left on device\n$");
}

TEST(OutputThreadDeathTest, WriteFailingInTheThreadEndsTheRunWithTheFilesMessage) {
  // /dev/full takes no byte: the output thread keeps the failure, and the
  // exploring thread ends the run with the message a direct write gives.
  auto run = [] {
    TwoVariables m;
    ScratchDir dir;
    std::string var = dir.file("t.var");
    RecordWriter armFile;
    if (!armFile.open("/dev/full"))
      std::exit(3);
    Reward reward(m.model, 1, var.data());
    OutputThread output(armFile, reward);
    Feed(output, reward, m);
    output.finish();
    std::exit(0);
  };
  EXPECT_EXIT(run(), testing::ExitedWithCode(1),
              "^Error: could not write /dev/full: No space left on device\n$");
}

TEST(OutputThreadDeathTest, MarkingWriteFailingInTheThreadEndsTheRunWithItsMessage) {
  auto run = [] {
    TwoVariables m;
    ScratchDir dir;
    std::string arm = dir.file("t.arm"), var = dir.file("t.var");
    RecordWriter armFile;
    if (!armFile.open(arm.c_str()))
      std::exit(3);
    Reward reward(m.model, 1, var.data());
    StaWriter markings(StateColumns::Of(*m.model), "/dev/full");
    OutputThread output(armFile, reward, true, &markings);
    Feed(output, reward, m, &markings);
    output.finish();
    markings.Close();
    std::exit(0);
  };
  EXPECT_EXIT(run(), testing::ExitedWithCode(1),
              "^Error: could not write /dev/full: No space left on device\n$");
}

} // namespace
