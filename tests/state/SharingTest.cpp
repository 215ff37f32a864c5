#include <gtest/gtest.h>

#include "model/BaseActionClass.h"
#include "state/Place.h"
#include "state/StructStateVariable.h"

namespace {

// Every place of the group reads `value`, and a write through any one of
// them is seen by all.
void expectOneValue(std::initializer_list<Place*> group, short value) {
  for (Place* p : group)
    EXPECT_EQ(p->getMark(), value) << p->Name;
  short probe = 100;
  for (Place* writer : group) {
    writer->setMark(++probe);
    for (Place* p : group)
      EXPECT_EQ(p->getMark(), probe) << writer->Name << " -> " << p->Name;
  }
}

// Makes p an enabling and affected variable of its own action, as model
// arcs do.
void link(Place& p, BaseActionClass& a) {
  p.appendAffectingAction(&a);
  a.addAffectedSV(&p);
  p.appendEnabledAction(&a);
  a.addEnablingSV(&p);
}

TEST(SharingTest, TwoUnsharedPlacesJoinUnderTheCaller) {
  Place a("a", 1), b("b", 7);
  BaseActionClass ta, tb, both;
  link(a, ta);
  link(b, tb);
  link(a, both);
  link(b, both);

  a.share(&b);
  expectOneValue({&a, &b}, 7); // the other's value survives
  EXPECT_EQ(a.MainSV, &a);
  EXPECT_EQ(b.MainSV, &a);
  EXPECT_TRUE(a.getStored());
  EXPECT_TRUE(a.getShared());
  EXPECT_FALSE(b.getStored());
  EXPECT_TRUE(b.getShared());
  EXPECT_EQ(a.getSharingCount(), 4);
  EXPECT_EQ(b.getHead(), nullptr);

  // One pair of lists holding every action once.
  EXPECT_EQ(b.getAffectingActions(), a.getAffectingActions());
  EXPECT_EQ(b.getEnabledActions(), a.getEnabledActions());
  EXPECT_EQ(a.getNumAffectingActions(), 3);
  EXPECT_EQ(a.getNumEnabledActions(), 3);

  // Actions that listed b list a, and never twice.
  EXPECT_EQ(tb.AffectedSVs.getNumItems(), 1);
  EXPECT_EQ(tb.AffectedSVs[0], &a);
  EXPECT_EQ(tb.EnablingSVs[0], &a);
  EXPECT_EQ(both.AffectedSVs.getNumItems(), 1);
  EXPECT_EQ(both.AffectedSVs[0], &a);
  EXPECT_EQ(both.EnablingSVs.getNumItems(), 1);
  EXPECT_EQ(ta.AffectedSVs[0], &a);
}

TEST(SharingTest, UnsharedPlaceJoinsAMembersGroup) {
  Place a("a", 1), b("b", 2), x("x", 9);
  BaseActionClass tx;
  link(x, tx);
  a.share(&b); // group {a, b}, value 2, main a
  x.share(&b); // x is absorbed; the group keeps its value
  expectOneValue({&a, &b, &x}, 2);
  EXPECT_EQ(x.MainSV, &a);
  EXPECT_FALSE(x.getStored());
  EXPECT_EQ(a.getSharingCount(), 6);
  EXPECT_EQ(x.getAffectingActions(), a.getAffectingActions());
  EXPECT_TRUE(a.getAffectingActions()->contains(&tx));
}

TEST(SharingTest, MemberAbsorbsAnUnsharedPlace) {
  Place a("a", 1), b("b", 2), y("y", 9);
  BaseActionClass ty;
  link(y, ty);
  a.share(&b);
  b.share(&y); // y joins b's group, whose main variable is a
  expectOneValue({&a, &b, &y}, 2);
  EXPECT_EQ(y.MainSV, &a);
  EXPECT_EQ(a.getSharingCount(), 6);
  EXPECT_EQ(ty.AffectedSVs[0], &a);
  EXPECT_EQ(ty.EnablingSVs[0], &a);
  EXPECT_TRUE(a.getEnabledActions()->contains(&ty));
}

TEST(SharingTest, TwoGroupsJoinSmallerCountIntoOther) {
  Place a("a", 1), b("b", 2), c("c", 3), d("d", 4);
  short* cached = nullptr; // an activity's cached pointer into the {a, b} group
  a.RegisterPointer(&cached, nullptr);
  a.share(&b); // {a, b}: count 5, b's own count 2
  c.share(&d); // {c, d}: count 4
  // b's own count (2) does not exceed c's (4): the {a, b} group is absorbed.
  b.share(&d);
  expectOneValue({&a, &b, &c, &d}, 4);
  EXPECT_EQ(cached, c.Mark);
  EXPECT_EQ(c.MainSV, &c);
  for (Place* p : {&a, &b, &d})
    EXPECT_EQ(p->MainSV, &c) << p->Name;
  EXPECT_TRUE(c.getStored());
  EXPECT_FALSE(a.getStored());
  EXPECT_EQ(c.getSharingCount(), 9);
  for (Place* p : {&a, &b, &d})
    EXPECT_EQ(p->getAffectingActions(), c.getAffectingActions()) << p->Name;
}

TEST(SharingTest, TwoGroupsJoinIntoCallerWhenItsCountIsLarger) {
  Place a("a", 1), b("b", 2), c("c", 3), d("d", 4);
  short* extra[3];
  for (short*& e : extra)
    b.RegisterPointer(&e, nullptr); // b's own count becomes 5
  a.share(&b);                      // {a, b}, value 2
  c.share(&d);                      // {c, d}, count 4
  BaseActionClass td;
  link(d, td);
  b.share(&d); // 5 > 4: {c, d} is absorbed into a's group
  expectOneValue({&a, &b, &c, &d}, 2);
  for (short* e : extra)
    EXPECT_EQ(e, a.Mark);
  for (Place* p : {&b, &c, &d})
    EXPECT_EQ(p->MainSV, &a) << p->Name;
  EXPECT_EQ(a.getSharingCount(), 11);
  EXPECT_EQ(td.AffectedSVs[0], &a);
  EXPECT_TRUE(a.getAffectingActions()->contains(&td));
}

TEST(SharingTest, SharingWithinOneGroupChangesNothing) {
  Place a("a", 1), b("b", 2);
  a.share(&b);
  a.share(&a);
  a.share(&b);
  b.share(&a);
  expectOneValue({&a, &b}, 2);
  EXPECT_EQ(a.getSharingCount(), 4);
  EXPECT_TRUE(a.getStored());
  EXPECT_FALSE(b.getStored());
}

TEST(SharingTest, AffectingActionsGoToTheGroupListOnce) {
  Place a("a"), b("b");
  a.share(&b);
  BaseActionClass t, u;
  a.appendAffectingAction(&t);
  a.appendAffectingAction(&t);
  EXPECT_EQ(a.getNumAffectingActions(), 1);
  // A member's arcs reach the group's list too.
  b.appendAffectingAction(&u);
  b.appendAffectingAction(&t);
  EXPECT_EQ(a.getNumAffectingActions(), 2);
  EXPECT_TRUE(a.getAffectingActions()->contains(&u));
}

TEST(SharingTest, MemberMayBeDestroyedFirst) {
  Place a("a", 6);
  {
    Place b("b", 1);
    a.share(&b);
  }
  EXPECT_EQ(a.getMark(), 1);
  a.setMark(2);
  EXPECT_EQ(a.getMark(), 2);
}

using SharingDeathTest = ::testing::Test;

TEST_F(SharingDeathTest, SharingWithAnotherKindOfVariableAborts) {
  Place p("p");
  BaseStructStateVariable s("s", "");
  EXPECT_DEATH(p.share(&s), "SharableSV.*Assertion `otherSV' failed");
}

} // namespace
