#ifndef SOLVER_SOLVEOUTCOME_H
#define SOLVER_SOLVEOUTCOME_H

#include <chrono>

#include "solver/SolverError.h"
#include "solver/SolverOptions.h"
#include "solver/numeric/ChainSolver.h"
#include "solver/results/SolveRecord.h"

class Progress;

// How a solve of ssg-solve ends, whichever kind of chain or question it
// answered: its record in the results database (--db), its plot (--plot),
// and the exit status they leave.
class SolveOutcome {
public:
  using TimePoint = std::chrono::steady_clock::time_point;

  // The exit status of a solve whose table is complete but whose database
  // record could not be written.
  static constexpr int DatabaseNotWritten = 5;

  // Stores the record when --db was given (with the prefix and the seconds
  // since `started`); false, with the message printed, when that failed.
  static bool Store(const SolverOptions& options, SolveRecord& record, TimePoint started);

  // After the table was printed: stores the record and draws the plot. The
  // exit status: `status` when it is not 0, else 5 when the record was not
  // stored, 4 when the plot was not drawn, 0.
  static int Finish(const SolverOptions& options, SolveRecord& record,
                    const ChainSolver::Result& result, int status, TimePoint started);

  // A solve stopped by `error`: prints it, stores the record as failed (as
  // refused, with the variables' rows, for an unsupported chain) and returns
  // the error's exit status.
  static int Stopped(const SolverOptions& options, SolveRecord& record, const SolverError& error,
                     Progress& progress, TimePoint started);
};

#endif
