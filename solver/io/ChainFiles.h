#ifndef SOLVER_CHAINFILES_H
#define SOLVER_CHAINFILES_H

#include <cstdint>
#include <string>
#include <vector>

#include "solver/io/PVTypeReader.h"
#include "solver/numeric/RateMatrix.h"
#include "solver/io/VarReader.h"

class Progress;

// Everything the generator wrote for one experiment, read and cross-checked:
// <prefix>.pvtype (the variables), <prefix>.arm (the chain) and
// <prefix>.var (the rewards), for a solver, an exporter or a query to use.
//
// Read() refuses a model with deterministic delays before reading anything
// else: a <prefix>.det file next to the others (or, while reading the .arm
// file, a negative entry) is a SolverError Unsupported (exit status 2).
// Every other problem is an InputError naming the file and line.
class ChainFiles {
public:
  std::string Prefix;
  std::vector<PVTypeReader::Variable> Variables; // from the .pvtype file
  RateMatrix Matrix;
  std::vector<VarReader::Variable> Rewards; // same order as Variables
  int FileType = 0;
  std::uint64_t Entries = 0;   // transition entries of the .arm file
  std::uint64_t SelfLoops = 0; // of which to the state itself (ignored)
  double ReadSeconds = 0;

  static ChainFiles Read(const std::string& prefix, Progress& progress);
};

#endif
