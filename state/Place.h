#ifndef STATE_PLACE_H
#define STATE_PLACE_H

#include "state/SharableSV.h"

// A place of a stochastic activity network: a shared-able short whose value
// is the token count (marking). Mark is a registered pointer that always
// points at the group's storage, so generated code reads and writes markings
// directly through it.
class Place : public SharableSV<short> {
public:
  short* Mark;

  Place();
  explicit Place(const char* name);
  Place(const char* name, short initial);

  short getMark() const { return *Mark; }
  void setMark(short m) { *Mark = m; }
  void test() {}
};

#endif
