#ifndef SOLVER_PROPERTY_PATHSOLVER_H
#define SOLVER_PROPERTY_PATHSOLVER_H

#include <memory>
#include <string>
#include <vector>

#include "solver/SolverOptions.h"
#include "solver/io/CompactColumn.h"
#include "solver/numeric/ChainSolver.h"
#include "solver/numeric/LinearSystem.h"
#include "solver/property/ReachabilityGraph.h"

class Progress;
class RateMatrix;

// The values of path properties of a chain started in state 1 (index 0),
// given the states that satisfy their conditions (one byte per state; an
// empty phi is true everywhere). Notation: q_ij the rates, Prob0 and Prob1
// from ReachabilityGraph, "made absorbing" = the state's transitions
// removed.
//
// - P(phi U psi), unbounded: 0 or 1 when state 1 is in Prob0 or Prob1
//   (exact, nothing solved). Otherwise the Prob0 and Prob1 states and the
//   states not reachable from state 1 are made absorbing; the rest, the
//   states where the value is strictly between 0 and 1, are the transient
//   states of that chain, and the expected times x_j spent in them from
//   state 1 solve x_j q_j = [j = 1] + sum_i x_i q_ij (LinearSystem
//   Transient; DirectSolver or IterativeSolver as --method says). The value
//   is the flow into Prob1: sum_j x_j sum_{k in Prob1} q_jk. With method
//   auto, systems of up to StateReduction::MaxStates states are solved by
//   StateReduction instead (no subtraction: accurate on stiff chains and
//   for rare events); larger ones by IterativeSolver. A solution whose flow
//   balance is off by more than 10 epsilon against the unit source gets the
//   note "accuracy not established" (a relative residual of 1e-16 of flows
//   of 1e15 is an error of 0.1 in the expected time's unit source).
// - P(phi U<=t psi): the chain with the psi states and the states with
//   neither phi nor psi (and Prob0) made absorbing; the value is the
//   probability of being in a psi state at t, E[1_psi(X_t)], an instant-of-
//   time measure of that chain solved by ChainSolver (uniformization with
//   its accuracy bound, steady-state detection and the "below the accuracy
//   bound" note; a curve over t when asked).
// - P(phi U[t1,t2] psi), 0 < t1 <= t2: first the distribution at t1 of the
//   chain with the not-phi states absorbing, restricted to the phi states;
//   then from it, for t2 - t1, the chain of the bounded until; the value is
//   the mass in psi. Each phase by uniformization from a vector, with
//   FoxGlynn windows that leave out epsilon/4 on each side: the value is
//   within epsilon of the exact one (absolute); a value below epsilon gets
//   the note "below the accuracy bound".
// - R(F psi), expected reward until psi (the time when `reward` is null):
//   0 when state 1 satisfies psi; infinite when state 1 is not in Prob1 of
//   true U psi (a path that never reaches psi has positive probability);
//   else, with the psi states and the unreachable states absorbing, every
//   other reachable state is transient and the value is sum_j x_j r_j with
//   x as above.
//
// Convergence: a system not solved to the options' accuracy gives a row
// with Valid false and the reason (exit status 3 for the program).
//
// Memory: the predecessor lists (ReachabilityGraph: 4 bytes per transition,
// 8 per state), a byte per state per mask, and per property solved a copy
// of the matrix with the absorbing rows left empty (the rows kept cost what
// they cost in the matrix); a linear system adds what its solver needs, a
// state reduction 8 |T|^2 bytes for its at most 1000 states, an interval
// three vectors of 8 bytes per state.
class PathSolver {
public:
  using Mask = ReachabilityGraph::Mask;

  PathSolver(const RateMatrix& matrix, const SolverOptions& options, Progress& progress);

  // Rows are named `name`.
  ChainSolver::Row untilUnbounded(const std::string& name, const Mask& phi, const Mask& psi);
  // One row per time of `times` (upper bounds, from 0).
  ChainSolver::Result untilBounded(const std::string& name, const Mask& phi, const Mask& psi,
                                   const std::vector<double>& times, bool curves);
  ChainSolver::Row untilInterval(const std::string& name, const Mask& phi, const Mask& psi,
                                 double start, double stop);
  ChainSolver::Row reachReward(const std::string& name, const Mask& psi,
                               const CompactColumn* reward);

  // What the linear systems took (methods, sweeps, largest residual) and
  // the uniformization of the intervals, for the summary.
  const ChainSolver::Summary& info() const { return Info; }

private:
  const RateMatrix& Matrix;
  const SolverOptions& Options;
  Progress& Reporter;
  std::unique_ptr<ReachabilityGraph> Graph; // built when first needed
  ChainSolver::Summary Info;

  const ReachabilityGraph& graph();

  // x: expected times in the transient states of `chain` from state 1;
  // `caveat` says when the balance against the unit source is off by more
  // than 10 epsilon.
  LinearSystem::Report absorption(const RateMatrix& chain, std::vector<double>& x,
                                  std::string& failure, std::string& caveat);
  // Whether a system of `states` states is solved by StateReduction.
  bool reduce(std::size_t states) const;
  void noteReduction(std::size_t states);
  // p(t) of `chain` from p(0) = `start`, within epsilon in the 1-norm.
  std::vector<double> transient(const RateMatrix& chain, std::vector<double> start, double t,
                                double epsilon);
};

#endif
