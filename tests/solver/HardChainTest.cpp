// The chains reliability models produce and on which a solver is easily
// wrong while looking right: stiff rates, rare events, nearly decomposable
// structure, absorption, large q t. Every reference is computed here, by
// closed forms (product forms, birth-death chains, gambler's ruin) or by an
// elimination in long double written for the test, never by the solver.

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <sstream>

#include <Eigen/Dense>
#include <unsupported/Eigen/MatrixFunctions>

#include "solver/Progress.h"
#include "solver/numeric/BottomComponents.h"
#include "solver/numeric/RateMatrix.h"
#include "solver/numeric/SteadyStateSolver.h"
#include "solver/results/ResultTable.h"
#include "tests/solver/SolverTestFiles.h"

namespace {

using Method = SolverOptions::Method;
const Method AllMethods[] = {Method::Auto,   Method::GaussSeidel, Method::SOR,
                             Method::Jacobi, Method::Direct,      Method::Multilevel};

// The stationary distribution of an irreducible chain (rates[i][j], i != j)
// by elimination in long double, written independently of the solver: the
// balance equations pi Q = 0 with the last one replaced by sum pi = 1,
// Gaussian elimination with partial pivoting on the transposed system. On
// the small chains of these tests its relative error stays near 1e-16 even
// where the double solver's subtraction-based elimination loses digits:
// the reference is good to about 1e-14 relative for probabilities down to
// 1e-30 (checked against the product forms below).
std::vector<long double> ReferenceStationary(const std::vector<std::vector<double>>& rates) {
  const std::size_t n = rates.size();
  // Censoring from the last state down, without subtraction, in long double:
  // the textbook algorithm, here the independent check.
  std::vector<std::vector<long double>> a(n, std::vector<long double>(n, 0));
  for (std::size_t i = 0; i < n; i++)
    for (std::size_t j = 0; j < n; j++)
      if (i != j)
        a[i][j] = rates[i][j];
  for (std::size_t k = n - 1; k > 0; k--) {
    long double s = 0;
    for (std::size_t j = 0; j < k; j++)
      s += a[k][j];
    a[k][k] = s;
    for (std::size_t i = 0; i < k; i++)
      for (std::size_t j = 0; j < k; j++)
        if (i != j)
          a[i][j] += a[i][k] * a[k][j] / s;
  }
  std::vector<long double> pi(n, 0);
  pi[0] = 1;
  long double total = 1;
  for (std::size_t k = 1; k < n; k++) {
    long double in = 0;
    for (std::size_t i = 0; i < k; i++)
      in += pi[i] * a[i][k];
    pi[k] = in / a[k][k];
    total += pi[k];
  }
  for (long double& p : pi)
    p /= total;
  return pi;
}

// A chain given by a rate table, with one steady-state indicator variable
// per state ("P1", "P2", ...).
TestChain FromRates(const std::vector<std::vector<double>>& rates) {
  TestChain chain;
  chain.States = static_cast<std::uint32_t>(rates.size());
  for (std::size_t i = 0; i < rates.size(); i++)
    for (std::size_t j = 0; j < rates.size(); j++)
      if (i != j && rates[i][j] > 0)
        chain.add(std::uint32_t(i + 1), std::uint32_t(j + 1), rates[i][j]);
  for (std::size_t s = 0; s < rates.size(); s++) {
    TestVariable v{
        "P" + std::to_string(s + 1), 3, {{0, 1}}, std::vector<double>(rates.size(), 0.0), {}};
    v.Rate[s] = 1;
    chain.Variables.push_back(v);
  }
  return chain;
}

std::string SummaryOf(const ChainSolver::Result& result, const std::string& prefix) {
  Progress quiet(false);
  ChainFiles files = ChainFiles::Read(prefix, quiet);
  std::ostringstream out;
  ResultTable::PrintSummary(out, files, result, 0);
  return out.str();
}

// Defect 1: a state that leaves at 1e4 to one neighbour and at 1 to the
// other, and a rare-failure model whose states have probabilities down to
// 1e-24. Every probability keeps its relative digits, for every method.
TEST(HardChainTest, StiffSmallChainsKeepRelativeAccuracyEveryMethod) {
  SolverScratch dir;
  const std::vector<std::vector<double>> three = {{0, 1e4, 1}, {1, 0, 0}, {1e-3, 0, 0}};
  const std::vector<long double> reference = ReferenceStationary(three);
  const std::string prefix = WriteChain(dir, "three", FromRates(three));
  for (Method method : AllMethods) {
    SCOPED_TRACE(SolverOptions::MethodName(method));
    ChainSolver::Result result = SolvePrefix(prefix, MethodOptions(method, 1e-12));
    ASSERT_TRUE(result.complete()) << result.Info.Failure;
    for (int s = 0; s < 3; s++)
      EXPECT_NEAR(RowOf(result, "P" + std::to_string(s + 1)).Value / double(reference[s]), 1.0,
                  1e-11)
          << "state " << s + 1;
  }

  // Four independent units failing at 1e-6 and repaired at 1 each: 16
  // states, product form. State bits: bit u set when unit u is down.
  const double lambda = 1e-6, mu = 1.0;
  std::vector<std::vector<double>> units(16, std::vector<double>(16, 0.0));
  std::vector<double> exact(16);
  for (int s = 0; s < 16; s++) {
    exact[s] = 1;
    for (int u = 0; u < 4; u++) {
      const bool down = (s >> u) & 1;
      units[s][s ^ (1 << u)] = down ? mu : lambda;
      exact[s] *= down ? lambda / (lambda + mu) : mu / (lambda + mu);
    }
  }
  const std::string rare = WriteChain(dir, "rare", FromRates(units));
  for (Method method : AllMethods) {
    SCOPED_TRACE(SolverOptions::MethodName(method));
    ChainSolver::Result result = SolvePrefix(rare, MethodOptions(method, 1e-12));
    ASSERT_TRUE(result.complete()) << result.Info.Failure;
    for (int s = 0; s < 16; s++)
      EXPECT_NEAR(RowOf(result, "P" + std::to_string(s + 1)).Value / exact[s], 1.0, 1e-10)
          << "state " << s + 1 << ", exact " << exact[s];
  }
}

// A birth-death chain of `levels` states with rates alternating over 12
// orders of magnitude, and its product-form distribution.
struct StiffLine {
  TestChain Chain;
  std::vector<double> Exact;
};

StiffLine StiffBirthDeath(int levels) {
  StiffLine line;
  line.Chain.States = static_cast<std::uint32_t>(levels);
  std::vector<double> up(levels), down(levels);
  for (int n = 0; n < levels; n++) {
    up[n] = n % 3 == 0 ? 1e-6 : (n % 3 == 1 ? 1e6 : 1.0);
    down[n] = n % 2 == 0 ? 1.0 : 1e5;
  }
  std::vector<double> weight(levels);
  weight[0] = 1;
  double total = 1;
  for (int n = 1; n < levels; n++) {
    weight[n] = weight[n - 1] * up[n - 1] / down[n];
    total += weight[n];
  }
  TestVariable first{"First", 3, {{0, 1}}, std::vector<double>(levels, 0.0), {}};
  TestVariable level{"Level", 3, {{0, 1}}, std::vector<double>(levels, 0.0), {}};
  first.Rate[0] = 1;
  double mean = 0;
  for (int n = 0; n < levels; n++) {
    level.Rate[n] = n;
    mean += n * weight[n] / total;
    if (n + 1 < levels)
      line.Chain.add(n + 1, n + 2, up[n]);
    if (n > 0)
      line.Chain.add(n + 1, n, down[n]);
  }
  line.Chain.Variables = {first, level};
  line.Exact = {weight[0] / total, mean};
  return line;
}

// Defect 2: stiff chains of 24 states and more (the direct method's
// residual was infinite, and Gauss-Seidel stopped unconverged). Closed form
// of a birth-death chain.
TEST(HardChainTest, StiffBirthDeathChainsOfManyStates) {
  SolverScratch dir;
  for (int levels : {24, 1204, 4004}) {
    SCOPED_TRACE(levels);
    StiffLine line = StiffBirthDeath(levels);
    const std::string prefix = WriteChain(dir, "line" + std::to_string(levels), line.Chain);
    for (Method method : {Method::Auto, Method::Direct}) {
      SCOPED_TRACE(SolverOptions::MethodName(method));
      ChainSolver::Result result = SolvePrefix(prefix, MethodOptions(method, 1e-10));
      ASSERT_TRUE(result.complete()) << result.Info.Failure;
      EXPECT_NEAR(RowOf(result, "First").Value / line.Exact[0], 1.0, 1e-11);
      EXPECT_NEAR(RowOf(result, "Level").Value / line.Exact[1], 1.0, 1e-11);
    }
  }
  // Beyond the dense array's reach, a line is still eliminated exactly: in
  // its band.
  StiffLine line = StiffBirthDeath(20000);
  const std::string prefix = WriteChain(dir, "line20000", line.Chain);
  ChainSolver::Result result = SolvePrefix(prefix, MethodOptions(Method::Direct, 1e-10));
  ASSERT_TRUE(result.complete()) << result.Info.Failure;
  EXPECT_NEAR(RowOf(result, "First").Value / line.Exact[0], 1.0, 1e-11);
  EXPECT_NEAR(RowOf(result, "Level").Value / line.Exact[1], 1.0, 1e-11);
}

// Two groups of states coupled by rates 1e-4 and 1e-8 times the others:
// group A a line of M states (up 1, down 2), group B a line of M states (up
// 2, down 1), joined at their first states by the weak pair. The whole is a
// line, so detailed balance gives the distribution.
struct NearlyDecomposable {
  TestChain Chain;
  double GroupA = 0, FirstOfB = 0;
};

NearlyDecomposable TwoGroups(int m, double toB, double toA) {
  NearlyDecomposable ncd;
  // Order along the line: A_{m-1} ... A_0 B_0 ... B_{m-1}; state numbers:
  // A_i is i + 1, B_i is m + i + 1.
  std::vector<double> weight(2 * std::size_t(m));
  double w = 1;
  weight[0] = w; // A_0
  for (int i = 1; i < m; i++)
    weight[i] = weight[i - 1] * 1.0 / 2.0; // A_{i-1} -> A_i at 1, back at 2
  weight[m] = weight[0] * toB / toA;       // A_0 -> B_0 at toB, back at toA
  for (int i = 1; i < m; i++)
    weight[m + i] = weight[m + i - 1] * 0.25; // up 2, down 8
  double total = 0, a = 0;
  for (int i = 0; i < 2 * m; i++) {
    total += weight[i];
    if (i < m)
      a += weight[i];
  }
  ncd.GroupA = a / total;
  ncd.FirstOfB = weight[m] / total;
  ncd.Chain.States = 2 * m;
  for (int i = 0; i + 1 < m; i++) {
    ncd.Chain.add(i + 1, i + 2, 1.0);
    ncd.Chain.add(i + 2, i + 1, 2.0);
    ncd.Chain.add(m + i + 1, m + i + 2, 2.0);
    ncd.Chain.add(m + i + 2, m + i + 1, 8.0);
  }
  ncd.Chain.add(1, m + 1, toB);
  ncd.Chain.add(m + 1, 1, toA);
  std::vector<double> inA(2 * std::size_t(m), 0.0), firstB(2 * std::size_t(m), 0.0);
  for (int i = 0; i < m; i++)
    inA[i] = 1;
  firstB[m] = 1;
  ncd.Chain.Variables = {TestVariable{"GroupA", 3, {{0, 1}}, inA, {}},
                         TestVariable{"FirstOfB", 3, {{0, 1}}, firstB, {}}};
  return ncd;
}

// Defect 3: on nearly completely decomposable chains neither the change
// between sweeps nor the residual bounds the error. A method either gives
// the value to its accuracy or says that it did not converge; it never
// prints a wrong value as converged.
TEST(HardChainTest, NearlyDecomposableChainsAreRightOrRefused) {
  SolverScratch dir;
  for (int m : {20, 1500}) {
    for (double coupling : {1e-4, 1e-8}) {
      SCOPED_TRACE("m " + std::to_string(m) + ", coupling " + std::to_string(coupling));
      NearlyDecomposable ncd = TwoGroups(m, coupling, 3 * coupling);
      const std::string prefix = WriteChain(dir, "ncd", ncd.Chain);
      for (Method method : AllMethods) {
        if (method == Method::Direct && 2 * std::size_t(m) > SteadyStateSolver::DirectMaximum)
          continue;
        SCOPED_TRACE(SolverOptions::MethodName(method));
        SolverOptions options = MethodOptions(method, 1e-10);
        options.MaxIterations = 20000;
        ChainSolver::Result result = SolvePrefix(prefix, options);
        if (method == Method::Auto || method == Method::Direct) {
          ASSERT_TRUE(result.complete()) << result.Info.Failure;
        }
        if (!result.complete()) {
          EXPECT_FALSE(RowOf(result, "GroupA").Valid);
          continue;
        }
        EXPECT_NEAR(RowOf(result, "GroupA").Value / ncd.GroupA, 1.0, 1e-9);
        EXPECT_NEAR(RowOf(result, "FirstOfB").Value / ncd.FirstOfB, 1.0, 1e-9);
      }
    }
  }
}

// Defect 4: at q t = 1.8e6 the rounding of 1.8 million steps must stay
// below a tight epsilon. Two up states swap at rate 1.76 and fail at 1e-6
// without repair: the reliability is exp(-1e-6 t), and the steady state
// (all mass failed) is never near before t = 1e6.
TEST(HardChainTest, LargeRateTimeMeetsATightEpsilon) {
  TestChain chain;
  chain.States = 3;
  chain.add(1, 2, 1.76);
  chain.add(2, 1, 1.76);
  chain.add(1, 3, 1e-6);
  chain.add(2, 3, 1e-6);
  chain.Variables = {TestVariable{"Reliability", 0, {{1e6, 1e6}}, {1, 1, 0}, {}}};
  SolverScratch dir;
  const std::string prefix = WriteChain(dir, "swap", chain);
  for (double epsilon : {1e-10, 1e-12}) {
    ChainSolver::Result result = SolvePrefix(prefix, MethodOptions(Method::Auto, epsilon));
    ASSERT_TRUE(result.complete());
    EXPECT_GT(result.Info.Transient.Steps, 1800000u);
    EXPECT_NEAR(RowOf(result, "Reliability", 1e6).Value, std::exp(-1.0), epsilon)
        << "epsilon " << epsilon;
  }

  // With repair (rate 1e-2) the chain mixes in a few thousand time units:
  // the pass must stop there at epsilon 1e-12 as at 1e-10.
  chain.add(3, 1, 1e-2);
  const std::string repaired = WriteChain(dir, "repaired", chain);
  const double up = 1e-2 / (1e-2 + 1e-6);
  for (double epsilon : {1e-10, 1e-12}) {
    ChainSolver::Result result = SolvePrefix(repaired, MethodOptions(Method::Auto, epsilon));
    ASSERT_TRUE(result.complete());
    EXPECT_TRUE(result.Info.Transient.Detected) << "epsilon " << epsilon;
    EXPECT_LT(result.Info.Transient.Steps, 100000u);
    EXPECT_NEAR(RowOf(result, "Reliability", 1e6).Value, up, epsilon);
  }
}

// Defect 5 (and an absorbing chain in general): when state 1 can reach only
// one closed class, the chain ends there with probability 1, without any
// iteration. A symmetric random walk over 3000 transient states into one
// absorbing state.
TEST(HardChainTest, SingleAbsorbingClassNeedsNoIteration) {
  const std::uint32_t n = 3001;
  TestChain walk;
  walk.States = n;
  std::vector<double> absorbed(n, 0.0), walking(n, 0.0);
  for (std::uint32_t s = 1; s < n; s++) {
    walk.add(s, s + 1, 1.0);
    if (s > 1)
      walk.add(s, s - 1, 1.0);
    walking[s - 1] = 1;
  }
  absorbed[n - 1] = 1;
  walk.Variables = {TestVariable{"Absorbed", 3, {{0, 1}}, absorbed, {}},
                    TestVariable{"Walking", 3, {{0, 1}}, walking, {}}};
  SolverScratch dir;
  const std::string prefix = WriteChain(dir, "walk", walk);
  for (Method method : AllMethods) {
    SCOPED_TRACE(SolverOptions::MethodName(method));
    SolverOptions options = MethodOptions(method, 1e-10);
    options.MaxIterations = 100;
    ChainSolver::Result result = SolvePrefix(prefix, options);
    ASSERT_TRUE(result.complete()) << result.Info.Failure;
    EXPECT_EQ(RowOf(result, "Absorbed").Value, 1.0);
    EXPECT_EQ(RowOf(result, "Walking").Value, 0.0);
    EXPECT_EQ(result.Info.Iterations, 0u);
  }
}

// Defect 6: a steady state solved only to end the transient pass early,
// which does not converge, neither is reported as "NOT CONVERGED" beside
// values printed as right, nor changes them: the pass then runs to its end.
// 5000 states and two sweeps allowed; a return from the last state to the
// first (never taken in practice: the queue is almost never full) makes the
// chain too wide for an elimination in a band.
TEST(HardChainTest, FailedDetectionSolveIsNotAFailedResult) {
  const std::uint32_t n = 5000;
  TestChain queue;
  queue.States = n;
  std::vector<double> empty(n, 0.0);
  empty[0] = 1;
  for (std::uint32_t s = 1; s <= n; s++) {
    if (s < n)
      queue.add(s, s + 1, 0.5);
    if (s > 1)
      queue.add(s, s - 1, 1.0);
  }
  queue.add(n, 1, 1.0);
  queue.Variables = {TestVariable{"Empty", 0, {{2000, 2000}}, empty, {}}};
  SolverScratch dir;
  const std::string prefix = WriteChain(dir, "queue", queue);
  for (Method method : {Method::Auto, Method::GaussSeidel}) {
    SCOPED_TRACE(SolverOptions::MethodName(method));
    SolverOptions few = MethodOptions(method, 1e-10);
    few.MaxIterations = 2;
    ChainSolver::Result result = SolvePrefix(prefix, few);
    ASSERT_TRUE(result.complete());
    EXPECT_FALSE(result.Info.Transient.Detected);
    // At t = 2000 the queue is at its geometric distribution: P(empty) 1/2.
    EXPECT_NEAR(RowOf(result, "Empty", 2000).Value, 0.5, 1e-10);
    const std::string summary = SummaryOf(result, prefix);
    EXPECT_EQ(summary.find("NOT CONVERGED"), std::string::npos) << summary;
    EXPECT_NE(summary.find("not used"), std::string::npos) << summary;
  }

  // With a steady-state row, that row has no value, and the result is
  // incomplete (exit status 3).
  queue.Variables.push_back(TestVariable{"EmptyLongRun", 3, {{0, 1}}, empty, {}});
  SolverOptions few = MethodOptions(Method::GaussSeidel, 1e-10);
  few.MaxIterations = 2;
  ChainSolver::Result withSteady = SolvePrefix(WriteChain(dir, "steady", queue), few);
  EXPECT_FALSE(withSteady.complete());
  EXPECT_FALSE(RowOf(withSteady, "EmptyLongRun").Valid);
  EXPECT_TRUE(RowOf(withSteady, "Empty", 2000).Valid);
  EXPECT_NEAR(RowOf(withSteady, "Empty", 2000).Value, 0.5, 1e-10);
}

// Defect 7: a chain with two absorbing states and a long horizon: the
// steady-state detection stops the pass whatever the steady-state method.
// Gambler's ruin: a walk over positions 1..N-1 up at 1, down at 0.9, absorbed
// at 0 and N; from position 1 it reaches N with probability
// (1 - r) / (1 - r^N), r = 0.9.
TEST(HardChainTest, AbsorbingChainStopsEarlyWhateverTheMethod) {
  const std::uint32_t N = 1200;
  TestChain walk;
  walk.States = N + 1; // position i is state i (1..N-1), 0 is N, N is N+1
  auto number = [&](std::uint32_t position) {
    return position == 0 ? N : (position == N ? N + 1 : position);
  };
  for (std::uint32_t i = 1; i < N; i++) {
    walk.add(number(i), number(i + 1), 1.0);
    walk.add(number(i), number(i - 1), 0.9);
  }
  std::vector<double> won(N + 1, 0.0);
  won[N] = 1;
  walk.Variables = {TestVariable{"Won", 0, {{1e6, 1e6}}, won, {}}};
  const double r = 0.9;
  const double exact = (1 - r) / (1 - std::pow(r, double(N)));
  SolverScratch dir;
  const std::string prefix = WriteChain(dir, "ruin", walk);
  for (Method method : AllMethods) {
    SCOPED_TRACE(SolverOptions::MethodName(method));
    ChainSolver::Result result = SolvePrefix(prefix, MethodOptions(method, 1e-10));
    ASSERT_TRUE(result.complete()) << result.Info.Failure;
    EXPECT_TRUE(result.Info.Transient.Detected);
    EXPECT_LT(result.Info.Transient.Steps, result.Info.Transient.Needed / 4);
    const std::string summary = SummaryOf(result, prefix);
    EXPECT_EQ(summary.find("NOT CONVERGED"), std::string::npos) << summary;
    EXPECT_EQ(summary.find("ran to its end"), std::string::npos) << summary;
    EXPECT_NEAR(RowOf(result, "Won", 1e6).Value, exact, 1e-10);
  }
}

} // namespace

