// Erlang activities: each activity's phase is part of the state, so an
// Erlang(r, k) delay becomes k exponential phases of rate r. The expected
// chains are worked out here from the models' definitions, and the times to
// absorption are checked against closed forms by a small dense solve of the
// generated chain.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "model/PostselectGroup.h"
#include "ssg/HybridHash.h"
#include "tests/ssg/GenHarness.h"

namespace {

using Transitions = std::vector<std::pair<unsigned long, std::string>>;

int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
    n++;
  return n;
}

// Mean time to absorption from state 1 of the chain in `arm`: the solution m
// of (-Q restricted to the transient states) m = 1, by Gaussian elimination
// with partial pivoting. States without transitions are absorbing.
double MeanTimeToAbsorption(ArmContents& arm) {
  std::vector<unsigned long> transient;
  std::vector<long> index(arm.count + 1, -1);
  for (unsigned long s = 1; s <= arm.count; s++) {
    if (!arm.transitions[s].empty()) {
      index[s] = static_cast<long>(transient.size());
      transient.push_back(s);
    }
  }
  const size_t n = transient.size();
  std::vector<std::vector<double>> a(n, std::vector<double>(n + 1, 0.0));
  for (size_t i = 0; i < n; i++) {
    a[i][n] = 1.0;
    for (const auto& [target, rateText] : arm.transitions[transient[i]]) {
      const double rate = std::stod(rateText);
      if (target == transient[i])
        continue;
      a[i][i] += rate;
      if (index[target] >= 0)
        a[i][index[target]] -= rate;
    }
  }
  for (size_t c = 0; c < n; c++) {
    size_t pivot = c;
    for (size_t r = c + 1; r < n; r++)
      if (std::fabs(a[r][c]) > std::fabs(a[pivot][c]))
        pivot = r;
    std::swap(a[c], a[pivot]);
    for (size_t r = 0; r < n; r++) {
      if (r == c || a[r][c] == 0.0)
        continue;
      const double f = a[r][c] / a[c][c];
      for (size_t k = c; k <= n; k++)
        a[r][k] -= f * a[c][k];
    }
  }
  return index[1] < 0 ? 0.0 : a[index[1]][n] / a[index[1]][index[1]];
}

// One Erlang(rate, phases) activity moving `tokens` tokens, one per firing,
// from A to B while A holds any.
SmallSAN* TokenMover(double rate, double phases, short tokens) {
  auto* san = new SmallSAN;
  int a = san->add("A", tokens);
  int b = san->add("B", 0);
  auto* e = san->activity("e", ERLANG);
  e->phases = phases;
  e->rate = [rate] { return rate; };
  e->enabled = [san, a] { return san->mark(a) > 0; };
  e->fire = [san, a, b] {
    san->mark(a)--;
    san->mark(b)++;
  };
  san->finish();
  return san;
}

TEST(StateSpaceGenErlangTest, ActivityIsAChainOfItsPhases) {
  // Erlang(r, k) from A to B: the states with the token in A in phases 1..k,
  // numbered 1..k in that order, then B as state k + 1; every step at rate
  // r. Only B is absorbing, and the mean time to it is k / r.
  for (double rate : {0.5, 3.0}) {
    for (int k : {1, 2, 3, 5, 8}) {
      SmallPVModel model(TokenMover(rate, k, 1));
      ScratchDir dir;
      std::string out = Generate(&model, dir, 1);
      ArmContents arm = ParseArm(ReadFile(dir.file("t.arm")));
      ASSERT_EQ(arm.count, static_cast<unsigned long>(k + 1)) << "k = " << k;
      for (int s = 1; s <= k; s++)
        EXPECT_EQ(arm.transitions[s], (Transitions{{s + 1ul, Sci(rate)}}))
            << "k " << k << " s " << s;
      EXPECT_TRUE(arm.transitions[k + 1].empty());
      EXPECT_EQ(Count(out, "absorbing state\n"), 1) << out;
      EXPECT_NEAR(MeanTimeToAbsorption(arm), k / rate, 1e-9 * k / rate) << "k = " << k;
    }
  }
}

TEST(StateSpaceGenErlangTest, ActivityStillEnabledAfterFiringStartsAgainFromPhaseOne) {
  // Two tokens: the second one takes k fresh phases too, so the chain is
  // a line of 2k + 1 states and the mean time to B = 2 is 2k / r.
  const double rate = 2.0;
  for (int k : {1, 2, 4}) {
    SmallPVModel model(TokenMover(rate, k, 2));
    ScratchDir dir;
    Generate(&model, dir);
    ArmContents arm = ParseArm(ReadFile(dir.file("t.arm")));
    ASSERT_EQ(arm.count, static_cast<unsigned long>(2 * k + 1)) << "k = " << k;
    for (int s = 1; s <= 2 * k; s++)
      EXPECT_EQ(arm.transitions[s], (Transitions{{s + 1ul, Sci(rate)}})) << "k " << k << " s " << s;
    EXPECT_NEAR(MeanTimeToAbsorption(arm), 2 * k / rate, 1e-9);
  }
}

