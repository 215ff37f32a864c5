#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sstream>
#include <vector>

#include "model/SANModel.h"
#include "ssg/primes.h"
#include "state/Place.h"
#include "tests/model/TestActivity.h"

namespace {

// A SAN model over places with the given markings, optional read-only
// places, and activities named after their index.
class TestSAN : public SANModel {
public:
  std::vector<std::unique_ptr<Place>> places;
  std::vector<std::unique_ptr<Place>> readOnly;
  std::vector<std::unique_ptr<TestActivity>> activities;

  TestSAN(const char* name, std::vector<short> markings, std::vector<short> readOnlyMarkings = {},
          std::vector<const char*> activityNames = {}) {
    std::vector<BaseStateVariableClass*> local, shared;
    for (std::size_t i = 0; i < markings.size(); i++) {
      std::string placeName = "P" + std::to_string(i);
      places.push_back(std::make_unique<Place>(placeName.c_str(), markings[i]));
      local.push_back(places.back().get());
    }
    for (std::size_t i = 0; i < readOnlyMarkings.size(); i++) {
      std::string placeName = "R" + std::to_string(i);
      readOnly.push_back(std::make_unique<Place>(placeName.c_str(), readOnlyMarkings[i]));
      shared.push_back(readOnly.back().get());
    }
    std::vector<Activity*> acts;
    std::vector<BaseGroupClass*> groups;
    for (std::size_t i = 0; i < activityNames.size(); i++) {
      activities.push_back(std::make_unique<TestActivity>(activityNames[i], static_cast<int>(i)));
      acts.push_back(activities.back().get());
      groups.push_back(activities.back().get());
    }
    initializeSANModelNow(name, static_cast<int>(local.size()), local.data(),
                          static_cast<int>(shared.size()), shared.data(),
                          static_cast<int>(acts.size()), acts.data(),
                          static_cast<int>(groups.size()), groups.data());
  }
};

std::vector<unsigned char> bytesOf(std::vector<short> values) {
  std::vector<unsigned char> bytes(values.size() * sizeof(short));
  std::memcpy(bytes.data(), values.data(), bytes.size());
  return bytes;
}

TEST(SANModelTest, StateVectorIsPlacesInDeclarationOrder) {
  TestSAN m("M", {2, 0, 3});
  ASSERT_EQ(m.StateSize(), 6);
  EXPECT_TRUE(m.HasLocalState());
  std::vector<unsigned char> buf(6, 0xAA);
  m.CurrentState(buf.data());
  EXPECT_EQ(buf, bytesOf({2, 0, 3}));
  EXPECT_EQ(buf, (std::vector<unsigned char>{2, 0, 0, 0, 3, 0})); // this host is little-endian

  std::vector<unsigned char> other = bytesOf({-7, 300, 1});
  m.SetState(other.data());
  EXPECT_EQ(m.places[0]->getMark(), -7);
  EXPECT_EQ(m.places[1]->getMark(), 300);
  EXPECT_EQ(m.places[2]->getMark(), 1);
}

TEST(SANModelTest, ReadOnlyPlacesNeverCount) {
  TestSAN m("M", {}, {4, 5});
  EXPECT_EQ(m.StateSize(), 0);
  EXPECT_FALSE(m.HasLocalState());
  EXPECT_EQ(m.getNumStateVariables(), 2);
  TestSAN mixed("M", {1}, {4});
  EXPECT_EQ(mixed.StateSize(), 2);
  unsigned char buf[4] = {9, 9, 9, 9};
  mixed.CurrentState(buf);
  EXPECT_EQ(buf[2], 9); // nothing past the local place
}

TEST(SANModelTest, CompareStateLooksAtStateSizeBytesOnly) {
  TestSAN m("M", {1, 2});
  std::vector<unsigned char> a = bytesOf({1, 2, 5});
  std::vector<unsigned char> b = bytesOf({1, 2, 6});
  EXPECT_TRUE(m.CompareState(a.data(), b.data()));
  b[3] ^= 1;
  EXPECT_FALSE(m.CompareState(a.data(), b.data()));
  TestSAN empty("E", {});
  EXPECT_TRUE(empty.CompareState(a.data(), b.data()));
}

TEST(SANModelTest, SharedPlacesAreSkippedInTheVector) {
  TestSAN m("M", {1, 2, 3});
  Place outside("Outside", 8);
  // m's middle place joins a group whose main variable is elsewhere.
  outside.share(m.places[1].get());
  EXPECT_EQ(m.StateSize(), 4);
  std::vector<unsigned char> buf(4);
  m.CurrentState(buf.data());
  EXPECT_EQ(buf, bytesOf({1, 3}));
}

TEST(SANModelTest, IdsAndNames) {
  TestSAN a("A", {}), b("B", {});
  EXPECT_EQ(b.modelId, a.modelId + 1);
  EXPECT_EQ(a.parentId, a.modelId);
  EXPECT_EQ(BaseModelClass::globalModelId, b.modelId);
  b.SetParentId(a.modelId);
  EXPECT_EQ(b.parentId, a.modelId);
  EXPECT_STREQ(a.Name, "A");
  EXPECT_EQ(a.GetModelType(), 1);
  EXPECT_EQ(a.GetNumberOfChildren(), 0);
}

TEST(SANModelTest, InitializationRecordsArraysAndOwningModel) {
  TestSAN m("M", {1, 1}, {2}, {"x", "y"});
  EXPECT_EQ(m.numSVs, 3);
  EXPECT_EQ(m.numReadOnlyPlaces, 1);
  for (auto& a : m.activities)
    EXPECT_EQ(a->getOwningModel(), &m);
  Place* local[] = {m.places[1].get(), m.places[0].get()};
  EXPECT_FALSE(checkLocalSVs(&m, local));
  std::swap(local[0], local[1]);
  EXPECT_TRUE(checkLocalSVs(&m, local));
}

TEST(SANModelTest, ListingByName) {
  TestSAN m("M", {0, 0}, {0}, {"x", "y", "x"});
  List<BaseActionClass> actions;
  m.listActions("x", &actions);
  ASSERT_EQ(actions.getNumItems(), 1);
  EXPECT_EQ(actions[0], m.activities[0].get());
  m.listActions("nothing", &actions);
  EXPECT_EQ(actions.getNumItems(), 1);

  List<BaseStateVariableClass> svs;
  List<BaseModelClass> models;
  m.listSVs("Other", "P1", &svs, &models);
  EXPECT_EQ(svs.getNumItems(), 0);
  EXPECT_EQ(models.getNumItems(), 0);
  m.listSVs("M", "P1", &svs, &models);
  m.listSVs("M", "R0", &svs, &models);
  ASSERT_EQ(svs.getNumItems(), 2);
  EXPECT_EQ(svs[0], m.places[1].get());
  EXPECT_EQ(svs[1], m.readOnly[0].get());
  ASSERT_EQ(models.getNumItems(), 1);
  EXPECT_EQ(models[0], &m);

  List<BaseModelClass> found;
  m.listModels("N", &found);
  EXPECT_EQ(found.getNumItems(), 0);
  m.listModels("M", &found);
  EXPECT_EQ(found.getNumItems(), 1);

  List<BaseActionClass> all;
  m.listActions(&all);
  EXPECT_EQ(all.getNumItems(), 3);
  List<BaseGroupClass> groups;
  m.listGroups(&groups);
  EXPECT_EQ(groups.getNumItems(), 3);
}

TEST(SANModelTest, ArcsLinkBothSides) {
  TestSAN m("M", {1}, {}, {"t"});
  Place* p = m.places[0].get();
  TestActivity* t = m.activities[0].get();
  m.AddAffectArc(p, t);
  m.AddEnableArc(p, t);
  EXPECT_EQ(p->getNumAffectingActions(), 1);
  EXPECT_EQ(p->getEnabledAction(0), t);
  EXPECT_TRUE(t->IsAnAffectingStateVariable(p));
  EXPECT_EQ(t->EnablingSVs[0], p);
}

TEST(SANModelTest, LocalAndGlobalActions) {
  TestSAN one("One", {0, 0}, {}, {"a", "b", "c"});
  TestSAN two("Two", {0}, {}, {"d"});
  one.AddEnableArc(one.places[0].get(), one.activities[0].get());
  one.AddAffectArc(one.places[0].get(), one.activities[2].get());
  one.AddEnableArc(one.places[1].get(), one.activities[1].get());
  two.AddAffectArc(two.places[0].get(), two.activities[0].get());
  // one's first place joins two's place's group.
  two.places[0]->share(one.places[0].get());

  slist<BaseActionClass*> global;
  one.GetGlobalActions(global);
  std::vector<BaseActionClass*> expected = {one.activities[0].get(), one.activities[2].get()};
  std::sort(expected.rbegin(), expected.rend()); // descending address
  EXPECT_EQ(std::vector<BaseActionClass*>(global.begin(), global.end()), expected);

  slist<BaseActionClass*> local;
  one.GetLocalActions(local);
  EXPECT_EQ(std::vector<BaseActionClass*>(local.begin(), local.end()),
            std::vector<BaseActionClass*>{one.activities[1].get()});

  // Without sharing every action is local, in reverse index order.
  slist<BaseActionClass*> twoGlobal, twoLocal;
  TestSAN three("Three", {0}, {}, {"e", "f", "g"});
  three.GetGlobalActions(twoGlobal);
  three.GetLocalActions(twoLocal);
  EXPECT_TRUE(twoGlobal.empty());
  EXPECT_EQ(std::vector<BaseActionClass*>(twoLocal.begin(), twoLocal.end()),
            (std::vector<BaseActionClass*>{three.activities[2].get(), three.activities[1].get(),
                                           three.activities[0].get()}));
}

TEST(SANModelTest, PrintStateAndModelInfo) {
  TestSAN m("Mod", {1, -2}, {3}, {"t"});
  std::ostringstream out;
  m.printState(&out);
  EXPECT_EQ(out.str(),
            "Model: (" + std::to_string(m.modelId) + ")Mod\n  P0 = 1\n  P1 = -2\n  R0 = 3\n");

  m.AddAffectArc(m.places[0].get(), m.activities[0].get());
  testing::internal::CaptureStdout();
  m.PrintSANModelInfo();
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "SANModelInfo\n"
            "Number of Actions = 1, Number of Groups = 1, Number of State Variables = 3\n"
            "ActionName = t\nGroup Id = 0\nDistributionType = 1\nExecutionPolicy = 1\n"
            "Number of affected state variables = 1\nNumber of enabling state variables = 0\n"
            "\nGroup Name = t \nPlace Name = P0\nPlace Name = P1\nRead Only Place Name = R0\n");
}