namespace {

// Property: over random stiff chains (rates spread over 12 orders of
// magnitude), every value printed is within the accuracy the run states,
// for every method: a steady-state probability from an elimination within
// 1e-11 relative, one from an iteration within 10 epsilon relative (its
// stated, estimated accuracy is epsilon), and an instant-of-time value
// within epsilon absolute of the dense matrix exponential. A method may
// instead say that it did not converge (the row then has no value); auto
// and direct always answer.
TEST(HardChainTest, RandomStiffChainsEveryValueWithinItsStatedAccuracy) {
  std::mt19937_64 random(20261207);
  std::uniform_real_distribution<double> exponent(-6.0, 6.0);
  const double epsilon = 1e-10;
  const std::vector<double> times = {1e-4, 1e-3, 1e-2};
  SolverScratch dir;
  int refused = 0, checked = 0;
  for (int trial = 0; trial < 24; trial++) {
    const std::size_t n = 3 + random() % 30;
    std::vector<std::vector<double>> rates(n, std::vector<double>(n, 0.0));
    for (std::size_t i = 0; i < n; i++) {
      // Rates as the .arm file holds them (11 digits), so that the
      // reference solves the very chain the solver reads.
      auto draw = [&]() { return std::stod(Scientific(std::pow(10.0, exponent(random)))); };
      rates[i][(i + 1) % n] = draw(); // a ring: irreducible
      for (int extra = 0; extra < 2; extra++) {
        const std::size_t j = random() % n;
        if (j != i)
          rates[i][j] = draw();
      }
    }
    const std::vector<long double> reference = ReferenceStationary(rates);
    TestChain chain = FromRates(rates);
    // P(state 1) over time, against exp(Q t).
    std::vector<double> first(n, 0.0);
    first[0] = 1;
    TestVariable point{"First", 0, {}, first, {}};
    for (double t : times)
      point.Times.emplace_back(t, t);
    chain.Variables.push_back(point);
    Eigen::MatrixXd Q = Eigen::MatrixXd::Zero(Eigen::Index(n), Eigen::Index(n));
    for (std::size_t i = 0; i < n; i++)
      for (std::size_t j = 0; j < n; j++)
        if (i != j) {
          Q(Eigen::Index(i), Eigen::Index(j)) = rates[i][j];
          Q(Eigen::Index(i), Eigen::Index(i)) -= rates[i][j];
        }
    const std::string prefix = WriteChain(dir, "random" + std::to_string(trial), chain);
    for (Method method : AllMethods) {
      SCOPED_TRACE("trial " + std::to_string(trial) + ", " + std::to_string(n) + " states, " +
                   SolverOptions::MethodName(method));
      ChainSolver::Result result = SolvePrefix(prefix, MethodOptions(method, epsilon));
      const bool eliminated = result.Info.ErrorEstimate == 0;
      if (method == Method::Auto || method == Method::Direct) {
        EXPECT_TRUE(eliminated && result.complete()) << result.Info.Failure;
      }
      for (std::size_t s = 0; s < n; s++) {
        const ChainSolver::Row& row = RowOf(result, "P" + std::to_string(s + 1));
        if (!row.Valid) {
          refused++;
          continue;
        }
        checked++;
        const double exact = double(reference[s]);
        EXPECT_NEAR(row.Value / exact, 1.0, eliminated ? 1e-11 : 10 * epsilon)
            << "state " << s + 1 << ", exact " << exact;
      }
      for (double t : times) {
        const Eigen::MatrixXd transition = (Q * t).exp();
        const double exact = transition(0, 0);
        EXPECT_NEAR(RowOf(result, "First", t).Value, exact, epsilon) << "t = " << t;
      }
    }
  }
  EXPECT_GT(checked, 3 * refused) << checked << " values checked, " << refused << " refused";
}

} // namespace

