// Faults of a model that would otherwise give a wrong chain with exit status
// 0: rates and weights that are negative, infinite or undefined, activities
// sharing a group id, an activity never linked to its places. Each ends the
// run with a message naming the activity and, where exploring found it, the
// state; the .arm file is then never complete.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "model/BaseGroupClass.h"
#include "tests/ssg/GenHarness.h"

namespace {

const double Inf = std::numeric_limits<double>::infinity();
const double NaN = std::numeric_limits<double>::quiet_NaN();

// "-1", "inf", "nan": how the messages print each value.
std::string Shown(double x) {
  std::ostringstream text;
  text << x;
  return text.str();
}

// A deterministic activity with a delay of 1, enabled while p == from; it
// sets p to `to`.
class DelayOne : public FunctionActivity {
public:
  double Delay[1] = {1.0};
  DelayOne(SmallSAN* san, const char* name, int p, short from, short to)
      : FunctionActivity(name, static_cast<int>(san->activities.size()), DETERMINISTIC) {
    enabled = [san, p, from] { return san->mark(p) == from; };
    fire = [san, p, to] { san->mark(p) = to; };
    san->activities.push_back(this);
  }
  double* ReturnDistributionParameters() override { return Delay; }
};

// An activity of a generated kind: it reads and writes its place through a
// cached marking pointer that LinkVariables() sets and registers.
class CachedActivity : public Activity {
public:
  Place* P;
  short* M_P = nullptr;
  short From, To;
  CachedActivity(const char* name, int groupId, Place* p, short from, short to)
      : P(p), From(from), To(to) {
    ActivityInitialize(name, groupId, EXPONENTIAL, DEFAULT_POLICY, 1, 2, false);
  }
  bool Enabled() override {
    PreviouslyEnabled = CurrentlyEnabled;
    CurrentlyEnabled = *M_P == From;
    return CurrentlyEnabled;
  }
  double Rate() override { return 1.0; }
  BaseActionClass* Fire() override {
    *M_P = To;
    return this;
  }
  void LinkVariables() override { P->RegisterPointer(&M_P, nullptr); }
};

// One place and the activities 0 -> 1 and 1 -> 0 with their arcs; the second
// is linked only when asked.
class CachedModel : public SANModel {
public:
  Place* P = new Place("P", 0);
  CachedActivity Go{"Go", 0, P, 0, 1};
  CachedActivity Back{"Back", 1, P, 1, 0};
  explicit CachedModel(bool linkBack) {
    BaseStateVariableClass* places[] = {P};
    Activity* actions[] = {&Go, &Back};
    BaseGroupClass* groups[] = {&Go, &Back};
    initializeSANModelNow("Cached", 1, places, 0, nullptr, 2, actions, 2, groups);
    for (CachedActivity* a : {&Go, &Back}) {
      AddEnableArc(P, a);
      AddAffectArc(P, a);
    }
    Go.LinkVariables();
    if (linkBack)
      Back.LinkVariables();
  }
  ~CachedModel() override { delete P; }
};

// p = 0 -> 1 at rate 1, then from p = 1 "bad" at the given rate to p = 2.
void RunWithRateInStateTwo(double rate, Distribution distribution = EXPONENTIAL) {
  auto* san = new SmallSAN;
  int p = san->add("p", 0);
  san->move("first", p, 0, 1, 1.0);
  san->move("bad", p, 1, 2, rate, distribution);
  san->finish();
  SmallPVModel model(san);
  ScratchDir dir;
  Generate(&model, dir);
}

// A group over the given activities, after the activities in the group
// table (they become its members and take its id).
void Group(SmallSAN* san, const std::vector<FunctionActivity*>& members) {
  const int id = static_cast<int>(san->activities.size() + san->extraGroups.size());
  auto* g = new BaseGroupClass("G", id, EXPONENTIAL, DEFAULT_POLICY, 0, 2, false);
  g->initialize(static_cast<int>(members.size()), "G");
  for (FunctionActivity* m : members) {
    g->appendGroup(m);
    m->GroupID = id;
  }
  san->extraGroups.push_back(g);
}

} // namespace

