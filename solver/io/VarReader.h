#ifndef SOLVER_VARREADER_H
#define SOLVER_VARREADER_H

#include <cstdint>
#include <string>
#include <vector>

#include "solver/io/CompactColumn.h"

class Progress;

// Reader of a reward-values file (.var): per state, the impulse and the rate
// reward of each reward variable.
//
// Layout read: one line per variable with its name (in .pvtype order), then
// one record per state 1..n in order, in one of two forms:
// - text (file types 1, 3, 5): the state number, then per variable its
//   impulse value and its rate value, one number per line ("%g": 6
//   significant digits, as the generator writes them);
// - binary (any other file type): the state number as 4 bytes, then per
//   variable the impulse and the rate value as 8-byte IEEE doubles, all
//   little-endian.
// The .arm file's type (its line 1) tells which form the generator wrote.
//
// Kept: each variable's rate values (a CompactColumn: usually 1 byte per
// state) and whether any of its impulse values is non-zero. Impulse values
// are otherwise not kept: they are the impulse of the firing that first
// reached a state, which does not determine an impulse measure.
//
// Errors (file and line, or the record for the binary form): a name that
// differs from the .pvtype's, a record out of order, a value that is not a
// finite number, fewer or more records than the .arm file's states.
class VarReader {
public:
  struct Variable {
    std::string Name;
    CompactColumn RateValues;
    bool HasImpulse = false;
  };

  // `names`: the variables of the .pvtype file, in order.
  VarReader(std::string fileName, std::vector<std::string> names);

  static bool IsTextFileType(int fileType) {
    return fileType == 1 || fileType == 3 || fileType == 5;
  }

  // Reads the records of `states` states, text or binary by `fileType`.
  std::vector<Variable> read(std::uint32_t states, int fileType, Progress& progress);

private:
  std::string Name;
  std::vector<std::string> Names;
};

#endif
