#ifndef SOLVER_MULTILEVELSOLVER_H
#define SOLVER_MULTILEVELSOLVER_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "solver/SolverOptions.h"
#include "solver/numeric/LinearSystem.h"

class Progress;

// The stationary distribution of a closed class by multilevel aggregation:
// Gauss-Seidel sweeps on the chain, corrected by the solution of ever
// smaller aggregated chains, for chains on which a sweep alone reduces the
// error by little (queues whose arrival rates are far above their service
// rates, groups of states coupled by rare transitions).
//
// Aggregates (built once, from the rates with uniform weights): the states
// are visited in order; a state not yet in an aggregate pairs with its
// strongest successor (largest rate) that is not in one either; when every
// successor is taken, it joins the aggregate of its strongest successor
// unless that one already has MaxAggregate states, and otherwise stays
// alone. A transition below 1e-4 of its state's strongest rate is never
// aggregated over (the groups of a nearly decomposable chain stay apart).
// Two rounds of this pairing, the second over the pairs of the first, make
// a level's aggregates, which are the states of the next level, aggregated
// the same way, down to at most Coarsest states (or until a level no longer
// shrinks by a tenth).
//
// The aggregated chain of a level depends on the current distribution x:
// the rate from aggregate I to aggregate J is
//   sum_{i in I} (x_i / X_I) sum_{j in J} q_ij,      X_I = sum_{i in I} x_i,
// which is exact when x is the solution (its stationary distribution is
// then X). One cycle, from the finest level down:
//   level 0 (the chain): build level 1 from x, solve it (below), scale each
//     x_i by the aggregate's new probability over X_I, one Gauss-Seidel
//     sweep (forward in odd cycles, backward in even ones: a value travels
//     along the sweep's order at once, against it by one transition per
//     sweep), normalise to sum 1;
//   level l: a forward and a backward sweep, build level l + 1, solve it,
//     scale, a forward and a backward sweep;
//   the coarsest level: GTH elimination (exact), or Gauss-Seidel sweeps
//     when it is too large for its dense array.
// The structure of every level (which aggregates are joined, and which
// entry each finer transition adds to) is built once; the rates are rebuilt
// each cycle in one pass over the finer level's rows, without allocating.
//
// Convergence: the tests of IterativeSolver, per cycle instead of per sweep:
// the largest relative change of a component over the cycle is at most
// epsilon, the error estimated from the contraction per cycle over the last
// Window cycles (change rho / (1 - rho)) is at most epsilon, and the
// residual at most 10 epsilon. Report.Iterations counts cycles; at most
// options.MaxIterations are run, fewer when after 8 Window cycles the
// contraction shows that the estimate cannot reach epsilon within them
// (the report is then not converged).
//
// Memory: 4 bytes per state of the chain (its aggregate) and per transition
// (the entry it adds to), 8 per state of the system (the copy of x from
// the last cycle), and for each coarse level 4 bytes per transition of the
// level above, 12 per transition of its own and 48 per state.
class MultilevelSolver {
public:
  static constexpr std::size_t Coarsest = 256;
  static constexpr std::size_t MaxAggregate = 8;
  // The contraction is measured over this many cycles.
  static constexpr std::size_t Window = 4;

  // Solves a closed system starting from the distribution in x (the system's
  // entries, not necessarily normalised; all must be finite and not
  // negative, with a positive sum); `work` is a vector of the chain's size.
  static LinearSystem::Report Solve(const LinearSystem& system, const SolverOptions& options,
                                    double* x, double* work, Progress& progress,
                                    const std::string& label);
};

#endif
