// Generation of models with deterministic activities: the .arm values of
// deterministic firings, the instantaneous chains that follow them, the .det
// records and the failures of this method. Every expectation is worked out
// from the small model each test builds.

#include <cstring>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "model/BaseGroupClass.h"
#include "ssg/Queue.h"
#include "tests/ssg/GenHarness.h"
#include "tests/ssg/SmallModels.h"

namespace {

// A deterministic (or any) activity that reports a delay parameter.
class DelayActivity : public FunctionActivity {
public:
  double Parameters[1];
  DelayActivity(const char* name, int groupId, Distribution distribution, double delay)
      : FunctionActivity(name, groupId, distribution), Parameters{delay} {}
  double* ReturnDistributionParameters() override { return Parameters; }
};

DelayActivity* AddDeterministic(SmallSAN& san, const char* name, double delay) {
  auto* a = new DelayActivity(name, static_cast<int>(san.activities.size()), DETERMINISTIC, delay);
  san.activities.push_back(a);
  return a;
}

// A group over the given activities, entered after the activities in the
// model's group table; the activities take its group id.
BaseGroupClass* AddGroup(SmallSAN& san, std::vector<FunctionActivity*> members) {
  const int id = static_cast<int>(san.activities.size() + san.extraGroups.size());
  auto* group = new BaseGroupClass("G", id, EXPONENTIAL, DEFAULT_POLICY, 0, 2, false);
  group->initialize(static_cast<int>(members.size()), "G");
  for (FunctionActivity* m : members) {
    group->appendGroup(m);
    m->GroupID = id;
  }
  san.extraGroups.push_back(group);
  return group;
}

// The .arm file of this method: the type line, then a line of 8 characters
// reserved for the state count, then the records.
struct DetArm {
  std::string typeLine;
  unsigned long count = 0;
  // state -> (target, value text) in file order
  std::vector<std::pair<unsigned long, std::vector<std::pair<unsigned long, std::string>>>> records;
};

DetArm ParseDetArm(const std::string& text) {
  DetArm arm;
  const size_t headerSize = 2 + 8 + 1; // "1\n", 8 characters, line end
  EXPECT_GE(text.size(), headerSize);
  if (text.size() < headerSize)
    return arm;
  const std::string header = text.substr(0, headerSize);
  arm.typeLine = header.substr(0, header.find('\n'));
  const size_t countStart = arm.typeLine.size() + 1;
  const size_t countEnd = header.find('\n', countStart);
  const std::string count = header.substr(countStart, countEnd - countStart);
  arm.count = std::stoul(count);
  // What the count leaves of the reserved line: blanks and the line end.
  if (countEnd + 1 < headerSize) {
    EXPECT_EQ(header.substr(countEnd + 1), std::string(headerSize - countEnd - 2, ' ') + "\n");
  }

  std::istringstream body(text.substr(headerSize));
  std::string line;
  while (std::getline(body, line)) {
    arm.records.emplace_back(std::stoul(line),
                             std::vector<std::pair<unsigned long, std::string>>{});
    auto& list = arm.records.back().second;
    for (;;) {
      std::string target, value;
      if (!std::getline(body, target)) {
        ADD_FAILURE() << "record of state " << arm.records.back().first << " is not terminated";
        return arm;
      }
      if (target == "0")
        break;
      std::getline(body, value);
      list.emplace_back(std::stoul(target), value);
    }
  }
  return arm;
}

using Entries = std::vector<std::pair<unsigned long, std::string>>;

// One place X; the helpers build activities over it.
struct OnePlaceModel {
  SmallSAN* san = new SmallSAN;
  int x;
  OnePlaceModel() { x = san->add("X", 0); }
  short& X() { return san->mark(x); }
  SmallPVModel* finish() {
    san->finish();
    return new SmallPVModel(san);
  }
};

struct DetRun {
  std::string out;
  DetArm arm;
  std::string det;
  std::string var;
};

DetRun GenerateDet(PVModel* model, const ScratchDir& dir, short absorbFlag = 0) {
  DetRun run;
  run.out = Generate(model, dir, absorbFlag);
  run.arm = ParseDetArm(ReadFile(dir.file("t.arm")));
  run.det = ReadFile(dir.file("t.det"));
  run.var = ReadFile(dir.file("t.var"));
  return run;
}

} // namespace

