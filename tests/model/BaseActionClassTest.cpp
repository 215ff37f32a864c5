#include <gtest/gtest.h>

#include <sstream>

#include "model/BaseActionClass.h"
#include "state/Place.h"

namespace {

// An action of m Erlang phases.
class ErlangAction : public BaseActionClass {
public:
  double phases;
  explicit ErlangAction(double m) : phases(m) { DistributionType = ERLANG; }
  double ErlangParamM() override { return phases; }
};

TEST(BaseActionClassTest, DefaultsAndPrintInfo) {
  BaseActionClass a;
  EXPECT_STREQ(a.ActionName, "default");
  EXPECT_EQ(a.GroupID, 0);
  EXPECT_EQ(a.Phase, 1);
  EXPECT_FALSE(a.Fired);
  EXPECT_FALSE(a.IsPVRateDSAllocated());
  EXPECT_FALSE(a.IsPVImpulseDSAllocated());
  EXPECT_EQ(a.OwningModel, nullptr);
  testing::internal::CaptureStdout();
  a.PrintInfo();
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "********* default**********\n\nEnabled by:\nAffects:\n"
            "Group ID = 0\nExecution Policy = 1\nDisabled = 1\nReactivation = 0\n"
            "DistributionType = 1\n");
}

TEST(BaseActionClassTest, PrintInfoListsVariablesAndParameters) {
  BaseActionClass a("Repair", 5, INSTANTANEOUS, DEFAULT_POLICY, 6, 2, true);
  Place up("Up"), down("Down");
  a.addEnablingSV(&down);
  a.addAffectedSV(&up);
  a.addAffectedSV(&down);
  a.Disabled = false;
  testing::internal::CaptureStdout();
  a.PrintInfo();
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "********* Repair**********\n\nEnabled by:\n           Down\nAffects:\n"
            "           Up\n           Down\nGroup ID = 5\nExecution Policy = 1\n"
            "Disabled = 0\nReactivation = 1\nDistributionType = 18\n");
}

TEST(BaseActionClassTest, ConsecutiveActionIds) {
  BaseActionClass a;
  BaseActionClass b;
  EXPECT_EQ(b.ActionID, a.ActionID + 1);
  EXPECT_EQ(BaseActionClass::MaxID, b.ActionID + 1);
}

TEST(BaseActionClassTest, InitializeCopiesTheName) {
  char name[] = "first";
  BaseActionClass a;
  a.BaseActionClassInitialize(name, 3, ERLANG, DEFAULT_POLICY, 0, 2, false);
  name[0] = 'X';
  EXPECT_STREQ(a.ActionName, "first");
  EXPECT_EQ(a.GroupID, 3);
  EXPECT_EQ(a.DistributionType, ERLANG);
  char* copy = a.defineName("second");
  EXPECT_EQ(copy, a.ActionName);
  EXPECT_STREQ(a.ActionName, "second");
}

TEST(BaseActionClassTest, ErlangPhases) {
  ErlangAction single(1.0);
  single.ResetPhase();
  EXPECT_TRUE(single.ReadyToFire());
  single.Age();
  EXPECT_FALSE(single.ReadyToFire());

  ErlangAction three(3.0);
  EXPECT_FALSE(three.ReadyToFire());
  three.Age();
  EXPECT_FALSE(three.ReadyToFire());
  three.Age();
  EXPECT_EQ(three.Phase, 3);
  EXPECT_TRUE(three.ReadyToFire());
  three.Age();
  EXPECT_FALSE(three.ReadyToFire());
  three.ResetPhase();
  EXPECT_EQ(three.Phase, 1);

  // Readiness is an exact comparison with the phase count.
  ErlangAction fractional(2.5);
  fractional.Age();
  EXPECT_FALSE(fractional.ReadyToFire());
}

TEST(BaseActionClassTest, StateVariableListsKeepLeavesOnce) {
  BaseActionClass a;
  Place p("P"), q("Q");
  a.addEnablingSV(&p);
  a.addEnablingSV(&p);
  a.addAffectedSV(&q);
  EXPECT_EQ(a.EnablingSVs.getNumItems(), 1);
  EXPECT_EQ(a.EnablingSVs[0], &p);
  a.removeEnablingSV(&p);
  a.removeAffectedSV(&p);
  EXPECT_EQ(a.EnablingSVs.getNumItems(), 0);
  EXPECT_EQ(a.AffectedSVs.getNumItems(), 1);

  p.setMark(4);
  q.setMark(-1);
  a.addAffectedSV(&p);
  std::ostringstream out;
  a.printAffectedState(&out);
  EXPECT_EQ(out.str(), "Q = -1\nP = 4\n");
}

TEST(BaseActionClassTest, RewardBookkeepingAllocation) {
  BaseActionClass a;
  a.DeallocatePVImpulseDS();
  a.DeallocatePVRateDS();
  EXPECT_FALSE(a.IsPVImpulseDSAllocated());

  a.AllocatePVRateDS(3);
  ASSERT_TRUE(a.IsPVRateDSAllocated());
  for (int v = 0; v < 3; v++)
    EXPECT_TRUE(a.PVRateDS[v].empty());
  a.PVRateDS[2].insert(7);

  a.AllocatePVImpulseDS(2);
  ASSERT_TRUE(a.IsPVImpulseDSAllocated());
  for (int v = 0; v < 2; v++) {
    EXPECT_TRUE(a.PVImpulseDS[v].empty());
    EXPECT_EQ(a.PVImpulseTable[v], nullptr);
    EXPECT_EQ(a.PVImpulseValueTable[v], nullptr);
  }
  a.DeallocatePVRateDS();
  a.DeallocatePVImpulseDS();
  EXPECT_FALSE(a.IsPVRateDSAllocated());
  EXPECT_FALSE(a.IsPVImpulseDSAllocated());
  EXPECT_EQ(a.PVImpulseTable, nullptr);
  EXPECT_EQ(a.PVImpulseValueTable, nullptr);
}

} // namespace
