#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <deque>
#include <set>
#include <string>
#include <vector>

#include "example/AtomicModelSAN.h"

namespace {

// Markings in place order: PlaceB, B_Failure, PlaceC, C_Failure, FailState,
// PlaceA, A_Failure, BCCounter, FirstTimeFailure.
using Marking = std::array<short, 9>;
enum { B = 0, BF, C, CF, FS, A, AF, BCC, FTF };

Marking MarkingOf(AtomicModelSAN& m) {
  Marking mk;
  m.CurrentState(mk.data());
  return mk;
}

std::vector<std::string> EnabledNames(AtomicModelSAN& m) {
  std::vector<std::string> names;
  for (int i = 0; i < m.numActions; i++)
    if (m.Actions[i]->Enabled())
      names.emplace_back(m.Actions[i]->ActionName);
  return names;
}

class AtomicModelSANTest : public testing::Test {
protected:
  void SetUp() override {
    lambda = 0.1;
    meo = 2.0;
  }
  AtomicModelSAN model;
};

} // namespace

TEST_F(AtomicModelSANTest, StructureFollowsDefinition) {
  EXPECT_STREQ(model.Name, "AtomicModel");
  EXPECT_EQ(model.numSVs, 9);
  EXPECT_EQ(model.numReadOnlyPlaces, 0);
  EXPECT_EQ(model.StateSize(), 18);
  const char* places[9] = {"PlaceB", "B_Failure", "PlaceC",    "C_Failure",       "FailState",
                           "PlaceA", "A_Failure", "BCCounter", "FirstTimeFailure"};
  for (int i = 0; i < 9; i++)
    EXPECT_STREQ(model.Places[i]->Name, places[i]);

  struct {
    const char* name;
    int group;
    Distribution dist;
  } actions[7] = {{"FailureBC", 6, INSTANTANEOUS},       {"FailureB", 0, EXPONENTIAL},
                  {"Activity_Repair_B", 1, EXPONENTIAL}, {"FailureC", 2, EXPONENTIAL},
                  {"Activity_Repair_C", 3, EXPONENTIAL}, {"FailureA", 4, EXPONENTIAL},
                  {"Activity_Repair_A", 5, EXPONENTIAL}};
  ASSERT_EQ(model.numActions, 7);
  ASSERT_EQ(model.numGroups, 7);
  for (int i = 0; i < 7; i++) {
    BaseActionClass* a = model.Actions[i];
    EXPECT_STREQ(a->ActionName, actions[i].name);
    EXPECT_EQ(a->GroupID, actions[i].group);
    EXPECT_EQ(a->DistributionType, actions[i].dist);
    EXPECT_EQ(a->ExecPolicy, DEFAULT_POLICY);
    // Each activity is its own group, at its group id.
    EXPECT_EQ(static_cast<BaseActionClass*>(model.Groups[actions[i].group]), a);
    EXPECT_EQ(a->Rank(), 1);
    EXPECT_EQ(a->Weight(), 1.0);
  }
}

TEST_F(AtomicModelSANTest, InitialStateVector) {
  unsigned char bytes[18];
  model.CurrentState(bytes);
  Marking expected = {2, 0, 3, 0, 0, 1, 0, 0, 0};
  EXPECT_EQ(std::memcmp(bytes, expected.data(), 18), 0);
}

TEST_F(AtomicModelSANTest, ArcsAndLinksFollowDeclarationOrder) {
  Place* failState = model.FailState;
  const char* affecting[5] = {"FailureBC", "Activity_Repair_B", "Activity_Repair_C", "FailureA",
                              "Activity_Repair_A"};
  ASSERT_EQ(failState->getNumAffectingActions(), 5);
  for (int i = 0; i < 5; i++)
    EXPECT_STREQ(failState->getAffectingAction(i)->ActionName, affecting[i]);
  EXPECT_EQ(failState->getNumEnabledActions(), 7);
  BaseActionClass* failureA = &model.FailureA;
  const char* affected[4] = {"FailState", "A_Failure", "PlaceA", "FirstTimeFailure"};
  ASSERT_EQ(failureA->AffectedSVs.getNumItems(), 4);
  for (int i = 0; i < 4; i++)
    EXPECT_STREQ(failureA->AffectedSVs[i]->Name, affected[i]);
  ASSERT_EQ(failureA->EnablingSVs.getNumItems(), 2);
  EXPECT_STREQ(failureA->EnablingSVs[0]->Name, "PlaceA");
  EXPECT_STREQ(failureA->EnablingSVs[1]->Name, "FailState");
  // Two own registrations, plus one per activity slot naming the place.
  EXPECT_EQ(model.FailState->getSharingCount(), 2 + 7);
  EXPECT_EQ(model.PlaceB->getSharingCount(), 2 + 2);
  EXPECT_EQ(model.FailureB.PlaceB_Mark, model.PlaceB->Mark);
}