TEST(ModelFaultDeathTest, RateThatIsNegativeInfiniteOrUndefinedEndsTheRun) {
  for (double rate : {-1.0, -Inf, Inf, NaN}) {
    EXPECT_EXIT(RunWithRateInStateTwo(rate), testing::ExitedWithCode(1),
                "^Error: activity bad has rate " + Shown(rate) +
                    " in state 2 \\(a rate must be a finite number, 0 or more")
        << rate;
  }
}

TEST(ModelFaultDeathTest, ErlangRateIsCheckedInEveryPhase) {
  // A two-phase Erlang activity ages at its rate: a negative rate is found
  // at the first phase already.
  auto run = [] {
    auto* san = new SmallSAN;
    int p = san->add("p", 0);
    FunctionActivity* e = san->move("slow", p, 0, 1, -2.0, ERLANG);
    e->phases = 2.0;
    san->finish();
    SmallPVModel model(san);
    ScratchDir dir;
    Generate(&model, dir);
  };
  EXPECT_EXIT(run(), testing::ExitedWithCode(1), "^Error: activity slow has rate -2 in state 1");
}

TEST(ModelFaultDeathTest, DeterministicPathChecksRates) {
  // An exponential activity of a model with deterministic ones.
  auto badRate = [] {
    auto* san = new SmallSAN;
    int p = san->add("p", 0);
    new DelayOne(san, "wait", p, 0, 1);
    san->move("bad", p, 0, 2, NaN);
    san->finish();
    SmallPVModel model(san);
    ScratchDir dir;
    Generate(&model, dir);
  };
  EXPECT_EXIT(badRate(), testing::ExitedWithCode(1),
              "^Error: activity bad has rate nan in state 1");
}

TEST(ModelFaultDeathTest, GroupWhoseWeightsGiveNoProbabilityEndsTheRun) {
  // Both members weigh 0: the group's probability is undefined (0/0), and a
  // negative weight makes it negative.
  for (double weight : {0.0, -1.0}) {
    auto run = [weight] {
      auto* san = new SmallSAN;
      int p = san->add("p", 0);
      FunctionActivity* a = san->move("a", p, 0, 1, 1.0);
      FunctionActivity* b = san->move("b", p, 0, 2, 1.0);
      a->weight = weight;
      b->weight = weight == 0.0 ? 0.0 : 3.0;
      Group(san, {a, b});
      san->finish();
      SmallPVModel model(san);
      ScratchDir dir;
      Generate(&model, dir);
    };
    EXPECT_EXIT(run(), testing::ExitedWithCode(1),
                std::string("^Error: activity a is given probability ") +
                    (weight == 0.0 ? "-?nan" : "-0.5") + " by its group G in state 1")
        << weight;
  }
}

TEST(ModelFaultDeathTest, CompetingWeightThatIsNegativeInfiniteOrUndefinedEndsTheRun) {
  // t leads from state 1 to the vanishing p = 1, where i1 and i2 compete.
  for (bool deterministic : {false, true}) {
    for (double weight : {-1.0, Inf, NaN}) {
      auto run = [weight, deterministic] {
        auto* san = new SmallSAN;
        int p = san->add("p", 0);
        if (deterministic)
          new DelayOne(san, "t", p, 0, 1);
        else
          san->move("t", p, 0, 1, 1.0);
        san->move("i1", p, 1, 2, 0.0, INSTANTANEOUS);
        san->move("i2", p, 1, 3, 0.0, INSTANTANEOUS)->weight = weight;
        san->finish();
        SmallPVModel model(san);
        ScratchDir dir;
        Generate(&model, dir);
      };
      EXPECT_EXIT(run(), testing::ExitedWithCode(1),
                  "^Error: activity i2 has weight " + Shown(weight) +
                      " in a vanishing state reached from state 1")
          << weight << " " << deterministic;
    }
  }
}

