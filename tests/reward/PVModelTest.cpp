#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "tests/reward/AllocationCounter.h"
#include "tests/reward/RewardTestModels.h"

namespace {

// Model "M": a token moves between P and Q; Idle puts tokens into R, which no
// variable reads.
TokenModel* MakeShuttle() {
  return new TokenModel("M", {{"P", 1}, {"Q", 0}, {"R", 0}},
                        {{"Move", 0, 1, 1.0}, {"Back", 1, 0, 2.0}, {"Idle", -1, 2, 3.0}});
}

// Variable 0 "Held": rate reward = tokens in Q, plus an impulse of 5 per Move.
// Variable 1 "Returns": no rate reward, an impulse of 2 per Back.
std::vector<std::function<PerformanceVariableNode*()>> ShuttleVariables() {
  return {[] {
            auto* node = new PlaceRewardNode("Held", {{"Q", "M"}}, 1);
            node->AddConstantImpulse("Move", "M", 5.0);
            return node;
          },
          [] {
            auto* node = new PlaceRewardNode("Returns", {}, 1);
            node->AddConstantImpulse("Back", "M", 2.0);
            return node;
          }};
}

struct Shuttle {
  TokenModel* child = MakeShuttle();
  std::unique_ptr<TestRewardModel> model;
  explicit Shuttle(bool useIndex = false)
      : model(new TestRewardModel(child, ShuttleVariables(), useIndex)) {
    model->ConsiderOnly(nullptr, -1);
  }
  BaseActionClass* action(const char* name) { return child->activity(name); }
  PerformanceVariableNode* pv(int i) { return model->PVList[i]; }
};

} // namespace

TEST(PVModelTest, ForwardsModelInterfaceToChild) {
  Shuttle s;
  EXPECT_EQ(s.model->StateSize(), 6);
  EXPECT_EQ(s.model->numActions, 3);
  EXPECT_EQ(s.model->Actions, s.child->Actions);
  EXPECT_EQ(s.model->numGroups, 3);
  List<BaseActionClass> actions;
  s.model->listActions(&actions);
  ASSERT_EQ(actions.getNumItems(), 3);
  EXPECT_EQ(actions[2], s.action("Idle"));
  List<BaseModelClass> models;
  s.model->listModels("M", &models);
  ASSERT_EQ(models.getNumItems(), 1);
  EXPECT_EQ(models[0], s.child);
  EXPECT_EQ(s.model->LastActionFired, &s.model->NoActionFired);
  EXPECT_STREQ(s.model->NoActionFired.ActionName, "No Action Fired Yet");
}

TEST(PVModelTest, ActionThroughRateAndImpulseListedOnce) {
  Shuttle s;
  BaseActionClass* move = s.action("Move");
  BaseActionClass* back = s.action("Back");
  // "Held" is affected by Move (Q and impulse) and Back (Q).
  ASSERT_EQ(s.pv(0)->AffectingActionCount, 2);
  EXPECT_EQ(s.pv(0)->AffectingActions[0], move);
  EXPECT_EQ(s.pv(0)->AffectingActions[1], back);
  ASSERT_EQ(s.pv(1)->AffectingActionCount, 1);
  EXPECT_EQ(s.pv(1)->AffectingActions[0], back);
  // Idle affects nothing and is not listed.
  ASSERT_EQ(s.model->NumAffectingActions, 2);
  EXPECT_EQ(s.model->AffectingActionList[0], move);
  EXPECT_EQ(s.model->AffectingActionList[1], back);
  EXPECT_EQ(s.model->AffectedNodeSetList[1], &back->AffectedNodes);
  ASSERT_EQ(back->AffectedNodes.size(), 2);
  EXPECT_EQ(back->AffectedNodes[0], 0);
  EXPECT_EQ(back->AffectedNodes[1], 1);
  EXPECT_EQ(s.action("Idle")->AffectedNodes.size(), 0);
  // The rate and impulse sets are frozen and hold what each reward needs.
  EXPECT_EQ(move->AffectedNodesByRateReward.size(), 1);
  EXPECT_EQ(move->AffectedNodesByImpulseReward.size(), 1);
  EXPECT_EQ(back->AffectedNodesByImpulseReward[0], 1);
  ASSERT_EQ(move->PVRateDS[0].size(), 1);
  EXPECT_EQ(move->PVRateDS[0][0], 0);
  EXPECT_EQ(move->PVRateDS[1].size(), 0);
  EXPECT_EQ(move->PVImpulseValueTable[0][0], 1);
  EXPECT_EQ(move->PVImpulseTable[0][0][0], 0);
}

