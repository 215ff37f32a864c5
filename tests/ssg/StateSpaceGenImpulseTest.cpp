// The exact reward file (.rew) and the impulse file (.imp) of small models
// whose values are derived by hand here: merged activities, instantaneous
// completions after a timed one (marking-dependent impulses, competing
// activities with weights, chains of two), self-loops, deterministic and
// Erlang activities, the removal of a stale .imp file and runs that end
// early. Each file is read back by the test's own reader of the documented
// layout (tests/ssg/ImpulseModels.h).

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tests/ssg/GenHarness.h"
#include "tests/ssg/ImpulseModels.h"
#include "tests/ssg/SmallModels.h"

namespace {

using Transitions = std::vector<std::pair<unsigned long, std::string>>;
using Entry = ImpulseEntry;

// An activity of `san` enabled while place p holds `from`, setting it to
// `to` (and running `also`, when given).
FunctionActivity* Move(SmallSAN* san, const char* name, Distribution distribution, int p,
                       short from, short to, double rateOrWeight,
                       const std::function<void()>& also = nullptr) {
  FunctionActivity* a = san->activity(name, distribution);
  a->enabled = [san, p, from] { return san->mark(p) == from; };
  if (distribution == INSTANTANEOUS)
    a->weight = rateOrWeight;
  else
    a->rate = [rateOrWeight] { return rateOrWeight; };
  a->fire = [san, p, to, also] {
    san->mark(p) = to;
    if (also)
      also();
  };
  return a;
}

ValueFunction Constant(double value) {
  return [value] { return value; };
}

TEST(StateSpaceGenImpulseTest, MergedActivitiesSumTheirWeightedImpulses) {
  // a (rate 2, impulse 3) and b (rate 5, impulse 7) both lead from p = 0 to
  // p = 1, one .arm entry of rate 7; back (rate 1) earns W's impulse 0.25.
  // V's rate reward is p / 3, a double the text .var file rounds.
  auto* san = new SmallSAN;
  int p = san->add("p", 0);
  Move(san, "a", EXPONENTIAL, p, 0, 1, 2.0);
  Move(san, "b", EXPONENTIAL, p, 0, 1, 5.0);
  Move(san, "back", EXPONENTIAL, p, 1, 0, 1.0);
  san->finish();
  VariableSpec v{
      "V", [san, p] { return san->mark(p) / 3.0; }, {{"a", Constant(3)}, {"b", Constant(7)}}};
  VariableSpec w{"W", nullptr, {{"back", Constant(0.25)}}};
  w.type = INSTANT_OF_TIME;
  w.times = {{1234567.0, 1234567.0}, {0.1, 0.1}};
  FunctionRewardModel model(san, {v, w});
  ScratchDir dir;
  Generate(&model, dir);

  ArmContents arm = ParseArm(ReadFile(dir.file("t.arm")));
  ASSERT_EQ(arm.count, 2u);
  EXPECT_EQ(arm.transitions[1], (Transitions{{2, Sci(7.0)}}));

  RewContents rew = ReadRew(dir.file("t.rew"));
  EXPECT_TRUE(rew.complete);
  ASSERT_EQ(rew.times.size(), 2u);
  EXPECT_EQ(rew.times[0], (std::vector<std::pair<double, double>>{{0.0, 1.0}}));
  EXPECT_EQ(rew.times[1],
            (std::vector<std::pair<double, double>>{{1234567.0, 1234567.0}, {0.1, 0.1}}));
  EXPECT_EQ(rew.rates, (std::vector<std::vector<double>>{{0.0, 0.0}, {1.0 / 3.0, 0.0}}));

  ImpContents imp = ReadImp(dir.file("t.imp"));
  EXPECT_TRUE(imp.complete);
  EXPECT_EQ(imp.k, 2u);
  EXPECT_EQ(imp.states, (std::vector<uint32_t>{1, 2}));
  ASSERT_EQ(imp.entries.size(), 2u);
  EXPECT_EQ(imp.entries[0], (std::vector<Entry>{{{2 * 3 + 5 * 7, 2 * 3 + 5 * 7}, {0, 0}}}));
  EXPECT_EQ(imp.entries[1], (std::vector<Entry>{{{0, 0}, {0.25, 0.25}}}));
}

// Phase place `phase` and a value place `x`.
struct ChainSAN {
  SmallSAN* san = new SmallSAN;
  int phase = san->add("phase", 0);
  int x = san->add("x", 0);
  short& X() { return san->mark(x); }
};

TEST(StateSpaceGenImpulseTest, InstantaneousCompletionEarnsItsImpulseInTheMarkingItLeadsTo) {
  // t (rate 2) sets x = 3 and leads to a vanishing state where i sets
  // x = 4. The impulses are x for t and 10 x for i, each read after its
  // completion: 3 and 40 (read before they would be 0 and 30).
  ChainSAN m;
  Move(m.san, "t", EXPONENTIAL, m.phase, 0, 1, 2.0, [&m] { m.X() = 3; });
  Move(m.san, "i", INSTANTANEOUS, m.phase, 1, 2, 1.0, [&m] { m.X() = 4; });
  Move(m.san, "back", EXPONENTIAL, m.phase, 2, 0, 1.0, [&m] { m.X() = 0; });
  m.san->finish();
  SmallSAN* san = m.san;
  const int x = m.x;
  VariableSpec v{"V",
                 nullptr,
                 {{"t", [san, x] { return double(san->mark(x)); }},
                  {"i", [san, x] { return 10.0 * san->mark(x); }}}};
  FunctionRewardModel model(san, {v});
  ScratchDir dir;
  Generate(&model, dir);

  ArmContents arm = ParseArm(ReadFile(dir.file("t.arm")));
  ASSERT_EQ(arm.count, 2u);
  EXPECT_EQ(arm.transitions[1], (Transitions{{2, Sci(2.0)}}));
  ImpContents imp = ReadImp(dir.file("t.imp"));
  EXPECT_TRUE(imp.complete);
  ASSERT_EQ(imp.entries.size(), 2u);
  EXPECT_EQ(imp.entries[0], (std::vector<Entry>{{{2 * (3 + 40), 2 * 40}}}));
  EXPECT_EQ(imp.entries[1], (std::vector<Entry>{{{0, 0}}}));
}

TEST(StateSpaceGenImpulseTest, CompetingInstantaneousActivitiesWeighTheirBranches) {
  // t (rate 4, impulse 1) leads to a vanishing state where l (weight 1,
  // impulse 10) and h (weight 3, impulse 20) compete: the branch of l has
  // weight 4 / 4 = 1, that of h 4 * 3 / 4 = 3.
  ChainSAN m;
  Move(m.san, "t", EXPONENTIAL, m.phase, 0, 1, 4.0);
  Move(m.san, "l", INSTANTANEOUS, m.phase, 1, 2, 1.0);
  Move(m.san, "h", INSTANTANEOUS, m.phase, 1, 3, 3.0);
  Move(m.san, "back2", EXPONENTIAL, m.phase, 2, 0, 1.0);
  Move(m.san, "back3", EXPONENTIAL, m.phase, 3, 0, 1.0);
  m.san->finish();
  VariableSpec v{"V", nullptr, {{"t", Constant(1)}, {"l", Constant(10)}, {"h", Constant(20)}}};
  FunctionRewardModel model(m.san, {v});
  ScratchDir dir;
  Generate(&model, dir);

  // State 2 is phase 2 (l's branch is followed first), state 3 phase 3.
  ArmContents arm = ParseArm(ReadFile(dir.file("t.arm")));
  ASSERT_EQ(arm.count, 3u);
  EXPECT_EQ(arm.transitions[1], (Transitions{{2, Sci(1.0)}, {3, Sci(3.0)}}));
  ImpContents imp = ReadImp(dir.file("t.imp"));
  EXPECT_TRUE(imp.complete);
  ASSERT_EQ(imp.entries.size(), 3u);
  EXPECT_EQ(imp.entries[0],
            (std::vector<Entry>{{{1 * (1 + 10), 1 * 10}}, {{3 * (1 + 20), 3 * 20}}}));
}

TEST(StateSpaceGenImpulseTest, ChainOfTwoInstantaneousCompletionsMergedWithADirectActivity) {
  // t (rate 1.5, impulse 2), then i1 (impulse 5) and i2 (impulse 11) reach
  // phase 3; d (rate 0.5, impulse 100) reaches it directly. The entry sums
  // A = 1.5 (2 + 5 + 11) + 0.5 * 100 and L = 1.5 * 11 + 0.5 * 100. In phase
  // 3, stay (rate 0.7, impulse 9) leads back to the same state: an entry of
  // the state to itself, after the entry of back to state 1.
  ChainSAN m;
  Move(m.san, "t", EXPONENTIAL, m.phase, 0, 1, 1.5);
  Move(m.san, "i1", INSTANTANEOUS, m.phase, 1, 2, 1.0);
  Move(m.san, "i2", INSTANTANEOUS, m.phase, 2, 3, 1.0);
  Move(m.san, "d", EXPONENTIAL, m.phase, 0, 3, 0.5);
  Move(m.san, "back", EXPONENTIAL, m.phase, 3, 0, 1.0);
  Move(m.san, "stay", EXPONENTIAL, m.phase, 3, 3, 0.7);
  m.san->finish();
  VariableSpec v{"V",
                 nullptr,
                 {{"t", Constant(2)},
                  {"i1", Constant(5)},
                  {"i2", Constant(11)},
                  {"d", Constant(100)},
                  {"stay", Constant(9)}}};
  FunctionRewardModel model(m.san, {v});
  ScratchDir dir;
  Generate(&model, dir);

  ArmContents arm = ParseArm(ReadFile(dir.file("t.arm")));
  ASSERT_EQ(arm.count, 2u);
  EXPECT_EQ(arm.transitions[1], (Transitions{{2, Sci(2.0)}}));
  EXPECT_EQ(arm.transitions[2], (Transitions{{1, Sci(1.0)}, {2, Sci(0.7)}}));
  ImpContents imp = ReadImp(dir.file("t.imp"));
  EXPECT_TRUE(imp.complete);
  ASSERT_EQ(imp.entries.size(), 2u);
  ASSERT_EQ(imp.entries[0].size(), 1u);
  EXPECT_DOUBLE_EQ(imp.entries[0][0][0].first, 1.5 * (2 + 5 + 11) + 0.5 * 100);
  EXPECT_DOUBLE_EQ(imp.entries[0][0][0].second, 1.5 * 11 + 0.5 * 100);
  ASSERT_EQ(imp.entries[1].size(), 2u);
  EXPECT_EQ(imp.entries[1][0], (Entry{{0, 0}}));
  EXPECT_DOUBLE_EQ(imp.entries[1][1][0].first, 0.7 * 9);
  EXPECT_DOUBLE_EQ(imp.entries[1][1][0].second, 0.7 * 9);
}

TEST(StateSpaceGenImpulseTest, TraceOfEveryTransitionGivesTheSameImpulses) {
  // At trace level 4 every successor is looked up as soon as it is found:
  // the files are those of a run without the trace.
  std::string imp[2], arm[2];
  for (int level : {0, 4}) {
    ChainSAN m;
    Move(m.san, "t", EXPONENTIAL, m.phase, 0, 1, 4.0);
    Move(m.san, "l", INSTANTANEOUS, m.phase, 1, 2, 1.0);
    Move(m.san, "h", INSTANTANEOUS, m.phase, 1, 3, 3.0);
    Move(m.san, "back2", EXPONENTIAL, m.phase, 2, 0, 1.0);
    Move(m.san, "back3", EXPONENTIAL, m.phase, 3, 0, 1.0);
    Move(m.san, "d", EXPONENTIAL, m.phase, 0, 3, 0.5);
    m.san->finish();
    VariableSpec v{
        "V",
        nullptr,
        {{"t", Constant(1)}, {"l", Constant(10)}, {"h", Constant(20)}, {"d", Constant(7)}}};
    FunctionRewardModel model(m.san, {v});
    ScratchDir dir;
    const std::string trace = dir.file("trace.txt");
    StateSpaceGen gen(&model, dir.path.c_str(), "t", 0, 0.5, nullptr, nullptr, trace.c_str());
    gen.TraceLevel = level;
    gen.InitializeTrace();
    testing::internal::CaptureStdout();
    gen.GenStateSpace();
    testing::internal::GetCapturedStdout();
    imp[level / 4] = ReadFile(dir.file("t.imp"));
    arm[level / 4] = ReadFile(dir.file("t.arm"));
    EXPECT_TRUE(ReadImp(dir.file("t.imp")).complete);
  }
  EXPECT_EQ(arm[0], arm[1]);
  EXPECT_TRUE(imp[0] == imp[1]);
}

// An activity that reports a delay parameter.
class DelayActivity : public FunctionActivity {
public:
  double Parameters[1];
  DelayActivity(const char* name, int groupId, double delay)
      : FunctionActivity(name, groupId, DETERMINISTIC), Parameters{delay} {}
  double* ReturnDistributionParameters() override { return Parameters; }
};

TEST(StateSpaceGenImpulseTest, DeterministicFiringIsWeightedByItsProbability) {
  // arrive (rate 0.5, impulse 1) from X = 0 to 1; serve (deterministic,
  // delay 1, impulse 4) from 1 to the vanishing X = 2, where leave
  // (impulse 6) leads to X = 0. The .arm writes serve as -1; its entry
  // weighs the impulses with the probability 1.
  auto* san = new SmallSAN;
  int x = san->add("X", 0);
  Move(san, "arrive", EXPONENTIAL, x, 0, 1, 0.5);
  auto* serve = new DelayActivity("serve", static_cast<int>(san->activities.size()), 1.0);
  san->activities.push_back(serve);
  serve->enabled = [san, x] { return san->mark(x) == 1; };
  serve->fire = [san, x] { san->mark(x) = 2; };
  Move(san, "leave", INSTANTANEOUS, x, 2, 0, 1.0);
  san->finish();
  VariableSpec v{"V",
                 [san, x] { return double(san->mark(x)); },
                 {{"arrive", Constant(1)}, {"serve", Constant(4)}, {"leave", Constant(6)}}};
  FunctionRewardModel model(san, {v});
  ScratchDir dir;
  Generate(&model, dir);

  EXPECT_TRUE(std::filesystem::exists(dir.file("t.det")));
  const std::string text = ReadFile(dir.file("t.arm"));
  EXPECT_NE(text.find("\n2\n1\n" + Sci(-1.0) + "\n0\n"), std::string::npos) << text;
  RewContents rew = ReadRew(dir.file("t.rew"));
  EXPECT_TRUE(rew.complete);
  EXPECT_EQ(rew.rates, (std::vector<std::vector<double>>{{0.0}, {1.0}}));
  ImpContents imp = ReadImp(dir.file("t.imp"));
  EXPECT_TRUE(imp.complete);
  ASSERT_EQ(imp.entries.size(), 2u);
  EXPECT_EQ(imp.entries[0], (std::vector<Entry>{{{0.5, 0.5}}}));
  EXPECT_EQ(imp.entries[1], (std::vector<Entry>{{{4 + 6, 6}}}));
}

TEST(StateSpaceGenImpulseTest, ErlangAgingCompletesNothing) {
  // e: Erlang with 2 phases at rate 3, impulse 5, from X = 0 to 1; back
  // (rate 1) to 0. State 1 ages to state 2 (phase 2), which fires to
  // state 3; only the firing earns the impulse.
  auto* san = new SmallSAN;
  int x = san->add("X", 0);
  Move(san, "e", ERLANG, x, 0, 1, 3.0)->phases = 2;
  Move(san, "back", EXPONENTIAL, x, 1, 0, 1.0);
  san->finish();
  VariableSpec v{"V", nullptr, {{"e", Constant(5)}}};
  FunctionRewardModel model(san, {v});
  ScratchDir dir;
  Generate(&model, dir);

  ArmContents arm = ParseArm(ReadFile(dir.file("t.arm")));
  ASSERT_EQ(arm.count, 3u);
  EXPECT_EQ(arm.transitions[1], (Transitions{{2, Sci(3.0)}}));
  EXPECT_EQ(arm.transitions[2], (Transitions{{3, Sci(3.0)}}));
  ImpContents imp = ReadImp(dir.file("t.imp"));
  EXPECT_TRUE(imp.complete);
  EXPECT_EQ(imp.entries, (std::vector<std::vector<Entry>>{{{{0, 0}}}, {{{15, 15}}}, {{{0, 0}}}}));
}

TEST(StateSpaceGenImpulseTest, RunWithoutImpulseRewardsRemovesAStaleImpulseFile) {
  ScratchDir dir;
  {
    auto* san = new SmallSAN;
    int p = san->add("p", 0);
    Move(san, "a", EXPONENTIAL, p, 0, 1, 1.0);
    san->finish();
    FunctionRewardModel model(san, {VariableSpec{"V", nullptr, {{"a", Constant(1)}}}});
    Generate(&model, dir);
    ASSERT_TRUE(ReadImp(dir.file("t.imp")).complete);
  }
  auto* san = new SmallSAN;
  int p = san->add("p", 0);
  Move(san, "a", EXPONENTIAL, p, 0, 1, 1.0);
  Move(san, "b", EXPONENTIAL, p, 1, 2, 1.0);
  san->finish();
  FunctionRewardModel model(san, {VariableSpec{"R", [san, p] { return san->mark(p) * 0.1; }, {}}});
  Generate(&model, dir);
  EXPECT_FALSE(std::filesystem::exists(dir.file("t.imp")));
  RewContents rew = ReadRew(dir.file("t.rew"));
  EXPECT_TRUE(rew.complete);
  EXPECT_EQ(rew.rates, (std::vector<std::vector<double>>{{0.0}, {0.1}, {0.2}}));
}

TEST(StateSpaceGenImpulseTest, ModelWithoutVariablesHasAnEmptyRewardRecordPerState) {
  auto* san = new SmallSAN;
  int p = san->add("p", 0);
  Move(san, "a", EXPONENTIAL, p, 0, 1, 1.0);
  san->finish();
  SmallPVModel model(san);
  ScratchDir dir;
  Generate(&model, dir);
  // Magic, k = 0, no record bytes, the trailer for 2 states.
  EXPECT_EQ(ReadFile(dir.file("t.rew")), std::string("SSGREW1\n\0\0\0\0\2\0\0\0END\n", 20));
  EXPECT_FALSE(std::filesystem::exists(dir.file("t.imp")));
}

// A counter from 0 to 29999 (one state each, a transition to the next),
// whose activity's rate turns negative in state 25000, with three
// variables: a model fault ends the run after about 600 kB of .rew records
// and 1.4 MB of .imp records.
void RunIntoAModelFault(const ScratchDir& dir) {
  auto* san = new SmallSAN;
  int p = san->add("p", 0);
  auto* up = san->activity("up");
  up->enabled = [san, p] { return san->mark(p) < 29999; };
  up->rate = [san, p] { return san->mark(p) == 24999 ? -1.0 : 1.0; };
  up->fire = [san, p] { san->mark(p)++; };
  san->finish();
  std::vector<VariableSpec> variables;
  for (const char* name : {"R1", "R2", "R3"})
    variables.push_back({name, [san, p] { return double(san->mark(p)); }, {{"up", Constant(1)}}});
  FunctionRewardModel model(san, variables);
  Generate(&model, dir);
}

TEST(StateSpaceGenImpulseDeathTest, RunEndedByAModelFaultLeavesBothFilesIncomplete) {
  ScratchDir dir;
  EXPECT_EXIT(RunIntoAModelFault(dir), testing::ExitedWithCode(1), "activity up has rate -1");
  ASSERT_TRUE(std::filesystem::exists(dir.file("t.rew")));
  ASSERT_TRUE(std::filesystem::exists(dir.file("t.imp")));
  EXPECT_FALSE(ReadRew(dir.file("t.rew")).complete);
  EXPECT_FALSE(ReadImp(dir.file("t.imp")).complete);
  const std::string rew = ReadFile(dir.file("t.rew"));
  EXPECT_GT(rew.size(), 100000u) << "the run wrote records before it stopped";
  EXPECT_NE(rew.substr(rew.size() - 4), "END\n");
}

} // namespace
