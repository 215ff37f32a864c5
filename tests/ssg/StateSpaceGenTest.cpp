#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <initializer_list>
#include <string>

#include "driver/RunSummary.h"
#include "model/BaseGroupClass.h"
#include "ssg/HybridHash.h"
#include "tests/driver/OutputFaults.h"
#include "tests/ssg/GenHarness.h"

namespace {

using Transitions = std::vector<std::pair<unsigned long, std::string>>;

// Counts the occurrences of `what` in `text`.
int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
    n++;
  return n;
}

TEST(StateSpaceGenTest, SingleStateWithoutActivitiesIsOneEmptyRecord) {
  auto* san = new SmallSAN;
  san->add("p", 3);
  san->finish();
  SmallPVModel model(san);
  ScratchDir dir;
  std::string out = Generate(&model, dir);

  std::string arm = ReadFile(dir.file("t.arm"));
  EXPECT_EQ(arm, "1\n1\n" + std::string(61, ' ') + "\n1\n0\n");
  EXPECT_EQ(ReadFile(dir.file("t.var")), "1\n");
  EXPECT_NE(out.find("_$1$\nGenerated: 1 states\n"), std::string::npos) << out;
  EXPECT_EQ(Count(out, "absorbing state"), 0);
}

TEST(StateSpaceGenTest, AbsorbingStatesAreReportedOnceEachWithTheFlag) {
  // 1 -> 2 -> 3, where 3 enables nothing.
  for (short flag : std::initializer_list<short>{0, 1}) {
    auto* san = new SmallSAN;
    int p = san->add("p", 0);
    san->move("step", p, 0, 1, 1.0);
    san->move("step", p, 1, 2, 1.0);
    san->finish();
    SmallPVModel model(san);
    ScratchDir dir;
    std::string out = Generate(&model, dir, flag);
    EXPECT_EQ(Count(out, "absorbing state\n"), flag == 1 ? 1 : 0) << out;
    ArmContents arm = ParseArm(ReadFile(dir.file("t.arm")));
    EXPECT_EQ(arm.count, 3u);
    EXPECT_TRUE(arm.transitions[3].empty());
  }
}

TEST(StateSpaceGenTest, ParallelTransitionsToOneTargetAreMerged) {
  auto* san = new SmallSAN;
  int p = san->add("p", 0);
  san->move("a", p, 0, 1, 0.5);
  san->move("b", p, 0, 1, 0.25);
  san->finish();
  SmallPVModel model(san);
  ScratchDir dir;
  Generate(&model, dir);

  ArmContents arm = ParseArm(ReadFile(dir.file("t.arm")));
  EXPECT_EQ(arm.count, 2u);
  EXPECT_EQ(arm.transitions[1], (Transitions{{2, "7.5000000000e-01"}}));
  EXPECT_TRUE(arm.transitions[2].empty());
}

TEST(StateSpaceGenTest, TransitionsAreWrittenInIncreasingTargetOrderWithSelfLoops) {
  // From state 1 (p=0) the activities reach, in this order: p=2 (new, state
  // 2), state 1 itself, p=1 (new, state 3), and p=2 again.
  auto* san = new SmallSAN;
  int p = san->add("p", 0);
  const double rates[] = {1.0, 2.0, 4.0, 8.0};
  const short targets[] = {2, 0, 1, 2};
  for (int i = 0; i < 4; i++)
    san->move("a", p, 0, targets[i], rates[i]);
  san->finish();
  SmallPVModel model(san);
  ScratchDir dir;
  Generate(&model, dir);
  ArmContents arm = ParseArm(ReadFile(dir.file("t.arm")));
  EXPECT_EQ(arm.states, (std::vector<unsigned long>{1, 2, 3}));
  EXPECT_EQ(arm.transitions[1], (Transitions{{1, Sci(2.0)}, {2, Sci(1.0 + 8.0)}, {3, Sci(4.0)}}));
}

