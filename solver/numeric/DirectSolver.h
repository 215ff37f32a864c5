#ifndef SOLVER_DIRECTSOLVER_H
#define SOLVER_DIRECTSOLVER_H

#include <string>

#include "solver/numeric/LinearSystem.h"

// Direct solution of a LinearSystem: the method of `--method direct` and of
// `auto` for small or stiff systems.
//
// Method: GTH elimination (GthSolver), which keeps the relative accuracy of
// every entry of the solution whatever the spread of the rates, for systems
// of up to GthSolver::Maximum states (the caller refuses larger ones). An
// earlier version factorised the system by sparse LU; its rounding error is
// absolute (about 1e-16 of the largest entry), so it printed small
// probabilities of stiff chains with few or no correct digits and a residual
// of 1e-16, and it failed outright (residual infinite) on stiff chains of a
// few dozen states: it was removed rather than kept with that claim.
//
// Report: Method "direct", Iterations 0, Residual of the solution (LinearSystem),
// Converged false only for a system that is not what its kind promises
// (`failure` says which state); `epsilon` is not needed by an exact
// elimination and is kept for callers.
class DirectSolver {
public:
  // Writes x for the system's states; `work` is a vector of the chain's size.
  static LinearSystem::Report Solve(const LinearSystem& system, double epsilon, double* x,
                                    double* work, std::string& failure);
};

#endif