TEST(PVModelTest, FireActionUpdatesRewardsInStateReached) {
  Shuttle s;
  std::vector<unsigned char> buffer(s.model->StateSize());
  s.model->FireAction(buffer.data(), &s.model->NoActionFired);
  EXPECT_EQ(s.pv(0)->RewardValue, 0.0);
  EXPECT_EQ(s.pv(0)->ImpulseValue, 0.0);

  s.model->FireAction(buffer.data(), s.action("Move"));
  EXPECT_EQ(s.model->LastActionFired, s.action("Move"));
  EXPECT_EQ(s.pv(0)->RewardValue, 1.0);
  EXPECT_EQ(s.pv(0)->RewardSquared, 1.0);
  EXPECT_EQ(s.pv(0)->ImpulseValue, 5.0);
  EXPECT_EQ(s.pv(0)->ImpulseSquared, 25.0);
  EXPECT_EQ(s.pv(1)->ImpulseValue, 0.0);
  short expected[3] = {0, 1, 0};
  EXPECT_EQ(std::memcmp(buffer.data(), expected, sizeof expected), 0);

  s.model->FireAction(buffer.data(), s.action("Back"));
  EXPECT_EQ(s.pv(0)->RewardValue, 0.0);
  EXPECT_EQ(s.pv(0)->ImpulseValue, 0.0);
  EXPECT_EQ(s.pv(1)->ImpulseValue, 2.0);

  // The impulse belongs to the firing only.
  s.model->FireAction(buffer.data(), s.action("Idle"));
  EXPECT_EQ(s.pv(1)->ImpulseValue, 0.0);
  short afterIdle[3] = {1, 0, 1};
  EXPECT_EQ(std::memcmp(buffer.data(), afterIdle, sizeof afterIdle), 0);
}

TEST(PVModelTest, FiringThenUpdatingLaterGivesTheValuesOfFireAction) {
  // The generator fires without rewards and gives the variables their
  // values only in the states it numbers, after other firings in between.
  for (bool indexed : {false, true}) {
    Shuttle direct(indexed), split(indexed);
    std::vector<unsigned char> a(direct.model->StateSize()), b(split.model->StateSize());
    for (const char* name : {"Move", "Back", "Idle", "Move"}) {
      direct.model->FireAction(a.data(), direct.action(name));
      split.model->FireActionOnly(b.data(), split.action(name));
      EXPECT_EQ(a, b) << name;
      EXPECT_EQ(split.model->LastActionFired, split.action(name));
      // Another firing from elsewhere, then back to the state reached.
      std::vector<unsigned char> elsewhere(b.size());
      split.model->FireActionOnly(elsewhere.data(), split.action("Idle"));
      split.model->UpdateRewards(split.action("Idle"));
      split.model->SetState(b.data());
      split.model->UpdateRewards(split.action(name));
      for (int k = 0; k < 2; k++) {
        EXPECT_EQ(split.pv(k)->RewardValue, direct.pv(k)->RewardValue) << name << k;
        EXPECT_EQ(split.pv(k)->ImpulseValue, direct.pv(k)->ImpulseValue) << name << k;
        EXPECT_EQ(split.pv(k)->ImpulseSquared, direct.pv(k)->ImpulseSquared) << name << k;
      }
      split.model->SetState(b.data());
    }
  }
}