TEST(StateSpaceGenTest, SelfLoopsAreCountedBesideTheTransitionsTheyBelongTo) {
  // As above: state 1's three entries, one to itself; states 2 and 3 none.
  auto* san = new SmallSAN;
  int p = san->add("p", 0);
  const short targets[] = {2, 0, 1, 2};
  for (short target : targets)
    san->move("a", p, 0, target, 1.0);
  san->finish();
  SmallPVModel model(san);
  ScratchDir dir;
  StateSpaceGen gen(&model, dir.path.c_str(), "t", 0, 0.5, nullptr, nullptr, nullptr);
  gen.FileType = 1;
  gen.TraceLevel = 0;
  gen.InitializeTrace();
  testing::internal::CaptureStdout();
  gen.GenStateSpace();
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(gen.TransitionsWritten, 3u);
  EXPECT_EQ(gen.SelfLoopsWritten, 1u);
  EXPECT_EQ(RunSummary::Line(3, 3, 2, 0.5, 1 << 20, 100, 1),
            "Summary: 3 states, 3 transitions (1 to the state itself), 2 absorbing, 0.500 s wall, "
            "1.0 MiB peak memory, 100 bytes written");
  // Without self-loops the line is as it always was.
  EXPECT_EQ(RunSummary::Line(3, 3, 2, 0.5, 1 << 20, 100),
            "Summary: 3 states, 3 transitions, 2 absorbing, 0.500 s wall, 1.0 MiB peak memory, "
            "100 bytes written");
}

TEST(StateSpaceGenTest, ZeroRateTransitionIsDroppedAndItsTargetNotNumbered) {
  // a (rate 0) would reach p=1; b (rate 2) reaches p=2, from which c (rate 0)
  // and d (rate 3) both reach p=1: p=1 is numbered only through d.
  auto* san = new SmallSAN;
  int p = san->add("p", 0);
  san->move("a", p, 0, 1, 0.0);
  san->move("b", p, 0, 2, 2.0);
  san->move("c", p, 2, 1, 0.0);
  san->move("d", p, 2, 1, 3.0);
  san->finish();
  SmallPVModel model(san);
  ScratchDir dir;
  Generate(&model, dir);
  ArmContents arm = ParseArm(ReadFile(dir.file("t.arm")));
  EXPECT_EQ(arm.count, 3u);
  EXPECT_EQ(arm.transitions[1], (Transitions{{2, Sci(2.0)}}));
  EXPECT_EQ(arm.transitions[2], (Transitions{{3, Sci(3.0)}}));
}

TEST(StateSpaceGenTest, TimedRateIsScaledByTheProbabilityItsGroupGivesIt) {
  // a and b, rate 2 each, share one group with weights 1 and 3: the group
  // gives them 1/4 and 3/4, so the transitions carry 0.5 and 1.5 (without
  // the group's probability both would be 2).
  auto* san = new SmallSAN;
  int p = san->add("p", 0);
  FunctionActivity* a = san->move("a", p, 0, 1, 2.0);
  FunctionActivity* b = san->move("b", p, 0, 2, 2.0);
  b->weight = 3.0;
  auto* group = new BaseGroupClass("G", 2, EXPONENTIAL, DEFAULT_POLICY, 0, 2, false);
  group->initialize(2, "G");
  group->appendGroup(a);
  group->appendGroup(b);
  a->GroupID = b->GroupID = 2;
  san->extraGroups.push_back(group);
  san->finish();
  SmallPVModel model(san);
  ScratchDir dir;
  Generate(&model, dir);
  ArmContents arm = ParseArm(ReadFile(dir.file("t.arm")));
  EXPECT_EQ(arm.transitions[1], (Transitions{{2, Sci(0.5)}, {3, Sci(1.5)}}));
}

// A timed activity "go" (rate 2) moves phase 0 -> 1; instantaneous activities
// enabled in phase 1 lead on. Returns the model for more activities.
struct ChainModel {
  SmallSAN* san = new SmallSAN;
  int phase = san->add("phase", 0);
  int where = san->add("where", 0);
  ChainModel() { san->move("go", phase, 0, 1, 2.0); }
  // Instantaneous: enabled in phase `from`, moves to phase `to` and sets
  // where = mark.
  FunctionActivity* instant(const char* name, short from, short to, short mark) {
    auto* a = san->activity(name, INSTANTANEOUS);
    a->enabled = [s = san, ph = phase, from] { return s->mark(ph) == from; };
    a->fire = [s = san, ph = phase, w = where, to, mark] {
      s->mark(ph) = to;
      s->mark(w) = mark;
    };
    return a;
  }
};