TEST_F(AtomicModelSANTest, InitialMarkingEnablesTheThreeFailures) {
  EXPECT_EQ(EnabledNames(model), (std::vector<std::string>{"FailureB", "FailureC", "FailureA"}));
  EXPECT_DOUBLE_EQ(model.FailureB.Rate(), 2 * 0.5 * 0.1);
  EXPECT_DOUBLE_EQ(model.FailureC.Rate(), 3 * 0.1);
  EXPECT_DOUBLE_EQ(model.FailureA.Rate(), 0.25 * 0.1);
  EXPECT_EQ(model.FailureBC.Rate(), 0.0);
  double* params = model.FailureC.ReturnDistributionParameters();
  ASSERT_NE(params, nullptr);
  EXPECT_DOUBLE_EQ(params[0], 0.3);
  EXPECT_EQ(model.FailureBC.ReturnDistributionParameters(), nullptr);
  // Rates read the global variables when evaluated.
  lambda = 1.0;
  EXPECT_DOUBLE_EQ(model.FailureC.Rate(), 3.0);
}

TEST_F(AtomicModelSANTest, FailureAThenRepairARestoresSystem) {
  EXPECT_EQ(model.FailureA.Fire(), &model.FailureA);
  EXPECT_EQ(MarkingOf(model), (Marking{2, 0, 3, 0, 1, 0, 1, 0, 1}));
  EXPECT_EQ(EnabledNames(model), (std::vector<std::string>{"Activity_Repair_A"}));
  EXPECT_DOUBLE_EQ(model.Activity_Repair_A.Rate(), 0.25 * 2.0);
  model.Activity_Repair_A.Fire();
  // The repair reset clears FailState; the first failure stays recorded.
  EXPECT_EQ(MarkingOf(model), (Marking{2, 0, 3, 0, 0, 1, 0, 0, 1}));
}

TEST_F(AtomicModelSANTest, FifthBOrCFailureTriggersFailureBC) {
  model.FailureB.Fire();
  model.FailureB.Fire();
  model.FailureC.Fire();
  model.FailureC.Fire();
  EXPECT_FALSE(model.FailureBC.Enabled());
  model.FailureC.Fire();
  EXPECT_EQ(MarkingOf(model), (Marking{0, 2, 0, 3, 0, 1, 0, 5, 0}));
  EXPECT_TRUE(model.FailureBC.Enabled());
  model.FailureBC.Fire();
  EXPECT_EQ(MarkingOf(model), (Marking{0, 2, 0, 3, 1, 1, 0, 5, 1}));
  EXPECT_EQ(EnabledNames(model),
            (std::vector<std::string>{"Activity_Repair_B", "Activity_Repair_C"}));
  EXPECT_DOUBLE_EQ(model.Activity_Repair_B.Rate(), 2 * 0.5 * 2.0);
  EXPECT_DOUBLE_EQ(model.Activity_Repair_C.Rate(), 3 * 2.0);
}

TEST_F(AtomicModelSANTest, RepairResetsOnlyWhenNothingElseFailed) {
  Marking failed = {0, 2, 0, 3, 1, 1, 0, 5, 1};
  model.SetState(failed.data());
  model.Activity_Repair_B.Fire();
  EXPECT_EQ(MarkingOf(model), (Marking{1, 1, 0, 3, 1, 1, 0, 4, 1}));
  model.Activity_Repair_B.Fire();
  model.Activity_Repair_C.Fire();
  model.Activity_Repair_C.Fire();
  EXPECT_EQ(MarkingOf(model)[FS], 1);
  model.Activity_Repair_C.Fire();
  EXPECT_EQ(MarkingOf(model), (Marking{2, 0, 3, 0, 0, 1, 0, 0, 1}));
}

TEST_F(AtomicModelSANTest, ExplorationReachesFortyFourStableMarkings) {
  // Breadth-first over stable markings; a marking in which the
  // instantaneous FailureBC is enabled is left at once through it.
  std::set<Marking> seen;
  std::deque<Marking> queue;
  Marking initial = MarkingOf(model);
  seen.insert(initial);
  queue.push_back(initial);
  int vanishing = 0;
  while (!queue.empty()) {
    Marking from = queue.front();
    queue.pop_front();
    for (int i = 1; i < model.numActions; i++) {
      model.SetState(from.data());
      BaseActionClass* a = model.Actions[i];
      if (!a->Enabled())
        continue;
      EXPECT_GT(a->Rate(), 0.0);
      a->Fire();
      if (model.FailureBC.Enabled()) {
        vanishing++;
        model.FailureBC.Fire();
        ASSERT_FALSE(model.FailureBC.Enabled());
      }
      Marking to = MarkingOf(model);
      if (seen.insert(to).second)
        queue.push_back(to);
    }
  }
  EXPECT_EQ(seen.size(), 44u);
  EXPECT_GT(vanishing, 0);
  for (const Marking& m : seen) {
    EXPECT_GE(m[FS], 0);
    EXPECT_LE(m[FS], 1);
    EXPECT_EQ(m[B] + m[BF], 2);
    EXPECT_EQ(m[C] + m[CF], 3);
    EXPECT_EQ(m[A] + m[AF], 1);
    EXPECT_EQ(m[BCC], m[BF] + m[CF]);
  }
}
