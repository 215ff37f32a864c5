// Generation of models with deterministic activities: the .arm values of
// deterministic firings, the instantaneous chains that follow them, the .det
// records and the failures of this method. Every expected file is built here
// from the small model each test defines, over one place X.

#include <filesystem>
#include <initializer_list>
#include <iostream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "model/BaseGroupClass.h"
#include "tests/driver/OutputFaults.h"
#include "tests/ssg/GenHarness.h"
#include "tests/ssg/SmallModels.h"

namespace {

// An activity that reports a delay parameter.
class DelayActivity : public FunctionActivity {
public:
  double Parameters[1];
  DelayActivity(const char* name, int groupId, double delay)
      : FunctionActivity(name, groupId, DETERMINISTIC), Parameters{delay} {}
  double* ReturnDistributionParameters() override { return Parameters; }
};

// A SmallSAN with one place X (initially 0) in a reward model without
// variables. Activities are given as "enabled in X == from, sets X = to".
struct Model {
  SmallSAN* san = new SmallSAN;
  int x = san->add("X", 0);
  std::unique_ptr<PVModel> pv;

  short& X() { return san->mark(x); }
  template <class A> A* move(A* a, short from, short to) {
    a->enabled = [this, from] { return X() == from; };
    a->fire = [this, to] { X() = to; };
    return a;
  }
  DelayActivity* deterministic(const char* name, double delay, short from, short to) {
    auto* a = new DelayActivity(name, static_cast<int>(san->activities.size()), delay);
    san->activities.push_back(a);
    return move(a, from, to);
  }
  FunctionActivity* exponential(const char* name, double rate, short from, short to) {
    FunctionActivity* a = move(san->activity(name), from, to);
    a->rate = [rate] { return rate; };
    return a;
  }
  FunctionActivity* instant(const char* name, double weight, short from, short to) {
    FunctionActivity* a = move(san->activity(name, INSTANTANEOUS), from, to);
    a->weight = weight;
    return a;
  }
  // One group over the members, after the activities in the group table.
  void group(const std::vector<FunctionActivity*>& members) {
    const int id = static_cast<int>(san->activities.size() + san->extraGroups.size());
    auto* g = new BaseGroupClass("G", id, EXPONENTIAL, DEFAULT_POLICY, 0, 2, false);
    g->initialize(static_cast<int>(members.size()), "G");
    for (FunctionActivity* m : members) {
      g->appendGroup(m);
      m->GroupID = id;
    }
    san->extraGroups.push_back(g);
  }
  PVModel* finish() {
    san->finish();
    pv = std::make_unique<SmallPVModel>(san);
    return pv.get();
  }
};

// The .arm file of this method: type 1, the count in a line of 8 reserved
// characters, then per state its (target, value) entries and the 0.
using Records = std::vector<std::vector<std::pair<int, double>>>;
std::string Arm(const Records& records) {
  const std::string count = std::to_string(records.size());
  std::string arm = "1\n" + count + "\n" + std::string(7 - count.size(), ' ') + "\n";
  for (size_t n = 0; n < records.size(); n++) {
    arm += std::to_string(n + 1) + "\n";
    for (const auto& [target, value] : records[n])
      arm += std::to_string(target) + "\n" + Sci(value) + "\n";
    arm += "0\n";
  }
  return arm;
}

struct DetRun {
  std::string out, arm, det, var;
};

DetRun GenerateDet(PVModel* model, short absorbFlag = 0) {
  ScratchDir dir;
  DetRun run;
  run.out = Generate(model, dir, absorbFlag);
  run.arm = ReadFile(dir.file("t.arm"));
  run.det = ReadFile(dir.file("t.det"));
  run.var = ReadFile(dir.file("t.var"));
  return run;
}

} // namespace

TEST(StateSpaceGenDetTest, DeterministicFiringIsWrittenAsMinusItsProbability) {
  Model m;
  m.deterministic("Go", 2.5, 0, 1);
  m.exponential("Back", 3.0, 1, 0);
  DetRun run = GenerateDet(m.finish());
  EXPECT_EQ(run.arm, Arm({{{2, -1.0}}, {{1, 3.0}}}));
  EXPECT_EQ(run.arm.substr(0, 11), "1\n2\n      \n");
  // Go is enabled in state 1 only.
  EXPECT_EQ(run.det, "1\n" + Sci(2.5) + "\n1\n0\n");
  // Without variables a .var record is the state number alone.
  EXPECT_EQ(run.var, "1\n2\n");
}

