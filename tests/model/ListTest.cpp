#include <gtest/gtest.h>

#include <vector>

#include "model/BaseActionClass.h"
#include "model/List.h"

namespace {

using ActionList = List<BaseActionClass>;

// Items in slot order.
std::vector<BaseActionClass*> items(const ActionList& l) {
  return std::vector<BaseActionClass*>(l.getList(), l.getList() + l.getNumItems());
}

class ListTest : public ::testing::Test {
protected:
  BaseActionClass pool[25];
  BaseActionClass* p(int i) { return &pool[i]; }
};

TEST_F(ListTest, DefaultListDoublesOnEleventhDistinctItem) {
  ActionList l;
  EXPECT_EQ(l.arraySize, 10);
  for (int i = 0; i < 10; i++)
    l.append(p(i));
  EXPECT_EQ(l.arraySize, 10);
  l.append(p(10));
  EXPECT_EQ(l.arraySize, 20);
  EXPECT_EQ(l.getNumItems(), 11);
  for (int i = 0; i < 11; i++)
    EXPECT_EQ(l[i], p(i));
  // The slots above the items are null after growth.
  for (int i = 11; i < 20; i++)
    EXPECT_EQ(l.list[i], nullptr);
}

TEST_F(ListTest, FullListDoublesEvenOnDuplicate) {
  ActionList l(2);
  l.append(p(0));
  l.append(p(1));
  l.append(p(0));
  EXPECT_EQ(l.arraySize, 4);
  EXPECT_EQ(items(l), (std::vector<BaseActionClass*>{p(0), p(1)}));
}

TEST_F(ListTest, DuplicatesAreIgnoredAcrossGrowthPoints) {
  for (int capacity : {1, 2, 3, 10}) {
    ActionList l(capacity);
    for (int round = 0; round < 3; round++)
      for (int i = 0; i < 25; i++)
        l.append(p(i));
    ASSERT_EQ(l.getNumItems(), 25) << "capacity " << capacity;
    for (int i = 0; i < 25; i++)
      EXPECT_EQ(l.getItem(i), p(i));
    EXPECT_GE(l.arraySize, 25);
  }
}

TEST_F(ListTest, ZeroCapacityListStillGrows) {
  ActionList l(0);
  EXPECT_GE(l.arraySize, 1);
  for (int i = 0; i < 5; i++)
    l.append(p(i));
  EXPECT_EQ(l.getNumItems(), 5);
  EXPECT_EQ(l.getItem(4), p(4));
}

TEST_F(ListTest, AppendArraySkipsHeldPointersAndIgnoresNonPositiveCount) {
  ActionList l;
  BaseActionClass* xs[] = {p(0), p(1), p(0), p(2)};
  l.append(xs, 0);
  l.append(xs, -3);
  EXPECT_EQ(l.getNumItems(), 0);
  l.append(xs, 4);
  EXPECT_EQ(items(l), (std::vector<BaseActionClass*>{p(0), p(1), p(2)}));
}

TEST_F(ListTest, AppendListGrowsToTwiceTheSumFirst) {
  ActionList l(4);
  l.append(p(0));
  l.append(p(1));
  l.append(p(2));
  ActionList other;
  other.append(p(2));
  other.append(p(3));
  other.append(p(4));
  l.append(&other);
  EXPECT_EQ(l.arraySize, 12);
  EXPECT_EQ(items(l), (std::vector<BaseActionClass*>{p(0), p(1), p(2), p(3), p(4)}));
}

TEST_F(ListTest, AppendListThatFitsKeepsCapacity) {
  ActionList l;
  l.append(p(0));
  ActionList other;
  other.append(p(1));
  l.append(&other);
  EXPECT_EQ(l.arraySize, 10);
  // Appending a list to itself adds nothing.
  l.append(&l);
  EXPECT_EQ(items(l), (std::vector<BaseActionClass*>{p(0), p(1)}));
}

TEST_F(ListTest, InsertItemAddsOnceWithoutGrowing) {
  ActionList l(3);
  l.insertItem(p(0));
  l.insertItem(p(0));
  l.insertItem(p(1));
  EXPECT_EQ(l.arraySize, 3);
  EXPECT_EQ(items(l), (std::vector<BaseActionClass*>{p(0), p(1)}));
}

TEST_F(ListTest, ReplaceItemCases) {
  BaseActionClass *a = p(0), *b = p(1), *c = p(2);
  {
    ActionList l; // both held: a goes, the last item takes its slot
    l.append(a);
    l.append(c);
    l.append(b);
    l.replaceItem(a, b);
    EXPECT_EQ(items(l), (std::vector<BaseActionClass*>{b, c}));
  }
  {
    ActionList l; // only old held: new takes its slot
    l.append(a);
    l.append(c);
    l.replaceItem(a, b);
    EXPECT_EQ(items(l), (std::vector<BaseActionClass*>{b, c}));
  }
  {
    ActionList l; // old not held: nothing
    l.append(c);
    l.replaceItem(a, b);
    EXPECT_EQ(items(l), (std::vector<BaseActionClass*>{c}));
  }
  {
    ActionList l; // replacing an item by itself keeps it
    l.append(a);
    l.append(c);
    l.replaceItem(a, a);
    EXPECT_EQ(items(l), (std::vector<BaseActionClass*>{a, c}));
  }
}

TEST_F(ListTest, RemoveMovesLastItemIntoTheGap) {
  ActionList l;
  l.append(p(0));
  l.append(p(1));
  l.append(p(2));
  l.remove(p(0));
  EXPECT_EQ(items(l), (std::vector<BaseActionClass*>{p(2), p(1)}));
  l.remove(p(5));
  EXPECT_EQ(l.getNumItems(), 2);
  l.remove(p(1));
  EXPECT_EQ(items(l), (std::vector<BaseActionClass*>{p(2)}));
  l.remove(p(2));
  EXPECT_EQ(l.getNumItems(), 0);
}

TEST_F(ListTest, RemoveSetOfItemsKeepsOrderOfTheRest) {
  ActionList l;
  for (int i = 0; i < 4; i++)
    l.append(p(i));
  ActionList other;
  other.append(p(1));
  other.append(p(3));
  other.append(p(7));
  l.removeSetOfItems(other);
  EXPECT_EQ(items(l), (std::vector<BaseActionClass*>{p(0), p(2)}));
  EXPECT_EQ(l.arraySize, 10);
  EXPECT_EQ(other.getNumItems(), 3);
}

TEST_F(ListTest, IncreaseArraySizeKeepsItemsAndNullsTheRest) {
  ActionList l(2);
  l.append(p(0));
  l.append(p(1));
  l.increaseArraySize(7);
  EXPECT_EQ(l.arraySize, 7);
  EXPECT_EQ(items(l), (std::vector<BaseActionClass*>{p(0), p(1)}));
  for (int i = 2; i < 7; i++)
    EXPECT_EQ(l.list[i], nullptr);
  // Never below the items held.
  l.increaseArraySize(1);
  EXPECT_EQ(l.arraySize, 2);
  EXPECT_EQ(items(l), (std::vector<BaseActionClass*>{p(0), p(1)}));
}

TEST_F(ListTest, ClearKeepsCapacityAndContainsFollowsItems) {
  ActionList l(1);
  l.append(p(0));
  l.append(p(1));
  EXPECT_TRUE(l.contains(p(1)));
  EXPECT_FALSE(l.contains(p(2)));
  int capacity = l.arraySize;
  l.clearList();
  EXPECT_EQ(l.getNumItems(), 0);
  EXPECT_EQ(l.arraySize, capacity);
  EXPECT_FALSE(l.contains(p(0)));
  l.append(p(0));
  EXPECT_EQ(items(l), (std::vector<BaseActionClass*>{p(0)}));
}

TEST_F(ListTest, PrintListShowsIndexAndAddress) {
  ActionList l;
  testing::internal::CaptureStdout();
  l.printList();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "No items in the list\n");

  l.append(p(0));
  l.append(p(1));
  std::ostringstream expected;
  expected << "[0] " << static_cast<const void*>(p(0)) << "\n"
           << "[1] " << static_cast<const void*>(p(1)) << "\n";
  testing::internal::CaptureStdout();
  l.printList();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), expected.str());
}

} // namespace
