#ifndef MODEL_STATELABELS_H
#define MODEL_STATELABELS_H

#include <cstdint>

// The labels a model declares (`label Name = condition` in the model
// language): named conditions on a marking, which the generator writes into
// the .sta file as columns label(<name>), 0 or 1.
//
// A label is evaluated on a stored state vector, not on the model's places,
// so that the thread writing the .sta file can evaluate it while the model
// explores other states. The vector holds the places the labels read at the
// start, each a signed 16-bit marking in host byte order at offset 2 * i for
// the i-th of PlaceNames(); the generator checks that against the state's
// columns before it writes anything. A label may also read global
// variables, which do not change during a run.
//
// The names and the place names are static strings of the generated code;
// an object only points at them.
class StateLabels {
public:
  // Whether label `label` holds in the marking `state`.
  using Predicate = bool (*)(int label, const char* state);

  StateLabels(int count, const char* const* names, int places, const char* const* placeNames,
              Predicate holds);

  int Count() const { return NumLabels; }
  const char* Name(int label) const { return Names[label]; }
  // The places at the start of the vector, in order.
  int NumPlaces() const { return NumPlaceNames; }
  const char* PlaceName(int place) const { return PlaceNames[place]; }
  bool Holds(int label, const char* state) const { return Test(label, state); }

  // The marking of the i-th place in a state vector (unaligned access).
  static int16_t Marking(const char* state, int place);

private:
  int NumLabels;
  const char* const* Names;
  int NumPlaceNames;
  const char* const* PlaceNames;
  Predicate Test;
};

#endif
