#ifndef SOLVER_ARMREADER_H
#define SOLVER_ARMREADER_H

#include <cstdint>
#include <string>
#include <vector>

#include "solver/numeric/RateMatrix.h"

class DelayFirings;
class Progress;

// Reader of a transition-rate file (.arm) into a RateMatrix.
//
// Layout read (one item per line, every line ending in a line feed):
//   the file type (an integer; it tells the form of the .var file),
//   the number of states n (at least 1),
//   optionally one line of blanks (what is left of the reserved header),
//   then for each state s = 1..n in order: s; for each transition, the target
//   state (1..n) and the rate; and 0 closing the record.
// Rates are what the generator writes ("1.0000000000e-01", two- or
// three-digit exponents) or any other decimal number. Nothing may follow the
// n-th record.
//
// Checks, each an error naming the file and line: a record out of order, a
// target out of range, a rate that is not a number, infinite or NaN (exit
// status 1); a negative rate, which marks a deterministic delay (exit
// status 2, unless keepFirings() was given somewhere to put it); a file that
// ends early or has extra text (1). A rate of 0 and a
// transition of a state to itself are accepted and not stored.
//
// Speed: the file is read in 4 MiB blocks; a rate text seen before is looked
// up in a small cache of texts instead of being converted again (a chain has
// few distinct rate texts), so a transition costs one integer conversion and
// one short hash.
//
// On request (keep()), the reader also keeps every entry as the file lists
// it, self-loops and zero rates included, for the impulse file (.imp) whose
// records follow the .arm entries one for one: 4 bytes per entry and 16 per
// state.
class ArmReader {
public:
  // Every entry of the file: state i's entries are RowStart[i] ..
  // RowStart[i+1]-1, in file order; SelfLoopRate[i] sums i's entries to
  // itself (which the RateMatrix leaves out).
  struct EntryList {
    std::vector<std::uint64_t> RowStart;
    std::vector<std::uint32_t> Target; // state index (number - 1)
    std::vector<double> SelfLoopRate;
  };

  explicit ArmReader(std::string fileName);
  // Makes read() fill `entries` too (the caller keeps it alive).
  void keep(EntryList& entries) { Kept = &entries; }

  // Reads the whole file; the matrix is rebuilt from scratch.
  void read(RateMatrix& matrix, Progress& progress);
  // Negative entries (deterministic firings, self-loops included) go to
  // `firings` (rebuilt by read()) instead of being refused.
  void keepFirings(DelayFirings* firings) { Firings = firings; }

  const std::string& fileName() const { return Name; }
  // Line 1 of the file.
  int fileType() const { return FileType; }
  // Transition entries in the file, and how many of them were self-loops.
  std::uint64_t entries() const { return Entries; }
  std::uint64_t selfLoops() const { return SelfLoops; }

private:
  std::string Name;
  int FileType = 0;
  std::uint64_t Entries = 0;
  std::uint64_t SelfLoops = 0;
  EntryList* Kept = nullptr;
  DelayFirings* Firings = nullptr;
};

#endif
