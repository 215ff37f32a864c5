#ifndef SSG_RATEINFOTYPE_H
#define SSG_RATEINFOTYPE_H

#include <cstdint>
#include <fstream>

#include "ssg/OutputFileType.h"

// The states in which an activity with the deterministic delay `Value` is
// enabled. States are kept in insertion order, duplicates included, in an
// array that doubles when full (a record created with room for 0 states grows
// to 1 first). 4 bytes per stored state (state numbers have 32 bits; the
// counts 64).
//
// The record frees States on destruction only when OwnsStates is set; a list
// that moves the array to another record clears it on the old one.
class RateInfoType {
public:
  uint64_t NumStates;
  uint64_t StateCapacity;
  double Value;
  uint32_t* States;
  bool OwnsStates;

  // Value 0 and room for 10 states.
  RateInfoType();
  // Room for `capacity` states.
  RateInfoType(uint64_t capacity, double value);
  virtual ~RateInfoType();
  RateInfoType(const RateInfoType&) = delete;
  RateInfoType& operator=(const RateInfoType&) = delete;

  // Appends a state number, doubling the room first when it is full.
  void insertState(uint32_t state);
  // Sets the room to `capacity`, keeping the stored states; a capacity not
  // larger than the present room changes nothing.
  void increaseStateList(uint64_t capacity);
  // Writes Value, the states and the terminator 0 (the layout of the .det
  // file); TEXT_FILE writes lines, any other form little-endian binary.
  void writeStates(std::fstream& out, OutputFileType form);
  // Diagnostic listing on standard output: "[i] state" per stored state.
  void printStates();
};

#endif