TEST(StateSpaceGenTest, SingleInstantaneousActivityPassesTheTimedRateOn) {
  ChainModel m;
  m.instant("i", 1, 2, 7);
  m.san->finish();
  SmallPVModel model(m.san);
  ScratchDir dir;
  Generate(&model, dir);
  ArmContents arm = ParseArm(ReadFile(dir.file("t.arm")));
  EXPECT_EQ(arm.count, 2u); // the vanishing phase-1 state is never numbered
  EXPECT_EQ(arm.transitions[1], (Transitions{{2, Sci(2.0)}}));
}

TEST(StateSpaceGenTest, CompetingInstantaneousActivitiesSplitByWeight) {
  ChainModel m;
  m.instant("light", 1, 2, 1)->weight = 1.0;
  m.instant("heavy", 1, 2, 2)->weight = 3.0;
  m.san->finish();
  SmallPVModel model(m.san);
  ScratchDir dir;
  Generate(&model, dir);
  ArmContents arm = ParseArm(ReadFile(dir.file("t.arm")));
  EXPECT_EQ(arm.count, 3u);
  EXPECT_EQ(arm.transitions[1], (Transitions{{2, Sci(0.25 * 2.0)}, {3, Sci(0.75 * 2.0)}}));
}

TEST(StateSpaceGenTest, OnlyTheHighestRankedInstantaneousActivityFires) {
  // "high" leads to where = 2, from which "onward" (rate 3) leads to one more
  // state; "low" would lead to where = 1, a dead end. Listing "low" first
  // makes sure the rank, not the order, decides.
  ChainModel m;
  m.instant("low", 1, 2, 1)->rank = 1;
  m.instant("high", 1, 2, 2)->rank = 2;
  auto* onward = m.san->activity("onward");
  onward->enabled = [s = m.san, w = m.where] { return s->mark(w) == 2; };
  onward->rate = [] { return 3.0; };
  onward->fire = [s = m.san, w = m.where] { s->mark(w) = 3; };
  m.san->finish();
  SmallPVModel model(m.san);
  ScratchDir dir;
  Generate(&model, dir);
  ArmContents arm = ParseArm(ReadFile(dir.file("t.arm")));
  EXPECT_EQ(arm.count, 3u);
  EXPECT_EQ(arm.transitions[1], (Transitions{{2, Sci(2.0)}}));
  EXPECT_EQ(arm.transitions[2], (Transitions{{3, Sci(3.0)}}));
}

TEST(StateSpaceGenTest, TwoChainsReachingOneStateAreSummed) {
  // Phase 1 branches (weights 1 and 1) to phases 3 and 4, which both end in
  // the same stable state (phase 2, where 5); a third branch of weight 2 ends
  // elsewhere.
  ChainModel m;
  m.instant("left", 1, 3, 0);
  m.instant("right", 1, 4, 0);
  m.instant("away", 1, 2, 6)->weight = 2.0;
  m.instant("leftEnd", 3, 2, 5);
  m.instant("rightEnd", 4, 2, 5);
  m.san->finish();
  SmallPVModel model(m.san);
  ScratchDir dir;
  Generate(&model, dir);
  ArmContents arm = ParseArm(ReadFile(dir.file("t.arm")));
  EXPECT_EQ(arm.count, 3u);
  EXPECT_EQ(arm.transitions[1], (Transitions{{2, Sci(0.25 * 2.0 + 0.25 * 2.0)}, {3, Sci(1.0)}}));
}