TEST(StateSpaceGenDetTest, GroupProbabilityWeighsDeterministicFirings) {
  // One group, weights 1 and 3, the same delay: values -1/4 and -3/4, and
  // state 1 recorded twice under that delay.
  Model m;
  DelayActivity* a = m.deterministic("A", 1.0, 0, 1);
  DelayActivity* b = m.deterministic("B", 1.0, 0, 2);
  b->weight = 3.0;
  m.group({a, b});
  DetRun run = GenerateDet(m.finish());
  EXPECT_EQ(run.arm, Arm({{{2, -0.25}, {3, -0.75}}, {}, {}}));
  EXPECT_EQ(run.det, "1\n" + Sci(1.0) + "\n1\n1\n0\n");
}

TEST(StateSpaceGenDetTest, DeterministicAndExponentialToSameTargetAddUp) {
  Model m;
  m.deterministic("D", 4.0, 0, 1);
  m.exponential("E", 0.25, 0, 1);
  EXPECT_EQ(GenerateDet(m.finish()).arm, Arm({{{2, -1.0 + 0.25}}, {}}));
}

TEST(StateSpaceGenDetTest, CompetingBranchesInSeparateGroupsSplitByWeight) {
  // D and E (rate 2) lead from X = 0 to the vanishing X = 1, where I1
  // (weight 1) and I2 (weight 3) compete, each its own group. They split by
  // weight, 1/4 and 3/4, as in normal generation: each group's own
  // probability (1 for both) would give the branches 2 in all.
  Model m;
  m.deterministic("D", 1.0, 0, 1);
  m.exponential("E", 2.0, 0, 1);
  m.instant("I1", 1.0, 1, 2);
  m.instant("I2", 3.0, 1, 3);
  EXPECT_EQ(GenerateDet(m.finish()).arm, Arm({{{2, -0.25 + 0.5}, {3, -0.75 + 1.5}}, {}, {}}));
}

TEST(StateSpaceGenDetTest, BranchesOfAGroupAndALoneActivityShareOneWhole) {
  // I1 (weight 1) and I2 (weight 3) in one group compete with I3 (weight 4),
  // a group of its own: 1/8, 3/8 and 4/8 of D's -1.
  Model m;
  m.deterministic("D", 1.0, 0, 1);
  FunctionActivity* i1 = m.instant("I1", 1.0, 1, 2);
  FunctionActivity* i2 = m.instant("I2", 3.0, 1, 3);
  m.instant("I3", 4.0, 1, 4);
  m.group({i1, i2});
  EXPECT_EQ(GenerateDet(m.finish()).arm, Arm({{{2, -0.125}, {3, -0.375}, {4, -0.5}}, {}, {}, {}}));
}

TEST(StateSpaceGenDetTest, ChainSplitsByWeightInsideOneGroup) {
  // As above with I1 and I2 in one group, which gives them 1/4 and 3/4.
  // States: 1 (X=0), 2 (X=2), 3 (X=3), 4 (X=5); E leads from X = 5 back
  // into the vanishing X = 1.
  Model m;
  m.deterministic("D", 1.0, 0, 1);
  m.exponential("E", 2.0, 5, 1);
  FunctionActivity* i1 = m.instant("I1", 1.0, 1, 2);
  FunctionActivity* i2 = m.instant("I2", 3.0, 1, 3);
  m.exponential("F", 8.0, 2, 5);
  m.group({i1, i2});
  EXPECT_EQ(GenerateDet(m.finish()).arm,
            Arm({{{2, -0.25}, {3, -0.75}}, {{4, 8.0}}, {}, {{2, 0.5}, {3, 1.5}}}));
}

TEST(StateSpaceGenDetTest, ZeroValueRecordsNothingAndNumbersNoState) {
  Model m;
  m.exponential("Idle", 0.0, 0, 9);
  m.deterministic("D", 0.5, 0, 1);
  EXPECT_EQ(GenerateDet(m.finish()).arm, Arm({{{2, -1.0}}, {}}));
}

TEST(StateSpaceGenDetTest, RecordsEveryEnablingStateUnderItsDelay) {
  // A counter 0..3 stepped by Step (delay 2) and reset from 3 by Reset
  // (delay 7); state n has X = n - 1.
  Model m;
  DelayActivity* step = m.deterministic("Step", 2.0, 0, 0);
  step->enabled = [&m] { return m.X() < 3; };
  step->fire = [&m] { m.X() += 1; };
  m.deterministic("Reset", 7.0, 3, 0);
  EXPECT_EQ(GenerateDet(m.finish()).det,
            "2\n" + Sci(2.0) + "\n1\n2\n3\n0\n" + Sci(7.0) + "\n4\n0\n");
}

