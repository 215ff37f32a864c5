#ifndef SOLVER_DIRECTSOLVER_H
#define SOLVER_DIRECTSOLVER_H

#include <string>

#include "solver/numeric/LinearSystem.h"

// Direct solution of a LinearSystem by sparse LU factorisation (Eigen's
// SparseLU with a COLAMD column ordering).
//
// The system's states are numbered 0..m-1 in increasing order, the balance
// equations are assembled as a sparse m x m matrix (the transpose of the
// generator restricted to the states), and for a closed class the last
// equation is replaced by x_last = 1 (the balance equations alone are
// singular; a row of ones for sum x = 1 would fill the factors densely), and
// the result is normalised to sum 1. When the last state is so unlikely
// that the others' values overflow or drown in rounding (the residual
// shows it), the solve is repeated with sum_j x_j = 1 as the last equation. Entries below zero that
// rounding leaves (a few units of 1e-17) are set to 0. The residual (LinearSystem) is computed from
// the result; above 10 epsilon the solve counts as failed, like an iteration that did not converge.
//
// Memory: the assembled matrix (about 12 bytes per transition) and the LU
// factors, whose fill-in grows quickly with the size of the system: suitable
// for systems up to some ten thousand states (the `auto` method's choice),
// not for millions.
class DirectSolver {
public:
  // Writes x for the system's states; `work` is a vector of the chain's size.
  // A factorisation that fails (a singular system) returns Converged false
  // and sets `failure`.
  static LinearSystem::Report Solve(const LinearSystem& system, double epsilon, double* x,
                                    double* work, std::string& failure);
};

#endif