namespace {

// A chain given as a list of transitions (from, to, rate), states from 0.
struct Transitions {
  std::uint32_t States = 0;
  std::vector<std::vector<std::pair<std::uint32_t, double>>> Rows;
  explicit Transitions(std::uint32_t states) : States(states), Rows(states) {}
  void add(std::uint32_t from, std::uint32_t to, double rate) { Rows[from].emplace_back(to, rate); }
  RateMatrix matrix() const {
    RateMatrix m;
    std::uint64_t count = 0;
    for (const auto& row : Rows)
      count += row.size();
    m.begin(States, count);
    for (const auto& row : Rows) {
      m.startRow();
      for (const auto& [to, rate] : row)
        m.add(to, rate);
    }
    m.finish();
    return m;
  }
};

SteadyStateSolver::Result SolveSteady(const Transitions& chain, Method method, double epsilon) {
  const RateMatrix matrix = chain.matrix();
  Progress quiet(false);
  BottomComponents classes;
  classes.find(matrix, quiet);
  SolverOptions options = MethodOptions(method, epsilon);
  options.MaxIterations = 20000;
  return SteadyStateSolver::Solve(matrix, classes, options, quiet);
}

// The largest relative error of the solver's distribution against an exact
// one, over the probabilities a double holds to its precision.
double WorstRelativeError(const std::vector<double>& solved, const std::vector<double>& exact) {
  double worst = 0;
  for (std::size_t i = 0; i < exact.size(); i++)
    if (exact[i] > 1e-280)
      worst = std::max(worst, std::fabs(solved[i] - exact[i]) / exact[i]);
  return worst;
}

// A reversible chain on a side x side grid: the stationary distribution pi
// is drawn (spread over `spread` orders of magnitude) and each neighbouring
// pair gets a symmetric weight w; q_ij = w / pi_i satisfies detailed balance
// pi_i q_ij = pi_j q_ji, so pi is the exact answer. `weak` scales the
// weights between the left and the right half: a nearly decomposable chain.
Transitions ReversibleGrid(std::uint32_t side, double spread, double weak,
                           std::vector<double>& exact, std::uint64_t seed) {
  std::mt19937_64 random(seed);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const std::uint32_t n = side * side;
  std::vector<double> pi(n);
  double total = 0;
  for (double& p : pi) {
    p = std::pow(10.0, -spread * unit(random));
    total += p;
  }
  exact.resize(n);
  for (std::uint32_t i = 0; i < n; i++)
    exact[i] = pi[i] / total;
  Transitions chain(n);
  auto join = [&](std::uint32_t i, std::uint32_t j, double w) {
    chain.add(i, j, w / pi[i]);
    chain.add(j, i, w / pi[j]);
  };
  for (std::uint32_t y = 0; y < side; y++)
    for (std::uint32_t x = 0; x < side; x++) {
      const std::uint32_t i = y * side + x;
      const double w = std::pow(10.0, -3 * unit(random));
      if (x + 1 < side)
        join(i, i + 1, x + 1 == side / 2 ? w * weak : w);
      if (y + 1 < side)
        join(i, i + side, std::pow(10.0, -3 * unit(random)));
    }
  return chain;
}

// Grids of 1600 states with random rates, plain, stiff (probabilities
// spread over six decades) and nearly decomposable (the halves coupled by
// 1e-6 of the other rates): every probability the multilevel method and
// auto give is within ten times epsilon of the closed form.
TEST(HardChainTest, LargeReversibleChainsMatchTheirClosedForm) {
  const double epsilon = 1e-10;
  struct Case {
    std::uint32_t Side;
    double Spread, Weak;
  };
  for (const Case& c : {Case{40, 0.0, 1.0}, Case{40, 6.0, 1.0}, Case{40, 2.0, 1e-6}}) {
    SCOPED_TRACE("spread " + std::to_string(c.Spread) + ", weak " + std::to_string(c.Weak));
    std::vector<double> exact;
    const Transitions chain = ReversibleGrid(c.Side, c.Spread, c.Weak, exact, 7);
    for (Method method : {Method::Multilevel, Method::Auto}) {
      SCOPED_TRACE(SolverOptions::MethodName(method));
      const SteadyStateSolver::Result result = SolveSteady(chain, method, epsilon);
      ASSERT_TRUE(result.Converged) << result.Failure;
      EXPECT_LE(WorstRelativeError(result.Distribution, exact), 10 * epsilon)
          << result.Methods << "; " << result.Choices;
    }
  }
}

// A birth-death line on which Gauss-Seidel contracts by nearly 1 per sweep:
// auto measures that, says so and goes on by multilevel aggregation, and
// the answer is the closed form pi_k ~ (up / down)^k.
TEST(HardChainTest, AutoHandsASlowIterationToMultilevelAggregation) {
  const std::uint32_t n = 5000;
  const double up = 1.0, down = 1.05, epsilon = 1e-10;
  Transitions chain(n);
  std::vector<double> exact(n);
  double weight = 1, total = 0;
  for (std::uint32_t k = 0; k < n; k++) {
    exact[k] = weight;
    total += weight;
    weight *= up / down;
    if (k + 1 < n)
      chain.add(k, k + 1, up);
    if (k > 0)
      chain.add(k, k - 1, down);
  }
  for (double& p : exact)
    p /= total;
  const SteadyStateSolver::Result result = SolveSteady(chain, Method::Auto, epsilon);
  ASSERT_TRUE(result.Converged) << result.Failure;
  EXPECT_NE(result.Choices.find("so multilevel aggregation"), std::string::npos) << result.Choices;
  EXPECT_EQ(result.Methods, "multilevel");
  EXPECT_LE(WorstRelativeError(result.Distribution, exact), 10 * epsilon);
}

// A chain without detailed balance: a queue whose server has two phases
// (rates 0.2 and 1.8 out of the first, 2 out of the second) feeding a
// second queue (rate 4), arrivals at 4 c, both of capacity c. The
// multilevel method against the long double elimination of the test.
TEST(HardChainTest, TandemQueueByMultilevelAggregation) {
  const int c = 9;
  auto index = [&](int q1, int phase, int q2) { return (q1 * 2 + phase) * (c + 1) + q2; };
  const int n = (c + 1) * 2 * (c + 1);
  std::vector<std::vector<double>> rates(n, std::vector<double>(n, 0.0));
  for (int q1 = 0; q1 <= c; q1++)
    for (int phase = 0; phase < 2; phase++)
      for (int q2 = 0; q2 <= c; q2++) {
        const int i = index(q1, phase, q2);
        if (q1 < c)
          rates[i][index(q1 + 1, phase, q2)] += 4.0 * c;
        if (q1 > 0 && phase == 0 && q2 < c)
          rates[i][index(q1 - 1, 0, q2 + 1)] += 0.2;
        if (q1 > 0 && phase == 0)
          rates[i][index(q1, 1, q2)] += 1.8;
        if (phase == 1 && q1 > 0 && q2 < c)
          rates[i][index(q1 - 1, 0, q2 + 1)] += 2.0;
        if (q2 > 0)
          rates[i][index(q1, phase, q2 - 1)] += 4.0;
      }
  // A customer in the second phase is in the first queue: the states with
  // phase 1 and an empty first queue do not exist and are left out.
  std::vector<int> kept;
  std::vector<int> number(n, -1);
  for (int q1 = 0; q1 <= c; q1++)
    for (int phase = 0; phase < 2; phase++)
      for (int q2 = 0; q2 <= c; q2++)
        if (!(q1 == 0 && phase == 1)) {
          number[index(q1, phase, q2)] = int(kept.size());
          kept.push_back(index(q1, phase, q2));
        }
  std::vector<std::vector<double>> reduced(kept.size(), std::vector<double>(kept.size(), 0.0));
  Transitions chain(std::uint32_t(kept.size()));
  for (std::size_t a = 0; a < kept.size(); a++)
    for (int j = 0; j < n; j++)
      if (rates[kept[a]][j] > 0) {
        ASSERT_GE(number[j], 0);
        reduced[a][number[j]] = rates[kept[a]][j];
        chain.add(std::uint32_t(a), std::uint32_t(number[j]), rates[kept[a]][j]);
      }
  const std::vector<long double> reference = ReferenceStationary(reduced);
  std::vector<double> exact(reference.begin(), reference.end());
  const SteadyStateSolver::Result result = SolveSteady(chain, Method::Multilevel, 1e-12);
  ASSERT_TRUE(result.Converged) << result.Failure;
  EXPECT_EQ(result.Methods, "multilevel");
  EXPECT_LE(WorstRelativeError(result.Distribution, exact), 1e-11);
}

} // namespace
