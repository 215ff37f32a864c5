#include "solver/io/DelayFirings.h"

void DelayFirings::begin(std::uint32_t states) {
  RowStart.clear();
  RowStart.reserve(std::size_t(states) + 1);
  Targets.clear();
  Probabilities.clear();
}

double DelayFirings::total(std::uint32_t i) const {
  double sum = 0;
  for (std::uint64_t e = RowStart[i]; e < RowStart[i + 1]; e++)
    sum += Probabilities[e];
  return sum;
}
