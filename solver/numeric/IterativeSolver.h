#ifndef SOLVER_ITERATIVESOLVER_H
#define SOLVER_ITERATIVESOLVER_H

#include "solver/SolverOptions.h"
#include "solver/numeric/LinearSystem.h"

class Progress;

// Gauss-Seidel, SOR and Jacobi iteration on a LinearSystem
// (x_j q_j = b_j + sum_i x_i q_ij over the states j of the system).
//
// Iteration: one sweep visits the states in increasing order and sets
//   x_j <- x_j + omega ((b_j + inflow_j) / q_j - x_j)
// Gauss-Seidel is omega = 1, SOR a fixed omega in (0, 2) (default 1.1);
// Jacobi uses the inflow of the previous iterate for every state (default
// omega 0.9: undamped Jacobi cycles forever on chains whose jump chain is
// periodic, such as a two-state chain).
//
// Method Auto adapts the relaxation: Gauss-Seidel for two blocks of 16
// sweeps, whose second block's residual reduction is the rate to beat; then
// SOR with omega 1.2, then 1.1, each for one block, kept only if it reduces
// the residual by more than Gauss-Seidel did; kept SOR must keep reducing the
// residual every block. A rejected block is undone (x returns to the last
// checkpoint) and the iteration goes on with the next candidate, in the end
// Gauss-Seidel. Over-relaxation speeds some chains up threefold (kanban) and
// makes others stagnate (FMS with omega 1.2), and no fixed omega is safe for
// all; the checkpoint bounds what a bad trial costs to one block.
//
// The rates are stored by row (source state), so the inflow of every state is
// kept in a vector and pushed forward: when x_j changes by d, d q_jk is added
// to the inflow of each successor k. Each state's update therefore sees the
// newest values of all others, which is exactly Gauss-Seidel, at the cost of
// one pass over each row per sweep. After each block of 16 sweeps the inflow
// is recomputed from scratch (no drift) and a closed class's x is
// renormalised to sum 1 (an over-relaxed start may overshoot to a negative
// multiple of the solution; the normalisation undoes that too).
//
// Start: the uniform distribution for a closed class, 0 for a transient part.
// Convergence: three tests, all of which must hold after a sweep:
// - the largest relative change of a component in the sweep,
//   max_j |x_j' - x_j| / |x_j'| over the components above 1e-290 (below, a
//   double has lost its precision), is at most epsilon;
// - the estimated remaining error is at most epsilon: with rho the
//   contraction per sweep measured over the last 16 sweeps,
//   rho = (change now / change 16 sweeps ago)^(1/16), the error of a
//   geometrically converging sequence is change rho / (1 - rho). On a nearly
//   decomposable chain the change per sweep is tiny while the error is not
//   (rho is 1 - 1e-8 when groups are coupled by 1e-8): the change alone
//   would stop the sweeps with the error 1e8 times larger, this test does
//   not. It is an estimate, not a bound (the docs say so);
// - the residual (LinearSystem: relative flow imbalance, from a fresh
//   inflow) is at most 10 epsilon.
// Not converged within --max-iterations sweeps (rejected ones count):
// Report.Converged is false, Residual is the residual reached and
// Contraction and ErrorEstimate what the last sweeps showed; the caller
// reports it and prints no value from it.
//
// Memory: two vectors of 8 bytes per state of the chain (x and the inflow),
// one more (the checkpoint) for Auto; nothing per transition beyond the
// matrix.
class IterativeSolver {
public:
  // Solves for x (entries of the system's states are written; others are
  // left alone); `work` is a vector of the chain's size.
  //
  // With `probe` > 0 (auto), the first block end from `probe` sweeps on with
  // a measured contraction predicts the sweeps still needed; more than
  // SlowSweeps stops the iteration there with *slow set, Converged false and
  // x its (normalised) iterate, for a faster method to go on from. Method
  // Multilevel is taken as Auto here (it applies to closed classes only).
  // With `resume`, the iteration starts from x instead of the uniform
  // distribution (closed) or 0 (transient).
  static LinearSystem::Report Solve(const LinearSystem& system, SolverOptions::Method method,
                                    const SolverOptions& options, double* x, double* work,
                                    Progress& progress, const std::string& label,
                                    std::uint64_t probe = 0, bool* slow = nullptr,
                                    bool resume = false);
  static constexpr std::uint64_t SlowSweeps = 400;
  // "; contraction 0.97 per sweep, estimated error 3e-12" (or "" when the
  // report has no rate), for messages.
  static std::string EstimateText(const LinearSystem::Report& report);

  // report.Contraction and ErrorEstimate from the change of the last
  // iteration and that of `window` iterations before:
  // rho = (change / older)^(1 / window), and the remaining error of a
  // geometric sequence, change rho / (1 - rho) (infinite while rho cannot
  // be measured or is not below 1; 0 for a change of 0).
  static void EstimateError(LinearSystem::Report& report, double change, double older,
                            std::size_t window);
  // The iterations still needed for the report's estimate to reach epsilon
  // at its contraction: 0 when reached, infinite when not contracting.
  static double IterationsNeeded(const LinearSystem::Report& report, double epsilon);

  // One sweep over the system (Gauss-Seidel for omega 1), in increasing or
  // (backward) decreasing order of the states, with `in` holding the inflow
  // of x, which it keeps current; returns the largest relative change of a
  // component.
  static double Sweep(const LinearSystem& system, double* x, double* in, double omega = 1.0,
                      bool backward = false);
};

#endif
