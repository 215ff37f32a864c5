#include "state/Place.h"

Place::Place() : Place("default", 0) {}

Place::Place(const char* name) : Place(name, 0) {}

Place::Place(const char* name, short initial) : SharableSV<short>(), Mark(nullptr) {
  SetName(name);
  Mark = ValuePtr;
  RegisterPointer(&Mark, nullptr);
  setMark(initial);
}