using SANModelDeathTest = ::testing::Test;

TEST_F(SANModelDeathTest, UnsupportedOperationsAbort) {
  TestSAN m("M", {});
  EXPECT_DEATH(m.GetChild(0), "SANModel.*Assertion `false' failed");
  BaseModelClass& base = m;
  EXPECT_DEATH(base.BaseModelClass::GetModelType(), "BaseModelClass.*Assertion `false' failed");
  EXPECT_DEATH(base.BaseModelClass::HasLocalState(), "BaseModelClass.*Assertion `false' failed");
}

// Saved local states.

class LocalStateTest : public ::testing::Test {
protected:
  std::unique_ptr<SANModel::LocalState> stateOfBytes(std::vector<unsigned char> bytes) {
    // A model of ceil(n / 2) places gives a buffer of the right size; then
    // the bytes are set directly.
    std::vector<short> markings((bytes.size() + 1) / 2, 0);
    models.push_back(std::make_unique<TestSAN>("S", markings));
    auto s = std::make_unique<SANModel::LocalState>(models.back().get());
    s->StateBytesSize = static_cast<int>(bytes.size());
    if (!bytes.empty())
      std::memcpy(s->StateBytes, bytes.data(), bytes.size());
    return s;
  }
  std::vector<std::unique_ptr<TestSAN>> models;
};

