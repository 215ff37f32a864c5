#ifndef SOLVER_SOLVERECORD_H
#define SOLVER_SOLVERECORD_H

#include <string>
#include <vector>

#include "solver/numeric/ChainSolver.h"
#include "solver/io/PVTypeReader.h"

// One solve as the results database keeps it (ssg-solve --db): a row of
// `solves` with its outcome, and a row of `solve_values` per result row
// (variable, type, time or interval, value, method, residual, note).
//
// The solve is tied to the generator run that wrote its files: the latest
// completed run in the database with the same output prefix (directories
// made absolute on both sides) and, when the solve read the files, the same
// number of states. When there is none the solve is stored without a run
// and Store says so in its warning.
class SolveRecord {
public:
  enum class Outcome { Completed, NotConverged, Refused, Failed };

  std::string Prefix; // as ssg-solve was given it
  Outcome Status = Outcome::Completed;
  std::string Message; // why a solve was refused or failed
  // The result of a solve that ran (Completed, NotConverged); else null.
  const ChainSolver::Result* Result = nullptr;
  // For a refused solve: the variables that have no value (one row per
  // variable and time, value NULL, the reason as note).
  std::vector<PVTypeReader::Variable> Variables;
  double Seconds = 0;

  // Stores the solve in one transaction and returns its id; throws
  // SqlDatabase::Error. `warning` is set when no run was found.
  long long Store(const std::string& databaseFile, std::string& warning) const;

  // "completed", "not converged", "refused", "failed".
  static const char* OutcomeName(Outcome outcome);
};

#endif
