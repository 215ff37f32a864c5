#ifndef SOLVER_GTHSOLVER_H
#define SOLVER_GTHSOLVER_H

#include <cstddef>
#include <string>

#include "solver/numeric/LinearSystem.h"

// Direct solution of a LinearSystem by Grassmann-Taksar-Heyman elimination:
// Gaussian elimination that never subtracts, so that every entry of the
// solution, however small, keeps its relative accuracy on stiff chains.
//
// Method: the system's states are numbered 0..m-1 in increasing order and
// its rates between them copied into a dense m x m array A (A[i][j] the rate
// from i to j); d[i] is the rate from i out of the system (0 for a closed
// class, the flow into the closed classes for a transient part), b the
// source. States are eliminated from the last to the first (closed: down to
// state 1; transient: down to state 0). Eliminating k censors the chain on
// the states below k:
//   s_k     = sum_{j<k} A[k][j] + d[k]          (k's exit rate, as a sum)
//   A[i][j] += A[i][k] A[k][j] / s_k            (i, j < k, i != j)
//   d[i]    += A[i][k] d[k] / s_k
//   b[j]    += b[k] A[k][j] / s_k
// The diagonal of the censored chain is never formed (it would be
// q_i - A[i][k] A[k][i] / s_k, a difference); the pivot s_k is recomputed
// as a sum of non-negative terms instead. Back substitution in increasing
// order: x_0 = 1 (closed) or b_0 / s_0 (transient), then
// x_k = (b_k + sum_{i<k} x_i A[i][k]) / s_k, again without a subtraction;
// a closed class's x is normalised to sum 1. Every operation is a sum,
// product or quotient of non-negative numbers, each with a relative error
// of one rounding, so each x_k has a relative error of a few m^2 roundings
// at most (in practice far less), whatever the spread of the rates.
//
// Cost: the rows and columns of each pivot are scanned for non-zeros
// (O(m^2) in all), and the update costs the product of their counts: O(m b^2)
// for a chain of bandwidth b (the breadth-first numbering keeps b small),
// O(m^3 / 3) in the worst case. Memory: 8 m^2 bytes (Maximum states: 128 MB),
// or, for a system whose rates lie within p places below and q above the
// diagonal (in the order of its states) with p + q + 1 < m, 8 m (p + q + 1)
// bytes: elimination without pivoting writes no entry outside that band, so
// a long banded system (the embedded chain of a queue) is eliminated exactly
// in linear memory, up to the same 8 Maximum^2 bytes.
//
// Result: Report.Method "gth", Iterations 0, Residual (LinearSystem) of the
// solution, Converged true unless the system is not what its kind promises
// (a pivot of 0: a closed class that is not strongly connected, or a
// transient state that cannot leave), which sets `failure`.
class GthSolver {
public:
  // The largest system solved (its dense array takes 8 Maximum^2 bytes).
  static constexpr std::size_t Maximum = 4096;

  // Whether the system's array fits: at most Maximum states, or a band of
  // at most Maximum^2 entries in all.
  static bool Fits(const LinearSystem& system);

  // Writes x for the system's states; `work` is a vector of the chain's size;
  // the system must fit (Fits).
  static LinearSystem::Report Solve(const LinearSystem& system, double* x, double* work,
                                    std::string& failure);
};

#endif
