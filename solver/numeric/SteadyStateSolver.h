#ifndef SOLVER_STEADYSTATESOLVER_H
#define SOLVER_STEADYSTATESOLVER_H

#include <cstdint>
#include <string>
#include <vector>

#include "solver/SolverOptions.h"
#include "solver/numeric/BottomComponents.h"
#include "solver/numeric/GthSolver.h"
#include "solver/numeric/LinearSystem.h"

class Progress;
class RateMatrix;

// The long-run distribution of a chain started in state 1, for chains that
// need not be irreducible.
//
// Method:
// 1. Closed classes: BottomComponents.
// 2. Absorption: if state 1 is transient and can reach only one closed
//    class (a search over the transient states), the chain ends there with
//    probability 1 and nothing is solved. Otherwise solve the transient
//    part's balance system with a unit source at state 1
//    (LinearSystem::Transient): x_j is the expected time spent in j; the
//    probability of ending in closed class C is
//    a_C = sum_{i transient} x_i sum_{j in C} q_ij (the a_C are then scaled
//    to sum 1; before that their sum is a check). If state 1 is in a closed
//    class, that class has probability 1.
// 3. Each closed class with a_C > 0 gets its stationary distribution pi_C
//    (LinearSystem::Closed; a single state has pi = 1).
// 4. pi = sum_C a_C pi_C; transient states have 0. A long-run average
//    reward is pi . r.
//
// Method per system (--method): gs, sor, jacobi (IterativeSolver) or direct
// (DirectSolver: GTH elimination, up to DirectMaximum states) for every
// system. auto chooses per system, and says why in Result::Choices:
// - up to DirectLimit states: GTH (exact to a few roundings per entry, even
//   for probabilities of 1e-100; measured: 1000 states take 0.1 s at most,
//   and about 5 ms on the banded chains of typical models);
// - up to DirectMaximum states when the rates of the system spread over
//   StiffSpread or more (failure rates of 1e-6 beside repair rates of 1,
//   nearly decomposable groups): GTH, since the iteration converges too
//   slowly there for its stopping rule to establish the accuracy;
// - otherwise the iteration with adaptive relaxation; a closed class on
//   which its contraction after ProbeSweeps predicts more than
//   IterativeSolver::SlowSweeps more sweeps goes on by MultilevelSolver,
//   and back to the iteration if the aggregation would not converge within
//   its share of --max-iterations.
// --method multilevel solves closed classes by MultilevelSolver from the
// uniform distribution, and a transient part as auto does.
// A system that does not converge leaves Converged false with its residual;
// the distribution is then not to be used for values.
//
// Memory: the distribution (8 bytes per state) and, while solving, one work
// vector of 8 bytes per state; GTH adds 8 bytes per pair of states of the
// system it eliminates.
class SteadyStateSolver {
public:
  static constexpr std::size_t DirectLimit = 1000;
  // --method direct refuses larger systems (SolverError InputError): the
  // dense array of 4096 states takes 128 MB.
  static constexpr std::size_t DirectMaximum = GthSolver::Maximum;
  // Largest over smallest rate from which auto takes a system of up to
  // DirectMaximum states to be stiff.
  static constexpr double StiffSpread = 1e6;
  // auto measures an iteration's contraction after this many sweeps (and
  // hands a closed class that needs more than IterativeSolver::SlowSweeps
  // to MultilevelSolver).
  static constexpr std::uint64_t ProbeSweeps = 64;
  // A multilevel cycle costs about this many sweeps: auto gives the
  // aggregation --max-iterations / SweepsPerCycle cycles, and goes back to
  // the iteration (from the aggregation's iterate) when it would need more.
  static constexpr std::uint64_t SweepsPerCycle = 4;

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
    std::string Choices;          // auto: the method of each system, and why
    // Largest estimated relative error of an entry (0 when every system was
    // eliminated: rounding only; LinearSystem::Report::ErrorEstimate).
    double ErrorEstimate = 0;
  };

  static Result Solve(const RateMatrix& matrix, const BottomComponents& classes,
                      const SolverOptions& options, Progress& progress);
};

#endif