TEST(StateSpaceGenDetTest, DeterministicFiringIsWrittenAsMinusItsProbability) {
  // X = 0 --Go (deterministic, 2.5)--> X = 1 --Back (rate 3)--> X = 0.
  OnePlaceModel m;
  DelayActivity* go = AddDeterministic(*m.san, "Go", 2.5);
  go->enabled = [&] { return m.X() == 0; };
  go->fire = [&] { m.X() = 1; };
  FunctionActivity* back = m.san->activity("Back");
  back->enabled = [&] { return m.X() == 1; };
  back->rate = [] { return 3.0; };
  back->fire = [&] { m.X() = 0; };
  std::unique_ptr<PVModel> model(m.finish());

  ScratchDir dir;
  DetRun run = GenerateDet(model.get(), dir);
  // The count leaves 6 of the 8 reserved characters blank.
  EXPECT_EQ(ReadFile(dir.file("t.arm")).substr(0, 11), "1\n2\n      \n");
  EXPECT_EQ(run.arm.count, 2u);
  ASSERT_EQ(run.arm.records.size(), 2u);
  EXPECT_EQ(run.arm.records[0].first, 1u);
  EXPECT_EQ(run.arm.records[0].second, (Entries{{2, Sci(-1.0)}}));
  EXPECT_EQ(run.arm.records[1].first, 2u);
  EXPECT_EQ(run.arm.records[1].second, (Entries{{1, Sci(3.0)}}));
  // Go is enabled in state 1 only.
  EXPECT_EQ(run.det, "1\n" + Sci(2.5) + "\n1\n0\n");
  // No variables: a record is the state number alone.
  EXPECT_EQ(run.var, "1\n2\n");
  EXPECT_TRUE(std::filesystem::exists(dir.file("t.pvtype")));
}

TEST(StateSpaceGenDetTest, GroupProbabilityWeighsDeterministicFirings) {
  // Two deterministic activities of one group, weights 1 and 3, both enabled
  // in X = 0 with the same delay: values -1/4 and -3/4, and state 1 recorded
  // twice under that delay.
  OnePlaceModel m;
  DelayActivity* a = AddDeterministic(*m.san, "A", 1.0);
  a->enabled = [&] { return m.X() == 0; };
  a->fire = [&] { m.X() = 1; };
  a->weight = 1.0;
  DelayActivity* b = AddDeterministic(*m.san, "B", 1.0);
  b->enabled = [&] { return m.X() == 0; };
  b->fire = [&] { m.X() = 2; };
  b->weight = 3.0;
  AddGroup(*m.san, {a, b});
  std::unique_ptr<PVModel> model(m.finish());

  ScratchDir dir;
  DetRun run = GenerateDet(model.get(), dir);
  ASSERT_EQ(run.arm.records.size(), 3u);
  EXPECT_EQ(run.arm.records[0].second, (Entries{{2, Sci(-0.25)}, {3, Sci(-0.75)}}));
  EXPECT_EQ(run.arm.records[1].second, Entries{});
  EXPECT_EQ(run.arm.records[2].second, Entries{});
  EXPECT_EQ(run.det, "1\n" + Sci(1.0) + "\n1\n1\n0\n");
}

TEST(StateSpaceGenDetTest, DeterministicAndExponentialToSameTargetAddUp) {
  OnePlaceModel m;
  DelayActivity* d = AddDeterministic(*m.san, "D", 4.0);
  d->enabled = [&] { return m.X() == 0; };
  d->fire = [&] { m.X() = 1; };
  FunctionActivity* e = m.san->activity("E");
  e->enabled = [&] { return m.X() == 0; };
  e->rate = [] { return 0.25; };
  e->fire = [&] { m.X() = 1; };
  std::unique_ptr<PVModel> model(m.finish());

  ScratchDir dir;
  DetRun run = GenerateDet(model.get(), dir);
  ASSERT_EQ(run.arm.records.size(), 2u);
  EXPECT_EQ(run.arm.records[0].second, (Entries{{2, Sci(-1.0 + 0.25)}}));
}

