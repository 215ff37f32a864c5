#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "model/BaseActionClass.h"
#include "state/Place.h"

namespace {

TEST(PlaceTest, NewPlace) {
  Place p("P", 3);
  EXPECT_STREQ(p.Name, "P");
  EXPECT_STREQ(p.Prefix, "");
  EXPECT_EQ(p.getMark(), 3);
  EXPECT_EQ(*p.ValuePtr, 3);
  EXPECT_EQ(p.Mark, p.ValuePtr);
  EXPECT_EQ(p.StateSize(), 2);
  EXPECT_EQ(p.getSharingCount(), 2);
  EXPECT_TRUE(p.getStored());
  EXPECT_FALSE(p.getShared());
  EXPECT_FALSE(p.getFunctionallyShared());
  EXPECT_EQ(p.MainSV, &p);
  EXPECT_TRUE(p.isLeafNode());
  EXPECT_EQ(p.getNumLeafNodes(), 1);
  // Registrations: the Mark field (no owner) in front of the value pointer.
  ASSERT_NE(p.getHead(), nullptr);
  EXPECT_EQ(p.getHead()->location, &p.Mark);
  EXPECT_EQ(p.getHead()->getOwner(), nullptr);
  ASSERT_NE(p.getHead()->next, nullptr);
  EXPECT_EQ(p.getHead()->next->location, &p.ValuePtr);
  EXPECT_EQ(p.getHead()->next->getOwner(), &p);
  EXPECT_EQ(p.getHead()->next->next, nullptr);

  Place unnamed;
  EXPECT_STREQ(unnamed.Name, "default");
  EXPECT_EQ(unnamed.getMark(), 0);
  Place zero("Z");
  EXPECT_EQ(zero.getMark(), 0);
}

TEST(PlaceTest, StateBytesAreTheHostShort) {
  Place p("P", -2);
  unsigned char buf[3] = {0xAA, 0xAA, 0xAA};
  p.CurrentState(buf + 1); // any alignment
  short expected = -2;
  EXPECT_EQ(std::memcmp(buf + 1, &expected, 2), 0);
  EXPECT_EQ(buf[0], 0xAA);
  Place q("Q", 5);
  q.SetState(buf + 1);
  EXPECT_EQ(q.getMark(), -2);
}

TEST(PlaceTest, Printing) {
  Place p("PlaceA", 1);
  std::ostringstream out;
  p.printState(&out);
  p.setMark(-12);
  p.printStateVal(&out);
  EXPECT_EQ(out.str(), "PlaceA = 1\n-12");
  testing::internal::CaptureStdout();
  p.printState();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "PlaceA = -12\n");
}

TEST(PlaceTest, ActionListsKeepEachActionOnce) {
  Place p("P");
  BaseActionClass a, b;
  p.appendAffectingAction(&a);
  p.appendAffectingAction(&a);
  p.appendAffectingAction(&b);
  EXPECT_EQ(p.getNumAffectingActions(), 2);
  p.appendEnabledAction(&b);
  p.appendEnabledAction(&b);
  EXPECT_EQ(p.getNumEnabledActions(), 1);
  EXPECT_EQ(p.getAffectingAction(1), &b);

  BaseActionClass c;
  p.replaceAffectingAction(&a, &c);
  EXPECT_EQ(p.getAffectingAction(0), &c);
  p.removeAffectingAction(&c);
  EXPECT_EQ(p.getNumAffectingActions(), 1);
  EXPECT_EQ(p.getAffectingAction(0), &b);
}

TEST(PlaceTest, OutOfRangeActionIndexReportsAndReturnsNull) {
  Place p("P");
  testing::internal::CaptureStderr();
  EXPECT_EQ(p.getEnabledAction(0), nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "!! BaseStateVariableClass::getEnabledAction(int):  EnabledAction index out of "
            "bounds\n");
  testing::internal::CaptureStderr();
  EXPECT_EQ(p.getAffectingAction(-1), nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "!! BaseStateVariableClass::getAffectingAction(int):  AffectingAction index out of "
            "bounds\n");
}

TEST(PlaceTest, PrintActionLists) {
  Place p("P");
  BaseActionClass a;
  p.appendEnabledAction(&a);
  std::ostringstream expected;
  expected << "Affecting actions for P:\nNo items in the list\n"
           << "Enabled actions for P:\n[0] " << static_cast<const void*>(&a) << "\n";
  testing::internal::CaptureStdout();
  p.printAffectingActions();
  p.printEnabledActions();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), expected.str());
}

TEST(PlaceTest, RegisteredPointersFollowTheStorage) {
  Place p("P", 4);
  short* cached = nullptr;
  p.RegisterPointer(&cached, nullptr);
  EXPECT_EQ(cached, p.Mark);
  EXPECT_EQ(p.getSharingCount(), 3);
  *cached = 11;
  EXPECT_EQ(p.getMark(), 11);
}

} // namespace
