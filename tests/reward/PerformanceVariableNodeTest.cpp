#include <gtest/gtest.h>

#include <memory>

#include "reward/SteadyState.h"
#include "tests/reward/RewardTestModels.h"

namespace {

// Model "A" with 2 instances and "B" with 3, each instance with one place.
ComposedModel* MakeTwoByThree() {
  std::vector<TokenModel*> children;
  children.reserve(2);
  for (int i = 0; i < 2; i++)
    children.push_back(new TokenModel("A", {{"P", static_cast<short>(i + 1)}}, {}));
  for (int i = 0; i < 3; i++)
    children.push_back(new TokenModel("B", {{"Q", static_cast<short>(10 * (i + 1))}}, {}));
  return new ComposedModel(children);
}

class NoWorkerNode : public PerformanceVariableNode {
public:
  BaseModelClass* Top = nullptr;
  NoWorkerNode() { ModelSlot = &Top; }
  void CreateWorkerList() override {}
};

// A steady-state variable over model "A" whose workers all report 2.
class SteadyTwoWorker : public SteadyState {
public:
  double Reward_Function() override { return 2.0; }
};

class SteadyTwoNode : public PerformanceVariableNode {
public:
  BaseModelClass* Top = nullptr;
  SteadyTwoNode() {
    ModelSlot = &Top;
    double start[1] = {0.0};
    double stop[1] = {1.0};
    Initialize("Steady", STEADY_STATE, 1, start, stop, 0, 0, 1, 0);
    IsSteadyState = 1;
    AddModelDependency("A");
  }
  void CreateWorkerList() override {
    for (int i = 0; i < NumWorkers; i++)
      Workers[i] = new SteadyTwoWorker;
  }
};

} // namespace

TEST(PerformanceVariableNodeTest, InitializeCopiesTimesAndHandsOutConsecutiveIds) {
  PerformanceVariableNode::the_id = 0;
  double start[3] = {0.0, 2.0, 5.0};
  double stop[3] = {1.0, 4.0, 9.0};
  NoWorkerNode first;
  first.Initialize("First", STEADY_STATE, 3, start, stop, 2, 0, 0, 0);
  NoWorkerNode second;
  second.Initialize("Second", INSTANT_OF_TIME, 3, start, stop, 0, 0, 0, 0);
  EXPECT_EQ(first.ID, 0);
  EXPECT_EQ(second.ID, 1);
  start[2] = 100.0;
  EXPECT_EQ(first.GetStartTime(2), 5.0);
  EXPECT_EQ(first.GetStopTime(1), 4.0);
  EXPECT_EQ(first.GetNumTimePoints(), 3);
  EXPECT_EQ(first.GetRewardType(), STEADY_STATE);
  EXPECT_EQ(first.StartTime, 5.0);
  EXPECT_EQ(first.StopTime, 9.0);
  EXPECT_EQ(first.IntervalLength, 4.0);
  EXPECT_STREQ(first.Name, "First");
}

TEST(PerformanceVariableNodeTest, SameModelTwiceStoresPairButOneModelName) {
  NoWorkerNode node;
  double t[1] = {1.0};
  node.Initialize("N", INSTANT_OF_TIME, 1, t, t, 0, 0, 2, 3);
  node.AddVariableDependency("P", "A");
  node.AddVariableDependency("Q", "A");
  node.AddModelDependency("B");
  EXPECT_EQ(node.NumVarModelPairs, 2);
  EXPECT_STREQ(node.VarModelPairs[1].VariableName, "Q");
  EXPECT_STREQ(node.VarModelPairs[1].ModelName, "A");
  ASSERT_EQ(node.NumModelNames, 2);
  EXPECT_STREQ(node.ModelNames[0], "A");
  EXPECT_STREQ(node.ModelNames[1], "B");
  EXPECT_TRUE(node.IsDependentOnModel("B"));
  EXPECT_FALSE(node.IsDependentOnModel("C"));
}

