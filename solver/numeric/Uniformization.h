#ifndef SOLVER_UNIFORMIZATION_H
#define SOLVER_UNIFORMIZATION_H

#include <cstdint>
#include <vector>

#include "solver/io/CompactColumn.h"

class Progress;
class RateMatrix;

// Transient rewards of a chain started in state 1, by uniformization.
//
// With q = 1.02 times the largest exit rate and P = I + Q/q (a stochastic
// matrix with a positive diagonal), p(t) = sum_k Pois(k; qt) p_k with
// p_0 = e_1 and p_{k+1} = p_k P. For a reward vector r and s_k = p_k . r:
// - instant value at t:      sum_k Pois(k; qt) s_k
// - accumulated over [0, t]: (1/q) sum_k P(N_qt > k) s_k
// Each time point has its Poisson window [L, R] (FoxGlynn): the mass above R
// is at most epsilon/2; below L it is at most 1e-200 (the steps below a
// window are computed anyway, and a small value such as a reliability far
// out is then not lost to the left truncation; a Coarse request, a point of
// a plotted curve, takes epsilon/2 there too); below L the tail
// probability P(N > k) is taken as 1. One pass over k = 0 .. max R serves
// every time point and every reward: only the scalars s_k are combined, so
// the memory is that of the vectors.
//
// Steady-state detection: when the limiting distribution pi of the chain
// from state 1 is given, every 8 steps ||p_k - pi||_1 is computed; once it is
// at most epsilon/2 it stays so (P is a contraction in the 1-norm), so every
// later s_k is within epsilon/2 max|r| of pi . r, which is then used for all
// remaining steps and the pass stops. Without pi the pass runs to max R.
//
// Error: an instant value is within epsilon max|r| of the exact one; an
// accumulated value within about epsilon (t + 1/q) max|r| (plus the error of
// pi when it is an iterative solution). The guarantee is absolute: a value
// far below epsilon max|r| (a reliability after many failure times) has no
// guaranteed significant digit.
//
// Memory: two vectors of 8 bytes per state (three with pi given, which the
// caller owns), plus 8 bytes (16 for accumulated rewards) per Poisson weight
// of each time point: about 2 * 7 sqrt(qt) weights for a coarse request, and
// sqrt(2 ln(1e200) qt) + 7 sqrt(qt) for a precise one (120000 at qt = 1e7).
class Uniformization {
public:
  struct Request {
    double Time;
    bool Accumulated = false; // integral over [0, Time] instead of the value at Time
    bool Coarse = false;      // left truncation epsilon/2 too (plot points)
  };
  struct Report {
    double Rate = 0;          // q
    std::uint64_t Steps = 0;  // vector-matrix products done
    std::uint64_t Needed = 0; // largest right truncation point
    bool Detected = false;    // stopped early at steady state
    bool Extended = false;    // the steps were done in long double
  };

  // values[request][reward]. `limit`: the limiting distribution or nullptr;
  // `limitError`: a bound on its 1-norm error (0 for an elimination).
  static std::vector<std::vector<double>> Run(const RateMatrix& matrix,
                                              const std::vector<const CompactColumn*>& rewards,
                                              const std::vector<Request>& requests, double epsilon,
                                              const double* limit, Progress& progress,
                                              Report& report, double limitError = 0);

  // The largest right truncation point Run would need (to decide whether a
  // limiting distribution is worth computing).
  static std::uint64_t StepsNeeded(const RateMatrix& matrix, const std::vector<Request>& requests,
                                   double epsilon);

  static double RateOf(const RateMatrix& matrix);

  // The largest q t solved: the windows of larger ones hold millions of
  // weights each (and the steps would take days).
  static constexpr double MaxRateTime = 1e10;
  // A time with q t above MaxRateTime is a SolverError InputError.
  static void CheckTimes(const RateMatrix& matrix, const std::vector<Request>& requests);
};

#endif