TEST(StateSpaceGenDetTest, AbsorbingStatesReportedOnlyWithAbsorbFlag) {
  for (short flag : std::initializer_list<short>{0, 1}) {
    Model m;
    m.deterministic("D", 1.0, 0, 1);
    DetRun run = GenerateDet(m.finish(), flag);
    // The absorbing state 2 is written either way, with its terminator.
    EXPECT_EQ(run.arm, Arm({{{2, -1.0}}, {}}));
    const std::string message = "\nThis following State is absorbing:\n";
    const size_t at = run.out.find(message);
    if (flag == 0) {
      EXPECT_EQ(at, std::string::npos) << run.out;
    } else {
      ASSERT_NE(at, std::string::npos) << run.out;
      EXPECT_EQ(run.out.find(message, at + 1), std::string::npos);
    }
  }
}

TEST(StateSpaceGenDetTest, EvenFileTypesWriteBinaryDetFile) {
  Model m;
  m.deterministic("D", 0.5, 0, 1);
  PVModel* model = m.finish();
  ScratchDir dir;
  StateSpaceGen gen(model, dir.path.c_str(), "t", 0, 0.5, nullptr, nullptr, nullptr);
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
  EXPECT_EQ(ReadFile(dir.file("t.arm")).substr(0, 2), "2\n");
}

TEST(StateSpaceGenDetTest, ChainOfTwentyThreeInstantaneousFiringsIsAcceptedNotTwentyFour) {
  // D leads to X = 1; Step then advances X while 0 < X < last, that is
  // last - 1 chained instantaneous firings.
  auto chain = [](Model& m, short last) {
    m.deterministic("D", 1.0, 0, 1);
    FunctionActivity* step = m.instant("Step", 1.0, 0, 0);
    step->enabled = [&m, last] { return m.X() > 0 && m.X() < last; };
    step->fire = [&m] { m.X() += 1; };
    return m.finish();
  };
  Model accepted;
  EXPECT_EQ(GenerateDet(chain(accepted, 24)).arm, Arm({{{2, -1.0}}, {}}));
  Model refused;
  PVModel* model = chain(refused, 25);
  EXPECT_EXIT(GenerateDet(model), ::testing::ExitedWithCode(1),
              "Error:  Maximum number of zero time transition firings exceeded\\(23\\)\n"
              "Possible undetermined model\n"
              "Please check the model and try again");
}

TEST(StateSpaceGenDetTest, InstantaneousCycleStopsTheRun) {
  // After D, There and Back lead X from 1 to 2 and back for ever: a
  // vanishing loop, stopped at the chain limit; the .arm file begun claims
  // no state count.
  ScratchDir dir;
  auto run = [&dir] {
    Model m;
    m.deterministic("D", 1.0, 0, 1);
    m.instant("There", 1.0, 1, 2);
    m.instant("Back", 1.0, 2, 1);
    Generate(m.finish(), dir);
  };
  EXPECT_EXIT(run(), ::testing::ExitedWithCode(1),
              "Error:  Maximum number of zero time transition firings exceeded\\(23\\)\n"
              "Possible undetermined model\n");
  EXPECT_TRUE(std::filesystem::exists(dir.file("t.arm")));
  EXPECT_TRUE(ArmClaimsNoCount(dir.file("t.arm")));
}

TEST(StateSpaceGenDetTest, UnstableInitialStateStopsBeforeTheArmFile) {
  ScratchDir dir;
  auto run = [&dir] {
    Model m;
    m.deterministic("D", 1.0, 0, 1);
    m.instant("Now", 1.0, 0, 2);
    PVModel* model = m.finish();
    // The message goes to standard output; show it to the death test.
    std::cout.rdbuf(std::cerr.rdbuf());
    Generate(model, dir);
  };
  EXPECT_EXIT(run(), ::testing::ExitedWithCode(1),
              "Error: The initial state is not stable, i.e., at least one instantaneous action is "
              "enabled in that state.");
  EXPECT_FALSE(std::filesystem::exists(dir.file("t.arm")));
}

TEST(StateSpaceGenDetTest, UnopenableDetFileStopsBeforeArmFile) {
  Model m;
  m.deterministic("D", 1.0, 0, 1);
  PVModel* model = m.finish();
  ScratchDir dir;
  std::filesystem::create_directory(dir.file("t.det"));
  EXPECT_EXIT(Generate(model, dir), ::testing::ExitedWithCode(1),
              "Error: Could not open det file \n  .*t\\.det: ");
  EXPECT_FALSE(std::filesystem::exists(dir.file("t.arm")));
}

TEST(StateSpaceGenDetTest, DeterministicActivityWithoutDelayStopsTheRun) {
  Model m;
  m.move(m.san->activity("NoDelay", DETERMINISTIC), 0, 1);
  PVModel* model = m.finish();
  EXPECT_EXIT(GenerateDet(model), ::testing::ExitedWithCode(1),
              "deterministic action NoDelay gives no delay");
}
