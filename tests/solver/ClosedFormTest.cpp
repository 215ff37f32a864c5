// Solutions of small chains against their closed forms, for every method.

#include <gtest/gtest.h>

#include <cmath>

#include <Eigen/Dense>

#include "solver/SolverError.h"
#include "solver/numeric/SteadyStateSolver.h"
#include "tests/solver/SolverTestFiles.h"

namespace {

using Method = SolverOptions::Method;
const Method AllMethods[] = {Method::Auto,   Method::GaussSeidel, Method::SOR,
                             Method::Jacobi, Method::Direct,      Method::Multilevel};

// A unit that fails at rate lambda and is repaired at rate mu; state 1 up.
TestChain RepairableUnit(double lambda, double mu) {
  TestChain chain;
  chain.States = 2;
  chain.add(1, 2, lambda);
  chain.add(2, 1, mu);
  TestVariable avail{"Availability", 3, {{0, 1}}, {1, 0}, {}};
  TestVariable point{"Point", 0, {{0, 0}, {0.1, 0.1}, {1, 1}, {5, 5}, {50, 50}}, {1, 0}, {}};
  TestVariable accumulated{"UpTime", 1, {{0, 2}, {1, 3}, {4, 4}}, {1, 0}, {}};
  TestVariable averaged{"UpFraction", 2, {{0, 10}, {2, 7}}, {1, 0}, {}};
  chain.Variables = {avail, point, accumulated, averaged};
  return chain;
}

double UnitAvailability(double lambda, double mu, double t) {
  return mu / (lambda + mu) + lambda / (lambda + mu) * std::exp(-(lambda + mu) * t);
}

double UnitUpTime(double lambda, double mu, double a, double b) {
  const double s = lambda + mu;
  return mu * (b - a) / s + lambda / (s * s) * (std::exp(-s * a) - std::exp(-s * b));
}

TEST(ClosedFormTest, RepairableUnitSteadyStateAndTransientEveryMethod) {
  SolverScratch dir;
  const double lambda = 0.3, mu = 2.0;
  const std::string prefix = WriteChain(dir, "unit", RepairableUnit(lambda, mu));
  for (Method method : AllMethods) {
    SCOPED_TRACE(SolverOptions::MethodName(method));
    ChainSolver::Result result = SolvePrefix(prefix, MethodOptions(method));
    ASSERT_TRUE(result.complete());
    EXPECT_NEAR(RowOf(result, "Availability").Value, mu / (lambda + mu), 1e-11);
    for (double t : {0.0, 0.1, 1.0, 5.0, 50.0})
      EXPECT_NEAR(RowOf(result, "Point", t).Value, UnitAvailability(lambda, mu, t), 1e-11)
          << "t = " << t;
    EXPECT_NEAR(RowOf(result, "UpTime", 0).Value, UnitUpTime(lambda, mu, 0, 2), 1e-10);
    EXPECT_NEAR(RowOf(result, "UpTime", 1).Value, UnitUpTime(lambda, mu, 1, 3), 1e-10);
    EXPECT_EQ(RowOf(result, "UpTime", 4).Value, 0.0);
    EXPECT_NEAR(RowOf(result, "UpFraction", 0).Value, UnitUpTime(lambda, mu, 0, 10) / 10, 1e-11);
    EXPECT_NEAR(RowOf(result, "UpFraction", 2).Value, UnitUpTime(lambda, mu, 2, 7) / 5, 1e-11);
  }
}

TEST(ClosedFormTest, BinaryRewardFileGivesTheSameValues) {
  SolverScratch dir;
  const std::string text = WriteChain(dir, "text", RepairableUnit(0.3, 2.0));
  const std::string binary = WriteChain(dir, "binary", RepairableUnit(0.3, 2.0), true);
  ChainSolver::Result a = SolvePrefix(text, MethodOptions());
  ChainSolver::Result b = SolvePrefix(binary, MethodOptions());
  ASSERT_EQ(a.Rows.size(), b.Rows.size());
  for (std::size_t i = 0; i < a.Rows.size(); i++)
    EXPECT_EQ(a.Rows[i].Value, b.Rows[i].Value) << a.Rows[i].Variable;
}

// M/M/1/K: state s holds s-1 customers; arrivals lambda, services mu.
TEST(ClosedFormTest, QueueMeanLengthEveryMethod) {
  const double lambda = 0.8, mu = 1.0;
  const int K = 30;
  TestChain chain;
  chain.States = K + 1;
  TestVariable length{"Length", 3, {{0, 1}}, {}, {}};
  for (int n = 0; n <= K; n++) {
    if (n < K)
      chain.add(n + 1, n + 2, lambda);
    if (n > 0)
      chain.add(n + 1, n, mu);
    length.Rate.push_back(n);
  }
  chain.Variables = {length};
  double weight = 1, sum = 0, mean = 0;
  for (int n = 0; n <= K; n++, weight *= lambda / mu) {
    sum += weight;
    mean += n * weight;
  }
  mean /= sum;

  SolverScratch dir;
  const std::string prefix = WriteChain(dir, "mm1k", chain);
  for (Method method : AllMethods) {
    SCOPED_TRACE(SolverOptions::MethodName(method));
    ChainSolver::Result result = SolvePrefix(prefix, MethodOptions(method));
    ASSERT_TRUE(result.complete()) << result.Info.Failure;
    EXPECT_NEAR(RowOf(result, "Length").Value, mean, 1e-9 * mean);
  }
}

// Above the direct solver's size the iteration with adaptive relaxation
// solves both kinds of system:
// - a closed class: two independent M/M/1/K queues (1271 states), whose
//   joint law is the product of the two truncated geometric laws;
// - a transient part: a race of two Erlang clocks of K phases (rates a and
//   b, 1225 transient states); A wins when its K-th phase ends first, with
//   probability sum_{n=K}^{2K-1} C(2K-1, n) (a/(a+b))^n (b/(a+b))^(2K-1-n).
TEST(ClosedFormTest, LargeSystemsWithAdaptiveRelaxation) {
  SolverScratch dir;
  const int K1 = 40, K2 = 30;
  const double lambda1 = 0.7, lambda2 = 1.1, mu = 1.0;
  TestChain queues;
  queues.States = (K1 + 1) * (K2 + 1);
  auto number = [&](int i, int j) { return std::uint32_t(i * (K2 + 1) + j + 1); };
  TestVariable length{"Length", 3, {{0, 1}}, std::vector<double>(queues.States), {}};
  for (int i = 0; i <= K1; i++) {
    for (int j = 0; j <= K2; j++) {
      if (i < K1)
        queues.add(number(i, j), number(i + 1, j), lambda1);
      if (i > 0)
        queues.add(number(i, j), number(i - 1, j), mu);
      if (j < K2)
        queues.add(number(i, j), number(i, j + 1), lambda2);
      if (j > 0)
        queues.add(number(i, j), number(i, j - 1), mu);
      length.Rate[number(i, j) - 1] = i + j;
    }
  }
  queues.Variables = {length};
  auto meanLength = [](double rho, int K) {
    double weight = 1, sum = 0, mean = 0;
    for (int n = 0; n <= K; n++, weight *= rho) {
      sum += weight;
      mean += n * weight;
    }
    return mean / sum;
  };
  const double expected = meanLength(lambda1 / mu, K1) + meanLength(lambda2 / mu, K2);
  ChainSolver::Result q = SolvePrefix(WriteChain(dir, "queues", queues), MethodOptions());
  ASSERT_TRUE(q.complete()) << q.Info.Failure;
  EXPECT_EQ(q.Info.Methods.find("direct"), std::string::npos) << q.Info.Methods;
  EXPECT_NEAR(RowOf(q, "Length").Value / expected, 1.0, 1e-9);

  const int K = 35;
  const double a = 1.0, b = 1.2;
  TestChain race;
  // Transient (i, j), 0 <= i, j < K, numbered by i + j so that state 1 is
  // (0, 0); then A's wins (K, j) and B's wins (i, K), absorbing.
  std::map<std::pair<int, int>, std::uint32_t> id;
  for (int level = 0; level <= 2 * K - 2; level++)
    for (int i = 0; i < K; i++)
      if (level - i >= 0 && level - i < K)
        id[{i, level - i}] = std::uint32_t(id.size() + 1);
  for (int j = 0; j < K; j++)
    id[{K, j}] = std::uint32_t(id.size() + 1);
  for (int i = 0; i < K; i++)
    id[{i, K}] = std::uint32_t(id.size() + 1);
  race.States = std::uint32_t(id.size());
  TestVariable aWins{"AWins", 3, {{0, 1}}, std::vector<double>(race.States, 0.0), {}};
  for (int i = 0; i < K; i++) {
    for (int j = 0; j < K; j++) {
      race.add(id[{i, j}], id[{i + 1, j}], a);
      race.add(id[{i, j}], id[{i, j + 1}], b);
    }
  }
  for (int j = 0; j < K; j++)
    aWins.Rate[id[{K, j}] - 1] = 1;
  race.Variables = {aWins};
  double win = 0;
  const double pa = a / (a + b);
  for (int n = K; n <= 2 * K - 1; n++)
    win += std::exp(std::lgamma(2.0 * K) - std::lgamma(n + 1.0) - std::lgamma(2.0 * K - n) +
                    n * std::log(pa) + (2 * K - 1 - n) * std::log(1 - pa));
  ChainSolver::Result r = SolvePrefix(WriteChain(dir, "race", race), MethodOptions());
  ASSERT_TRUE(r.complete()) << r.Info.Failure;
  EXPECT_EQ(r.Info.Classes, std::uint32_t(2 * K));
  EXPECT_EQ(r.Info.TransientStates, std::uint64_t(K * K));
  EXPECT_NEAR(RowOf(r, "AWins").Value, win, 1e-10);
}

// Four components failing independently at rate lambda, never repaired;
// state s has 5 - s working. Works while at least two are up.
TEST(ClosedFormTest, PureDeathReliability) {
  const double lambda = 0.5;
  TestChain chain;
  chain.States = 5;
  for (std::uint32_t s = 1; s < 5; s++)
    chain.add(s, s + 1, (5 - s) * lambda);
  const std::vector<std::pair<double, double>> times{{0.5, 0.5}, {1, 1}, {2, 2}, {4, 4}, {8, 8}};
  chain.Variables = {TestVariable{"Reliability", 0, times, {1, 1, 1, 0, 0}, {}},
                     TestVariable{"Working", 0, times, {4, 3, 2, 1, 0}, {}},
                     TestVariable{"LongRun", 3, {{0, 1}}, {1, 1, 1, 0, 0}, {}}};
  SolverScratch dir;
  ChainSolver::Result result = SolvePrefix(WriteChain(dir, "death", chain), MethodOptions());
  ASSERT_TRUE(result.complete());
  for (auto [t, unused] : times) {
    const double up = std::exp(-lambda * t), down = 1 - up;
    const double reliability =
        up * up * up * up + 4 * up * up * up * down + 6 * up * up * down * down;
    EXPECT_NEAR(RowOf(result, "Reliability", t).Value, reliability, 1e-11) << "t = " << t;
    EXPECT_NEAR(RowOf(result, "Working", t).Value, 4 * up, 4e-11) << "t = " << t;
  }
  EXPECT_NEAR(RowOf(result, "LongRun").Value, 0.0, 1e-15);
}

// 1 -> 2 (1), 1 -> 3 (2), 2 -> 1 (3), 2 -> 4 (4); 3 and 4 absorb. From
// state 1, h = P(end in 3) solves h1 = (2 + h2)/3, h2 = 3 h1 / 7: h1 = 7/9.
TEST(ClosedFormTest, TwoAbsorbingStatesAbsorptionProbabilities) {
  TestChain chain;
  chain.States = 4;
  chain.add(1, 2, 1);
  chain.add(1, 3, 2);
  chain.add(2, 1, 3);
  chain.add(2, 4, 4);
  chain.Variables = {TestVariable{"InThree", 3, {{0, 1}}, {0, 0, 1, 0}, {}},
                     TestVariable{"InFour", 3, {{0, 1}}, {0, 0, 0, 1}, {}}};
  SolverScratch dir;
  const std::string prefix = WriteChain(dir, "absorb", chain);
  for (Method method : AllMethods) {
    SCOPED_TRACE(SolverOptions::MethodName(method));
    ChainSolver::Result result = SolvePrefix(prefix, MethodOptions(method));
    ASSERT_TRUE(result.complete()) << result.Info.Failure;
    EXPECT_EQ(result.Info.Classes, 2u);
    EXPECT_EQ(result.Info.TransientStates, 2u);
    EXPECT_NEAR(RowOf(result, "InThree").Value, 7.0 / 9, 1e-11);
    EXPECT_NEAR(RowOf(result, "InFour").Value, 2.0 / 9, 1e-11);
  }
}

// State 1 enters the closed classes {2,3} and {4,5} with equal rates; within
// them pi = (2/3, 1/3) and (1/4, 3/4). The long-run average of the reward
// "state number" is (1/2)(7/3) + (1/2)(19/4) = 85/24.
TEST(ClosedFormTest, TwoClosedClassesCombineByAbsorption) {
  TestChain chain;
  chain.States = 5;
  chain.add(1, 2, 1);
  chain.add(1, 4, 1);
  chain.add(2, 3, 1);
  chain.add(3, 2, 2);
  chain.add(4, 5, 3);
  chain.add(5, 4, 1);
  chain.Variables = {TestVariable{"Number", 3, {{0, 1}}, {1, 2, 3, 4, 5}, {}}};
  SolverScratch dir;
  const std::string prefix = WriteChain(dir, "classes", chain);
  for (Method method : AllMethods) {
    SCOPED_TRACE(SolverOptions::MethodName(method));
    ChainSolver::Result result = SolvePrefix(prefix, MethodOptions(method));
    ASSERT_TRUE(result.complete()) << result.Info.Failure;
    EXPECT_NEAR(RowOf(result, "Number").Value, 85.0 / 24, 1e-10);
  }
}

// Rates 1e-4 and 1e4 in one chain.
TEST(ClosedFormTest, StiffUnitAndStiffTwoPhaseFailure) {
  const double lambda = 1e-4, mu = 1e4;
  SolverScratch dir;
  TestChain unit = RepairableUnit(lambda, mu);
  unit.Variables[1].Times = {{1e-5, 1e-5}, {1e-4, 1e-4}, {1, 1}, {100, 100}};
  for (Method method : AllMethods) {
    SCOPED_TRACE(SolverOptions::MethodName(method));
    ChainSolver::Result result = SolvePrefix(WriteChain(dir, "stiff", unit), MethodOptions(method));
    ASSERT_TRUE(result.complete()) << result.Info.Failure;
    EXPECT_NEAR(RowOf(result, "Availability").Value, mu / (lambda + mu), 1e-13);
    for (double t : {1e-5, 1e-4, 1.0, 100.0})
      EXPECT_NEAR(RowOf(result, "Point", t).Value, UnitAvailability(lambda, mu, t), 1e-11);
  }

  // 1 -> 2 at a = 1e4, 2 -> 3 at b = 1e-4: P(in 3 at t) is the
  // hypoexponential distribution 1 - (a e^{-bt} - b e^{-at}) / (a - b).
  const double a = 1e4, b = 1e-4;
  TestChain phases;
  phases.States = 3;
  phases.add(1, 2, a);
  phases.add(2, 3, b);
  phases.Variables = {TestVariable{"Failed", 0, {{1e-4, 1e-4}, {1, 1}, {100, 100}}, {0, 0, 1}, {}}};
  ChainSolver::Result result = SolvePrefix(WriteChain(dir, "phases", phases), MethodOptions());
  ASSERT_TRUE(result.complete());
  for (double t : {1e-4, 1.0, 100.0}) {
    const double failed = 1 - (a * std::exp(-b * t) - b * std::exp(-a * t)) / (a - b);
    EXPECT_NEAR(RowOf(result, "Failed", t).Value, failed, 1e-11) << "t = " << t;
  }
}

// q t above 1e7: the pass stops at steady state long before its window.
TEST(ClosedFormTest, LargeUniformizationTimeReachesSteadyState) {
  TestChain unit = RepairableUnit(1.0, 3.0);
  unit.Variables[1].Times = {{4e6, 4e6}, {1e9, 1e9}};
  unit.Variables[3].Times = {{0, 5e6}};
  SolverScratch dir;
  ChainSolver::Result result = SolvePrefix(WriteChain(dir, "long", unit), MethodOptions());
  ASSERT_TRUE(result.complete());
  EXPECT_GE(result.Info.Transient.Rate * 4e6, 1e7);
  EXPECT_TRUE(result.Info.Transient.Detected);
  EXPECT_LT(result.Info.Transient.Steps, 1000u);
  EXPECT_NEAR(RowOf(result, "Point", 4e6).Value, 0.75, 1e-11);
  EXPECT_NEAR(RowOf(result, "Point", 1e9).Value, 0.75, 1e-11);
  EXPECT_NEAR(RowOf(result, "UpFraction", 0).Value, UnitUpTime(1, 3, 0, 5e6) / 5e6, 1e-11);

  // Beyond q t = 1e10 a time is refused rather than given a window of
  // millions of weights.
  unit.Variables[1].Times = {{4e9, 4e9}};
  try {
    SolvePrefix(WriteChain(dir, "longer", unit), MethodOptions());
    ADD_FAILURE() << "q t = 1.2e10 was attempted";
  } catch (const SolverError& e) {
    EXPECT_EQ(e.exitStatus(), 1);
    EXPECT_NE(std::string(e.what()).find("time 4e+09 needs about q t = 1.22e+10"),
              std::string::npos)
        << e.what();
  }
}

TEST(ClosedFormTest, IterationLimitAndPeriodicJacobiReportNotConverged) {
  SolverScratch dir;
  const std::string prefix = WriteChain(dir, "unit", RepairableUnit(1.0, 2.0));

  // Undamped Jacobi on a two-state chain swaps the two values forever.
  SolverOptions jacobi = MethodOptions(Method::Jacobi);
  jacobi.Omega = 1.0;
  jacobi.MaxIterations = 500;
  ChainSolver::Result cycling = SolvePrefix(prefix, jacobi);
  EXPECT_FALSE(cycling.complete());
  EXPECT_FALSE(RowOf(cycling, "Availability").Valid);
  EXPECT_NE(RowOf(cycling, "Availability").Note.find("residual"), std::string::npos);
  // Time-dependent rows do not depend on the failed iteration.
  EXPECT_TRUE(RowOf(cycling, "Point", 1).Valid);

  SolverOptions few = MethodOptions(Method::GaussSeidel);
  few.MaxIterations = 1;
  TestChain queue;
  queue.States = 50;
  TestVariable length{"Length", 3, {{0, 1}}, {}, {}};
  for (std::uint32_t s = 1; s <= 50; s++) {
    if (s < 50)
      queue.add(s, s + 1, 0.9);
    if (s > 1)
      queue.add(s, s - 1, 1.0);
    length.Rate.push_back(s - 1);
  }
  queue.Variables = {length};
  ChainSolver::Result limited = SolvePrefix(WriteChain(dir, "queue", queue), few);
  EXPECT_FALSE(limited.complete());
  EXPECT_NE(limited.Info.Failure.find("did not converge within 1 iterations"), std::string::npos)
      << limited.Info.Failure;
}

// More than 256 and more than 65536 distinct rates: the rate columns widen
// to 2 and 8 bytes per entry, and every kernel must still give the answer.
TEST(ClosedFormTest, ChainsWithManyDistinctRates) {
  SolverScratch dir;
  // M/M/infinity truncated at K: pi_n proportional to a^n / n!, a = 40.
  const int K = 400;
  const double lambda = 40.0, mu = 1.0;
  TestChain servers;
  servers.States = K + 1;
  TestVariable busy{"Busy", 3, {{0, 1}}, {}, {}};
  for (int n = 0; n <= K; n++) {
    if (n < K)
      servers.add(n + 1, n + 2, lambda);
    if (n > 0)
      servers.add(n + 1, n, n * mu * (1 + 1e-9 * n)); // all distinct
    busy.Rate.push_back(n);
  }
  servers.Variables = {busy};
  double weight = 1, sum = 0, mean = 0;
  for (int n = 0; n <= K; n++) {
    sum += weight;
    mean += n * weight;
    weight *= lambda / ((n + 1) * mu * (1 + 1e-9 * (n + 1)));
  }
  const std::string prefix = WriteChain(dir, "servers", servers);
  for (Method method : {Method::Direct, Method::GaussSeidel}) {
    ChainSolver::Result result = SolvePrefix(prefix, MethodOptions(method));
    ASSERT_TRUE(result.complete()) << result.Info.Failure;
    EXPECT_NEAR(RowOf(result, "Busy").Value / (mean / sum), 1.0, 1e-9);
  }

  // A cycle of 70000 states leaving state i at rate 1 + i/1000: the time
  // spent in i is proportional to 1 / rate.
  TestChain cycle;
  cycle.States = 70000;
  TestVariable index{"Index", 3, {{0, 1}}, {}, {}};
  double total = 0, weighted = 0;
  for (std::uint32_t i = 1; i <= cycle.States; i++) {
    const double rate = 1 + i / 1000.0;
    cycle.add(i, i % cycle.States + 1, rate);
    index.Rate.push_back(i);
    total += 1 / rate;
    weighted += i / rate;
  }
  cycle.Variables = {index};
  ChainSolver::Result result = SolvePrefix(WriteChain(dir, "cycle", cycle), MethodOptions());
  ASSERT_TRUE(result.complete()) << result.Info.Failure;
  EXPECT_NEAR(RowOf(result, "Index").Value / (weighted / total), 1.0, 1e-9);
}

TEST(ClosedFormTest, DirectMethodRefusesSystemsTooLargeToEliminate) {
  TestChain cycle;
  cycle.States = SteadyStateSolver::DirectMaximum + 1;
  TestVariable one{"One", 3, {{0, 1}}, std::vector<double>(cycle.States, 1.0), {}};
  for (std::uint32_t s = 1; s <= cycle.States; s++)
    cycle.add(s, s % cycle.States + 1, 1.0);
  cycle.Variables = {one};
  SolverScratch dir;
  const std::string prefix = WriteChain(dir, "cycle", cycle);
  try {
    SolvePrefix(prefix, MethodOptions(Method::Direct));
    ADD_FAILURE() << "a direct solve of " << cycle.States << " states was attempted";
  } catch (const SolverError& e) {
    EXPECT_EQ(e.exitStatus(), 1);
    EXPECT_NE(std::string(e.what()).find("limited to 4096 states"), std::string::npos) << e.what();
  }
  // Every other method solves it (the uniform distribution).
  EXPECT_NEAR(RowOf(SolvePrefix(prefix, MethodOptions()), "One").Value, 1.0, 1e-12);
}

TEST(ClosedFormTest, ImpulseValuesAreNotedNotAdded) {
  TestChain unit = RepairableUnit(0.3, 2.0);
  unit.Variables[0].Impulse = {0, 5};
  SolverScratch dir;
  ChainSolver::Result result = SolvePrefix(WriteChain(dir, "impulse", unit), MethodOptions());
  EXPECT_NEAR(RowOf(result, "Availability").Value, 2.0 / 2.3, 1e-11);
  EXPECT_EQ(RowOf(result, "Availability").Note, "impulse part not included (no .imp file)");
  EXPECT_EQ(RowOf(result, "Point", 1).Note, "");
}

} // namespace

