#ifndef SSG_DETERMINISTICLIST_H
#define SSG_DETERMINISTICLIST_H

#include <cstdint>
#include <fstream>

#include "ssg/OutputFileType.h"
#include "ssg/RateInfoType.h"

// The enabling records of deterministic activities: one RateInfoType per
// distinct delay value (exact floating-point equality; a NaN matches nothing),
// in order of the value's first appearance. A lookup scans the records in use,
// so an insertion costs O(number of distinct delays). The record array doubles
// when full (a list created with room for 0 records grows to 2 first).
class DeterministicList {
public:
  uint32_t RateInfoSize;
  uint32_t RateInfoCapacity;
  RateInfoType* RateInfo;

  // Room for 2 records.
  DeterministicList();
  // Room for `capacity` records (a negative capacity counts as 0).
  explicit DeterministicList(int capacity);
  virtual ~DeterministicList();
  DeterministicList(const DeterministicList&) = delete;
  DeterministicList& operator=(const DeterministicList&) = delete;

  // Records that `state` enables a deterministic activity with delay `value`.
  void insertEnablingState(uint32_t state, double value);
  // Grows the record array to `capacity` records, keeping the records in use
  // and their state lists; a capacity not larger than the present one changes
  // nothing.
  void increaseRateInfoSize(uint32_t capacity);
  // Writes the .det file body: the record count, then every record
  // (RateInfoType::writeStates). TEXT_FILE writes lines, any other form
  // little-endian binary. The caller checks the stream state afterwards.
  void writeEnablingStates(std::fstream& out, OutputFileType form);
  // Diagnostic listing on standard output.
  void printEnablingStates();
};

#endif
