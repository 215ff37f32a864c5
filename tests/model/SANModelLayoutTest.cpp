#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "model/SANModel.h"
#include "state/Place.h"
#include "state/StructStateVariable.h"

// Plain places are read and written inline; these cases mix them with every
// other kind of variable and with sharing, and check the vectors against
// layouts worked out from the variables' definitions.

namespace {

// A SAN model over the given local variables (not owned).
class VariableSAN : public SANModel {
public:
  explicit VariableSAN(std::vector<BaseStateVariableClass*> local) {
    initializeSANModelNow("V", static_cast<int>(local.size()), local.data(), 0, nullptr, 0, nullptr,
                          0, nullptr);
  }
};

// A place that keeps its marking as a 4-byte int in the vector: a derived
// type whose state operations must be the ones used.
class WidePlace : public Place {
public:
  WidePlace(const char* name, short initial) : Place(name, initial) {}
  int StateSize() override { return 4; }
  void CurrentState(void* p) override { writeMemory(static_cast<int>(getMark()), p); }
  void SetState(void* p) override {
    int value = 0;
    readMemory2(p, &value);
    setMark(static_cast<short>(value));
  }
};

// A record of two 16-bit fields.
class PairRecord : public BaseStructStateVariable {
public:
  PairRecord(Place* first, Place* second) : BaseStructStateVariable("pair", "", types, 2) {
    fields[0].first = first;
    fields[1].first = second;
  }

private:
  static constexpr ArrayType types[2] = {SHORT_TYPE, SHORT_TYPE};
};

// Builds the expected vector value by value: shorts take 2 bytes, ints 4.
class Bytes {
public:
  Bytes& s(short v) { return put(&v, sizeof v); }
  Bytes& i(int v) { return put(&v, sizeof v); }
  std::vector<unsigned char> bytes;

private:
  Bytes& put(const void* p, std::size_t n) {
    const auto* c = static_cast<const unsigned char*>(p);
    bytes.insert(bytes.end(), c, c + n);
    return *this;
  }
};

std::vector<unsigned char> vectorOf(SANModel& m, std::size_t size) {
  std::vector<unsigned char> buf(size + 4, 0xEE);
  m.CurrentState(buf.data());
  // Nothing is written past the vector.
  for (std::size_t k = size; k < buf.size(); k++)
    EXPECT_EQ(buf[k], 0xEE) << "byte " << k;
  buf.resize(size);
  return buf;
}

TEST(SANModelLayoutTest, MixedVariablesKeepOrderAndWidths) {
  Place a("a", 5);
  WidePlace wide("wide", 7);
  Place first("first", -2), second("second", 9);
  PairRecord pair(&first, &second);
  SharableSV<short> bare;
  *bare.ValuePtr = 300;
  Place z("z", -1);
  VariableSAN m({&a, &wide, &pair, &bare, &z});

  const std::vector<unsigned char> expected = Bytes().s(5).i(7).s(-2).s(9).s(300).s(-1).bytes;
  ASSERT_EQ(m.StateSize(), 14);
  EXPECT_EQ(vectorOf(m, 14), expected);

  std::vector<unsigned char> next = Bytes().s(-5).i(1000).s(3).s(4).s(-300).s(2).bytes;
  m.SetState(next.data());
  EXPECT_EQ(a.getMark(), -5);
  EXPECT_EQ(wide.getMark(), 1000);
  EXPECT_EQ(first.getMark(), 3);
  EXPECT_EQ(second.getMark(), 4);
  EXPECT_EQ(*bare.ValuePtr, -300);
  EXPECT_EQ(z.getMark(), 2);
  EXPECT_EQ(vectorOf(m, 14), next);

  // Equality covers exactly the 14 bytes.
  std::vector<unsigned char> x = next, y = next;
  x.push_back(1);
  y.push_back(2);
  EXPECT_TRUE(m.CompareState(x.data(), y.data()));
  y[13] ^= 0x40;
  EXPECT_FALSE(m.CompareState(x.data(), y.data()));
}

TEST(SANModelLayoutTest, SharingAfterFirstUseIsSeen) {
  Place p0("p0", 1), p1("p1", 2), p2("p2", 3);
  VariableSAN m({&p0, &p1, &p2});
  EXPECT_EQ(vectorOf(m, 6), Bytes().s(1).s(2).s(3).bytes);

  // p1 joins a group held elsewhere: it leaves the vector and the size.
  Place outside("outside", 8);
  outside.share(&p1);
  outside.setMark(8);
  ASSERT_EQ(m.StateSize(), 4);
  EXPECT_EQ(vectorOf(m, 4), Bytes().s(1).s(3).bytes);
  std::vector<unsigned char> next = Bytes().s(-4).s(6).bytes;
  m.SetState(next.data());
  EXPECT_EQ(p0.getMark(), -4);
  EXPECT_EQ(p2.getMark(), 6);
  EXPECT_EQ(outside.getMark(), 8);
  EXPECT_EQ(p1.getMark(), 8);

  // p2 absorbs another stored place: it stays the group's storage (and
  // counts in the size) but, being shared, is left out of the vector.
  Place absorbed("absorbed", 11);
  p2.share(&absorbed);
  EXPECT_EQ(m.StateSize(), 4);
  EXPECT_EQ(vectorOf(m, 2), Bytes().s(-4).bytes);
}

TEST(SANModelLayoutTest, FlagsSetThroughTheSettersAreSeen) {
  // The layout is kept between calls; a flag changed through its setter
  // (or any field changed directly and announced) must still be seen.
  Place p0("p0", 1), p1("p1", 2), p2("p2", 3);
  VariableSAN m({&p0, &p1, &p2});
  EXPECT_EQ(vectorOf(m, 6), Bytes().s(1).s(2).s(3).bytes);
  p1.setShared(true);
  EXPECT_EQ(vectorOf(m, 4), Bytes().s(1).s(3).bytes);
  p1.setStored(false);
  EXPECT_EQ(m.StateSize(), 4);
  p1.shared = false;
  p1.stored = true;
  BaseStateVariableClass::noteSharingChange();
  EXPECT_EQ(m.StateSize(), 6);
  std::vector<unsigned char> next = Bytes().s(4).s(5).s(6).bytes;
  m.SetState(next.data());
  EXPECT_EQ(p1.getMark(), 5);
  EXPECT_EQ(vectorOf(m, 6), next);
}

TEST(SANModelLayoutTest, ReplacedPlacesAreFollowed) {
  Place p0("p0", 1), p1("p1", 2);
  VariableSAN m({&p0, &p1});
  EXPECT_EQ(vectorOf(m, 4), Bytes().s(1).s(2).bytes);

  // An entry overwritten in the array, by a derived type and then by a plain
  // place again, each time announced.
  WidePlace wide("wide", 40);
  m.Places[1] = &wide;
  m.PlacesChanged();
  ASSERT_EQ(m.StateSize(), 6);
  EXPECT_EQ(vectorOf(m, 6), Bytes().s(1).i(40).bytes);
  Place p3("p3", -9);
  m.Places[1] = &p3;
  m.PlacesChanged();
  ASSERT_EQ(m.StateSize(), 4);
  EXPECT_EQ(vectorOf(m, 4), Bytes().s(1).s(-9).bytes);
  std::vector<unsigned char> next = Bytes().s(7).s(8).bytes;
  m.SetState(next.data());
  EXPECT_EQ(p3.getMark(), 8);
  EXPECT_EQ(p1.getMark(), 2);

  // A new set of places through SetPlaces and through initialisation.
  BaseStateVariableClass* swapped[] = {&wide, &p0};
  m.SetPlaces(swapped);
  EXPECT_EQ(vectorOf(m, 6), Bytes().i(40).s(7).bytes);
  BaseStateVariableClass* three[] = {&p1, &p0, &p3};
  m.initializeSANModelNow("V", 3, three, 0, nullptr, 0, nullptr, 0, nullptr);
  EXPECT_EQ(vectorOf(m, 6), Bytes().s(2).s(7).s(8).bytes);
}

} // namespace
