#include "solver/numeric/FoxGlynn.h"

#include <cassert>
#include <cmath>
#include <deque>

FoxGlynn::FoxGlynn(double lambda, double leftEpsilon, double rightEpsilon) : Lambda(lambda) {
  assert(lambda >= 0 && std::isfinite(lambda) && "the Poisson rate is finite and not negative");
  assert(leftEpsilon > 0 && leftEpsilon < 1 && rightEpsilon > 0 && rightEpsilon < 1 &&
         "the truncation errors lie in (0, 1)");
  if (lambda == 0) {
    Weights.assign(1, 1.0);
    return;
  }
  const std::uint64_t mode = static_cast<std::uint64_t>(std::floor(lambda));

  // Walk both sides from the mode; a deque takes the left side in front.
  std::deque<double> window{1.0};
  double sum = 1.0;
  // The window's ends, named as the accessors that later return them.
  // cppcheck-suppress shadowFunction
  std::uint64_t left = mode;
  bool leftDone = left == 0, rightDone = false;
  // cppcheck-suppress shadowFunction
  std::uint64_t right = mode;
  double wLeft = 1.0, wRight = 1.0;
  while (!leftDone || !rightDone) {
    if (!leftDone) {
      const double r = double(left) / lambda; // w(left-1) / w(left), < 1 below the mode
      if (r < 1 && wLeft * r / (1 - r) <= leftEpsilon * sum) {
        leftDone = true;
      } else {
        wLeft *= r;
        left--;
        window.push_front(wLeft);
        sum += wLeft;
        if (left == 0)
          leftDone = true;
      }
    }
    if (!rightDone) {
      const double r = lambda / double(right + 1); // w(right+1) / w(right)
      if (r < 1 && wRight * r / (1 - r) <= rightEpsilon * sum) {
        rightDone = true;
      } else {
        wRight *= r;
        right++;
        window.push_back(wRight);
        sum += wRight;
      }
    }
  }
  Left = left;
  Total = sum;
  Weights.assign(window.begin(), window.end());
  for (double& w : Weights)
    w /= sum;
}