// A timed activity starts a chain of `length` instantaneous firings, each
// adding 1 to a counter.
void ChainOfLength(int length) {
  auto* san = new SmallSAN;
  int started = san->add("started", 0);
  int count = san->add("count", 0);
  san->move("go", started, 0, 1, 1.0);
  auto* step = san->activity("step", INSTANTANEOUS);
  step->enabled = [san, started, count, length] {
    return san->mark(started) == 1 && san->mark(count) < length;
  };
  step->fire = [san, count] { san->mark(count)++; };
  san->finish();
  SmallPVModel model(san);
  ScratchDir dir;
  Generate(&model, dir);
  ArmContents arm = ParseArm(ReadFile(dir.file("t.arm")));
  EXPECT_EQ(arm.count, 2u);
}

TEST(StateSpaceGenTest, ChainOfTwentyThreeInstantaneousFiringsIsAccepted) {
  ChainOfLength(23);
}

TEST(StateSpaceGenDeathTest, TwentyFourthChainedFiringStopsTheRun) {
  EXPECT_EXIT(ChainOfLength(24), testing::ExitedWithCode(1),
              "Maximum number of zero time transition recursive firings exceeded\\(23\\)\n"
              "Possible undetermined model.\nPlease check the model and try again");
}

TEST(StateSpaceGenDeathTest, InstantaneousCycleStopsTheRun) {
  ScratchDir dir;
  auto run = [&dir] {
    ChainModel m;
    m.instant("there", 1, 2, 0);
    m.instant("back", 2, 1, 0);
    m.san->finish();
    SmallPVModel model(m.san);
    Generate(&model, dir);
  };
  EXPECT_EXIT(run(), testing::ExitedWithCode(1), "Maximum number of zero time transition");
  // The .arm file was begun; its header claims no state count.
  EXPECT_TRUE(std::filesystem::exists(dir.file("t.arm")));
  EXPECT_TRUE(ArmClaimsNoCount(dir.file("t.arm")));
}

TEST(StateSpaceGenDeathTest, UnstableInitialStateStops) {
  ScratchDir dir;
  auto run = [&dir] {
    auto* san = new SmallSAN;
    int p = san->add("p", 0);
    auto* t = san->activity("t");
    t->enabled = [] { return true; };
    t->rate = [] { return 1.0; };
    auto* i = san->activity("i", INSTANTANEOUS);
    i->enabled = [san, p] { return san->mark(p) == 0; };
    i->fire = [san, p] { san->mark(p) = 1; };
    san->finish();
    SmallPVModel model(san);
    // The message goes to standard output; show it to the death test.
    std::cout.rdbuf(std::cerr.rdbuf());
    StateSpaceGen gen(&model, dir.path.c_str(), "t", 0, 0.5, nullptr, nullptr, nullptr);
    gen.InitializeTrace();
    gen.GenStateSpace();
  };
  EXPECT_EXIT(run(), testing::ExitedWithCode(1),
              "Error: The initial state is not stable, i.e., at least one instantaneous action is "
              "enabled in that state.");
  // Stopped before exploring: no .arm file.
  EXPECT_TRUE(std::filesystem::exists(dir.file("t.pvtype")));
  EXPECT_FALSE(std::filesystem::exists(dir.file("t.arm")));
}

TEST(StateSpaceGenDeathTest, UnsupportedDistributionStopsBeforeTheArmFile) {
  ScratchDir dir;
  auto run = [&dir] {
    auto* san = new SmallSAN;
    san->add("p", 0);
    san->activity("ok");
    san->activity("odd", UNIFORM);
    san->finish();
    SmallPVModel model(san);
    std::cout.rdbuf(std::cerr.rdbuf());
    StateSpaceGen gen(&model, dir.path.c_str(), "t", 0, 0.5, nullptr, nullptr, nullptr);
    gen.InitializeTrace();
    gen.GenStateSpace();
  };
  EXPECT_EXIT(run(), testing::ExitedWithCode(1),
              "Error:  Can not generate state space with Current Action Distribution Type");
  EXPECT_TRUE(std::filesystem::exists(dir.file("t.pvtype")));
  EXPECT_FALSE(std::filesystem::exists(dir.file("t.arm")));
}

