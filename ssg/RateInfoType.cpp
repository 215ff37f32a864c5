#include "ssg/RateInfoType.h"

#include <cstdio>
#include <cstring>
#include <iostream>
#include <new>

#include "model/StandardErrors.h"

namespace {

uint32_t* newStateArray(uint64_t capacity) {
  // At least one entry, so that the array pointer is never null.
  uint32_t* states = new (std::nothrow) uint32_t[capacity > 0 ? capacity : 1];
  if (states == nullptr)
    MemoryAllocationError();
  return states;
}

// Little-endian bytes of an unsigned value, whatever the host's byte order.
void writeLittleEndian(std::fstream& out, unsigned long long value, int bytes) {
  char buffer[8] = {};
  for (int i = 0; i < bytes; i++)
    buffer[i] = static_cast<char>((value >> (8 * i)) & 0xff);
  out.write(buffer, bytes);
}

} // namespace

RateInfoType::RateInfoType() : RateInfoType(10, 0.0) {}

RateInfoType::RateInfoType(uint64_t capacity, double value)
    : NumStates(0), StateCapacity(capacity), Value(value), States(nullptr), OwnsStates(true) {
  States = newStateArray(StateCapacity);
}

RateInfoType::~RateInfoType() {
  if (OwnsStates)
    delete[] States;
}

void RateInfoType::insertState(uint32_t state) {
  if (NumStates == StateCapacity)
    increaseStateList(StateCapacity > 0 ? 2 * StateCapacity : 1);
  States[NumStates++] = state;
}

void RateInfoType::increaseStateList(uint64_t capacity) {
  if (capacity <= StateCapacity)
    return;
  uint32_t* states = newStateArray(capacity);
  if (NumStates > 0)
    std::memcpy(states, States, static_cast<size_t>(NumStates) * sizeof(uint32_t));
  if (OwnsStates)
    delete[] States;
  States = states;
  OwnsStates = true;
  StateCapacity = capacity;
}

void RateInfoType::writeStates(std::fstream& out, OutputFileType form) {
  if (form == TEXT_FILE) {
    char value[64];
    std::snprintf(value, sizeof value, "%.10e", Value);
    out << value << '\n';
    for (uint64_t i = 0; i < NumStates; i++)
      out << States[i] << '\n';
    out << 0 << '\n';
    return;
  }
  unsigned long long bits;
  static_assert(sizeof bits == sizeof Value, "a double is 8 bytes");
  std::memcpy(&bits, &Value, sizeof bits);
  writeLittleEndian(out, bits, 8);
  for (uint64_t i = 0; i < NumStates; i++)
    writeLittleEndian(out, States[i], 4);
  // The terminator is 2 bytes wide.
  writeLittleEndian(out, 0, 2);
}

void RateInfoType::printStates() {
  for (uint64_t i = 0; i < NumStates; i++)
    std::cout << "[" << i << "] " << States[i] << std::endl;
}