TEST(PerformanceVariableNodeTest, ModelGroupsEnumerateInstancesFirstNameSlowest) {
  std::unique_ptr<ComposedModel> top(MakeTwoByThree());
  PlaceRewardNode node("Sum", {{"P", "A"}, {"Q", "B"}});
  node.FixReferences(top.get());
  ASSERT_EQ(node.NumWorkers, 6);
  node.CreateModelGroupList();
  node.CreateWorkerList();
  node.FixWorkerList();
  TokenModel** c = top->Children.data();
  BaseModelClass* expected[6][2] = {{c[0], c[2]}, {c[0], c[3]}, {c[0], c[4]},
                                    {c[1], c[2]}, {c[1], c[3]}, {c[1], c[4]}};
  for (int w = 0; w < 6; w++) {
    ASSERT_EQ(node.ModelGroups[w].NumModels, 2);
    EXPECT_EQ(node.ModelGroups[w].Models[0], expected[w][0]) << "group " << w;
    EXPECT_EQ(node.ModelGroups[w].Models[1], expected[w][1]) << "group " << w;
    // Each worker reads the instances of its group.
    auto* worker = static_cast<PlaceSumWorker*>(node.Workers[w]);
    EXPECT_EQ(worker->Refs[0], expected[w][0]);
    EXPECT_EQ(worker->Refs[1], expected[w][1]);
    EXPECT_EQ(worker->WorkerIndex, w);
    EXPECT_EQ(worker->PVIndex, node.ID);
    EXPECT_STREQ(worker->Name, "Sum");
    EXPECT_EQ(worker->StartTime, 1.0);
  }
  // Each P (1, 2) is read by 3 workers, each Q (10, 20, 30) by 2.
  BaseActionClass action;
  node.CurrentReward(&action);
  EXPECT_DOUBLE_EQ(node.RewardValue, 3 * (1 + 2) + 2 * (10 + 20 + 30));
  EXPECT_EQ(node.ImpulseValue, 0.0);
}

TEST(PerformanceVariableNodeTest, WorkersRegisterWithActionsOfTheirInstances) {
  std::unique_ptr<ComposedModel> top(MakeTwoByThree());
  PlaceRewardNode node("Sum", {{"P", "A"}, {"Q", "B"}});
  node.ID = 0;
  node.FixReferences(top.get());
  node.CreateModelGroupList();
  BaseActionClass action;
  action.AllocatePVRateDS(1);
  node.AddPVWorkersToAction(&action, top->Children[3]);
  action.PVRateDS[0].NoMoreModifications();
  // Instance b1 is read by the workers of (a0, b1) and (a1, b1).
  ASSERT_EQ(action.PVRateDS[0].size(), 2);
  EXPECT_EQ(action.PVRateDS[0][0], 1);
  EXPECT_EQ(action.PVRateDS[0][1], 4);
  action.DeallocatePVRateDS();
}

TEST(PerformanceVariableNodeTest, NoModelNamesMeansNoWorkers) {
  std::unique_ptr<ComposedModel> top(MakeTwoByThree());
  PlaceRewardNode node("Empty", {});
  node.FixReferences(top.get());
  EXPECT_EQ(node.NumWorkers, 0);
  node.CreateModelGroupList();
  node.CreateWorkerList();
  node.FixWorkerList();
  BaseActionClass action;
  node.RewardValue = 5.0;
  node.CurrentReward(&action);
  EXPECT_EQ(node.RewardValue, 0.0);
}

TEST(PerformanceVariableNodeTest, ModelNameWithoutInstanceExitsWithStatusOne) {
  std::unique_ptr<ComposedModel> top(MakeTwoByThree());
  PlaceRewardNode node("Lost", {{"P", "Missing"}});
  node.FixReferences(top.get());
  EXPECT_EXIT(node.CreateModelGroupList(), testing::ExitedWithCode(1),
              "^Number of Missing's was 0\\.  Model cannot be created\\.\nModel Name was: NULL\n$");
  top->DefineName("Top");
  EXPECT_EXIT(node.CreateModelGroupList(), testing::ExitedWithCode(1), "Model Name was: Top\n\\.$");
}

TEST(PerformanceVariableNodeTest, ImpulseDependencyOnUndefinedImpulseExitsWithStatusOne) {
  PlaceRewardNode node("N", {}, 1);
  ConstantImpulse stray(1.0);
  EXPECT_EXIT(node.AddImpulseModelDependency("A", &stray), testing::ExitedWithCode(1),
              "^Model Dependency requested on undefined impulse\\.  Check code generator\\.  "
              "Error code GP0001\\.\n$");
}

TEST(PerformanceVariableNodeTest, AddImpulseRecordsActionAndModelOnce) {
  PlaceRewardNode node("N", {}, 2);
  ConstantImpulse* first = node.AddConstantImpulse("Move", "A", 5.0);
  ConstantImpulse* second = node.AddConstantImpulse("Back", "B", 1.0);
  // Adding a known impulse again re-targets it.
  node.AddImpulse("Stay", "A", first);
  node.AddImpulseModelDependency("C", first);
  ASSERT_EQ(node.NumImpulses, 2);
  EXPECT_EQ(node.GetImpulseNumber(second), 1);
  EXPECT_STREQ(node.ImpulseActions[0].ActionName, "Stay");
  EXPECT_STREQ(node.ImpulseActions[0].ModelName, "A");
  // "A" is recorded once; "C" goes beyond the declared MaxModels of 1.
  ASSERT_EQ(node.ImpulseModelCounts[0], 2);
  EXPECT_STREQ(node.ImpulseModelNames[0][0], "A");
  EXPECT_STREQ(node.ImpulseModelNames[0][1], "C");
  EXPECT_TRUE(node.IsDependentOnImpulseModel("B", 1));
  EXPECT_FALSE(node.IsDependentOnImpulseModel("A", 1));
}

