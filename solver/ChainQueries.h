#ifndef SOLVER_CHAINQUERIES_H
#define SOLVER_CHAINQUERIES_H

#include <chrono>

#include "solver/numeric/ChainSolver.h"

class ChainFiles;
class Progress;
class SolverOptions;

// What ssg-solve does with --export and --where instead of solving the
// reward variables: reads the chain's files once, writes each export
// (ChainExport), then, for the --where conditions (MarkingCondition), solves
// each one's steady-state probability and its probability at each --times
// point, and prints them as the reward variables' table is printed (with
// --csv and --plot as for the variables).
class ChainQueries {
public:
  // Whether the options ask for exports or conditions.
  static bool Wanted(const SolverOptions& options);
  // The exit status: 0 when everything asked for is complete. Errors of the
  // files and the options are SolverError, as for a solve.
  static int Run(const SolverOptions& options, Progress& progress,
                 std::chrono::steady_clock::time_point started);
  // The --where conditions of `options` solved on `files`: the probability
  // that each holds in the long run and at each --times point (the expected
  // value of its indicator); `curves` as for ChainSolver::Solve.
  static ChainSolver::Result SolveConditions(const SolverOptions& options, const ChainFiles& files,
                                             Progress& progress, bool curves);
};

#endif