// p: 0 the Erlang activity e may run, 1 it is interrupted; q: 1 once e has
// fired. e (Erlang(r, k)) sets q; off (rate a) interrupts it, on (rate b)
// lets it run again.
SmallSAN* Interruptible(double r, int k, double a, double b) {
  auto* san = new SmallSAN;
  int p = san->add("p", 0);
  int q = san->add("q", 0);
  auto* e = san->activity("e", ERLANG);
  e->phases = k;
  e->rate = [r] { return r; };
  e->enabled = [san, p, q] { return san->mark(p) == 0 && san->mark(q) == 0; };
  e->fire = [san, q] { san->mark(q) = 1; };
  san->move("off", p, 0, 1, a)->enabled = [san, p, q] {
    return san->mark(p) == 0 && san->mark(q) == 0;
  };
  san->move("on", p, 1, 0, b);
  san->finish();
  return san;
}

TEST(StateSpaceGenErlangTest, InterruptedActivityStartsAgainFromPhaseOne) {
  // k = 3. Breadth-first from (running, phase 1) = 1: phase 2 = 2 (rate r),
  // interrupted = 3 (rate a), phase 3 = 4, done = 5. Every interruption
  // leads to the one interrupted state 3, whatever the phase; from there on
  // leads back to phase 1.
  const double r = 3.0, a = 0.5, b = 0.25;
  SmallPVModel model(Interruptible(r, 3, a, b));
  ScratchDir dir;
  Generate(&model, dir);
  ArmContents arm = ParseArm(ReadFile(dir.file("t.arm")));
  ASSERT_EQ(arm.count, 5u);
  EXPECT_EQ(arm.transitions[1], (Transitions{{2, Sci(r)}, {3, Sci(a)}}));
  EXPECT_EQ(arm.transitions[2], (Transitions{{3, Sci(a)}, {4, Sci(r)}}));
  EXPECT_EQ(arm.transitions[3], (Transitions{{1, Sci(b)}}));
  EXPECT_EQ(arm.transitions[4], (Transitions{{3, Sci(a)}, {5, Sci(r)}}));
  EXPECT_TRUE(arm.transitions[5].empty());
}

TEST(StateSpaceGenErlangTest, InterruptedActivityMeanCompletionTimeMatchesTheRestartFormula) {
  // An attempt succeeds when k phases end before an interruption: with
  // probability s = (r / (r + a))^k. A failed attempt runs (1 - s) / a on
  // average (summed over the phases reached) and is followed by 1 / b
  // interrupted, so the mean time to completion is ((1 - s) / s)(1/a + 1/b).
  const double r = 2.0, a = 0.7, b = 1.3;
  for (int k : {1, 2, 3, 6}) {
    SmallPVModel model(Interruptible(r, k, a, b));
    ScratchDir dir;
    Generate(&model, dir);
    ArmContents arm = ParseArm(ReadFile(dir.file("t.arm")));
    ASSERT_EQ(arm.count, static_cast<unsigned long>(k + 2)) << "k = " << k;
    const double s = std::pow(r / (r + a), k);
    const double expected = (1 - s) / s * (1 / a + 1 / b);
    EXPECT_NEAR(MeanTimeToAbsorption(arm), expected, 1e-9 * expected) << "k = " << k;
  }
}

// p: 0 stable; a timed firing t (rate c) leads to p = 2, vanishing: there i1
// (weight 1) goes to p = 1, where e is disabled, and on to 0 (i2); i3
// (weight 3) goes to p = 3, where e stays enabled, and on to 0 (i4). The
// timed firing u (rate d) leads to p = 4, where i5 alone goes on to p = 1.
// e (Erlang(r, 2)) is enabled while q = 0 and p != 1 and sets q.
SmallSAN* InstantDetours(double r, double c, double d) {
  auto* san = new SmallSAN;
  int p = san->add("p", 0);
  int q = san->add("q", 0);
  auto* e = san->activity("e", ERLANG);
  e->phases = 2;
  e->rate = [r] { return r; };
  e->enabled = [san, p, q] { return san->mark(q) == 0 && san->mark(p) != 1; };
  e->fire = [san, q] { san->mark(q) = 1; };
  san->move("t", p, 0, 2, c)->enabled = [san, p, q] {
    return san->mark(p) == 0 && san->mark(q) == 0;
  };
  san->move("i1", p, 2, 1, 0.0, INSTANTANEOUS)->weight = 1.0;
  san->move("i2", p, 1, 0, 0.0, INSTANTANEOUS);
  san->move("i3", p, 2, 3, 0.0, INSTANTANEOUS)->weight = 3.0;
  san->move("i4", p, 3, 0, 0.0, INSTANTANEOUS);
  san->move("u", p, 0, 4, d)->enabled = [san, p, q] {
    return san->mark(p) == 0 && san->mark(q) == 0;
  };
  san->move("i5", p, 4, 1, 0.0, INSTANTANEOUS);
  san->finish();
  return san;
}