TEST(PVModelTest, TransitionOperationsDoNotAllocate) {
  Shuttle s;
  std::vector<unsigned char> a(s.model->StateSize());
  std::vector<unsigned char> b(s.model->StateSize());
  s.model->CurrentState(a.data());
  long before = AllocationCount();
  for (int i = 0; i < 10; i++) {
    s.model->SetState(a.data());
    s.model->FireAction(b.data(), s.action("Move"));
    s.model->FireAction(b.data(), s.action("Back"));
    s.model->AgeAction(reinterpret_cast<char*>(b.data()), s.action("Move"));
    EXPECT_TRUE(s.model->CompareState(a.data(), b.data()));
  }
  EXPECT_EQ(AllocationCount(), before);
}

TEST(PVModelTest, ConsiderOnlyAppends) {
  Shuttle s;
  ASSERT_EQ(s.model->ConsideredPVs.size(), 2u);
  s.model->ConsiderOnly(nullptr, -1);
  ASSERT_EQ(s.model->ConsideredPVs.size(), 4u);
  EXPECT_EQ(s.model->ConsideredPVs[2], s.pv(0));
  EXPECT_EQ(s.model->ConsideredPVs[3], s.pv(1));
  int only[1] = {1};
  s.model->ConsiderOnly(only, 1);
  ASSERT_EQ(s.model->ConsideredPVs.size(), 5u);
  EXPECT_EQ(s.model->ConsideredPVs[4], s.pv(1));
}

TEST(PVModelTest, ModelWithoutVariablesOnlyFires) {
  TokenModel* child = MakeShuttle();
  TestRewardModel model(child, {});
  model.ConsiderOnly(nullptr, -1);
  EXPECT_EQ(model.NumPVs, 0);
  EXPECT_EQ(model.AffectingActionList, nullptr);
  EXPECT_EQ(model.AffectedNodeSetList, nullptr);
  EXPECT_EQ(model.NumAffectingActions, 0);
  std::vector<unsigned char> buffer(model.StateSize());
  model.FireAction(buffer.data(), child->activity("Move"));
  EXPECT_EQ(model.LastActionFired, child->activity("Move"));
  short expected[3] = {0, 1, 0};
  EXPECT_EQ(std::memcmp(buffer.data(), expected, sizeof expected), 0);
}

TEST(PVModelTest, VariablesNumberedFromZeroInEveryRewardModel) {
  for (int round = 0; round < 2; round++) {
    Shuttle s;
    EXPECT_EQ(s.pv(0)->ID, 0);
    EXPECT_EQ(s.pv(1)->ID, 1);
    std::vector<unsigned char> buffer(s.model->StateSize());
    s.model->FireAction(buffer.data(), s.action("Back"));
    s.model->FireAction(buffer.data(), s.action("Move"));
    EXPECT_EQ(s.pv(0)->ImpulseValue, 5.0);
  }
}

TEST(PVModelTest, BytesForCoversEachWidth) {
  EXPECT_EQ(PVModel::BytesFor(0), 0);
  EXPECT_EQ(PVModel::BytesFor(1), 1);
  EXPECT_EQ(PVModel::BytesFor(255), 1);
  EXPECT_EQ(PVModel::BytesFor(256), 2);
  EXPECT_EQ(PVModel::BytesFor(65535), 2);
  EXPECT_EQ(PVModel::BytesFor(65536), 3);
  EXPECT_EQ(PVModel::BytesFor(16777215), 3);
  EXPECT_EQ(PVModel::BytesFor(16777216), 4);
}

TEST(PVModelTest, IndexOffStatesDifferingInLastActionAreEqual) {
  Shuttle s;
  std::vector<unsigned char> a(s.model->StateSize());
  std::vector<unsigned char> b(s.model->StateSize());
  s.model->FireAction(a.data(), s.action("Idle"));
  s.child->setMark("R", 0);
  s.model->FireAction(b.data(), s.action("Move"));
  s.model->FireAction(b.data(), s.action("Back"));
  s.child->setMark("R", 1);
  s.model->CurrentState(b.data());
  ASSERT_EQ(s.model->LastActionFired, s.action("Back"));
  EXPECT_EQ(a, b);
  EXPECT_TRUE(s.model->CompareState(a.data(), b.data()));
}

