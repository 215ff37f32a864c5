#include "ssg/DeterministicList.h"

#include <cstdint>
#include <iostream>
#include <new>

#include "model/StandardErrors.h"

namespace {

RateInfoType* newRecordArray(uint32_t capacity) {
  RateInfoType* records = new (std::nothrow) RateInfoType[capacity > 0 ? capacity : 1];
  if (records == nullptr)
    MemoryAllocationError();
  return records;
}

} // namespace

DeterministicList::DeterministicList() : DeterministicList(2) {}

DeterministicList::DeterministicList(int capacity)
    : RateInfoSize(0), RateInfoCapacity(capacity > 0 ? static_cast<uint32_t>(capacity) : 0),
      RateInfo(nullptr) {
  RateInfo = newRecordArray(RateInfoCapacity);
}

DeterministicList::~DeterministicList() {
  // delete[] destroys the records from the last to the first.
  delete[] RateInfo;
}

void DeterministicList::insertEnablingState(uint32_t state, double value) {
  for (uint32_t i = 0; i < RateInfoSize; i++)
    if (RateInfo[i].Value == value) {
      RateInfo[i].insertState(state);
      return;
    }
  if (RateInfoSize == RateInfoCapacity) {
    if (RateInfoSize > UINT32_MAX / 2)
      MemoryAllocationError();
    increaseRateInfoSize(RateInfoSize > 0 ? 2 * RateInfoSize : 2);
  }
  RateInfoType& record = RateInfo[RateInfoSize];
  record.Value = value;
  record.insertState(state);
  RateInfoSize++;
}

void DeterministicList::increaseRateInfoSize(uint32_t capacity) {
  if (capacity <= RateInfoCapacity)
    return;
  RateInfoType* records = newRecordArray(capacity);
  // Move each record in use: the new record takes over the state list, and the
  // old one gives up its ownership so that releasing the old array leaves the
  // list alone.
  for (uint32_t i = 0; i < RateInfoSize; i++) {
    RateInfoType& from = RateInfo[i];
    RateInfoType& to = records[i];
    if (to.OwnsStates)
      delete[] to.States;
    to.NumStates = from.NumStates;
    to.StateCapacity = from.StateCapacity;
    to.Value = from.Value;
    to.States = from.States;
    to.OwnsStates = from.OwnsStates;
    from.OwnsStates = false;
  }
  delete[] RateInfo;
  RateInfo = records;
  RateInfoCapacity = capacity;
}

void DeterministicList::writeEnablingStates(std::fstream& out, OutputFileType form) {
  if (form == TEXT_FILE) {
    out << RateInfoSize << '\n';
  } else {
    const uint32_t count = RateInfoSize;
    char bytes[4];
    for (int i = 0; i < 4; i++)
      bytes[i] = static_cast<char>((count >> (8 * i)) & 0xff);
    out.write(bytes, 4);
  }
  for (uint32_t i = 0; i < RateInfoSize; i++)
    RateInfo[i].writeStates(out, form);
}

void DeterministicList::printEnablingStates() {
  const char* rule = "-----------------------------------";
  std::cout << rule << std::endl;
  for (uint32_t i = 0; i < RateInfoSize; i++) {
    std::cout << "RateInfoSize = " << RateInfoSize << std::endl;
    std::cout << "RateInfoCapacity = " << RateInfoCapacity << std::endl;
    std::cout << "Value = " << RateInfo[i].Value << std::endl;
    RateInfo[i].printStates();
  }
  std::cout << rule << std::endl;
}
