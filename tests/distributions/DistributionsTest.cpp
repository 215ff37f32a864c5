#include <cmath>
#include <cstddef>
#include <initializer_list>
#include <vector>

#include <gtest/gtest.h>

#include "distributions/Distributions.h"
#include "distributions/UserDistributions.h"

namespace {

// Hands out a fixed sequence of uniforms and counts the draws.
class ScriptedGenerator : public RandomNumberGenerator {
public:
  explicit ScriptedGenerator(std::vector<double> values) : Values(std::move(values)) {}
  double rnd() override {
    EXPECT_LT(Draws, Values.size()) << "more draws than scripted";
    return Draws < Values.size() ? Values[Draws++] : 0.5;
  }
  std::vector<double> Values;
  size_t Draws = 0;
};

class DistributionsTest : public ::testing::Test {
protected:
  // Makes the sampler draw the given uniforms, in order.
  ScriptedGenerator& script(std::initializer_list<double> values) {
    delete D.Generator;
    auto* g = new ScriptedGenerator(values);
    D.Generator = g;
    return *g;
  }
  Distributions D;
};

// Sample mean and variance of n draws of a sampler on a seeded stream.
template <class Draw> void moments(int n, Draw draw, double& mean, double& variance) {
  double sum = 0.0, squares = 0.0;
  for (int i = 0; i < n; i++) {
    const double x = draw();
    sum += x;
    squares += x * x;
  }
  mean = sum / n;
  variance = squares / n - mean * mean;
}

const double Tol = 1e-12;

} // namespace

TEST_F(DistributionsTest, DeterministicDrawsNothing) {
  ScriptedGenerator& g = script({});
  EXPECT_EQ(D.Deterministic(5.0), 5.0);
  EXPECT_EQ(g.Draws, 0u);
}

TEST_F(DistributionsTest, ExponentialWeibullAndParetoInvertOneUniform) {
  script({std::exp(-1.0), std::exp(-4.0), 0.125});
  EXPECT_NEAR(D.Exponential(2.0), 0.5, Tol);
  EXPECT_NEAR(D.Weibull(2.0, 3.0), 6.0, Tol); // 3 * 4^(1/2)
  EXPECT_NEAR(D.Pareto(2.0, 3.0), 4.0, Tol);  // 2 * 8^(1/3)
}

TEST_F(DistributionsTest, ConditionalWeibullWithShapeOneIsMemoryless) {
  // With shape 1 the remaining life does not depend on the age.
  script({std::exp(-1.0), std::exp(-1.0)});
  EXPECT_NEAR(D.ConditionalWeibull(1.0, 2.0, 5.0), 2.0, 1e-9);
  EXPECT_NEAR(D.ConditionalWeibull(1.0, 2.0, 0.0), 2.0, 1e-9);
}

TEST_F(DistributionsTest, GeometricCountsFailures) {
  script({0.2, 0.6});
  EXPECT_EQ(D.Geometric(0.5), 2.0); // ln 0.2 / ln 0.5 = 2.32
  EXPECT_EQ(D.Geometric(0.5), 0.0); // ln 0.6 / ln 0.5 = 0.74
}

TEST_F(DistributionsTest, NormalRejectsPointsOutsideDiscAndNegativeResults) {
  // (0.99, 0.99) lies outside the unit disc; (0.25, 0.5) gives V1 = -0.5,
  // V2 = 0 and a negative result; (0.75, 0.5) gives V1 = 0.5, V2 = 0.
  ScriptedGenerator& g = script({0.99, 0.99, 0.25, 0.5, 0.75, 0.5});
  const double z = 0.5 * std::sqrt(-2.0 * std::log(0.25) / 0.25);
  EXPECT_NEAR(D.Normal(0.0, 4.0), 2.0 * z, Tol);
  EXPECT_EQ(g.Draws, 6u);
}

TEST_F(DistributionsTest, LognormalKeepsNegativeNormalPart) {
  ScriptedGenerator& g = script({0.25, 0.5});
  const double z = -0.5 * std::sqrt(-2.0 * std::log(0.25) / 0.25);
  EXPECT_NEAR(D.Lognormal(1.0, 9.0), std::exp(1.0 + 3.0 * z), Tol);
  EXPECT_EQ(g.Draws, 2u);
}

TEST_F(DistributionsTest, PolarMethodSkipsTheCentre) {
  // (0.5, 0.5) is the centre of the disc, where ln S / S is undefined.
  script({0.5, 0.5, 0.75, 0.5});
  const double z = 0.5 * std::sqrt(-2.0 * std::log(0.25) / 0.25);
  EXPECT_NEAR(D.Normal(0.0, 1.0), z, Tol);
}

TEST_F(DistributionsTest, ErlangUsesFloorOfPhases) {
  ScriptedGenerator& g = script({std::exp(-1.0), std::exp(-2.0), std::exp(-1.0), std::exp(-2.0)});
  EXPECT_NEAR(D.Erlang(2.0, 4.0), 6.0, Tol); // -(4/2) * (-3)
  EXPECT_NEAR(D.Erlang(2.5, 5.0), 6.0, Tol); // two phases, -(5/2.5) * (-3)
  EXPECT_EQ(g.Draws, 4u);
}

TEST_F(DistributionsTest, ErlangBelowOnePhaseIsZeroWithoutDraw) {
  ScriptedGenerator& g = script({});
  EXPECT_EQ(D.Erlang(0.5, 3.0), 0.0);
  EXPECT_EQ(D.Erlang(0.0, 3.0), 0.0);
  EXPECT_EQ(g.Draws, 0u);
}