TEST(PVModelTest, StateIndexRecordsLastActionFired) {
  Shuttle s(true);
  ASSERT_EQ(s.model->PVIndexOffset, 6);
  ASSERT_EQ(s.model->PVIndexBytes, 1);
  ASSERT_EQ(s.model->StateSize(), 7);
  std::vector<unsigned char> initial(7);
  s.model->FireAction(initial.data(), &s.model->NoActionFired);
  EXPECT_EQ(initial[6], 0);
  std::vector<unsigned char> afterMove(7);
  s.model->FireAction(afterMove.data(), s.action("Move"));
  EXPECT_EQ(afterMove[6], 1);
  std::vector<unsigned char> afterIdle(7);
  s.model->FireAction(afterIdle.data(), s.action("Idle"));
  EXPECT_EQ(afterIdle[6], 3);
  // Same markings, different last action: distinct states.
  std::vector<unsigned char> viaMoveAgain(afterIdle);
  viaMoveAgain[6] = 1;
  EXPECT_FALSE(s.model->CompareState(afterIdle.data(), viaMoveAgain.data()));
  EXPECT_TRUE(s.model->CompareState(afterIdle.data(), afterIdle.data()));

  // Aging restores the last action from the vector and its impulse.
  s.model->SetState(afterMove.data());
  s.model->AgeAction(reinterpret_cast<char*>(afterMove.data()), nullptr);
  EXPECT_EQ(s.model->LastActionFired, s.action("Move"));
  EXPECT_EQ(s.pv(0)->ImpulseValue, 5.0);
  s.model->AgeAction(reinterpret_cast<char*>(initial.data()), nullptr);
  EXPECT_EQ(s.model->LastActionFired, &s.model->NoActionFired);
  EXPECT_EQ(s.pv(0)->ImpulseValue, 0.0);
}

TEST(PVModelTest, PutAndGetPVStateRoundTrip) {
  Shuttle s(true);
  std::vector<unsigned char> buffer(7);
  s.model->FireAction(buffer.data(), s.action("Move"));
  s.model->FireAction(buffer.data(), s.action("Back"));
  unsigned char index = 0xEE;
  s.model->GetPVState(&index);
  EXPECT_EQ(index, 2);
  EXPECT_EQ(s.model->StateIndexLookup(&index), s.action("Back"));
  s.model->FireAction(buffer.data(), s.action("Idle"));
  s.model->PutPVState(&index);
  EXPECT_EQ(s.model->LastActionFired, s.action("Back"));
  EXPECT_EQ(s.pv(1)->ImpulseValue, 2.0);
}

TEST(PVModelTest, PutPVStateWithoutIndexDropsImpulses) {
  Shuttle s;
  std::vector<unsigned char> buffer(s.model->StateSize());
  s.model->FireAction(buffer.data(), s.action("Move"));
  unsigned char unused = 0;
  s.model->PutPVState(&unused);
  EXPECT_EQ(s.pv(0)->ImpulseValue, 0.0);
  EXPECT_EQ(s.pv(0)->RewardValue, 1.0);
  s.model->GetPVState(&unused);
  EXPECT_EQ(unused, 0);
}

TEST(PVModelTest, ImpulseOfOneInstanceEarnsOnlyItsWorker) {
  std::vector<TokenModel*> children = {MakeShuttle(), MakeShuttle()};
  ComposedModel* top = new ComposedModel(children);
  TestRewardModel model(top, ShuttleVariables());
  model.ConsiderOnly(nullptr, -1);
  PerformanceVariableNode* held = model.PVList[0];
  ASSERT_EQ(held->NumWorkers, 2);
  ASSERT_EQ(held->ImpulseWorkerCounts[0], 2);
  BaseActionClass* secondMove = children[1]->activity("Move");
  ASSERT_EQ(secondMove->PVImpulseValueTable[0][0], 1);
  EXPECT_EQ(secondMove->PVImpulseTable[0][0][0], 1);
  ASSERT_EQ(secondMove->PVRateDS[0].size(), 1);
  EXPECT_EQ(secondMove->PVRateDS[0][0], 1);
  std::vector<unsigned char> buffer(model.StateSize());
  model.FireAction(buffer.data(), secondMove);
  EXPECT_EQ(held->ImpulseValue, 5.0);
  // One worker per instance: Q of the first (0) plus Q of the second (1).
  EXPECT_EQ(held->RewardValue, 1.0);
  EXPECT_EQ(model.NumAffectingActions, 4);
}

