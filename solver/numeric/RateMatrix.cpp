#include "solver/numeric/RateMatrix.h"

#include <algorithm>
#include <cassert>

void RateMatrix::begin(std::uint32_t states, std::uint64_t transitionsHint,
                       std::uint64_t rowsHint) {
  NumStates = states;
  RowStart.clear();
  RowStart.reserve(std::size_t(std::min<std::uint64_t>(states, rowsHint)) + 1);
  Columns.clear();
  Columns.reserve(transitionsHint);
  Rates = CompactColumn();
  Rates.reserve(transitionsHint);
  MaxExitRate = 0;
}

void RateMatrix::finish() {
  assert(RowStart.size() == NumStates && "every row of the matrix was started");
  RowStart.push_back(Columns.size());
  MaxExitRate = 0;
  ExitRates = CompactColumn();
  ExitRates.reserve(NumStates);
  Rates.visit([&](auto rate) {
    for (std::uint32_t i = 0; i < NumStates; i++) {
      double q = 0;
      for (std::uint64_t e = RowStart[i]; e < RowStart[i + 1]; e++)
        q += rate(e);
      ExitRates.push_back(q);
      MaxExitRate = std::max(MaxExitRate, q);
    }
  });
}

std::size_t RateMatrix::bytes() const {
  return RowStart.capacity() * 8 + Columns.size() * 4 + Rates.bytes() + ExitRates.bytes();
}
