#ifndef SSG_QUEUE_H
#define SSG_QUEUE_H

#include <cstdint>

#include "ssg/state_struct.h"

// The states that have been numbered but not yet explored, oldest first.
//
// Layout: a circular buffer `Elements` of Max_Size record pointers. All
// records of the buffer, and all their state vectors, are allocated in
// advance in one block each (Max_Size records, Max_Size * Element_Size
// vector bytes), so Enqueue and Dequeue never allocate: Enqueue costs one
// copy of a state vector, Dequeue costs nothing.
//
// Invariant: the queued records are those at Front, Front+1, ..., Back
// (indices modulo Max_Size), Current_Size of them; an empty queue has Back
// one position before Front. A new queue starts at index 1, so index 0 is
// first used after the indices wrap around.
//
// Growth: a full queue grows by 5000 records (not by doubling): a new block of
// the new capacity is allocated, the queued records are moved to positions
// 1, 2, ... in queue order, and the old block is released. Memory is
// Max_Size * (Element_Size + sizeof(state_struct) + sizeof(state_struct*))
// bytes, whatever the number of queued records; capacity never shrinks.
class Queue {
public:
  uint32_t Max_Size;
  uint32_t Element_Size;
  int Front;
  int Back;
  int Current_Size;
  uint32_t Num_Allocated;
  uint16_t Growth_Steps;
  state_struct** Elements;

  // elementSize: bytes of one state vector.
  explicit Queue(unsigned long elementSize);
  virtual ~Queue();
  Queue(const Queue&) = delete;
  Queue& operator=(const Queue&) = delete;

  // Copies the record's vector and number to the back, growing first when the
  // queue is full. The caller keeps its record.
  void Enqueue(state_struct* record);
  // The oldest record, or null when the queue is empty. The record belongs to
  // the queue and stays valid until the next Enqueue (which may reuse it).
  state_struct* Dequeue();
  // Grows by 5000 records, then enqueues the record; called by Enqueue only.
  void MakeLarger(state_struct* record);
  // Forgets every queued record; the records stay allocated.
  void Make_Empty();
  // Adds 1 to the index, wrapping to 0 at Max_Size; returns the new value.
  int Increment(int& index);
  // Debugging aid: one line per queued record, the vectors at Back, Back-1,
  // ... (newest first); a line for a position below 1 stays empty.
  void Print();

private:
  // One block of records and one of their vectors; Elements points into them.
  state_struct* RecordBlock = nullptr;
  char* VectorBlock = nullptr;

  // Allocates the pointer array, records and vectors for `capacity` records.
  void allocateBlock(uint32_t capacity, state_struct**& elements, state_struct*& records,
                     char*& vectors);
  void releaseBlock(state_struct** elements, state_struct* records, char* vectors);
};

#endif