TEST_F(DistributionsTest, ErlangWithManyPhasesStaysFinite) {
  UserDistributions d(0, 8);
  // A product of 5000 uniforms underflows; the sampler must not.
  const double x = d.Erlang(5000.0, 1.0);
  EXPECT_TRUE(std::isfinite(x));
  EXPECT_NEAR(x, 1.0, 0.1);
}

TEST_F(DistributionsTest, TriangularEndpointsAndMode) {
  ScriptedGenerator& g = script({0.0, 0.25, 1.0 - 1e-15});
  EXPECT_NEAR(D.Triangular(0.0, 4.0, 1.0), 0.0, 1e-9); // U = 0: minimum
  EXPECT_NEAR(D.Triangular(0.0, 4.0, 1.0), 1.0, 1e-9); // U = w: mode
  EXPECT_NEAR(D.Triangular(0.0, 4.0, 1.0), 4.0, 1e-6); // U -> 1: maximum
  EXPECT_EQ(g.Draws, 3u);
}

TEST_F(DistributionsTest, TriangularWithEqualBoundsIsTheBound) {
  ScriptedGenerator& g = script({});
  EXPECT_EQ(D.Triangular(2.0, 2.0, 7.0), 2.0);
  EXPECT_EQ(D.Triangular(2.0, 2.0, -1.0), 2.0);
  EXPECT_EQ(g.Draws, 0u);
}

TEST_F(DistributionsTest, GammaShapeOneIsScaledExponential) {
  ScriptedGenerator& g = script({std::exp(-2.0)});
  EXPECT_NEAR(D.Gamma(1.0, 3.0), 6.0, Tol);
  EXPECT_EQ(g.Draws, 1u);
}

TEST_F(DistributionsTest, BinomialCountsTrialsOfCeilN) {
  ScriptedGenerator& g = script({0.1, 0.5, 0.9});
  EXPECT_EQ(D.Binomial(2.5, 0.5), 2.0); // a trial at U = p succeeds
  EXPECT_EQ(g.Draws, 3u);
  EXPECT_EQ(D.Binomial(0.0, 0.5), 0.0);
  EXPECT_EQ(D.Binomial(-3.0, 0.5), 0.0);
  EXPECT_EQ(g.Draws, 3u);
}

TEST_F(DistributionsTest, NegativeBinomialSumsGeometricTerms) {
  ScriptedGenerator& g = script({0.2, 0.6});
  EXPECT_EQ(D.NegativeBinomial(1.5, 0.5), 2.0); // 2 + 0
  EXPECT_EQ(D.NegativeBinomial(0.0, 0.5), 0.0);
  EXPECT_EQ(g.Draws, 2u);
}

TEST_F(DistributionsTest, HyperExponentialChoosesBranchByWeightShare) {
  // (rate 1, weight 1), (rate 10, weight 3): shares 0.25 and 1.
  double params[] = {1.0, 1.0, 10.0, 3.0};
  script({0.2, std::exp(-1.0), 0.25, std::exp(-1.0), 0.999, std::exp(-5.0)});
  EXPECT_NEAR(D.HyperExponential(2, params), 1.0, Tol);
  EXPECT_NEAR(D.HyperExponential(2, params), 0.1, Tol); // U = 0.25 is not below 0.25
  EXPECT_NEAR(D.HyperExponential(2, params), 0.5, Tol);
}

TEST(DistributionsStatisticsTest, GammaMomentsMatchAboveAndBelowShapeOne) {
  UserDistributions d(0, 271828);
  double mean, variance;
  moments(
      40000, [&] { return d.Gamma(3.0, 2.0); }, mean, variance);
  EXPECT_NEAR(mean, 6.0, 0.1);      // shape * scale
  EXPECT_NEAR(variance, 12.0, 0.8); // shape * scale^2
  moments(
      40000, [&] { return d.Gamma(0.5, 2.0); }, mean, variance);
  EXPECT_NEAR(mean, 1.0, 0.05);
  EXPECT_NEAR(variance, 2.0, 0.2);
}

TEST(DistributionsStatisticsTest, BetaLiesInUnitIntervalWithRightMean) {
  UserDistributions d(0, 314159);
  const double shapes[][2] = {{0.5, 0.5}, {1.0, 1.0}, {2.0, 5.0}, {0.3, 4.0}};
  for (const auto& s : shapes) {
    double sum = 0.0;
    for (int i = 0; i < 20000; i++) {
      const double x = d.Beta(s[0], s[1]);
      ASSERT_GE(x, 0.0);
      ASSERT_LE(x, 1.0);
      sum += x;
    }
    EXPECT_NEAR(sum / 20000, s[0] / (s[0] + s[1]), 0.01) << s[0] << ", " << s[1];
  }
}

TEST(DistributionsStatisticsTest, NormalMomentsAndNoNegativeDraws) {
  UserDistributions d(0, 161803);
  double mean, variance;
  moments(
      40000, [&] { return d.Normal(10.0, 4.0); }, mean, variance);
  EXPECT_NEAR(mean, 10.0, 0.05);
  EXPECT_NEAR(variance, 4.0, 0.2);
  for (int i = 0; i < 10000; i++)
    ASSERT_GE(d.Normal(0.5, 1.0), 0.0);
}