TEST(PerformanceVariableNodeTest, ImpulseWorkersCoverInstancesOfActionModel) {
  std::unique_ptr<ComposedModel> top(MakeTwoByThree());
  PlaceRewardNode node("N", {}, 1);
  ConstantImpulse* impulse = node.AddConstantImpulse("Move", "B", 5.0, 2);
  node.AddImpulseModelDependency("A", impulse);
  node.FixReferences(top.get());
  // Names "B" then "A": 3 x 2 workers, "B" varying slowest.
  ASSERT_EQ(node.ImpulseWorkerCounts[0], 6);
  EXPECT_EQ(node.ImpulseActionModelInstances[0], 3);
  node.CreateImpulseModelGroupList();
  node.CreateImpulseWorkerLists();
  node.FixImpulseWorkerLists();
  TokenModel** c = top->Children.data();
  auto* w3 = static_cast<ConstantImpulse*>(node.ImpulseWorkers[0][3]);
  EXPECT_EQ(w3->Refs[0], c[3]);
  EXPECT_EQ(w3->Refs[1], c[1]);
  EXPECT_EQ(w3->WorkerIndex, 3);
  EXPECT_EQ(w3->ImpulseIndex, 0);
  EXPECT_STREQ(w3->Name, "N");
}

TEST(PerformanceVariableNodeTest, InstantOfTimeAccumulatesOnlyInTotal) {
  std::unique_ptr<ComposedModel> top(MakeTwoByThree());
  PlaceRewardNode node("Instant", {{"P", "A"}});
  node.StartTime = node.StopTime = 3.0;
  node.FixReferences(top.get());
  node.CreateModelGroupList();
  node.CreateWorkerList();
  node.FixWorkerList();
  BaseActionClass action;
  node.CommonAccumulate(5.0, 2.0, &action);
  EXPECT_EQ(node.RewardValue, 0.0);
  // The two workers read P = 1 and P = 2.
  node.TotalAccumulation();
  EXPECT_DOUBLE_EQ(node.RewardValue, 3.0);
  EXPECT_DOUBLE_EQ(node.RewardSquared, 9.0);
}

TEST(PerformanceVariableNodeTest, AccumulateClosesOnceStopTimePassed) {
  std::unique_ptr<ComposedModel> top(MakeTwoByThree());
  PlaceRewardNode node("Instant", {{"P", "A"}});
  node.StartTime = node.StopTime = 3.0;
  node.FixReferences(top.get());
  node.CreateModelGroupList();
  node.CreateWorkerList();
  node.FixWorkerList();
  BaseActionClass action;
  node.Accumulate(2.0, 1.0, &action);
  EXPECT_EQ(node.AccumulationState, 0);
  node.Accumulate(3.0, 2.0, &action);
  EXPECT_EQ(node.AccumulationState, 1);
  EXPECT_EQ(node.RewardValue, 0.0);
  node.Accumulate(5.0, 2.5, &action);
  EXPECT_EQ(node.AccumulationState, 2);
  EXPECT_DOUBLE_EQ(node.RewardValue, 3.0);
  // A closed variable takes no further steps.
  node.Accumulate(9.0, 2.0, &action);
  EXPECT_DOUBLE_EQ(node.RewardValue, 3.0);
}

TEST(PerformanceVariableNodeTest, SteadyStateAccumulatesStepByStepAndResetMovesWindow) {
  std::unique_ptr<ComposedModel> top(MakeTwoByThree());
  SteadyTwoNode node;
  node.FixReferences(top.get());
  node.CreateModelGroupList();
  node.CreateWorkerList();
  node.FixWorkerList();
  ASSERT_EQ(node.NumWorkers, 2);
  BaseActionClass action;
  // Half of the window (0, 1) for two workers of reward 2: f = 0.5, sum = 4.
  node.CommonAccumulate(0.5, 0.0, &action);
  EXPECT_DOUBLE_EQ(node.RewardValue, 2.0);
  EXPECT_DOUBLE_EQ(node.RewardSquared, 8.0);
  node.AccumulationState = 1;
  node.Reset();
  EXPECT_EQ(node.AccumulationState, 0);
  EXPECT_EQ(node.RewardValue, 0.0);
  EXPECT_EQ(node.StartTime, 1.0);
  EXPECT_EQ(node.StopTime, 2.0);
}