TEST_F(LocalStateTest, HashWeightsSignedBytesByPrimes) {
  EXPECT_EQ(stateOfBytes({1, 2})->hash(), 1u * 2 + 2u * 3);
  EXPECT_EQ(stateOfBytes({0xFF})->hash(), 4294967294u);
  EXPECT_EQ(stateOfBytes({})->hash(), 0u);
  // Position 256 wraps round to the first prime.
  std::vector<unsigned char> long_(258, 0);
  long_[0] = 1;
  long_[255] = 1;
  long_[256] = 3;
  long_[257] = 0x80;
  std::uint32_t expected = 2u + 1619u + 3u * 2u + static_cast<std::uint32_t>(-128) * 3u;
  EXPECT_EQ(stateOfBytes(long_)->hash(), expected);
  EXPECT_EQ(primes[0], 2u);
  EXPECT_EQ(primes[255], 1619u);
}

TEST_F(LocalStateTest, CompareTreatsBytesAsUnsigned) {
  auto a = stateOfBytes({1, 0x80});
  auto b = stateOfBytes({1, 0x7F});
  auto c = stateOfBytes({1, 0x80});
  EXPECT_EQ(a->compare(*b), 1);
  EXPECT_EQ(b->compare(*a), -1);
  EXPECT_EQ(a->compare(*c), 0);
  EXPECT_EQ(stateOfBytes({})->compare(*stateOfBytes({})), 0);
}

TEST_F(LocalStateTest, CaptureAndRestoreModel) {
  TestSAN m("M", {5, -1, 9});
  State* s = nullptr;
  m.ConstructLocalState(s);
  ASSERT_NE(s, nullptr);
  m.GetLocalState(s);
  EXPECT_EQ(std::vector<unsigned char>(s->GetStatePtr(), s->GetStatePtr() + 6),
            bytesOf({5, -1, 9}));
  m.places[0]->setMark(0);
  m.places[2]->setMark(0);
  m.SetLocalState(s);
  EXPECT_EQ(m.places[0]->getMark(), 5);
  EXPECT_EQ(m.places[1]->getMark(), -1);
  EXPECT_EQ(m.places[2]->getMark(), 9);
  m.DestructLocalState(s);
  m.DestructLocalState(nullptr);
}