TEST(StateSpaceGenDeathTest, DeterministicTogetherWithErlangIsUnsupported) {
  auto run = [] {
    auto* san = new SmallSAN;
    san->add("p", 0);
    san->activity("d", DETERMINISTIC);
    san->activity("e", ERLANG);
    san->finish();
    SmallPVModel model(san);
    ScratchDir dir;
    std::cout.rdbuf(std::cerr.rdbuf());
    StateSpaceGen gen(&model, dir.path.c_str(), "t", 0, 0.5, nullptr, nullptr, nullptr);
    gen.InitializeTrace();
    gen.GenStateSpace();
  };
  EXPECT_EXIT(run(), testing::ExitedWithCode(1), "Can not generate state space");
}

TEST(StateSpaceGenTest, ClassifiesActivitiesByDistribution) {
  auto* san = new SmallSAN;
  san->add("p", 0);
  san->activity("e1");
  san->activity("i1", INSTANTANEOUS);
  san->activity("er", ERLANG);
  san->activity("e2");
  san->activity("i2", INSTANTANEOUS);
  san->finish();
  SmallPVModel model(san);
  ScratchDir dir;
  StateSpaceGen gen(&model, dir.path.c_str(), "t", 0, 0.5, nullptr, nullptr, nullptr);
  EXPECT_EQ(gen.MethodFlags, 5u);
  ASSERT_EQ(gen.NumTimedActions, 3u);
  ASSERT_EQ(gen.NumInstantActions, 2u);
  ASSERT_EQ(gen.NumErlangActions, 1u);
  EXPECT_STREQ(gen.TimedActions[0]->ActionName, "e1");
  EXPECT_STREQ(gen.TimedActions[1]->ActionName, "er");
  EXPECT_STREQ(gen.TimedActions[2]->ActionName, "e2");
  EXPECT_STREQ(gen.InstantActions[1]->ActionName, "i2");
  EXPECT_STREQ(gen.ErlangActions[0]->ActionName, "er");
  EXPECT_EQ(gen.StateCounter, 1u);
  EXPECT_EQ(gen.StateTable->InsertCount, 1u);
}

TEST(StateSpaceGenTest, ProgressLinesEveryThousandStatesAndAtTheEnd) {
  auto* san = new SmallSAN;
  int p = san->add("p", 0);
  auto* up = san->activity("up");
  up->enabled = [san, p] { return san->mark(p) < 2499; };
  up->rate = [] { return 1.0; };
  up->fire = [san, p] { san->mark(p)++; };
  san->finish();
  SmallPVModel model(san);
  ScratchDir dir;
  std::string out = Generate(&model, dir);
  EXPECT_NE(out.find("_$1000$\n_$2000$\n_$2500$\nGenerated: 2500 states\n"), std::string::npos)
      << out;
  ArmContents arm = ParseArm(ReadFile(dir.file("t.arm")));
  EXPECT_EQ(arm.count, 2500u);
  EXPECT_EQ(arm.states.size(), 2500u);
  EXPECT_EQ(arm.transitions[2499], (Transitions{{2500, Sci(1.0)}}));
}