TEST(StateSpaceGenDetTest, ChainAfterFiringMultipliesGroupProbabilities) {
  // From X = 0 the deterministic D and the exponential E (rate 2) both lead
  // to the vanishing X = 1, where the instantaneous I1 (weight 1, to X = 2)
  // and I2 (weight 3, to X = 3) compete. Each is its own group, so each
  // branch carries its group's probability 1 (FireInstant would split 1:3).
  OnePlaceModel m;
  DelayActivity* d = AddDeterministic(*m.san, "D", 1.0);
  d->enabled = [&] { return m.X() == 0; };
  d->fire = [&] { m.X() = 1; };
  FunctionActivity* e = m.san->activity("E");
  e->enabled = [&] { return m.X() == 0; };
  e->rate = [] { return 2.0; };
  e->fire = [&] { m.X() = 1; };
  FunctionActivity* i1 = m.san->activity("I1", INSTANTANEOUS);
  i1->enabled = [&] { return m.X() == 1; };
  i1->fire = [&] { m.X() = 2; };
  i1->weight = 1.0;
  FunctionActivity* i2 = m.san->activity("I2", INSTANTANEOUS);
  i2->enabled = [&] { return m.X() == 1; };
  i2->fire = [&] { m.X() = 3; };
  i2->weight = 3.0;
  std::unique_ptr<PVModel> model(m.finish());

  ScratchDir dir;
  DetRun run = GenerateDet(model.get(), dir);
  ASSERT_EQ(run.arm.records.size(), 3u);
  EXPECT_EQ(run.arm.records[0].second, (Entries{{2, Sci(-1.0 + 2.0)}, {3, Sci(-1.0 + 2.0)}}));
}

TEST(StateSpaceGenDetTest, ChainSplitsByWeightInsideOneGroup) {
  // As above with I1 and I2 in one group: the group gives 1/4 and 3/4, and
  // the deterministic and exponential values are scaled alike.
  OnePlaceModel m;
  DelayActivity* d = AddDeterministic(*m.san, "D", 1.0);
  d->enabled = [&] { return m.X() == 0; };
  d->fire = [&] { m.X() = 1; };
  FunctionActivity* e = m.san->activity("E");
  e->enabled = [&] { return m.X() == 5; };
  e->rate = [] { return 2.0; };
  e->fire = [&] { m.X() = 1; };
  FunctionActivity* i1 = m.san->activity("I1", INSTANTANEOUS);
  i1->enabled = [&] { return m.X() == 1; };
  i1->fire = [&] { m.X() = 2; };
  i1->weight = 1.0;
  FunctionActivity* i2 = m.san->activity("I2", INSTANTANEOUS);
  i2->enabled = [&] { return m.X() == 1; };
  i2->fire = [&] { m.X() = 3; };
  i2->weight = 3.0;
  // From X = 2 the exponential F (rate 8) leads to X = 5, where E leads
  // back into the vanishing X = 1.
  FunctionActivity* f = m.san->activity("F");
  f->enabled = [&] { return m.X() == 2; };
  f->rate = [] { return 8.0; };
  f->fire = [&] { m.X() = 5; };
  AddGroup(*m.san, {i1, i2});
  std::unique_ptr<PVModel> model(m.finish());

  ScratchDir dir;
  DetRun run = GenerateDet(model.get(), dir);
  // States in order found: 1 (X=0), 2 (X=2), 3 (X=3), 4 (X=5).
  ASSERT_EQ(run.arm.records.size(), 4u);
  EXPECT_EQ(run.arm.records[0].second, (Entries{{2, Sci(-0.25)}, {3, Sci(-0.75)}}));
  EXPECT_EQ(run.arm.records[1].second, (Entries{{4, Sci(8.0)}}));
  EXPECT_EQ(run.arm.records[2].second, Entries{});
  EXPECT_EQ(run.arm.records[3].second, (Entries{{2, Sci(0.5)}, {3, Sci(1.5)}}));
}

TEST(StateSpaceGenDetTest, OnlyHighestRankedInstantaneousActionFires) {
  OnePlaceModel m;
  DelayActivity* d = AddDeterministic(*m.san, "D", 1.0);
  d->enabled = [&] { return m.X() == 0; };
  d->fire = [&] { m.X() = 1; };
  FunctionActivity* low = m.san->activity("Low", INSTANTANEOUS);
  low->enabled = [&] { return m.X() == 1; };
  low->fire = [&] { m.X() = 2; };
  low->rank = 1;
  FunctionActivity* high = m.san->activity("High", INSTANTANEOUS);
  high->enabled = [&] { return m.X() == 1; };
  high->fire = [&] { m.X() = 3; };
  high->rank = 2;
  std::unique_ptr<PVModel> model(m.finish());

  ScratchDir dir;
  DetRun run = GenerateDet(model.get(), dir);
  ASSERT_EQ(run.arm.records.size(), 2u);
  EXPECT_EQ(run.arm.records[0].second, (Entries{{2, Sci(-1.0)}}));
}

