#ifndef SOLVER_LINEARSYSTEM_H
#define SOLVER_LINEARSYSTEM_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "solver/numeric/BottomComponents.h"
#include "solver/numeric/RateMatrix.h"

// One balance system over a set S of states of a chain, in the form both the
// iterative and the direct solver take:
//
//   x_j q_j = b_j + sum_{i in S, i != j} x_i q_ij        for every j in S
//
// (q_j the exit rate of j, q_ij the rate from i to j: outflow equals inflow).
// - A closed class (every transition of a member stays in S): b = 0 and x is
//   normalised to sum 1; x is the class's stationary distribution.
// - The transient states with a source at state s: b = e_s; x_j is the
//   expected time spent in j before the chain enters a closed class, starting
//   from s (transitions leaving S are the flow into the closed classes).
//
// The residual of a solution is the total flow imbalance relative to the
// total flow: sum_j |b_j + inflow_j - x_j q_j| / sum_j x_j q_j. Both systems
// have solutions without negative entries; an x with an entry below
// -1e-12 times its largest, or a non-finite one (a diverging iteration), has
// residual +infinity.
class LinearSystem {
public:
  // What a solver reports about one system.
  struct Report {
    std::string Method;           // "gs", "sor (omega 1.2)", "jacobi", "direct", "single state"
    std::uint64_t Iterations = 0; // sweeps (0 for a direct solve)
    double Residual = 0;          // of the solution returned
    bool Converged = false;
    // Estimated largest relative error of an entry of the solution. An
    // iteration: the last sweep's largest relative change times
    // rho / (1 - rho), rho the contraction per sweep measured over the last
    // 16 sweeps (infinite while it cannot be measured or is not below 1).
    // An elimination: 0 (rounding only).
    double ErrorEstimate = 0;
    double Contraction = 0; // rho of an iteration
  };

  // `states`: increasing, or nullptr for 0 .. count-1.
  static LinearSystem Closed(const RateMatrix& matrix, const std::uint32_t* states,
                             std::size_t count);
  static LinearSystem Transient(const RateMatrix& matrix, const BottomComponents& classes,
                                std::uint32_t source);

  const RateMatrix& matrix() const { return *Matrix; }
  // The states in increasing order, or nullptr when they are 0 .. size()-1.
  const std::uint32_t* states() const { return States; }
  std::size_t size() const { return Count; }
  std::uint32_t state(std::size_t n) const {
    return States != nullptr ? States[n] : static_cast<std::uint32_t>(n);
  }
  // f(state) for every state of the system, in increasing order.
  template <class F> void forEachState(F&& f) const {
    if (States == nullptr) {
      for (std::size_t n = 0; n < Count; n++)
        f(static_cast<std::uint32_t>(n));
    } else {
      for (std::size_t n = 0; n < Count; n++)
        f(States[n]);
    }
  }
  bool closed() const { return ClassOf == nullptr; }
  // Whether a transition into state k stays in S.
  bool inside(std::uint32_t k) const {
    return ClassOf == nullptr || ClassOf[k] == BottomComponents::Transient;
  }
  std::uint32_t source() const { return Source; }
  double sourceAt(std::uint32_t j) const { return j == Source ? 1.0 : 0.0; }

  // inflow[k] = sum_{i in S} x_i q_ik for every k in S (other entries are
  // left alone).
  void inflow(const double* x, double* inflow) const;
  // The residual above; `work` receives the inflow.
  double residual(const double* x, double* work) const;
  // Sets entries below zero (rounding) to zero.
  void clampNegative(double* x) const;

private:
  const RateMatrix* Matrix = nullptr;
  const std::uint32_t* States = nullptr;
  std::size_t Count = 0;
  const std::uint32_t* ClassOf = nullptr;
  std::uint32_t Source = UINT32_MAX;
};

#endif