TEST(PVModelTest, ResetAndSteadyStateRestartAccumulation) {
  Shuttle s;
  s.pv(0)->AccumulationState = 2;
  s.pv(0)->RewardValue = 4.0;
  s.pv(1)->IsSteadyState = 1;
  std::vector<unsigned char> buffer(s.model->StateSize());
  s.model->FireAction(s.action("Move"), 7.5);
  EXPECT_EQ(BaseModelClass::LastActionTime, 7.5);
  EXPECT_EQ(s.model->LastActionFired, s.action("Move"));
  s.model->SteadyState();
  EXPECT_EQ(s.pv(0)->AccumulationState, 0);
  EXPECT_EQ(s.pv(0)->RewardValue, 0.0);
  EXPECT_EQ(s.pv(1)->AccumulationState, 1);
  EXPECT_EQ(BaseModelClass::LastActionTime, 0.0);
  EXPECT_EQ(s.model->LastActionFired, &s.model->NoActionFired);
}

TEST(PVModelTest, ImpulsesOfOneFiringAddUp) {
  // Two impulse functions of one variable on Move (5 and 7), and a second
  // instance whose Move earns its own worker only: each firing's impulse is
  // the sum of its contributions, never the last one alone.
  TokenModel* child = MakeShuttle();
  TestRewardModel model(child, {[] {
                          auto* node = new PlaceRewardNode("Earned", {}, 2);
                          node->AddConstantImpulse("Move", "M", 5.0);
                          node->AddConstantImpulse("Move", "M", 7.0);
                          return node;
                        }});
  model.ConsiderOnly(nullptr, -1);
  std::vector<unsigned char> buffer(model.StateSize());
  model.FireAction(buffer.data(), child->activity("Move"));
  EXPECT_EQ(model.PVList[0]->ImpulseValue, 12.0);
  EXPECT_EQ(model.PVList[0]->ImpulseSquared, 25.0 + 49.0);
  // The next firing starts from nothing again.
  model.FireAction(buffer.data(), child->activity("Back"));
  EXPECT_EQ(model.PVList[0]->ImpulseValue, 0.0);
}

TEST(PVModelTest, FiringImpulsesPerVariableLeaveTheVariablesValuesAlone) {
  // Move earns Held 5, Back earns Returns 2, Idle earns nothing; the values
  // the .var record takes (ImpulseValue, ImpulseSquared) stay as they were.
  Shuttle s;
  EXPECT_TRUE(s.model->HasImpulseRewards());
  std::vector<unsigned char> buffer(s.model->StateSize());
  s.model->FireAction(buffer.data(), s.action("Back"));
  ASSERT_EQ(s.pv(1)->ImpulseValue, 2.0);
  double impulses[2] = {-1, -1};
  s.model->FiringImpulses(s.action("Move"), impulses);
  EXPECT_EQ(impulses[0], 5.0);
  EXPECT_EQ(impulses[1], 0.0);
  s.model->FiringImpulses(s.action("Back"), impulses);
  EXPECT_EQ(impulses[0], 0.0);
  EXPECT_EQ(impulses[1], 2.0);
  s.model->FiringImpulses(s.action("Idle"), impulses);
  EXPECT_EQ(impulses[0], 0.0);
  EXPECT_EQ(impulses[1], 0.0);
  EXPECT_EQ(s.pv(0)->ImpulseValue, 0.0);
  EXPECT_EQ(s.pv(1)->ImpulseValue, 2.0);
  EXPECT_EQ(s.pv(1)->ImpulseSquared, 4.0);

  TokenModel* child = MakeShuttle();
  TestRewardModel rateOnly(child, {[] { return new PlaceRewardNode("Held", {{"Q", "M"}}); }});
  EXPECT_FALSE(rateOnly.HasImpulseRewards());
}
