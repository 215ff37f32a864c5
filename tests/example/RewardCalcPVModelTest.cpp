#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "example/AtomicModelSAN.h"
#include "example/RewardCalcPVModel.h"
#include "example/RewardCalcPVNodes.h"

namespace {

const double kReliabilityTimes[6] = {24, 360, 1080, 2520, 5400, 11160};

class RewardCalcPVModelTest : public testing::Test {
protected:
  void SetUp() override {
    lambda = 0.1;
    meo = 2.0;
    model = std::make_unique<RewardCalcPVModel>(false);
    model->ConsiderOnly(nullptr, -1);
    child = static_cast<AtomicModelSAN*>(model->ChildModel);
    buffer.resize(model->StateSize());
  }
  std::unique_ptr<RewardCalcPVModel> model;
  AtomicModelSAN* child = nullptr;
  std::vector<unsigned char> buffer;

  PerformanceVariableNode* reliability() { return model->PVList[0]; }
  PerformanceVariableNode* availability() { return model->PVList[1]; }
  std::vector<std::string> Names(BaseActionClass** actions, int n) {
    std::vector<std::string> names;
    names.reserve(n);
    for (int i = 0; i < n; i++)
      names.emplace_back(actions[i]->ActionName);
    return names;
  }
};

} // namespace

TEST_F(RewardCalcPVModelTest, TwoVariablesWithOneWorkerEach) {
  ASSERT_EQ(model->NumPVs, 2);
  EXPECT_EQ(reliability()->ID, 0);
  EXPECT_STREQ(reliability()->Name, "Reliability");
  EXPECT_EQ(reliability()->GetRewardType(), INSTANT_OF_TIME);
  EXPECT_EQ(reliability()->IsSteadyState, 0);
  EXPECT_EQ(availability()->ID, 1);
  EXPECT_STREQ(availability()->Name, "Availibility");
  EXPECT_EQ(availability()->GetRewardType(), STEADY_STATE);
  EXPECT_EQ(availability()->IsSteadyState, 1);
  ASSERT_EQ(reliability()->NumWorkers, 1);
  ASSERT_EQ(availability()->NumWorkers, 1);
  auto* w0 = dynamic_cast<RewardCalcPV0Worker*>(reliability()->Workers[0]);
  auto* w1 = dynamic_cast<RewardCalcPV1Worker*>(availability()->Workers[0]);
  ASSERT_NE(w0, nullptr);
  ASSERT_NE(w1, nullptr);
  EXPECT_EQ(w0->AtomicModel, child);
  EXPECT_EQ(w1->AtomicModel, child);
  EXPECT_STREQ(w1->Name, "Availibility");
  EXPECT_EQ(w1->PVIndex, 1);
}

TEST_F(RewardCalcPVModelTest, TimePointsFollowDefinition) {
  ASSERT_EQ(reliability()->GetNumTimePoints(), 6);
  for (int k = 0; k < 6; k++) {
    EXPECT_EQ(reliability()->GetStartTime(k), kReliabilityTimes[k]);
    EXPECT_EQ(reliability()->GetStopTime(k), kReliabilityTimes[k]);
  }
  ASSERT_EQ(availability()->GetNumTimePoints(), 1);
  EXPECT_EQ(availability()->GetStartTime(0), 0.0);
  EXPECT_EQ(availability()->GetStopTime(0), 1.0);
}

TEST_F(RewardCalcPVModelTest, UnknownVariableNumberGivesNoNode) {
  EXPECT_EQ(model->createPVNode(2, 0), nullptr);
  EXPECT_EQ(model->createPVNode(-1, 0), nullptr);
}

