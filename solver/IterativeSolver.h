#ifndef SOLVER_ITERATIVESOLVER_H
#define SOLVER_ITERATIVESOLVER_H

#include "solver/LinearSystem.h"
#include "solver/SolverOptions.h"

class Progress;

// Gauss-Seidel, SOR and Jacobi iteration on a LinearSystem
// (x_j q_j = b_j + sum_i x_i q_ij over the states j of the system).
//
// Iteration: one sweep visits the states in increasing order and sets
//   x_j <- x_j + omega ((b_j + inflow_j) / q_j - x_j)
// Gauss-Seidel is omega = 1, SOR omega in (0, 2) (default 1.2); Jacobi uses
// the inflow of the previous iterate for every state (default omega 0.9:
// undamped Jacobi cycles forever on chains whose jump chain is periodic, such
// as a two-state chain).
//
// The rates are stored by row (source state), so the inflow of every state is
// kept in a vector and pushed forward: when x_j changes by d, d q_jk is added
// to the inflow of each successor k. Each state's update therefore sees the
// newest values of all others, which is exactly Gauss-Seidel, at the cost of
// one pass over each row per sweep. Every 32 sweeps the inflow is recomputed
// from scratch (no drift) and a closed class's x is renormalised to sum 1.
//
// Start: the uniform distribution for a closed class, 0 for a transient part.
// Convergence: the largest relative change of a component in a sweep,
// max_j |x_j' - x_j| / |x_j'|, is at most epsilon, and then the residual
// (LinearSystem: relative flow imbalance, from a fresh inflow) is at most
// 10 epsilon; otherwise the sweeps go on. Not converged within
// --max-iterations: Report.Converged is false and Residual is the residual
// reached; the caller reports it and prints no value from it.
//
// Memory: two vectors of 8 bytes per state of the chain (x and the inflow),
// nothing per transition beyond the matrix.
class IterativeSolver {
public:
  // Solves for x (entries of the system's states are written; others are
  // left alone); `work` is a vector of the chain's size.
  static LinearSystem::Report Solve(const LinearSystem& system, SolverOptions::Method method,
                                    const SolverOptions& options, double* x, double* work,
                                    Progress& progress, const std::string& label);
};

#endif
