#include <cstring>
#include <deque>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ssg/Queue.h"

namespace {

const unsigned Width = 6;

// A record whose vector encodes its number, so order and content can be
// checked together.
struct Record {
  explicit Record(unsigned number) : vector(Width) {
    for (unsigned i = 0; i < Width; i++)
      vector[i] = static_cast<char>((number >> (i % 4 * 8)) + i);
    record.state = vector.data();
    record.number = number;
  }
  std::vector<char> vector;
  state_struct record;
};

void enqueue(Queue& q, unsigned number) {
  Record r(number);
  q.Enqueue(&r.record);
}

// Dequeues one record and checks that it is `number` with its vector.
void expectNext(Queue& q, unsigned number) {
  state_struct* s = q.Dequeue();
  ASSERT_NE(s, nullptr) << "expected record " << number;
  ASSERT_EQ(s->number, number);
  Record expected(number);
  ASSERT_EQ(std::memcmp(s->state, expected.vector.data(), Width), 0) << "vector of " << number;
}

} // namespace

TEST(QueueTest, FirstRecordLandsAtIndexOne) {
  Queue q(Width);
  enqueue(q, 7);
  EXPECT_EQ(q.Back, 1);
  EXPECT_EQ(q.Front, 1);
  EXPECT_EQ(q.Current_Size, 1);
  EXPECT_EQ(q.Elements[1]->number, 7u);
  EXPECT_EQ(q.Elements[0]->number, 0u);
}

TEST(QueueTest, DequeueOnEmptyReturnsNullAndChangesNothing) {
  Queue q(Width);
  EXPECT_EQ(q.Dequeue(), nullptr);
  EXPECT_EQ(q.Front, 1);
  EXPECT_EQ(q.Back, 0);
  EXPECT_EQ(q.Current_Size, 0);
  enqueue(q, 1);
  expectNext(q, 1);
  EXPECT_EQ(q.Dequeue(), nullptr);
  EXPECT_EQ(q.Front, 2);
  EXPECT_EQ(q.Back, 1);
  EXPECT_EQ(q.Current_Size, 0);
}

TEST(QueueTest, GrowsByFiveThousandAndKeepsOrder) {
  // Sizes around each growth point.
  const unsigned sizes[] = {1, 4999, 5000, 5001, 9999, 10000, 10001, 15001};
  for (unsigned n : sizes) {
    SCOPED_TRACE(n);
    Queue q(Width);
    for (unsigned i = 1; i <= n; i++)
      enqueue(q, i);
    const unsigned capacity = (n + 4999) / 5000 * 5000;
    EXPECT_EQ(q.Max_Size, capacity);
    EXPECT_EQ(q.Growth_Steps, capacity / 5000);
    EXPECT_EQ(q.Current_Size, static_cast<int>(n));
    for (unsigned i = 1; i <= n; i++)
      expectNext(q, i);
    EXPECT_EQ(q.Dequeue(), nullptr);
  }
}

TEST(QueueTest, WrapsAroundWithoutGrowing) {
  Queue q(Width);
  for (unsigned i = 1; i <= 5000; i++)
    enqueue(q, i);
  for (unsigned i = 1; i <= 3000; i++)
    expectNext(q, i);
  for (unsigned i = 5001; i <= 8000; i++)
    enqueue(q, i);
  EXPECT_EQ(q.Max_Size, 5000u);
  EXPECT_EQ(q.Current_Size, 5000);
  // Index 0 is used once the indices wrap.
  EXPECT_EQ(q.Elements[0]->number, 5000u);
  for (unsigned i = 3001; i <= 8000; i++)
    expectNext(q, i);
  EXPECT_EQ(q.Dequeue(), nullptr);
}

TEST(QueueTest, GrowsWhileWrappedAndKeepsOrder) {
  Queue q(Width);
  for (unsigned i = 1; i <= 5000; i++)
    enqueue(q, i);
  for (unsigned i = 1; i <= 3000; i++)
    expectNext(q, i);
  for (unsigned i = 5001; i <= 8001; i++)
    enqueue(q, i);
  EXPECT_EQ(q.Max_Size, 10000u);
  EXPECT_EQ(q.Current_Size, 5001);
  for (unsigned i = 3001; i <= 8001; i++)
    expectNext(q, i);
  EXPECT_EQ(q.Dequeue(), nullptr);
}

TEST(QueueTest, RecordsStayPutUntilGrowth) {
  Queue q(Width);
  state_struct** elements = q.Elements;
  std::vector<char*> vectors;
  for (unsigned i = 0; i < q.Max_Size; i++)
    vectors.push_back(q.Elements[i]->state);
  for (unsigned round = 0; round < 3; round++) {
    for (unsigned i = 1; i <= 4000; i++)
      enqueue(q, i);
    for (unsigned i = 1; i <= 4000; i++)
      expectNext(q, i);
  }
  EXPECT_EQ(q.Elements, elements);
  for (unsigned i = 0; i < q.Max_Size; i++)
    ASSERT_EQ(q.Elements[i]->state, vectors[i]);
}

TEST(QueueTest, MakeEmptyForgetsRecordsAndRestartsAtIndexOne) {
  Queue q(Width);
  for (unsigned i = 1; i <= 10; i++)
    enqueue(q, i);
  q.Make_Empty();
  EXPECT_EQ(q.Dequeue(), nullptr);
  enqueue(q, 77);
  EXPECT_EQ(q.Back, 1);
  expectNext(q, 77);
}

TEST(QueueTest, MatchesReferenceUnderMixedTraffic) {
  Queue q(Width);
  std::deque<unsigned> reference;
  std::mt19937 random(12345);
  unsigned next = 1;
  // Mostly enqueues, so the queue grows several times while wrapped.
  for (int step = 0; step < 60000; step++) {
    if (random() % 3 != 0) {
      enqueue(q, next);
      reference.push_back(next++);
    } else if (!reference.empty()) {
      expectNext(q, reference.front());
      reference.pop_front();
    } else {
      ASSERT_EQ(q.Dequeue(), nullptr);
    }
    ASSERT_EQ(q.Current_Size, static_cast<int>(reference.size()));
  }
  EXPECT_GT(q.Growth_Steps, 2);
  for (unsigned n : reference)
    expectNext(q, n);
}

TEST(QueueTest, PrintListsQueuedVectorsNewestFirstDownToIndexOne) {
  Queue q(2);
  char v[2];
  state_struct r{v, 0};
  // Fill, drain most and refill so the queued records straddle index 0.
  for (unsigned i = 1; i <= 5000; i++) {
    v[0] = static_cast<char>(i % 200);
    v[1] = static_cast<char>(i % 7);
    r.number = i;
    q.Enqueue(&r);
  }
  for (unsigned i = 1; i <= 4998; i++)
    q.Dequeue();
  for (unsigned i = 5001; i <= 5002; i++) {
    v[0] = static_cast<char>(i % 200);
    v[1] = static_cast<char>(i % 7);
    r.number = i;
    q.Enqueue(&r);
  }
  // Back is index 2: the lines count down from it and stop at index 1; the
  // records at index 0 and at the top of the buffer give empty lines.
  std::ostringstream expected;
  for (unsigned i = 5002; i >= 5001; i--)
    expected << i % 200 << ' ' << i % 7 << " \n";
  expected << "\n\n";
  ::testing::internal::CaptureStdout();
  q.Print();
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), expected.str());
}
