#ifndef SOLVER_PROPERTY_STATEREDUCTION_H
#define SOLVER_PROPERTY_STATEREDUCTION_H

#include <cstdint>
#include <vector>

#include "solver/io/CompactColumn.h"

class RateMatrix;

// Absorption quantities of a small absorbing chain from state 1 by state
// reduction without subtraction (the elimination of Grassmann, Taksar and
// Heyman applied to the transient states; Stewart, Introduction to the
// Numerical Solution of Markov Chains, 2.7): accurate to a few rounding
// errors relative to each result even when the rates differ by many orders
// of magnitude (rare failures, fast repairs), where a linear solver's
// residual test cannot see an error of the size of the unit source against
// flows of 1e15.
//
// The chain's transient states T (state 1 among them) are held densely.
// Eliminating state k (last to first, state 1 last) replaces each path
// i -> k -> j by a transition i -> j of rate q_ik q_kj / q_k, adds
// q_ik / q_k times k's absorbing rates and reward to i's, where q_k is
// recomputed as the sum of k's remaining rates (to transient states other
// than k and to the absorbing groups): every operation adds or multiplies
// non-negative numbers (rewards may have either sign). At the end state 1
// has only absorbing rates a_1g and its reward rho_1, and
//   P(absorbed in group g) = a_1g / sum_g a_1g,
//   E[reward accumulated until absorption] = rho_1 / sum_g a_1g.
// Cost: (|T|^3)/3 multiply-adds and 8 |T|^2 bytes; used up to MaxStates.
class StateReduction {
public:
  static constexpr std::size_t MaxStates = 1000;

  struct Result {
    std::vector<double> Absorbed; // per group
    double Reward = 0;
  };

  // `transient`: the transient states (indices, state index 0 first);
  // `group[j]`: the absorbing group (0, 1, ...) of each state j outside
  // `transient` (entries of transient states are unused); `reward`: per
  // state, or null for the time (reward 1).
  static Result Solve(const RateMatrix& matrix, const std::vector<std::uint32_t>& transient,
                      const std::vector<std::uint8_t>& group, std::size_t groups,
                      const CompactColumn* reward);
};

#endif
