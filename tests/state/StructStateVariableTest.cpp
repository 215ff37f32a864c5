#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <vector>

#include "model/BaseActionClass.h"
#include "state/Place.h"
#include "state/StructStateVariable.h"

namespace {

// A leaf holding one value of type T (8-byte and 1-byte elements).
template <class T> class ValueSV : public BaseStateVariableClass {
public:
  T value;
  ValueSV(const char* name, T v) : BaseStateVariableClass(name, ""), value(v) {}
  int StateSize() override { return sizeof(T); }
  void SetState(void* p) override { readMemory2(p, &value); }
  void CurrentState(void* p) override { writeMemory(value, p); }
  void share(BaseStateVariableClass*) override {}
};

// A structured variable whose children are given at construction.
class Record : public BaseStructStateVariable {
public:
  Record(const char* name, const std::vector<ArrayType>& types,
         const std::vector<BaseStateVariableClass*>& children)
      : BaseStructStateVariable(name, "", types.data(), static_cast<int>(types.size())) {
    for (std::size_t i = 0; i < children.size(); i++)
      fields[i].first = children[i];
  }
};

// A variable that cannot produce its leaf list.
class BrokenSV : public ValueSV<short> {
public:
  BrokenSV() : ValueSV<short>("broken", 0) {}
  List<BaseStateVariableClass>* getLeafNodes() override { return nullptr; }
};

TEST(StructStateVariableTest, FieldsAreLaidOutByElementSize) {
  Place s("s", -3);
  ValueSV<double> d("d", 2.5);
  ValueSV<char> c("c", 'z');
  Record r("r", {SHORT_TYPE, DOUBLE_TYPE, CHAR_TYPE}, {&s, &d, &c});
  EXPECT_EQ(r.StructSize, -1);
  ASSERT_EQ(r.StateSize(), 11);
  EXPECT_EQ(r.StructSize, 11);

  unsigned char buf[12];
  std::memset(buf, 0xEE, sizeof buf);
  r.CurrentState(buf);
  short s0;
  double d0;
  std::memcpy(&s0, buf, 2);
  std::memcpy(&d0, buf + 2, 8);
  EXPECT_EQ(s0, -3);
  EXPECT_EQ(d0, 2.5);
  EXPECT_EQ(buf[10], 'z');
  EXPECT_EQ(buf[11], 0xEE);

  short s1 = 40;
  double d1 = -1.25;
  std::memcpy(buf, &s1, 2);
  std::memcpy(buf + 2, &d1, 8);
  buf[10] = 'q';
  r.SetState(buf);
  EXPECT_EQ(s.getMark(), 40);
  EXPECT_EQ(d.value, -1.25);
  EXPECT_EQ(c.value, 'q');
}

TEST(StructStateVariableTest, NestedStructTakesItsChildsSize) {
  Place a("a", 1), b("b", 2), c("c", 3);
  Record inner("inner", {SHORT_TYPE, SHORT_TYPE}, {&a, &b});
  Record outer("outer", {STRUCT_TYPE, SHORT_TYPE}, {&inner, &c});
  EXPECT_EQ(outer.calculateStateSize(), 6);
  EXPECT_EQ(outer.StructSize, -1); // calculateStateSize does not cache
  EXPECT_EQ(outer.getType(0), STRUCT_TYPE);
  EXPECT_EQ(outer.getSize(), 2);
  std::vector<short> values(3);
  outer.CurrentState(values.data());
  EXPECT_EQ(values, (std::vector<short>{1, 2, 3}));

  List<BaseStateVariableClass>* leaves = outer.getLeafNodes();
  ASSERT_EQ(leaves->getNumItems(), 3);
  EXPECT_EQ(leaves->getItem(0), &a);
  EXPECT_EQ(leaves->getItem(1), &b);
  EXPECT_EQ(leaves->getItem(2), &c);
  delete leaves;
  EXPECT_EQ(outer.getNumLeafNodes(), 3);
  EXPECT_FALSE(outer.isLeafNode());
}

TEST(StructStateVariableTest, SizeIsCachedUntilFieldsChange) {
  BaseStructStateVariable empty;
  EXPECT_EQ(empty.StateSize(), 0);
  EXPECT_TRUE(empty.isLeafNode());
  EXPECT_EQ(empty.getNumLeafNodes(), 1);
  List<BaseStateVariableClass>* leaves = empty.getLeafNodes();
  EXPECT_EQ(leaves->getNumItems(), 0);
  delete leaves;

  const ArrayType types[] = {INT_TYPE, FLOAT_TYPE};
  empty.makeArrays(types, 2);
  EXPECT_EQ(empty.StructSize, -1);
  EXPECT_EQ(empty.StateSize(), 8);
  // A repeated field list counts each leaf once.
  Place p("p");
  Record twice("twice", {SHORT_TYPE, SHORT_TYPE}, {&p, &p});
  leaves = twice.getLeafNodes();
  EXPECT_EQ(leaves->getNumItems(), 1);
  delete leaves;
}

TEST(StructStateVariableTest, PrintsFieldsBetweenBraces) {
  Place a("a", 1), b("b", 2);
  Record s("S", {SHORT_TYPE, SHORT_TYPE}, {&a, &b});
  std::ostringstream out;
  s.printState(&out);
  EXPECT_EQ(out.str(), "S = {\n.a = 1\n.b = 2\n}\n");
}

TEST(StructStateVariableTest, ActionsListTheLeavesNotTheStructure) {
  Place a("a"), b("b"), c("c");
  Record inner("inner", {SHORT_TYPE}, {&b});
  Record s("s", {SHORT_TYPE, STRUCT_TYPE}, {&a, &inner});
  BaseActionClass t;
  t.addEnablingSV(&s);
  t.addAffectedSV(&s);
  t.addAffectedSV(&c);
  ASSERT_EQ(t.EnablingSVs.getNumItems(), 2);
  EXPECT_EQ(t.EnablingSVs[0], &a);
  EXPECT_EQ(t.EnablingSVs[1], &b);
  ASSERT_EQ(t.AffectedSVs.getNumItems(), 3);
  EXPECT_EQ(t.AffectedSVs[2], &c);
  t.removeEnablingSV(&s);
  EXPECT_EQ(t.EnablingSVs.getNumItems(), 0);
  t.removeAffectedSV(&s);
  ASSERT_EQ(t.AffectedSVs.getNumItems(), 1);
  EXPECT_EQ(t.AffectedSVs[0], &c);

  s.appendAffectingAction(&t);
  s.appendEnabledAction(&t);
  for (BaseStateVariableClass* v : std::vector<BaseStateVariableClass*>{&s, &a, &inner, &b}) {
    EXPECT_TRUE(v->getAffectingActions()->contains(&t)) << v->Name;
    EXPECT_TRUE(v->getEnabledActions()->contains(&t)) << v->Name;
  }
}

TEST(StructStateVariableTest, ShareWithJoinsCorrespondingFields) {
  Place s1("s1", 1), s2("s2", 2), o1("o1", 10), o2("o2", 20);
  Record s("S", {SHORT_TYPE, SHORT_TYPE}, {&s1, &s2});
  Record o("O", {SHORT_TYPE, SHORT_TYPE}, {&o1, &o2});
  BaseActionClass listsO, listsBoth;
  o.appendAffectingAction(&listsO);
  listsO.AffectedSVs.append(&o);
  o.appendEnabledAction(&listsBoth);
  s.appendEnabledAction(&listsBoth);
  listsBoth.EnablingSVs.append(&s);
  listsBoth.EnablingSVs.append(&o);

  s.share(&o);
  EXPECT_EQ(s1.getMark(), 10);
  EXPECT_EQ(s2.getMark(), 20);
  o1.setMark(5);
  EXPECT_EQ(s1.getMark(), 5);
  s2.setMark(6);
  EXPECT_EQ(o2.getMark(), 6);
  EXPECT_EQ(o1.MainSV, &s1);

  EXPECT_FALSE(o.getStored());
  EXPECT_TRUE(o.getShared());
  EXPECT_TRUE(s.getStored());
  EXPECT_FALSE(s.getShared());
  EXPECT_EQ(o.getAffectingActions(), s.getAffectingActions());
  EXPECT_EQ(o.getEnabledActions(), s.getEnabledActions());
  EXPECT_TRUE(s.getAffectingActions()->contains(&listsO));

  ASSERT_EQ(listsO.AffectedSVs.getNumItems(), 1);
  EXPECT_EQ(listsO.AffectedSVs[0], &s);
  ASSERT_EQ(listsBoth.EnablingSVs.getNumItems(), 1);
  EXPECT_EQ(listsBoth.EnablingSVs[0], &s);
}

TEST(StructStateVariableTest, TypedBufferHelpersWorkUnaligned) {
  unsigned char buf[1 + 3 * sizeof(double)];
  double in[3] = {1.5, -2.0, 1e300}, out[3] = {};
  writeArray(in, buf + 1, 3);
  readArray(out, buf + 1, 3);
  // The round trip must give the very bytes back, not just equal values.
  // NOLINTNEXTLINE(bugprone-suspicious-memory-comparison)
  EXPECT_EQ(std::memcmp(in, out, sizeof in), 0);
  writeMemory<int>(-77, buf + 1);
  int i = 0;
  readMemory2(buf + 1, &i);
  EXPECT_EQ(i, -77);
}

using StructStateVariableDeathTest = ::testing::Test;

TEST_F(StructStateVariableDeathTest, SharingFailuresAbort) {
  Place a("a"), b("b"), p("p");
  Record two("two", {SHORT_TYPE, SHORT_TYPE}, {&a, &b});
  Place c("c");
  Record one("one", {SHORT_TYPE}, {&c});
  EXPECT_DEATH(two.share(&p), "StructStateVariable.*Assertion `otherStruct' failed");
  EXPECT_DEATH(two.share(&one),
               "StructStateVariable.*Assertion `otheri!=otherStruct->fields.end\\(\\)' failed");
  BrokenSV broken;
  Record holder("holder", {SHORT_TYPE}, {&broken});
  EXPECT_DEATH(delete holder.getLeafNodes(), "StructStateVariable.*Assertion `childTemp' failed");
}

} // namespace
