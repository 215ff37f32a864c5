#ifndef SOLVER_PROPERTY_REACHABILITYGRAPH_H
#define SOLVER_PROPERTY_REACHABILITYGRAPH_H

#include <cstdint>
#include <vector>

class RateMatrix;

// The graph precomputation of path properties: which states satisfy
// phi U psi with probability 0 and with probability 1, by searches over
// the transitions alone (no arithmetic, so the answer is exact), and the
// chain with chosen states made absorbing.
//
// Method (Baier and Katoen, Principles of Model Checking, 10.1.1):
// - Prob0 = the states that cannot reach a psi state along a path of phi
//   states: the complement of a backward breadth-first search from the psi
//   states through phi states.
// - Prob1 = the complement of the states that can reach a Prob0 state along
//   a path of phi-and-not-psi states: a backward search from Prob0 through
//   phi-and-not-psi states. In a finite chain a state that cannot reach
//   Prob0 that way reaches psi with probability 1.
// Both are O(states + transitions), with the predecessor lists built once
// (4 bytes per transition and 8 per state). A state mask is one byte per
// state.
class ReachabilityGraph {
public:
  using Mask = std::vector<std::uint8_t>; // one entry per state index, 0 or 1

  explicit ReachabilityGraph(const RateMatrix& matrix);

  // States (indices) from which `phi` U `psi` holds with probability 0;
  // `phi` empty means true everywhere.
  Mask probability0(const Mask& phi, const Mask& psi) const;
  // States from which it holds with probability 1, given probability0.
  Mask probability1(const Mask& phi, const Mask& psi, const Mask& zero) const;
  // States reachable from state index 0.
  Mask reachable() const;

  // `matrix` with the rows of the `absorbing` states emptied.
  static RateMatrix Absorbing(const RateMatrix& matrix, const Mask& absorbing);

private:
  const RateMatrix& Matrix;
  std::vector<std::uint64_t> PredStart; // predecessors of j: Pred[PredStart[j] .. PredStart[j+1])
  std::vector<std::uint32_t> Pred;

  // The states that reach a `from` state through states with `through` set
  // (the `from` states included).
  Mask backward(const Mask& from, const Mask& through) const;
};

#endif
