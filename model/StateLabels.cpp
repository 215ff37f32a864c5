#include "model/StateLabels.h"

#include <cstddef>
#include <cstring>

StateLabels::StateLabels(int count, const char* const* names, int places,
                         const char* const* placeNames, Predicate holds)
    : NumLabels(count), Names(names), NumPlaceNames(places), PlaceNames(placeNames), Test(holds) {}

int16_t StateLabels::Marking(const char* state, int place) {
  int16_t marking;
  std::memcpy(&marking, state + 2 * static_cast<std::ptrdiff_t>(place), sizeof marking);
  return marking;
}
