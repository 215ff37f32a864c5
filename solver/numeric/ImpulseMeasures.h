#ifndef SOLVER_IMPULSEMEASURES_H
#define SOLVER_IMPULSEMEASURES_H

#include <cstdint>
#include <string>
#include <vector>

#include "solver/SolverOptions.h"
#include "solver/io/ImpReader.h"
#include "solver/numeric/BottomComponents.h"
#include "solver/numeric/LinearSystem.h"
#include "solver/numeric/Uniformization.h"

class Progress;
class RateMatrix;

// The impulse parts of reward measures, from the impulses per transition
// entry (ImpReader): A_ij, the rate-weighted impulses of every completion
// along the entries from i to j, and L_ij, the rate-weighted impulse of the
// last completion. With a_i = sum_j A_ij (the impulse rate of state i) and
// D_j the total rate of the completions in j, its self-loops included:
//
// - Accumulated over [0, t]: integral of p(s) . a ds. The caller adds a to
//   the rate reward it accumulates (Uniformization), so nothing is done here.
// - Instant-of-time at t: sum_j m_j(t), with m_j(t) the expected impulse of
//   the last completion before t, on the event X(t) = j (0 before the first
//   completion). The pair (p, m) obeys
//       dp/dt = p Q,   dm_j/dt = sum_i p_i L_ij - m_j D_j,   p(0) = e_1, m(0) = 0,
//   a linear system x' = x G with G = [[Q, L], [0, -D]]. Instant() solves it
//   by uniformization with q = 1.02 max_j D_j (D_j is at least the exit rate
//   of j, so P = I + G/q has no negative entry unless an impulse is
//   negative): x(t) = sum_k Pois(k; qt) x_k, x_{k+1} = x_k P. In the
//   uniformized chain (one step per Poisson event, a completion along each
//   entry with probability w/q) m_k is the expected impulse of the last
//   completion of the first k steps on the event X_k = j, so
//   ||m_k||_1 <= Imax = max_i sum_j |L_ij| / D_i (Largest()). The Poisson
//   window leaves out at most epsilon/2 above it (and 1e-200, or epsilon/2
//   for a coarse request, below), so a value is within epsilon Imax of the
//   exact one. There is no steady-state detection: every step up to the
//   largest right truncation point is taken (about q t of them).
// - Steady state: lim m_j(t) = (sum_i pi_i L_ij) / D_j, the balance of the
//   equation above, with pi the long-run distribution from state 1 (its
//   closed classes weighted by their probabilities, as for rate rewards).
//   A state without any completion (D_j = 0) that the chain ends in keeps
//   the impulse of the completion that entered it: its limit is
//   integral of sum_i p_i(s) L_ij ds = sum_i x_i L_ij over the transient
//   states i, with x_i the expected time spent in i from state 1
//   (AbsorptionTimes: the transient balance system of LinearSystem, solved
//   by DirectSolver up to SteadyStateSolver::DirectLimit states and by
//   IterativeSolver above, as the steady-state solver does).
// - Long-run impulse rate: sum_i pi_i a_i, the expected impulse earned per
//   unit of time in the long run.
//
// Memory: the distribution and a work vector (8 bytes per state each), one
// m vector per variable, one decay factor per state, and the Poisson
// weights of the requests.
class ImpulseMeasures {
public:
  struct Report {
    double Rate = 0;         // q
    std::uint64_t Steps = 0; // steps taken
  };

  // values[request][variable]: sum_j m_j at each request's time (requests
  // with Accumulated set are not allowed). `selfLoopRates`: per state.
  static std::vector<std::vector<double>>
  Instant(const RateMatrix& matrix, const double* selfLoopRates,
          const std::vector<const ImpReader::Variable*>& variables,
          const std::vector<Uniformization::Request>& requests, double epsilon, Progress& progress,
          Report& report);

  // sum_j (sum_i pi_i L_ij) / D_j over the states with completions, plus
  // sum_j sum_i x_i L_ij over those without (x: AbsorptionTimes, or
  // nullptr). Sets `absorbing` to a state index j with pi_j > 0 and D_j = 0
  // that some L_ij with i != j leads to when x is nullptr (the value then
  // lacks its part), else to UINT32_MAX.
  static double SteadyMass(const RateMatrix& matrix, const double* selfLoopRates,
                           const ImpReader::Variable& impulses, const std::vector<double>& pi,
                           const double* x, std::uint32_t& absorbing);

  // x: the expected time spent in each transient state from state 1 (0 for
  // the others). Converged false (the reason in `failure`) when the system
  // was not solved.
  static LinearSystem::Report AbsorptionTimes(const RateMatrix& matrix,
                                              const BottomComponents& classes,
                                              const SolverOptions& options, Progress& progress,
                                              std::vector<double>& x, std::string& failure);

  // sum_i pi_i a_i.
  static double LongRunRate(const ImpReader::Variable& impulses, const std::vector<double>& pi);

  // Imax = max_i sum_j |L_ij| / D_i (over states with D_i > 0).
  static double Largest(const RateMatrix& matrix, const double* selfLoopRates,
                        const ImpReader::Variable& impulses);
};

#endif