TEST(ModelFaultDeathTest, CompetingWeightsThatAddUpToZeroEndTheRun) {
  // No share is defined: the branches would be 0/0 and the vanishing
  // state's probability lost.
  for (bool deterministic : {false, true}) {
    auto run = [deterministic] {
      auto* san = new SmallSAN;
      int p = san->add("p", 0);
      if (deterministic)
        new DelayOne(san, "t", p, 0, 1);
      else
        san->move("t", p, 0, 1, 1.0);
      san->move("i1", p, 1, 2, 0.0, INSTANTANEOUS)->weight = 0.0;
      san->move("i2", p, 1, 3, 0.0, INSTANTANEOUS)->weight = 0.0;
      san->finish();
      SmallPVModel model(san);
      ScratchDir dir;
      Generate(&model, dir);
    };
    EXPECT_EXIT(run(), testing::ExitedWithCode(1),
                "^Error: the competing instantaneous activities i1, i2 have total weight 0 in a "
                "vanishing state reached from state 1")
        << deterministic;
  }
}

TEST(ModelFaultTest, WeightOfAnActivityEnabledAloneIsNotUsed) {
  // Alone, an instantaneous activity fires with probability 1 whatever its
  // weight; a weight of 0 beside a positive one is a share of 0.
  auto* san = new SmallSAN;
  int p = san->add("p", 0);
  san->move("t", p, 0, 1, 2.0);
  san->move("alone", p, 1, 2, 0.0, INSTANTANEOUS)->weight = NaN;
  san->move("u", p, 2, 3, 4.0);
  san->move("i1", p, 3, 4, 0.0, INSTANTANEOUS)->weight = 0.0;
  san->move("i2", p, 3, 5, 0.0, INSTANTANEOUS)->weight = 1.0;
  san->finish();
  SmallPVModel model(san);
  ScratchDir dir;
  Generate(&model, dir);
  ArmContents arm = ParseArm(ReadFile(dir.file("t.arm")));
  ASSERT_EQ(arm.count, 3u);
  EXPECT_EQ(arm.transitions[1],
            (std::vector<std::pair<unsigned long, std::string>>{{2, Sci(2.0)}}));
  EXPECT_EQ(arm.transitions[2],
            (std::vector<std::pair<unsigned long, std::string>>{{3, Sci(4.0)}}));
}

TEST(ModelFaultDeathTest, TwoActivitiesWithOneGroupIdEndTheRunBeforeExploring) {
  // b was given a's group id 0; a is its own group and does not hold b, so
  // b's rate would be scaled by 0 and its transitions silently lost.
  ScratchDir dir;
  auto run = [&dir] {
    auto* san = new SmallSAN;
    int p = san->add("p", 0);
    san->move("a", p, 0, 1, 1.0);
    san->move("b", p, 0, 2, 1.0)->GroupID = 0;
    san->finish();
    SmallPVModel model(san);
    Generate(&model, dir);
  };
  EXPECT_EXIT(run(), testing::ExitedWithCode(1),
              "^Error: activity b has group id 0, the id of a, which does not hold it");
  EXPECT_FALSE(std::filesystem::exists(dir.file("t.arm")));
}

TEST(ModelFaultDeathTest, GroupIdOutsideTheGroupTableEndsTheRun) {
  auto run = [] {
    auto* san = new SmallSAN;
    int p = san->add("p", 0);
    san->move("a", p, 0, 1, 1.0)->GroupID = 5;
    san->finish();
    SmallPVModel model(san);
    ScratchDir dir;
    Generate(&model, dir);
  };
  EXPECT_EXIT(run(), testing::ExitedWithCode(1),
              "^Error: activity a has group id 5, but the model's groups are numbered 0 to 0");
}

TEST(ModelFaultTest, LinkedActivitiesOfAGeneratedKindRun) {
  CachedModel* san = new CachedModel(true);
  SmallPVModel model(san);
  ScratchDir dir;
  Generate(&model, dir);
  ArmContents arm = ParseArm(ReadFile(dir.file("t.arm")));
  EXPECT_EQ(arm.count, 2u);
}

TEST(ModelFaultDeathTest, ActivityNeverLinkedToItsPlacesEndsTheRunBeforeExploring) {
  // Back's cached pointer is null: evaluating it would crash.
  ScratchDir dir;
  auto run = [&dir] {
    SmallPVModel model(new CachedModel(false));
    Generate(&model, dir);
  };
  EXPECT_EXIT(run(), testing::ExitedWithCode(1),
              "^Error: activity Back was never linked to its places");
  EXPECT_FALSE(std::filesystem::exists(dir.file("t.arm")));
}