TEST(StateSpaceGenTest, StatesAcrossStoreBlocksAreExploredFromTheStoreInNumberOrder) {
  // A 450 x 450 grid: x + 1 at rate 1, y + 1 at rate 2. Breadth-first
  // numbering, worked out here independently, puts 202500 states into three
  // blocks of the store (100000 vectors each); the states still to explore
  // span block boundaries many times over.
  const int side = 450;
  auto* san = new SmallSAN;
  int x = san->add("x", 0);
  int y = san->add("y", 0);
  auto* right = san->activity("right");
  right->enabled = [san, x] { return san->mark(x) < side - 1; };
  right->rate = [] { return 1.0; };
  right->fire = [san, x] { san->mark(x)++; };
  auto* up = san->activity("up");
  up->enabled = [san, y] { return san->mark(y) < side - 1; };
  up->rate = [] { return 2.0; };
  up->fire = [san, y] { san->mark(y)++; };
  san->finish();
  SmallPVModel model(san);
  ScratchDir dir;
  Generate(&model, dir);

  std::vector<unsigned> number(std::size_t(side) * side, 0);
  std::vector<std::pair<int, int>> order;
  auto visit = [&](int a, int b) {
    unsigned& n = number[a * side + b];
    if (n == 0) {
      order.emplace_back(a, b);
      n = static_cast<unsigned>(order.size());
    }
    return n;
  };
  std::string expected;
  visit(0, 0);
  for (size_t i = 0; i < order.size(); i++) {
    auto [a, b] = order[i];
    expected += std::to_string(i + 1) + "\n";
    std::vector<std::pair<unsigned, double>> record;
    if (a < side - 1)
      record.emplace_back(visit(a + 1, b), 1.0);
    if (b < side - 1)
      record.emplace_back(visit(a, b + 1), 2.0);
    std::sort(record.begin(), record.end());
    for (auto [target, rate] : record)
      expected += std::to_string(target) + "\n" + Sci(rate) + "\n";
    expected += "0\n";
  }
  ASSERT_EQ(order.size(), 202500u);
  const std::string arm = ReadFile(dir.file("t.arm"));
  ASSERT_EQ(arm.substr(0, 9), "1\n202500\n");
  EXPECT_TRUE(arm.substr(66) == expected) << "the records differ";
}

TEST(StateSpaceGenTest, FileTypeIsAlwaysWrittenAsOne) {
  for (short type : std::initializer_list<short>{0, 2, 5}) {
    auto* san = new SmallSAN;
    san->add("p", 0);
    san->finish();
    SmallPVModel model(san);
    ScratchDir dir;
    Generate(&model, dir, 0, type);
    EXPECT_EQ(ReadFile(dir.file("t.arm")).substr(0, 2), "1\n");
    EXPECT_EQ(ReadFile(dir.file("t.var")), "1\n"); // text records
  }
}

TEST(StateSpaceGenDeathTest, ArmFileThatCannotBeOpenedStopsTheRun) {
  ScratchDir dir;
  std::filesystem::create_directory(dir.file("t.arm"));
  auto run = [&dir] {
    auto* san = new SmallSAN;
    san->add("p", 0);
    san->finish();
    SmallPVModel model(san);
    Generate(&model, dir);
  };
  EXPECT_EXIT(run(), testing::ExitedWithCode(1),
              "Error: Could not open state space output file\n  .*t.arm: Is a directory");
}

TEST(StateSpaceGenDeathTest, EmptyModelStops) {
  auto run = [] {
    auto* san = new SmallSAN;
    san->finish();
    SmallPVModel model(san);
    std::cout.rdbuf(std::cerr.rdbuf());
    StateSpaceGen gen(&model, "", "t", 0, 0.5, nullptr, nullptr, nullptr);
  };
  EXPECT_EXIT(run(), testing::ExitedWithCode(1),
              "The model is empty, i.e., does not have any state variables.");
}

} // namespace

TEST(StateSpaceGenTest, TenThousandCharacterActivityNameIsTracedWhole) {
  const std::string name(10000, 'a');
  auto* san = new SmallSAN;
  int p = san->add("p", 0);
  san->move(name.c_str(), p, 0, 1, 1.0);
  san->finish();
  SmallPVModel model(san);
  ScratchDir dir;
  const std::string trace = dir.file("trace.txt");
  {
    StateSpaceGen gen(&model, dir.path.c_str(), "t", 0, 0.5, nullptr, nullptr, trace.c_str());
    gen.TraceLevel = 4;
    gen.InitializeTrace();
    testing::internal::CaptureStdout();
    gen.GenStateSpace();
    testing::internal::GetCapturedStdout();
  }
  const std::string text = ReadFile(trace);
  EXPECT_NE(text.find("Checking Action: " + name + "\n"), std::string::npos);
  EXPECT_NE(text.find("Firing Action: " + name + "\n"), std::string::npos);
  EXPECT_EQ(ParseArm(ReadFile(dir.file("t.arm"))).count, 2u);
}
