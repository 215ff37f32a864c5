#ifndef SOLVER_CHAINFILES_H
#define SOLVER_CHAINFILES_H

#include <cstdint>
#include <string>
#include <vector>

#include "solver/io/CompactColumn.h"
#include "solver/io/ImpReader.h"
#include "solver/io/PVTypeReader.h"
#include "solver/io/VarReader.h"
#include "solver/numeric/RateMatrix.h"

class Progress;

// Everything the generator wrote for one experiment, read and cross-checked:
// <prefix>.pvtype (the variables), <prefix>.arm (the chain) and
// <prefix>.var (the rewards), for a solver, an exporter or a query to use.
//
// Read() refuses a model with deterministic delays before reading anything
// else: a <prefix>.det file next to the others (or, while reading the .arm
// file, a negative entry) is a SolverError Unsupported (exit status 2).
// Every other problem is an InputError naming the file and line.
//
// Exact values: when <prefix>.rew exists (every run of a current model
// executable writes it), its rate rewards and time points replace the
// .var's and .pvtype's, which hold 6 significant digits, after a check that
// they agree to those digits (files of different runs are an InputError, as
// is a .rew without its trailer). Without it (files of an older run)
// Exact is false and the rounded values are used.
// Impulses: when <prefix>.imp exists (written when the model has impulse
// rewards), it is read against the .arm file's entries; a variable whose
// .var has impulse values but whose .imp entries are all 0 is an InputError
// (a stale .imp file).
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
  bool Exact = false; // rate rewards and times from a .rew file
  // From the .imp file, one per variable; empty without the file.
  std::vector<ImpReader::Variable> Impulses;
  std::vector<double> SelfLoopRates; // per state, kept with Impulses only
  // r_i + a_i, the rate reward plus the impulse rate of each state, for the
  // variables with impulses (empty for the others).
  std::vector<CompactColumn> RatePlusImpulse;

  static ChainFiles Read(const std::string& prefix, Progress& progress);
};

#endif