// A queue whose probabilities fall by a factor 20 per customer: the last
// states hold about 1e-15 of the mass. The iteration's convergence test is
// on the relative change of every component, so that such a state is as
// exact as a large one: a reward on it (the probability that the queue is
// full) must keep its significant digits, for every method (the direct
// method's elimination never subtracts, so its error is relative too).
TEST(ClosedFormTest, SmallProbabilitiesKeepTheirDigits) {
  const int K = 12;
  const double lambda = 0.05, mu = 1.0;
  TestChain queue;
  queue.States = K + 1;
  TestVariable full{"Full", 3, {{0, 1}}, std::vector<double>(K + 1, 0.0), {}};
  full.Rate[K] = 1;
  for (int n = 0; n <= K; n++) {
    if (n < K)
      queue.add(n + 1, n + 2, lambda);
    if (n > 0)
      queue.add(n + 1, n, mu);
  }
  queue.Variables = {full};
  double sum = 0, weight = 1;
  for (int n = 0; n <= K; n++, weight *= lambda / mu)
    sum += weight;
  const double expected = std::pow(lambda / mu, K) / sum;

  SolverScratch dir;
  const std::string prefix = WriteChain(dir, "steep", queue);
  for (Method method : AllMethods) {
    SCOPED_TRACE(SolverOptions::MethodName(method));
    ChainSolver::Result result = SolvePrefix(prefix, MethodOptions(method, 1e-10));
    ASSERT_TRUE(result.complete()) << result.Info.Failure;
    EXPECT_NEAR(RowOf(result, "Full").Value / expected, 1.0, 1e-8);
  }
}

