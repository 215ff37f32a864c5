#ifndef SOLVER_STEADYSTATESOLVER_H
#define SOLVER_STEADYSTATESOLVER_H

#include <cstdint>
#include <string>
#include <vector>

#include "solver/numeric/BottomComponents.h"
#include "solver/numeric/LinearSystem.h"
#include "solver/SolverOptions.h"

class Progress;
class RateMatrix;

// The long-run distribution of a chain started in state 1, for chains that
// need not be irreducible.
//
// Method:
// 1. Closed classes: BottomComponents.
// 2. Absorption: if state 1 is transient, solve the transient part's
//    balance system with a unit source at state 1 (LinearSystem::Transient):
//    x_j is the expected time spent in j; the probability of ending in
//    closed class C is a_C = sum_{i transient} x_i sum_{j in C} q_ij (the
//    a_C are then scaled to sum 1; before that their sum is a check). If
//    state 1 is in a closed class, that class has probability 1.
// 3. Each closed class with a_C > 0 gets its stationary distribution pi_C
//    (LinearSystem::Closed; a single state has pi = 1).
// 4. pi = sum_C a_C pi_C; transient states have 0. A long-run average
//    reward is pi . r.
//
// Method per system (--method): gs, sor, jacobi (IterativeSolver) or direct
// (DirectSolver) for every system; auto uses direct for systems of up to
// DirectLimit states and the iteration's adaptive relaxation above (a failed
// direct solve falls back to the iteration). Measured on this machine, the
// sparse LU's fill-in grows so fast on these chains that it loses to the
// iteration well before 5000 states (kanban N=2, 4600 states: 1.8 s against
// 0.01 s; FMS N=3, 6520 states: 10 s and 195 MB against 0.03 s), while up
// to 1000 states it takes milliseconds and gives residuals near 1e-16. A
// system that does not converge leaves Converged false with its residual;
// the distribution is then not to be used for values.
//
// Memory: the distribution (8 bytes per state) and, while solving, one work
// vector of 8 bytes per state; a direct solve adds its factors.
class SteadyStateSolver {
public:
  static constexpr std::size_t DirectLimit = 1000;
  // --method direct refuses larger systems (SolverError InputError): kanban
  // N=3 (58400 states) was still factorising after 9 minutes and 2.5 GB.
  static constexpr std::size_t DirectMaximum = 20000;

  struct ClassResult {
    std::size_t States = 0;
    double Probability = 0;
    LinearSystem::Report Solution;
  };
  struct Result {
    std::vector<double> Distribution;
    std::vector<ClassResult> Classes;
    LinearSystem::Report Absorption; // Method "" when state 1 is in a closed class
    bool Converged = true;
    double Residual = 0;          // largest of the systems solved
    std::uint64_t Iterations = 0; // sweeps of all systems
    std::string Methods;          // methods used, e.g. "direct" or "direct, gs"
    std::string Failure;          // which system did not converge, and why
  };

  static Result Solve(const RateMatrix& matrix, const BottomComponents& classes,
                      const SolverOptions& options, Progress& progress);
};

#endif
