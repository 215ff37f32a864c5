#ifndef SSG_RATEINFOTYPE_H
#define SSG_RATEINFOTYPE_H

#include <fstream>

#include "ssg/OutputFileType.h"

// The states in which an activity with the deterministic delay `Value` is
// enabled. States are kept in insertion order, duplicates included, in an
// array that doubles when full (a record created with room for 0 states grows
// to 1 first). 4 bytes per stored state.
//
// The record frees States on destruction only when OwnsStates is set; a list
// that moves the array to another record clears it on the old one.
class RateInfoType {
public:
  int NumStates;
  int StateCapacity;
  double Value;
  int* States;
  bool OwnsStates;

  // Value 0 and room for 10 states.
  RateInfoType();
  // Room for `capacity` states (a negative capacity counts as 0).
  RateInfoType(int capacity, double value);
  virtual ~RateInfoType();
  RateInfoType(const RateInfoType&) = delete;
  RateInfoType& operator=(const RateInfoType&) = delete;

  // Appends a state number, doubling the room first when it is full.
  void insertState(int state);
  // Sets the room to `capacity`, keeping the stored states; a capacity not
  // larger than the present room changes nothing.
  void increaseStateList(int capacity);
  // Writes Value, the states and the terminator 0 (the layout of the .det
  // file); TEXT_FILE writes lines, any other form little-endian binary.
  void writeStates(std::fstream& out, OutputFileType form);
  // Diagnostic listing on standard output: "[i] state" per stored state.
  void printStates();
};

#endif