// A line of 12 states with rate 1 both ways mixes slowly (the uniformized
// chain's second eigenvalue is about 0.97), so the steady-state detection
// decides when the transient pass may stop. The generator is symmetric, so
// an eigendecomposition gives P(X(t) = 1) = sum_i v_i(1)^2 exp(l_i t)
// independently; every value must be within epsilon of it.
TEST(ClosedFormTest, SlowlyMixingChainMatchesItsMatrixExponential) {
  const int M = 12;
  TestChain line;
  line.States = M;
  Eigen::MatrixXd Q = Eigen::MatrixXd::Zero(M, M);
  for (int s = 0; s + 1 < M; s++) {
    line.add(s + 1, s + 2, 1.0);
    line.add(s + 2, s + 1, 1.0);
    Q(s, s + 1) = Q(s + 1, s) = 1.0;
    Q(s, s) -= 1.0;
    Q(s + 1, s + 1) -= 1.0;
  }
  std::vector<double> first(M, 0.0);
  first[0] = 1;
  const std::vector<double> times = {20, 60, 120, 200, 300};
  TestVariable point{"First", 0, {}, first, {}};
  for (double t : times)
    point.Times.emplace_back(t, t);
  TestVariable limit{"FirstLongRun", 3, {{0, 1}}, first, {}};
  line.Variables = {point, limit};
  Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> eigen(Q);

  SolverScratch dir;
  const double epsilon = 1e-10;
  ChainSolver::Result result =
      SolvePrefix(WriteChain(dir, "line", line), MethodOptions(Method::Auto, epsilon));
  ASSERT_TRUE(result.complete()) << result.Info.Failure;
  EXPECT_NEAR(RowOf(result, "FirstLongRun").Value, 1.0 / M, 1e-12);
  for (double t : times) {
    double exact = 0;
    for (int i = 0; i < M; i++)
      exact += eigen.eigenvectors()(0, i) * eigen.eigenvectors()(0, i) *
               std::exp(eigen.eigenvalues()(i) * t);
    EXPECT_NEAR(RowOf(result, "First", t).Value, exact, epsilon) << "t = " << t;
  }
}