TEST(StateSpaceGenErlangTest, InstantaneousFiringThatDisablesTheActivityResetsItsPhase) {
  // State 1: p 0, phase 1; state 2: phase 2; state 3: q 1. From state 2, t
  // returns to marking p 0 either through p 1 (probability 1/4: e was
  // disabled on the way, so phase 1, state 1) or through p 3 (3/4: e ran
  // on, phase 2, state 2); u returns through p 1, to state 1.
  const double r = 5.0, c = 2.0, d = 1.0;
  for (int level : {0, 4}) {
    SmallPVModel model(InstantDetours(r, c, d));
    ScratchDir dir;
    StateSpaceGen gen(&model, dir.path.c_str(), "t", 0, 0.5, nullptr, nullptr,
                      dir.file("trace").c_str());
    gen.TraceLevel = level;
    gen.InitializeTrace();
    testing::internal::CaptureStdout();
    gen.GenStateSpace();
    testing::internal::GetCapturedStdout();
    ArmContents arm = ParseArm(ReadFile(dir.file("t.arm")));
    ASSERT_EQ(arm.count, 3u) << "trace level " << level;
    EXPECT_EQ(arm.transitions[1], (Transitions{{1, Sci(c + d)}, {2, Sci(r)}})) << level;
    EXPECT_EQ(arm.transitions[2],
              (Transitions{{1, Sci(c / 4 + d)}, {2, Sci(3 * c / 4)}, {3, Sci(r)}}))
        << level;
    EXPECT_TRUE(arm.transitions[3].empty());
    if (level == 4) {
      // Each transition found is traced: from states 1 and 2 e's step, both
      // detours of t and u's.
      const std::string trace = ReadFile(dir.file("trace"));
      EXPECT_EQ(Count(trace, "The rate to this state"), 8) << trace;
    }
  }
}

TEST(StateSpaceGenErlangTest, GroupMembersAgeTogetherAndStartAgainAfterTheGroupFires) {
  // e1 and e2 (Erlang, 3 phases, rates 6 and 9, always enabled, firing
  // changes no place) form one group of two members with equal weights.
  // Each aging step ages both, at the member's rate / 2: state 1 (phases
  // 1, 1) -> state 2 (2, 2) -> state 3 (3, 3), at 6/2 + 9/2 each. In state 3
  // both are ready and fire with probability 1/2 each, back to phases 1, 1.
  auto* san = new SmallSAN;
  san->add("p", 0);
  auto* e1 = san->activity("e1", ERLANG);
  auto* e2 = san->activity("e2", ERLANG);
  for (auto* e : {e1, e2}) {
    e->phases = 3.0;
    e->enabled = [] { return true; };
  }
  e1->rate = [] { return 6.0; };
  e2->rate = [] { return 9.0; };
  auto* group = new PostselectGroup(2);
  group->setMember(e1, 0);
  group->setMember(e2, 1);
  san->extraGroups.push_back(group);
  e1->GroupID = e2->GroupID = 2;
  san->finish();
  SmallPVModel model(san);
  ScratchDir dir;
  Generate(&model, dir);
  ArmContents arm = ParseArm(ReadFile(dir.file("t.arm")));
  ASSERT_EQ(arm.count, 3u);
  EXPECT_EQ(arm.transitions[1], (Transitions{{2, Sci(6.0 / 2 + 9.0 / 2)}}));
  EXPECT_EQ(arm.transitions[2], (Transitions{{3, Sci(6.0 / 2 + 9.0 / 2)}}));
  EXPECT_EQ(arm.transitions[3], (Transitions{{1, Sci(6.0 * 0.5 + 9.0 * 0.5)}}));
}

