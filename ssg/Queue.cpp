#include "ssg/Queue.h"

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <new>

#include "model/StandardErrors.h"

namespace {

const uint32_t GrowthStep = 5000;

[[noreturn]] void outOfMemory() {
  std::cout << "Error out of memory" << std::endl;
  std::exit(1);
}

} // namespace

Queue::Queue(unsigned long elementSize)
    : Max_Size(GrowthStep), Element_Size(static_cast<uint32_t>(elementSize)), Front(1), Back(0),
      Current_Size(0), Num_Allocated(0), Growth_Steps(1), Elements(nullptr) {
  allocateBlock(Max_Size, Elements, RecordBlock, VectorBlock);
}

Queue::~Queue() {
  releaseBlock(Elements, RecordBlock, VectorBlock);
}

void Queue::allocateBlock(uint32_t capacity, state_struct**& elements, state_struct*& records,
                          char*& vectors) {
  elements = new (std::nothrow) state_struct*[capacity];
  if (elements == nullptr)
    outOfMemory();
  records = new (std::nothrow) state_struct[capacity];
  // One vector block for all records; at least one byte so that every record
  // has a distinct, non-null vector pointer even for empty vectors.
  const size_t vectorBytes = static_cast<size_t>(capacity) * Element_Size;
  vectors = new (std::nothrow) char[vectorBytes > 0 ? vectorBytes : 1];
  if (records == nullptr || vectors == nullptr) {
    delete[] elements;
    delete[] records;
    delete[] vectors;
    MemoryAllocationError();
  }
  std::memset(vectors, 0, vectorBytes > 0 ? vectorBytes : 1);
  Num_Allocated = 0;
  for (uint32_t i = 0; i < capacity; i++) {
    records[i].state = vectors + static_cast<size_t>(i) * Element_Size;
    records[i].number = 0;
    elements[i] = &records[i];
    Num_Allocated++;
  }
}

void Queue::releaseBlock(state_struct** elements, state_struct* records, char* vectors) {
  delete[] vectors;
  delete[] records;
  delete[] elements;
}

int Queue::Increment(int& index) {
  index++;
  if (index == static_cast<int>(Max_Size))
    index = 0;
  return index;
}

void Queue::Enqueue(state_struct* record) {
  if (Current_Size == static_cast<int>(Max_Size)) {
    MakeLarger(record);
    return;
  }
  Current_Size++;
  Increment(Back);
  state_struct* slot = Elements[Back];
  if (slot == nullptr || slot->state == nullptr) {
    std::cerr << " Error: queue pointer is null...exiting " << std::endl;
    std::exit(1);
  }
  if (Element_Size > 0)
    std::memcpy(slot->state, record->state, Element_Size);
  slot->number = record->number;
}

state_struct* Queue::Dequeue() {
  if (Current_Size == 0)
    return nullptr;
  Current_Size--;
  const int f = Front;
  Increment(Front);
  if (Elements[f] == nullptr) {
    std::cout << "warning, returning NULL" << std::endl;
    return nullptr;
  }
  return Elements[f];
}

void Queue::MakeLarger(state_struct* record) {
  // Indices are ints and Growth_Steps counts in 16 bits: 65535 steps of 5000
  // records is the most this queue can address.
  if (Growth_Steps == UINT16_MAX) {
    std::cerr << "Error: the state queue cannot hold more than "
              << static_cast<unsigned long>(UINT16_MAX) * GrowthStep << " states" << std::endl;
    std::exit(1);
  }
  Growth_Steps++;
  const uint32_t capacity = static_cast<uint32_t>(Growth_Steps) * GrowthStep;

  state_struct** elements;
  state_struct* records;
  char* vectors;
  allocateBlock(capacity, elements, records, vectors);

  // Move the queued records, oldest first, to positions 1, 2, ...
  int moved = 0;
  while (state_struct* oldest = Dequeue()) {
    moved++;
    std::memcpy(elements[moved]->state, oldest->state, Element_Size);
    elements[moved]->number = oldest->number;
  }
  releaseBlock(Elements, RecordBlock, VectorBlock);

  Elements = elements;
  RecordBlock = records;
  VectorBlock = vectors;
  Max_Size = capacity;
  Front = 1;
  Back = moved;
  Current_Size = moved;

  Enqueue(record);
}

void Queue::Make_Empty() {
  Front = 1;
  Back = 0;
  Current_Size = 0;
}

void Queue::Print() {
  // Newest first, counting down from Back without wrapping: a position below
  // 1 gives an empty line.
  for (int i = 0; i < Current_Size; i++) {
    int index = Back - i;
    for (uint32_t j = 0; index >= 1 && j < Element_Size; j++)
      std::cout << static_cast<int>(static_cast<unsigned char>(Elements[index]->state[j])) << ' ';
    std::cout << std::endl;
  }
}
