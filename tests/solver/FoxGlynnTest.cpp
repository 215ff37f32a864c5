// Poisson windows against the probabilities computed from their closed form
// in logarithms.

#include <gtest/gtest.h>

#include <cmath>

#include "solver/numeric/FoxGlynn.h"

namespace {

double Poisson(double lambda, std::uint64_t k) {
  return std::exp(double(k) * std::log(lambda) - lambda - std::lgamma(double(k) + 1));
}

TEST(FoxGlynnTest, ZeroRateIsAllAtZero) {
  FoxGlynn fg(0.0, 1e-10, 1e-10);
  EXPECT_EQ(fg.left(), 0u);
  EXPECT_EQ(fg.right(), 0u);
  EXPECT_EQ(fg.weight(0), 1.0);
}

TEST(FoxGlynnTest, WeightsMatchThePoissonLawFromSmallToHugeRates) {
  const double epsilon = 1e-10;
  for (double lambda : {0.5, 3.0, 100.0, 12345.6, 1e7}) {
    SCOPED_TRACE(lambda);
    FoxGlynn fg(lambda, 1e-200, epsilon);
    double sum = 0;
    for (double w : fg.weights())
      sum += w;
    EXPECT_NEAR(sum, 1.0, 1e-13);
    // The weights are normalised over the window, so each is too large by
    // the mass left out (up to epsilon). lgamma of a large argument carries
    // an absolute error of about 1e-16 times its value, so the reference
    // itself is only that good.
    const double tolerance = lambda < 1e5 ? 2 * epsilon : 1e-7;
    const std::uint64_t mode = std::uint64_t(lambda);
    for (std::uint64_t k :
         {fg.left(), mode, (fg.left() + mode) / 2, (mode + fg.right()) / 2, fg.right()}) {
      const double expected = Poisson(lambda, k);
      if (expected > 1e-290) {
        EXPECT_NEAR(fg.weight(k) / expected, 1.0, tolerance) << "k = " << k;
      }
    }
    // The mass above the window is at most epsilon, and the window is not
    // much wider than it needs to be.
    double above = 0;
    for (std::uint64_t k = fg.right() + 1; k < fg.right() + 100000; k++) {
      double p = Poisson(lambda, k);
      above += p;
      if (p < 1e-30)
        break;
    }
    EXPECT_LE(above, epsilon);
    EXPECT_GT(above, epsilon * 1e-4);
    EXPECT_LT(double(fg.right()) - lambda, 10 * std::sqrt(lambda) + 30);
    // Below the window, nothing a double can show.
    if (fg.left() > 0) {
      EXPECT_LT(Poisson(lambda, fg.left() - 1), 1e-190);
    }
  }
}

TEST(FoxGlynnTest, HugeRateStaysFiniteAndNormalised) {
  FoxGlynn fg(1e9, 1e-200, 1e-10);
  double sum = 0, largest = 0;
  for (double w : fg.weights()) {
    ASSERT_TRUE(std::isfinite(w));
    sum += w;
    largest = std::max(largest, w);
  }
  EXPECT_NEAR(sum, 1.0, 1e-11);
  // The mode's probability is about 1 / sqrt(2 pi lambda).
  EXPECT_NEAR(largest * std::sqrt(2 * M_PI * 1e9), 1.0, 1e-5);
  EXPECT_LT(fg.left(), std::uint64_t(1e9));
  EXPECT_GT(fg.right(), std::uint64_t(1e9));
}

} // namespace
