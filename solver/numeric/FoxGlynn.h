#ifndef SOLVER_FOXGLYNN_H
#define SOLVER_FOXGLYNN_H

#include <cstdint>
#include <vector>

// The Poisson probabilities P(N = k), N ~ Poisson(lambda), truncated to a
// window [left, right] that leaves out at most leftEpsilon of the mass below
// it and rightEpsilon above it, in the manner of Fox and Glynn.
//
// Method: start at the mode m = floor(lambda) with the unnormalised weight
// 1, and walk outwards with the ratios w(k-1) = w(k) k / lambda and
// w(k+1) = w(k) lambda / (k+1). On each side the ratios only shrink further
// out, so the mass beyond the current point k is at most
// w(k) r / (1 - r) with r the ratio at k (a geometric series); a side stops
// when that bound is at most its epsilon times the weights gathered so far
// (or, on the left, at 0). The weights are then divided by their sum. No
// weight exceeds 1 and none falls below about epsilon/sqrt(lambda) times the
// largest, so nothing overflows or underflows for any lambda (a side is
// about sqrt(2 ln(1/epsilon) lambda) long: 6.8 sqrt(lambda) for 1e-10, so
// 45000 weights at lambda = 1e7 with both sides at 1e-10). The relative
// rounding error of a weight grows with the number of products, about
// 1e-16 times the distance from the mode.
//
// Memory: 8 bytes per weight.
class FoxGlynn {
public:
  // Both epsilons in (0, 1).
  FoxGlynn(double lambda, double leftEpsilon, double rightEpsilon);

  double lambda() const { return Lambda; }
  std::uint64_t left() const { return Left; }
  std::uint64_t right() const { return Left + Weights.size() - 1; }
  // Normalised weight of k, left() <= k <= right().
  double weight(std::uint64_t k) const { return Weights[k - Left]; }
  const std::vector<double>& weights() const { return Weights; }
  // Sum of the unnormalised weights (the mode's weight being 1).
  double total() const { return Total; }

private:
  double Lambda;
  std::uint64_t Left = 0;
  std::vector<double> Weights;
  double Total = 1;
};

#endif