TEST_F(LocalStateTest, AssignmentCopiesEqualSizedImages) {
  auto a = stateOfBytes({1, 2, 3, 4});
  auto b = stateOfBytes({9, 8, 7, 6});
  State& target = *a;
  target = *b;
  EXPECT_EQ(a->compare(*b), 0);
  b->StateBytes[0] = 0;
  EXPECT_EQ(a->StateBytes[0], 9);
  target = *a;
  EXPECT_EQ(a->StateBytes[3], 6);
}

TEST_F(LocalStateTest, AssignmentOfDifferentSizeAborts) {
  auto a = stateOfBytes({1, 2});
  auto b = stateOfBytes({1, 2, 3, 4});
  State& target = *a;
  EXPECT_DEATH(target = *b, "SANModel.*Assertion `size == _localS->size' failed");
}

TEST_F(LocalStateTest, PrintsSignedBytesInFieldsOfFive) {
  auto s = stateOfBytes({1, 0xFF, 0x80, 0});
  testing::internal::CaptureStdout();
  s->print();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "    1   -1 -128    0\n");
}

class LocalStateFileTest : public LocalStateTest {
protected:
  void SetUp() override { file = std::tmpfile(); }
  void TearDown() override { std::fclose(file); }
  FILE* file = nullptr;
};

TEST_F(LocalStateFileTest, WriteThenReadRoundTrips) {
  ASSERT_NE(file, nullptr);
  auto written = stateOfBytes({3, 0, 0xFE, 0x11});
  EXPECT_FALSE(written->fwriteState(file));
  std::rewind(file);
  std::int32_t size = 0;
  ASSERT_EQ(std::fread(&size, sizeof size, 1, file), 1u);
  EXPECT_EQ(size, 4);
  std::rewind(file);
  auto read = stateOfBytes({0, 0, 0, 0});
  EXPECT_FALSE(read->freadState(file));
  EXPECT_EQ(read->compare(*written), 0);
  // Nothing left: the next read is short.
  EXPECT_TRUE(read->freadState(file));
  EXPECT_EQ(read->compare(*written), 0);
}

TEST_F(LocalStateFileTest, OversizedRecordIsRejected) {
  ASSERT_NE(file, nullptr);
  auto big = stateOfBytes({1, 2, 3, 4, 5, 6});
  big->fwriteState(file);
  std::rewind(file);
  auto small = stateOfBytes({7, 7});
  EXPECT_TRUE(small->freadState(file));
  EXPECT_EQ(small->StateBytesSize, 2);
  EXPECT_EQ(small->StateBytes[0], 7);
  EXPECT_EQ(small->StateBytes[1], 7);
}

TEST_F(LocalStateFileTest, ShorterRecordIsRejected) {
  // A record shorter than the state would restore a marking whose tail is
  // what the state held before.
  ASSERT_NE(file, nullptr);
  auto shorter = stateOfBytes({1, 2});
  shorter->fwriteState(file);
  auto empty = stateOfBytes({});
  empty->fwriteState(file);
  std::rewind(file);
  auto s = stateOfBytes({7, 7, 7, 7});
  EXPECT_TRUE(s->freadState(file));
  EXPECT_EQ(s->StateBytesSize, 4);
  EXPECT_EQ(s->compare(*stateOfBytes({7, 7, 7, 7})), 0);
  EXPECT_TRUE(s->freadState(file));
  EXPECT_EQ(s->StateBytesSize, 4);
}

TEST_F(LocalStateFileTest, NegativeSizeAndTruncatedRecordsReportFailure) {
  ASSERT_NE(file, nullptr);
  std::int32_t negative = -4;
  std::fwrite(&negative, sizeof negative, 1, file);
  std::rewind(file);
  auto s = stateOfBytes({5, 5});
  EXPECT_TRUE(s->freadState(file));
  EXPECT_EQ(s->StateBytesSize, 2);

  std::FILE* truncated = std::tmpfile();
  ASSERT_NE(truncated, nullptr);
  std::int32_t size = 2;
  std::fwrite(&size, sizeof size, 1, truncated);
  unsigned char one = 9;
  std::fwrite(&one, 1, 1, truncated);
  std::rewind(truncated);
  EXPECT_TRUE(s->freadState(truncated));
  EXPECT_EQ(s->StateBytes[0], 9); // what arrived is kept
  std::fclose(truncated);
}

} // namespace