TEST(StateSpaceGenErlangTest, GroupMemberThatIsNotEnabledStaysInPhaseOne) {
  // e1 (rate 4, enabled at p 0) and e2 (rate 10, enabled at p 1), 3 phases
  // each, form one group; each moves p to the other value. The enabled
  // member ages alone in effect: p 0 in phases 1, 2, 3 of e1 (states 1..3,
  // steps at 4 / 2), then p 1 in phases 1, 2, 3 of e2 (states 4..6, steps
  // at 10 / 2). In every numbered state the disabled member is in phase 1.
  auto* san = new SmallSAN;
  int p = san->add("p", 0);
  auto* e1 = san->move("e1", p, 0, 1, 4.0, ERLANG);
  auto* e2 = san->move("e2", p, 1, 0, 10.0, ERLANG);
  e1->phases = e2->phases = 3.0;
  auto* group = new PostselectGroup(2);
  group->setMember(e1, 0);
  group->setMember(e2, 1);
  san->extraGroups.push_back(group);
  e1->GroupID = e2->GroupID = 2;
  san->finish();
  SmallPVModel model(san);
  ScratchDir dir;
  StateSpaceGen gen(&model, dir.path.c_str(), "t", 0, 0.5, nullptr, nullptr, nullptr);
  gen.InitializeTrace();
  testing::internal::CaptureStdout();
  gen.GenStateSpace();
  testing::internal::GetCapturedStdout();

  ArmContents arm = ParseArm(ReadFile(dir.file("t.arm")));
  ASSERT_EQ(arm.count, 6u);
  EXPECT_EQ(arm.transitions[1], (Transitions{{2, Sci(2.0)}}));
  EXPECT_EQ(arm.transitions[2], (Transitions{{3, Sci(2.0)}}));
  EXPECT_EQ(arm.transitions[3], (Transitions{{4, Sci(4.0)}}));
  EXPECT_EQ(arm.transitions[4], (Transitions{{5, Sci(5.0)}}));
  EXPECT_EQ(arm.transitions[5], (Transitions{{6, Sci(5.0)}}));
  EXPECT_EQ(arm.transitions[6], (Transitions{{1, Sci(10.0)}}));
  for (uint32_t n = 1; n <= gen.StateCounter; n++) {
    const char* state = gen.StateTable->StoredState(n);
    model.SetState(const_cast<char*>(state));
    for (unsigned int i = 0; i < gen.NumErlangActions; i++) {
      short phase;
      std::memcpy(&phase, state + gen.StateSize + i * sizeof(short), sizeof phase);
      if (!gen.ErlangActions[i]->Enabled()) {
        EXPECT_EQ(phase, 1) << "state " << n << ", " << gen.ErlangActions[i]->ActionName;
      }
    }
  }
}

TEST(StateSpaceGenErlangTest, StateCarriesOnePhasePerErlangActivityOnlyWhenThereAreAny) {
  // Memory per state: the model's vector, plus 2 bytes per Erlang activity.
  auto* plain = new SmallSAN;
  int p = plain->add("p", 0);
  plain->move("a", p, 0, 1, 1.0);
  plain->finish();
  SmallPVModel plainModel(plain);
  ScratchDir dir;
  StateSpaceGen plainGen(&plainModel, dir.path.c_str(), "t", 0, 0.5, nullptr, nullptr, nullptr);
  EXPECT_EQ(plainGen.StoredStateSize, plainGen.StateSize);
  EXPECT_EQ(plainGen.StateTable->StateSize, plainGen.StateSize);

  SmallPVModel erlangModel(InstantDetours(1.0, 1.0, 1.0));
  StateSpaceGen erlangGen(&erlangModel, dir.path.c_str(), "t", 0, 0.5, nullptr, nullptr, nullptr);
  EXPECT_EQ(erlangGen.StateSize, 4u);
  EXPECT_EQ(erlangGen.StoredStateSize, 4u + 2u);
  EXPECT_EQ(erlangGen.StateTable->StateSize, 6u);
}

TEST(StateSpaceGenErlangDeathTest, PhaseCountThatIsNotAWholeNumberEndsTheRun) {
  auto run = [] {
    SmallPVModel model(TokenMover(1.0, 2.5, 1));
    ScratchDir dir;
    std::cout.rdbuf(std::cerr.rdbuf());
    StateSpaceGen gen(&model, dir.path.c_str(), "t", 0, 0.5, nullptr, nullptr, nullptr);
    gen.InitializeTrace();
    gen.GenStateSpace();
  };
  EXPECT_EXIT(run(), testing::ExitedWithCode(1),
              "Error: Erlang action e cannot age past phase 3: its number of phases "
              "\\(ErlangParamM\\(\\) = 2.5\\) must be a whole number from 1 to 32767");
}

} // namespace