TEST(StateSpaceGenDetTest, ZeroValueRecordsNothingAndNumbersNoState) {
  OnePlaceModel m;
  FunctionActivity* idle = m.san->activity("Idle");
  idle->enabled = [&] { return m.X() == 0; };
  idle->rate = [] { return 0.0; };
  idle->fire = [&] { m.X() = 9; };
  DelayActivity* d = AddDeterministic(*m.san, "D", 0.5);
  d->enabled = [&] { return m.X() == 0; };
  d->fire = [&] { m.X() = 1; };
  std::unique_ptr<PVModel> model(m.finish());

  ScratchDir dir;
  DetRun run = GenerateDet(model.get(), dir);
  EXPECT_EQ(run.arm.count, 2u);
  ASSERT_EQ(run.arm.records.size(), 2u);
  EXPECT_EQ(run.arm.records[0].second, (Entries{{2, Sci(-1.0)}}));
}

TEST(StateSpaceGenDetTest, RecordsEveryEnablingStateUnderItsDelay) {
  // A counter 0..3 advanced by a deterministic step (delay 2) and reset by a
  // deterministic reset (delay 7) from 3; states are X + 1.
  OnePlaceModel m;
  DelayActivity* step = AddDeterministic(*m.san, "Step", 2.0);
  step->enabled = [&] { return m.X() < 3; };
  step->fire = [&] { m.X() += 1; };
  DelayActivity* reset = AddDeterministic(*m.san, "Reset", 7.0);
  reset->enabled = [&] { return m.X() == 3; };
  reset->fire = [&] { m.X() = 0; };
  std::unique_ptr<PVModel> model(m.finish());

  ScratchDir dir;
  DetRun run = GenerateDet(model.get(), dir);
  EXPECT_EQ(run.det, "2\n" + Sci(2.0) + "\n1\n2\n3\n0\n" + Sci(7.0) + "\n4\n0\n");
}

TEST(StateSpaceGenDetTest, AbsorbingStatesReportedOnlyWithAbsorbFlag) {
  // X = 0 --D--> X = 1, where nothing is enabled.
  auto makeModel = [] {
    auto* san = new SmallSAN;
    int x = san->add("X", 0);
    DelayActivity* d = AddDeterministic(*san, "D", 1.0);
    d->enabled = [san, x] { return san->mark(x) == 0; };
    d->fire = [san, x] { san->mark(x) = 1; };
    san->finish();
    return std::unique_ptr<PVModel>(new SmallPVModel(san));
  };
  {
    std::unique_ptr<PVModel> model = makeModel();
    ScratchDir dir;
    DetRun run = GenerateDet(model.get(), dir, 1);
    const std::string message = "\nThis following State is absorbing:\n";
    const size_t at = run.out.find(message);
    ASSERT_NE(at, std::string::npos) << run.out;
    EXPECT_EQ(run.out.find(message, at + 1), std::string::npos);
    // The absorbing state is still written, with its terminator.
    ASSERT_EQ(run.arm.records.size(), 2u);
    EXPECT_EQ(run.arm.records[1].second, Entries{});
  }
  {
    std::unique_ptr<PVModel> model = makeModel();
    ScratchDir dir;
    DetRun run = GenerateDet(model.get(), dir, 0);
    EXPECT_EQ(run.out.find("absorbing"), std::string::npos);
    ASSERT_EQ(run.arm.records.size(), 2u);
    EXPECT_EQ(run.arm.records[1].second, Entries{});
  }
}

TEST(StateSpaceGenDetTest, RecordNumberedZeroIsSkipped) {
  OnePlaceModel m;
  DelayActivity* d = AddDeterministic(*m.san, "D", 1.0);
  d->enabled = [&] { return m.X() == 0; };
  d->fire = [&] { m.X() = 1; };
  std::unique_ptr<PVModel> model(m.finish());

  ScratchDir dir;
  StateSpaceGen gen(model.get(), dir.path.c_str(), "t", 0, 0.5, nullptr, nullptr, nullptr);
  char vector[2] = {7, 0};
  state_struct zero{vector, 0};
  gen.StateQueue->Enqueue(&zero);
  gen.InitializeTrace();
  testing::internal::CaptureStdout();
  gen.GenStateSpace();
  testing::internal::GetCapturedStdout();

  DetArm arm = ParseDetArm(ReadFile(dir.file("t.arm")));
  EXPECT_EQ(arm.count, 2u);
  ASSERT_EQ(arm.records.size(), 2u);
  EXPECT_EQ(arm.records[0].first, 1u);
  EXPECT_EQ(arm.records[1].first, 2u);
}

