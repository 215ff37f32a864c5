#ifndef SOLVER_RATEMATRIX_H
#define SOLVER_RATEMATRIX_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "solver/io/CompactColumn.h"

// The off-diagonal rates of a continuous-time Markov chain, row by row
// (compressed sparse rows).
//
// States are indexed from 0 (state number s of the files is index s - 1).
// Row i holds the entries RowStart[i] .. RowStart[i+1]-1: the target index
// (4 bytes) and the rate (a CompactColumn: 1 byte per entry while the chain
// has at most 256 distinct rates). A transition of a state to itself is not
// stored (it does not change the chain). The exit rate of state i, the sum
// of row i (added in row order once, when the matrix is finished), is kept
// per state in a CompactColumn too (a chain has few distinct exit rates).
//
// Memory: 8 bytes per state for the row starts and 1, 2 or 8 for the exit
// rate; 4 bytes plus the rate's width (1, 2 or 8) per transition. Kanban N=5
// (2.5M states, 24.5M transitions): 98 + 25 + 20 + 2.5 MB.
//
// Built by appending rows in order (startRow, add, ..., finish); afterwards
// read-only.
class RateMatrix {
public:
  // Prepares `states` rows; `transitionsHint` reserves room for the
  // entries and `rowsHint` (capped at `states`) for the row starts. A reader
  // passes what its file can hold, so that a state count the file cannot
  // back reserves nothing big; more rows still fit.
  void begin(std::uint32_t states, std::uint64_t transitionsHint,
             std::uint64_t rowsHint = UINT64_MAX);
  // Opens the next row (rows are appended in index order).
  void startRow() { RowStart.push_back(Columns.size()); }
  // Adds an entry to the open row; `target` must be below states().
  void add(std::uint32_t target, double rate) {
    Columns.push_back(target);
    Rates.push_back(rate);
  }
  // Closes the last row; every row must have been started.
  void finish();

  std::uint32_t states() const { return NumStates; }
  std::uint64_t transitions() const { return Columns.size(); }
  std::uint64_t rowBegin(std::uint32_t i) const { return RowStart[i]; }
  std::uint64_t rowEnd(std::uint32_t i) const { return RowStart[i + 1]; }
  const std::uint32_t* columns() const { return Columns.data(); }
  std::uint32_t column(std::uint64_t e) const { return Columns[e]; }
  const CompactColumn& rates() const { return Rates; }
  double rate(std::uint64_t e) const { return Rates[e]; }
  // Sum of row i (a switch on the width per call: hot loops use
  // exitRates().visit).
  double exitRate(std::uint32_t i) const { return ExitRates[i]; }
  const CompactColumn& exitRates() const { return ExitRates; }
  double maxExitRate() const { return MaxExitRate; }
  // Bytes held by the matrix.
  std::size_t bytes() const;

private:
  std::uint32_t NumStates = 0;
  std::vector<std::uint64_t> RowStart;
  std::vector<std::uint32_t> Columns;
  CompactColumn Rates;
  CompactColumn ExitRates;
  double MaxExitRate = 0;
};

#endif