TEST_F(RewardCalcPVModelTest, ActionsAffectingEachVariable) {
  // FirstTimeFailure is changed by FailureBC and FailureA; FailState by every
  // action but FailureB and FailureC.
  EXPECT_EQ(Names(reliability()->AffectingActions, reliability()->AffectingActionCount),
            (std::vector<std::string>{"FailureBC", "FailureA"}));
  EXPECT_EQ(Names(availability()->AffectingActions, availability()->AffectingActionCount),
            (std::vector<std::string>{"FailureBC", "Activity_Repair_B", "Activity_Repair_C",
                                      "FailureA", "Activity_Repair_A"}));
  EXPECT_EQ(Names(model->AffectingActionList, model->NumAffectingActions),
            (std::vector<std::string>{"FailureBC", "Activity_Repair_B", "Activity_Repair_C",
                                      "FailureA", "Activity_Repair_A"}));
  EXPECT_EQ(child->FailureB.AffectedNodes.size(), 0);
  ASSERT_EQ(child->FailureA.AffectedNodes.size(), 2);
  ASSERT_EQ(child->Activity_Repair_A.AffectedNodes.size(), 1);
  EXPECT_EQ(child->Activity_Repair_A.AffectedNodes[0], 1);
  EXPECT_EQ(child->FailureA.AffectedNodesByImpulseReward.size(), 0);
}

TEST_F(RewardCalcPVModelTest, InitialStateRewardsAreOne) {
  model->FireAction(buffer.data(), &model->NoActionFired);
  EXPECT_EQ(reliability()->RewardValue, 1.0);
  EXPECT_EQ(availability()->RewardValue, 1.0);
  EXPECT_EQ(reliability()->ImpulseValue, 0.0);
  short initial[9] = {2, 0, 3, 0, 0, 1, 0, 0, 0};
  EXPECT_EQ(std::memcmp(buffer.data(), initial, sizeof initial), 0);
}

TEST_F(RewardCalcPVModelTest, RewardsFollowFailureAndRepair) {
  model->FireAction(buffer.data(), &model->NoActionFired);
  model->FireAction(buffer.data(), &child->FailureA);
  EXPECT_EQ(reliability()->RewardValue, 0.0);
  EXPECT_EQ(availability()->RewardValue, 0.0);
  EXPECT_EQ(availability()->RewardSquared, 0.0);
  model->FireAction(buffer.data(), &child->Activity_Repair_A);
  EXPECT_EQ(reliability()->RewardValue, 0.0);
  EXPECT_EQ(availability()->RewardValue, 1.0);
  EXPECT_EQ(availability()->RewardSquared, 1.0);
  short repaired[9] = {2, 0, 3, 0, 0, 1, 0, 0, 1};
  EXPECT_EQ(std::memcmp(buffer.data(), repaired, sizeof repaired), 0);
}

TEST_F(RewardCalcPVModelTest, ExpandedTimesGiveOneNodePerTimePoint) {
  model.reset();
  RewardCalcPVModel expanded(true);
  ASSERT_EQ(expanded.NumPVs, 7);
  for (int k = 0; k < 6; k++) {
    EXPECT_STREQ(expanded.PVList[k]->Name, "Reliability");
    EXPECT_EQ(expanded.PVList[k]->ID, k);
    EXPECT_EQ(expanded.PVList[k]->StartTime, kReliabilityTimes[k]);
    EXPECT_EQ(expanded.PVList[k]->Workers[0]->StartTime, kReliabilityTimes[k]);
  }
  EXPECT_STREQ(expanded.PVList[6]->Name, "Availibility");
  EXPECT_EQ(expanded.PVList[6]->ID, 6);
  expanded.ConsiderOnly(nullptr, -1);
  std::vector<unsigned char> state(expanded.StateSize());
  auto* atomic = static_cast<AtomicModelSAN*>(expanded.ChildModel);
  expanded.FireAction(state.data(), &atomic->FailureA);
  for (int p = 0; p < 7; p++)
    EXPECT_EQ(expanded.PVList[p]->RewardValue, 0.0);
  EXPECT_EQ(atomic->FailureA.AffectedNodes.size(), 7);
}

TEST_F(RewardCalcPVModelTest, TypeFileListsBothVariables) {
  std::string expected = "Version:1\nNumPV:2\nName:Reliability\nType:0\nNumTimes:6\n";
  for (double t : kReliabilityTimes) {
    std::string time = std::to_string(static_cast<int>(t));
    expected += "Start:" + time + "\nStop:" + time + "\n";
  }
  expected += "Name:Availibility\nType:3\nNumTimes:1\nStart:0\nStop:1\n";

  std::string path =
      (std::filesystem::temp_directory_path() / ("example-" + std::to_string(getpid()) + ".pvtype"))
          .string();
  model->WritePVTypeFile(path.c_str());
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(), expected);
  std::filesystem::remove(path);
}