TEST(StateSpaceGenDetTest, EvenFileTypesWriteBinaryDetFile) {
  OnePlaceModel m;
  DelayActivity* d = AddDeterministic(*m.san, "D", 0.5);
  d->enabled = [&] { return m.X() == 0; };
  d->fire = [&] { m.X() = 1; };
  std::unique_ptr<PVModel> model(m.finish());

  ScratchDir dir;
  StateSpaceGen gen(model.get(), dir.path.c_str(), "t", 0, 0.5, nullptr, nullptr, nullptr);
  gen.InitializeTrace();
  gen.FileType = 2; // GenStateSpace would reset it to 1
  testing::internal::CaptureStdout();
  gen.SetMethodPointers();
  testing::internal::GetCapturedStdout();

  // count 1; value 0.5 = 0x3FE0000000000000; state 1; 2-byte terminator.
  const std::string expected("\x01\x00\x00\x00"
                             "\x00\x00\x00\x00\x00\x00\xe0\x3f"
                             "\x01\x00\x00\x00"
                             "\x00\x00",
                             18);
  EXPECT_EQ(ReadFile(dir.file("t.det")), expected);
  EXPECT_EQ(ParseDetArm(ReadFile(dir.file("t.arm"))).typeLine, "2");
}

namespace {

// X = 0 --D--> X = 1, then the instantaneous Step advances X while
// 0 < X < last: last - 1 chained instantaneous firings.
SmallPVModel* ChainModel(short last) {
  auto* san = new SmallSAN;
  int x = san->add("X", 0);
  DelayActivity* d = AddDeterministic(*san, "D", 1.0);
  d->enabled = [san, x] { return san->mark(x) == 0; };
  d->fire = [san, x] { san->mark(x) = 1; };
  FunctionActivity* step = san->activity("Step", INSTANTANEOUS);
  step->enabled = [san, x, last] { return san->mark(x) > 0 && san->mark(x) < last; };
  step->fire = [san, x] { san->mark(x) += 1; };
  san->finish();
  return new SmallPVModel(san);
}

} // namespace

TEST(StateSpaceGenDetTest, ChainOfTwentyThreeInstantaneousFiringsIsAccepted) {
  std::unique_ptr<PVModel> model(ChainModel(24));
  ScratchDir dir;
  DetRun run = GenerateDet(model.get(), dir);
  ASSERT_EQ(run.arm.records.size(), 2u);
  EXPECT_EQ(run.arm.records[0].second, (Entries{{2, Sci(-1.0)}}));
}

TEST(StateSpaceGenDetTest, TwentyFourthChainedFiringStopsTheRun) {
  std::unique_ptr<PVModel> model(ChainModel(25));
  ScratchDir dir;
  EXPECT_EXIT(GenerateDet(model.get(), dir), ::testing::ExitedWithCode(1),
              "Error:  Maximum number of zero time transition firings exceeded\\(23\\)\n"
              "Possible undetermined model\n"
              "Please check the model and try again");
}

TEST(StateSpaceGenDetTest, UnopenableDetFileStopsBeforeArmFile) {
  OnePlaceModel m;
  DelayActivity* d = AddDeterministic(*m.san, "D", 1.0);
  d->enabled = [&] { return m.X() == 0; };
  d->fire = [&] { m.X() = 1; };
  std::unique_ptr<PVModel> model(m.finish());

  ScratchDir dir;
  std::filesystem::create_directory(dir.file("t.det"));
  EXPECT_EXIT(GenerateDet(model.get(), dir), ::testing::ExitedWithCode(1),
              "Error: Could not open det file \n  .*t\\.det: ");
  EXPECT_FALSE(std::filesystem::exists(dir.file("t.arm")));
}

TEST(StateSpaceGenDetTest, UnopenableArmFileStopsTheRun) {
  OnePlaceModel m;
  DelayActivity* d = AddDeterministic(*m.san, "D", 1.0);
  d->enabled = [&] { return m.X() == 0; };
  d->fire = [&] { m.X() = 1; };
  std::unique_ptr<PVModel> model(m.finish());

  ScratchDir dir;
  std::filesystem::create_directory(dir.file("t.arm"));
  EXPECT_EXIT(GenerateDet(model.get(), dir), ::testing::ExitedWithCode(1),
              "Error: Could not open binary file dude\n  .*t\\.arm: ");
}

TEST(StateSpaceGenDetTest, DeterministicActivityWithoutDelayStopsTheRun) {
  OnePlaceModel m;
  FunctionActivity* d = m.san->activity("NoDelay", DETERMINISTIC);
  d->enabled = [&] { return m.X() == 0; };
  d->fire = [&] { m.X() = 1; };
  std::unique_ptr<PVModel> model(m.finish());

  ScratchDir dir;
  EXPECT_EXIT(GenerateDet(model.get(), dir), ::testing::ExitedWithCode(1),
              "deterministic action NoDelay gives no delay");
}
