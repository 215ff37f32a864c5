#ifndef SOLVER_PROPERTY_PROPERTYQUERIES_H
#define SOLVER_PROPERTY_PROPERTYQUERIES_H

#include <chrono>

#include "solver/numeric/ChainSolver.h"

class Progress;
class SolverOptions;

// What ssg-solve does with --property and --properties: parses every
// property first (PropertyParser; a syntax error stops before any file is
// read), reads the chain's files, writes the --export files, parses the
// conditions against the .sta file's places and labels (MarkingCondition)
// and finds the states that satisfy each in one pass over it, solves each
// property (PathSolver for P=? and R=? [ F phi ], ChainSolver for the
// measures the reward variables have too) and prints one row per property
// and time, as the reward variables' table is printed, with --csv, --plot
// and --db as for them. --where conditions given too are solved as
// ChainQueries solves them, their rows first.
//
// Rows: the property's text names the row; its type is instant-of-time
// for a bound F<=t, U<=t and for I=t (the time is t), interval-of-time for
// F[t1,t2], U[t1,t2] (the interval) and C<=t ([0, t]), steady-state for
// the unbounded properties and S (no time). A bound written as a name (T)
// gives a row for each time of --times, and a curve over t for --plot.
class PropertyQueries {
public:
  static bool Wanted(const SolverOptions& options);
  // The exit status: 0 when everything asked for is complete, 3 when a
  // system did not converge, 4 the plot, 5 the database. Errors of the
  // files and the options are SolverError, as for a solve (stored in the
  // --db database first).
  static int Run(const SolverOptions& options, Progress& progress,
                 std::chrono::steady_clock::time_point started);

  // Adds a solve's rows, curves and summary to `total` (the summary's
  // counts added, the largest residual kept).
  static void Merge(ChainSolver::Result& total, const ChainSolver::Result& part);
};

#endif
