#ifndef SOLVER_IMPREADER_H
#define SOLVER_IMPREADER_H

#include <cstdint>
#include <string>
#include <vector>

#include "solver/io/ArmReader.h"

class Progress;

// Reader of an impulse file (.imp): the impulse rewards earned along each
// transition entry of the .arm file.
//
// Layout read (binary, little-endian): the 8 bytes "SSGIMP1\n"; uint32 k,
// the number of variables (in .pvtype order); then per state 1..n: uint32
// the state number, uint32 e the number of entries (those of the state's
// .arm record, self-loops and zero rates included), then per entry in the
// .arm record's order and per variable two doubles: A, the weight times the
// impulses of every completion along the entry (the timed activity and
// each instantaneous one after it), summed over the firings merged into the
// entry; and L, the weight times the impulse of the last completion. Then
// the trailer, uint32 n and "END\n", written last: a file without it was
// left by a run that stopped.
//
// Kept per variable: a_i = sum_j A_ij for each state (8 bytes per state)
// and the non-zero L_ij as sparse rows (12 bytes per entry); the entries of
// one state to the same target are kept apart (they are summed where used).
//
// Cross-checks, each an InputError naming the file and the state: k equals
// the .pvtype's variables, the records are numbered 1..n in order, each has
// as many entries as the state's .arm record, every value is finite, the
// trailer says n and nothing follows it.
class ImpReader {
public:
  struct Variable {
    std::vector<double> Rate;             // a_i, per state index
    std::vector<std::uint64_t> LastStart; // row i: LastStart[i] .. LastStart[i+1]-1
    std::vector<std::uint32_t> LastTarget;
    std::vector<double> Last;
    bool Any = false; // some A or L is not zero
  };

  // `names`: the .pvtype's variables; `entries`: the .arm file's entries
  // (ArmReader::keep).
  static std::vector<Variable> Read(const std::string& fileName,
                                    const std::vector<std::string>& names,
                                    const ArmReader::EntryList& entries, Progress& progress);
};

#endif
