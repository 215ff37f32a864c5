#ifndef SOLVER_REWREADER_H
#define SOLVER_REWREADER_H

#include <cstdint>
#include <string>
#include <vector>

#include "solver/io/CompactColumn.h"
#include "solver/io/PVTypeReader.h"

class Progress;

// Reader of an exact-rewards file (.rew): every rate reward value and time
// point as the double the model computed (the .var and .pvtype files keep
// them rounded to 6 significant digits).
//
// Layout read (binary, little-endian): the 8 bytes "SSGREW1\n"; uint32 k,
// the number of variables (in .pvtype order); per variable uint32 m and m
// pairs of doubles (start, stop); then one record per state 1..n: k doubles,
// the rate reward of each variable; then the trailer, uint32 n and the 4
// bytes "END\n". The generator writes the trailer last, so a file without it
// (or with another n) was left by a run that stopped.
//
// Cross-checks against the .pvtype file, each an InputError naming the file:
// k and each m equal the .pvtype's, and every time point rounds to the one
// the .pvtype file gives (relative difference at most 1e-5: the .pvtype
// holds 6 significant digits); against the .arm file: exactly n records and
// a trailer saying n, and nothing after it. A value that is not finite is
// an error too.
//
// Memory: the rate values as CompactColumns (usually 1 byte per state and
// variable), and one record's bytes while reading.
class RewReader {
public:
  struct Result {
    std::vector<std::vector<PVTypeReader::Interval>> Times; // per variable
    std::vector<CompactColumn> Rates;                       // per variable, per state
  };

  // `variables`: what the .pvtype file declares; `states`: the .arm file's n.
  static Result Read(const std::string& fileName,
                     const std::vector<PVTypeReader::Variable>& variables, std::uint32_t states,
                     Progress& progress);

  // Whether `rounded` is `exact` written with 6 significant digits (or
  // equal to it).
  static bool SameToSixDigits(double exact, double rounded);
  // The shortest text that reads back as `value` (for messages).
  static std::string Number(double value);
};

#endif
