// Steady state of chains with deterministic delays (RegenerativeSolver and
// ssg-solve on them): against the M/G/1/K closed form, renewal arguments,
// and a dense computation of the embedded chain done here with the matrix
// exponential; the refusals with their messages and exit statuses.

#include <gtest/gtest.h>

#include <Eigen/Dense>
#include <Eigen/Sparse>
#include <Eigen/SparseLU>
#include <unsupported/Eigen/MatrixFunctions>

#include <cmath>
#include <map>
#include <set>

#include "solver/SolverError.h"
#include "solver/io/DelayChainFiles.h"
#include "solver/numeric/RegenerativeSolver.h"
#include "tests/driver/Subprocess.h"
#include "tests/solver/SolverTestFiles.h"

namespace {

// One delay of a test chain: its length and the state numbers (1-based)
// that enable it, written in this order.
struct TestDelay {
  double Length;
  std::vector<std::uint32_t> States;
};

std::string DetText(const std::vector<TestDelay>& delays) {
  std::string text = std::to_string(delays.size()) + "\n";
  for (const TestDelay& d : delays) {
    text += Scientific(d.Length) + "\n";
    for (std::uint32_t s : d.States)
      text += std::to_string(s) + "\n";
    text += "0\n";
  }
  return text;
}

// Deterministic firings are transitions with a negative value (minus the
// probability), as the generator writes them.
std::string WriteDelayChain(const SolverScratch& dir, const std::string& name,
                            const TestChain& chain, const std::vector<TestDelay>& delays) {
  std::string prefix = WriteChain(dir, name, chain);
  WriteWhole(prefix + ".det", DetText(delays));
  return prefix;
}

struct Solved {
  RegenerativeSolver::Solution Solution;
  ChainSolver::Result Result;
};

Solved Solve(const std::string& prefix, double epsilon = 1e-12,
             SolverOptions::Method method = SolverOptions::Method::Auto) {
  Progress quiet(false);
  DelayChainFiles chain;
  DelayChainFiles::Read(prefix, chain, quiet);
  Solved solved;
  solved.Solution =
      RegenerativeSolver::Solve(chain.Files.Matrix, chain.Firings, chain.Delays,
                                MethodOptions(method, epsilon), quiet, prefix + ".det");
  solved.Result = RegenerativeSolver::Rows(solved.Solution, chain.Files.Matrix,
                                           ChainSolver::MeasuresOf(chain.Files));
  return solved;
}

std::string Solver() {
  return std::string(SSG_BINARY_DIR) + "/ssg-solve";
}

// M/G/1/K with deterministic service d and Poisson arrivals of rate lambda
// (capacity K, the customer in service included): the fraction of time
// with j customers, j = 0..K. The chain embedded at departures counts the
// customers left behind (0..K-1); a service that starts with m customers
// (m = max(i, 1)) leaves min(m + A, K) - 1 behind, A ~ Poisson(lambda d) the
// arrivals during it. With pi its stationary distribution and rho = lambda
// d: p_j = pi_j / (pi_0 + rho) for j < K and p_K = 1 - 1 / (pi_0 + rho).
std::vector<double> Mg1kTimeFractions(double lambda, double d, int K) {
  const double rho = lambda * d;
  std::vector<double> a(K + 1);
  for (int k = 0; k <= K; k++)
    a[k] = std::exp(-rho + k * std::log(rho) - std::lgamma(k + 1.0));
  // pi (P - I) = 0 with the last equation replaced by sum pi = 1; P is
  // upper Hessenberg (a departure lowers the count by one at most), so the
  // sparse factors stay small for large K.
  std::vector<Eigen::Triplet<double>> entries;
  for (int i = 0; i < K; i++) {
    const int m = std::max(i, 1);
    for (int j = 0; j + 1 < K; j++) {
      const int k = j - m + 1;
      if (k >= 0 && a[k] > 0)
        entries.emplace_back(j, i, a[k]);
    }
  }
  for (int j = 0; j + 1 < K; j++)
    entries.emplace_back(j, j, -1.0);
  Eigen::SparseMatrix<double> A(K, K);
  A.setFromTriplets(entries.begin(), entries.end());
  // Row K - 1 (the balance of the full state, implied by the others): the
  // normalisation.
  for (int c = 0; c < K; c++)
    A.coeffRef(K - 1, c) = 1.0;
  A.makeCompressed();
  Eigen::VectorXd b = Eigen::VectorXd::Zero(K);
  b(K - 1) = 1;
  Eigen::SparseLU<Eigen::SparseMatrix<double>> lu;
  lu.compute(A);
  Eigen::VectorXd pi = lu.solve(b);
  std::vector<double> p(K + 1);
  for (int j = 0; j < K; j++)
    p[j] = pi(j) / (pi(0) + rho);
  p[K] = 1 - 1 / (pi(0) + rho);
  return p;
}

TEST(RegenerativeSolverTest, MD1KMatchesTheMG1KClosedForm) {
  SolverScratch dir;
  struct Case {
    int K;
    double Lambda, Delay;
  };
  // Loads from 0.1 to 50 (the largest a stiff window of ~100 steps).
  for (const Case& c :
       {Case{1, 0.5, 1}, Case{2, 0.5, 1}, Case{5, 0.9, 1}, Case{20, 0.95, 1}, Case{20, 1.5, 1},
        Case{40, 0.1, 2}, Case{30, 3, 1}, Case{12, 50, 1}, Case{200, 0.8, 1}}) {
    const std::string name = "k" + std::to_string(c.K) + "_" + std::to_string(int(c.Lambda * 100));
    std::string overrides = "i:K:" + std::to_string(c.K) + ":d:lambda:" + General(c.Lambda) +
                            ":d:delay:" + General(c.Delay);
    RunResult gen = RunProgram(std::string(SSG_BINARY_DIR) + "/gen-mdk",
                               {"-P" + dir.path, "-N" + name, "-B0", "-O" + overrides});
    ASSERT_EQ(gen.status, 0) << gen.err;
    const Solved solved = Solve(dir.path + name);
    const std::vector<double> p = Mg1kTimeFractions(c.Lambda, c.Delay, c.K);
    // State j + 1 holds j customers (the exploration adds one at a time).
    ASSERT_EQ(solved.Solution.Distribution.size(), p.size());
    double mean = 0;
    for (int j = 0; j <= c.K; j++) {
      EXPECT_NEAR(solved.Solution.Distribution[j], p[j], 1e-10) << name << " j=" << j;
      mean += j * p[j];
    }
    EXPECT_NEAR(RowOf(solved.Result, "QueueLength").Value, mean, 1e-10 * std::max(1.0, mean))
        << name;
    EXPECT_NEAR(RowOf(solved.Result, "Busy").Value, 1 - p[0], 1e-10) << name;
    EXPECT_TRUE(RowOf(solved.Result, "Busy").Valid);
    EXPECT_EQ(RowOf(solved.Result, "Busy").Note, "");
  }
}

// Auto solves the banded embedded chain of a long queue directly; the
// iterations, given explicitly, reach the closed form to their tolerance.
TEST(RegenerativeSolverTest, LongQueuesMatchTheClosedFormWithEveryMethod) {
  SolverScratch dir;
  struct Case {
    int K;
    SolverOptions::Method Method;
    double Epsilon, Tolerance;
  };
  for (const Case& c : {Case{1200, SolverOptions::Method::Auto, 1e-12, 1e-10},
                        Case{150, SolverOptions::Method::GaussSeidel, 1e-10, 1e-8},
                        Case{150, SolverOptions::Method::SOR, 1e-10, 1e-8}}) {
    const std::string name = "q" + std::to_string(c.K);
    RunResult gen = RunProgram(
        std::string(SSG_BINARY_DIR) + "/gen-mdk",
        {"-P" + dir.path, "-N" + name, "-B0", "-Oi:K:" + std::to_string(c.K) + ":d:lambda:0.9"});
    ASSERT_EQ(gen.status, 0) << gen.err;
    const std::vector<double> p = Mg1kTimeFractions(0.9, 1, c.K);
    double mean = 0;
    for (std::size_t j = 0; j < p.size(); j++)
      mean += double(j) * p[j];
    const Solved solved = Solve(dir.path + name, c.Epsilon, c.Method);
    ASSERT_TRUE(solved.Solution.Embedded.Converged) << solved.Solution.Embedded.Failure;
    if (c.Method == SolverOptions::Method::Auto) {
      EXPECT_EQ(solved.Solution.Embedded.Methods, "direct");
    }
    EXPECT_NEAR(RowOf(solved.Result, "QueueLength").Value, mean, c.Tolerance * mean) << name;
    EXPECT_NEAR(RowOf(solved.Result, "Busy").Value, 1 - p[0], c.Tolerance) << name;
  }
}

// Up (state 1) runs a maintenance timer of length tau; a failure (rate
// lambda) disables it and the machine is repaired (state 2, rate mu_r); the
// timer's firing starts a maintenance (state 3, rate mu_m). Both end with a
// fresh timer, so the up periods start a renewal cycle: up min(tau, X), X ~
// Exp(lambda), then down 1/mu_r (probability 1 - e^{-lambda tau}) or in
// maintenance 1/mu_m.
TEST(RegenerativeSolverTest, PreemptedMaintenanceTimerMatchesTheRenewalArgument) {
  SolverScratch dir;
  struct Case {
    double Tau, Lambda, Repair, Maintenance;
  };
  for (const Case& c : {Case{1, 0.1, 2, 5}, Case{10, 0.05, 0.5, 4}, Case{40, 1, 0.1, 1},
                        Case{0.001, 3, 1, 1000}, Case{5, 1e-6, 1, 0.01}, Case{2, 1e-18, 1, 0.5}}) {
    TestChain chain;
    chain.States = 3;
    chain.add(1, 2, c.Lambda);
    chain.add(1, 3, -1);
    chain.add(2, 1, c.Repair);
    chain.add(3, 1, c.Maintenance);
    chain.Variables = {TestVariable{"Up", 3, {{0, 1}}, {1, 0, 0}, {}},
                       TestVariable{"InMaintenance", 3, {{0, 1}}, {0, 0, 1}, {}}};
    const std::string prefix = WriteDelayChain(dir, "timer", chain, {{c.Tau, {1}}});
    const double fires = std::exp(-c.Lambda * c.Tau);
    const double up = -std::expm1(-c.Lambda * c.Tau) / c.Lambda;
    const double cycle = up + (1 - fires) / c.Repair + fires / c.Maintenance;
    const Solved solved = Solve(prefix);
    EXPECT_NEAR(RowOf(solved.Result, "Up").Value, up / cycle, 1e-11) << c.Tau << " " << c.Lambda;
    EXPECT_NEAR(RowOf(solved.Result, "InMaintenance").Value, fires / c.Maintenance / cycle, 1e-11)
        << c.Tau << " " << c.Lambda;
  }
}

// The integral of exp(T t) over [0, tau] and exp(T tau), by the exponential
// of the block matrix [[T, I], [0, 0]].
std::pair<Eigen::MatrixXd, Eigen::MatrixXd> ExpAndIntegral(const Eigen::MatrixXd& T, double tau) {
  const Eigen::Index m = T.rows();
  Eigen::MatrixXd block = Eigen::MatrixXd::Zero(2 * m, 2 * m);
  block.topLeftCorner(m, m) = T * tau;
  block.topRightCorner(m, m) = Eigen::MatrixXd::Identity(m, m) * tau;
  Eigen::MatrixXd e = block.exp();
  return {e.topLeftCorner(m, m), e.topRightCorner(m, m)};
}

// The same machine whose up time has two load phases (states 1 and 2, both
// running the timer, switching at rates a and b, failing at lambda1 and
// lambda2): moves between them keep the timer running. The up time per cycle
// is alpha (integral of exp(T t)) 1 with T the phases' sub-generator; the
// timer fires with probability alpha exp(T tau) 1, into maintenance (state
// 4) from either phase; a failure goes to repair (state 3). Cycles start in
// phase 1.
TEST(RegenerativeSolverTest, MovesBetweenStatesOfOneDelayKeepItRunning) {
  SolverScratch dir;
  const double a = 0.7, b = 0.3, lambda1 = 0.02, lambda2 = 0.5, tau = 3, repair = 0.25,
               maintenance = 2;
  TestChain chain;
  chain.States = 4;
  chain.add(1, 2, a);
  chain.add(2, 1, b);
  chain.add(1, 3, lambda1);
  chain.add(2, 3, lambda2);
  chain.add(1, 4, -1);
  chain.add(2, 4, -1);
  chain.add(3, 1, repair);
  chain.add(4, 1, maintenance);
  chain.Variables = {TestVariable{"Up", 3, {{0, 1}}, {1, 1, 0, 0}, {}},
                     TestVariable{"HighLoad", 3, {{0, 1}}, {0, 1, 0, 0}, {}}};
  const std::string prefix = WriteDelayChain(dir, "phases", chain, {{tau, {1, 2}}});
  Eigen::MatrixXd T(2, 2);
  T << -(a + lambda1), a, b, -(b + lambda2);
  auto [at, integral] = ExpAndIntegral(T, tau);
  const double up1 = integral(0, 0), up2 = integral(0, 1);
  const double fires = at.row(0).sum();
  const double cycle = up1 + up2 + (1 - fires) / repair + fires / maintenance;
  const Solved solved = Solve(prefix);
  EXPECT_NEAR(RowOf(solved.Result, "Up").Value, (up1 + up2) / cycle, 1e-11);
  EXPECT_NEAR(RowOf(solved.Result, "HighLoad").Value, up2 / cycle, 1e-11);
}

// State 1 runs a delay tau0 that fires into class A (states 2, 3: an
// exponential pair) unless an exponential move of rate c, which disables it,
// leads first into class B (states 4, 5, 6: the maintenance timer above).
// From state 1 the chain ends in A with probability e^{-c tau0}.
TEST(RegenerativeSolverTest, TwoClosedClassesWeightedFromState1) {
  SolverScratch dir;
  const double tau0 = 0.5, c = 0.8, x = 1.5, y = 0.5;
  const double tau = 2, lambda = 0.3, repair = 1.2, maintenance = 3;
  TestChain chain;
  chain.States = 6;
  chain.add(1, 2, -1);
  chain.add(1, 4, c);
  chain.add(2, 3, x);
  chain.add(3, 2, y);
  chain.add(4, 5, lambda);
  chain.add(4, 6, -1);
  chain.add(5, 4, repair);
  chain.add(6, 4, maintenance);
  chain.Variables = {TestVariable{"InA2", 3, {{0, 1}}, {0, 1, 0, 0, 0, 0}, {}},
                     TestVariable{"UpB", 3, {{0, 1}}, {0, 0, 0, 1, 0, 0}, {}},
                     TestVariable{"Start", 3, {{0, 1}}, {1, 0, 0, 0, 0, 0}, {}}};
  // The delays in the order a generator meets them: state 1's first.
  const std::string prefix = WriteDelayChain(dir, "classes", chain, {{tau0, {1}}, {tau, {4}}});
  const double toA = std::exp(-c * tau0);
  const double fires = std::exp(-lambda * tau);
  const double up = -std::expm1(-lambda * tau) / lambda;
  const double availability = up / (up + (1 - fires) / repair + fires / maintenance);
  const Solved solved = Solve(prefix);
  EXPECT_EQ(solved.Solution.Classes, 2u);
  EXPECT_NEAR(RowOf(solved.Result, "InA2").Value, toA * y / (x + y), 1e-12);
  EXPECT_NEAR(RowOf(solved.Result, "UpB").Value, (1 - toA) * availability, 1e-12);
  EXPECT_EQ(RowOf(solved.Result, "Start").Value, 0.0);
}

// An independent computation of the whole method with dense matrices: the
// subordinated chain's exponential and its integral by Eigen, the embedded
// chain solved densely, the conversion to fractions of time. The chain: 7
// states, two delays (states 2, 3, 4 and states 6, 7) with moves inside and
// out of each, firings that branch (one back into its own state), and a
// state without delay.
TEST(RegenerativeSolverTest, AgreesWithADenseComputationOfTheEmbeddedChain) {
  SolverScratch dir;
  const int n = 7;
  Eigen::MatrixXd rates = Eigen::MatrixXd::Zero(n, n), firings = Eigen::MatrixXd::Zero(n, n);
  auto rate = [&](int i, int j, double r) { rates(i - 1, j - 1) += r; };
  auto fire = [&](int i, int j, double p) { firings(i - 1, j - 1) += p; };
  rate(1, 2, 2.0);
  rate(1, 6, 0.5);
  rate(2, 3, 1.0);
  rate(3, 4, 4.0);
  rate(4, 2, 0.2);
  rate(3, 5, 0.3); // disables the first delay
  rate(5, 1, 1.0);
  rate(6, 7, 0.7);
  rate(7, 6, 0.1);
  rate(7, 1, 0.05); // disables the second
  fire(2, 2, 0.25);
  fire(2, 5, 0.75);
  fire(3, 1, 1.0);
  fire(4, 6, 0.4);
  fire(4, 1, 0.6);
  fire(6, 3, 1.0);
  fire(7, 5, 1.0);
  const std::vector<std::pair<double, std::set<int>>> delays = {{1.3, {1, 2, 3}}, {4.0, {5, 6}}};
  TestChain chain;
  chain.States = n;
  for (int i = 0; i < n; i++)
    for (int j = 0; j < n; j++) {
      if (rates(i, j) > 0)
        chain.add(i + 1, j + 1, rates(i, j));
      if (firings(i, j) > 0)
        chain.add(i + 1, j + 1, -firings(i, j));
    }
  chain.Variables = {TestVariable{"S3", 3, {{0, 1}}, {0, 0, 1, 0, 0, 0, 0}, {}},
                     TestVariable{"Mix", 3, {{0, 1}}, {1, 2, 3, 4, 5, 6, 7}, {}}};
  const std::string prefix =
      WriteDelayChain(dir, "dense", chain, {{1.3, {2, 3, 4}}, {4.0, {6, 7}}});

  // Embedded chain P and conversion matrix C (expected time in k per period
  // started in i).
  Eigen::MatrixXd P = Eigen::MatrixXd::Zero(n, n), C = Eigen::MatrixXd::Zero(n, n);
  std::vector<int> delayOf(n, -1);
  for (int d = 0; d < 2; d++)
    for (int s : delays[d].second)
      delayOf[s] = d;
  for (int i = 0; i < n; i++) {
    if (delayOf[i] < 0) {
      const double q = rates.row(i).sum();
      P.row(i) = rates.row(i) / q;
      C(i, i) = 1 / q;
      continue;
    }
    const int d = delayOf[i];
    std::vector<int> in(delays[d].second.begin(), delays[d].second.end());
    const int m = int(in.size());
    Eigen::MatrixXd T = Eigen::MatrixXd::Zero(m, m);
    for (int u = 0; u < m; u++) {
      T(u, u) = -rates.row(in[u]).sum();
      for (int v = 0; v < m; v++)
        if (u != v)
          T(u, v) = rates(in[u], in[v]);
    }
    auto [at, integral] = ExpAndIntegral(T, delays[d].first);
    const int u0 = int(std::find(in.begin(), in.end(), i) - in.begin());
    for (int v = 0; v < m; v++) {
      C(i, in[v]) = integral(u0, v);
      P.row(i) += at(u0, v) * firings.row(in[v]);
      // Moves out of the delay's states, from time spent in in[v].
      for (int j = 0; j < n; j++)
        if (delayOf[j] != d)
          P(i, j) += integral(u0, v) * rates(in[v], j);
    }
  }
  Eigen::MatrixXd A = P.transpose() - Eigen::MatrixXd::Identity(n, n);
  A.row(n - 1).setOnes();
  Eigen::VectorXd rhs = Eigen::VectorXd::Zero(n);
  rhs(n - 1) = 1;
  const Eigen::VectorXd embedded = A.fullPivLu().solve(rhs);
  Eigen::RowVectorXd time = embedded.transpose() * C;
  time /= time.sum();

  const Solved solved = Solve(prefix, 1e-13);
  for (int s = 0; s < n; s++)
    EXPECT_NEAR(solved.Solution.Distribution[s], time(s), 1e-11) << "state " << s + 1;
  EXPECT_NEAR(RowOf(solved.Result, "S3").Value, time(2), 1e-11);
}

// Expects Solve to throw a SolverError with this status and these words.
void ExpectRefusal(const std::string& prefix, SolverError::Status status,
                   const std::vector<std::string>& words) {
  try {
    Solve(prefix);
    ADD_FAILURE() << prefix << ": no error";
  } catch (const SolverError& error) {
    EXPECT_EQ(error.status(), status) << error.what();
    for (const std::string& w : words)
      EXPECT_NE(std::string(error.what()).find(w), std::string::npos)
          << "'" << w << "' not in: " << error.what();
  }
}

TEST(RegenerativeSolverTest, ChainsTheMethodCannotTakeAreRefusedNamingTheState) {
  SolverScratch dir;
  TestChain chain;
  chain.States = 3;
  chain.add(1, 2, 1.0);
  chain.add(2, 3, -1);
  chain.add(3, 1, -1);
  chain.Variables = {TestVariable{"X", 3, {{0, 1}}, {1, 0, 0}, {}}};

  // Two activities of one delay enabled in state 3 at once.
  std::string prefix = WriteDelayChain(dir, "twice", chain, {{1, {2, 3, 3}}});
  ExpectRefusal(prefix, SolverError::Unsupported,
                {"twice.det: state 3 is listed twice for the deterministic delay 1",
                 "concurrent deterministic activities"});
  // Two different delays in state 2.
  prefix = WriteDelayChain(dir, "two", chain, {{1, {2, 3}}, {2.5, {2}}});
  ExpectRefusal(prefix, SolverError::Unsupported,
                {"two.det: state 2 enables two different deterministic delays at once, 1 and 2.5"});
  // An exponential and a deterministic transition merged into one entry:
  // state 2's firing probabilities no longer sum to 1.
  TestChain merged = chain;
  merged.add(2, 3, 0.25);
  prefix = WriteDelayChain(dir, "merged", merged, {{1, {2, 3}}});
  ExpectRefusal(
      prefix, SolverError::Unsupported,
      {"state 2 enables the deterministic delay 1", "0.75 in all, not 1", "cannot separate"});
  // Firings in a state the .det file does not list: the files disagree.
  prefix = WriteDelayChain(dir, "unlisted", chain, {{1, {2}}});
  ExpectRefusal(prefix, SolverError::InputError,
                {"state 3 has deterministic firings", "enables no delay"});
  // A .det file that is cut short, names a state the chain does not have,
  // or gives a delay that is not positive.
  WriteWhole(prefix + ".det", "1\n1.0000000000e+00\n2\n");
  ExpectRefusal(prefix, SolverError::InputError, {"unlisted.det:4:", "is it complete?"});
  WriteWhole(prefix + ".det", "1\n1.0000000000e+00\n2\n4\n0\n");
  ExpectRefusal(prefix, SolverError::InputError, {"unlisted.det:4: state 4 is out of range"});
  WriteWhole(prefix + ".det", "1\n0.0000000000e+00\n2\n3\n0\n");
  ExpectRefusal(prefix, SolverError::InputError, {"unlisted.det:2:", "finite positive time"});
  WriteWhole(prefix + ".det", "1\n1.0000000000e+00\n2\n3\n0\n7\n");
  ExpectRefusal(prefix, SolverError::InputError, {"unlisted.det:6: unexpected text"});
}

TEST(RegenerativeSolverTest, SsgSolveRefusesWithExitTwoAndTheMessage) {
  SolverScratch dir;
  TestChain chain;
  chain.States = 2;
  chain.add(1, 2, 1.0);
  chain.add(2, 1, -1);
  chain.Variables = {TestVariable{"X", 3, {{0, 1}}, {1, 0}, {}}};
  const std::string prefix = WriteDelayChain(dir, "two", chain, {{1, {2}}, {3, {2}}});
  RunResult run = RunProgram(Solver(), {prefix, "-q", "--csv", dir.path + "two.csv"});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("ssg-solve: " + prefix +
                         ".det: state 2 enables two different deterministic delays at once, 1 "
                         "and 3"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(run.out, "");
}

// Time-dependent measures get rows without a value and exit status 2; the
// steady-state rows are answered; impulses are noted, never hidden.
TEST(RegenerativeSolverTest, TransientRowsAreRefusedAndSteadyRowsAnswered) {
  SolverScratch dir;
  const double tau = 2, lambda = 0.5, repair = 1, maintenance = 4;
  TestChain chain;
  chain.States = 3;
  chain.add(1, 2, lambda);
  chain.add(1, 3, -1);
  chain.add(2, 1, repair);
  chain.add(3, 1, maintenance);
  chain.Variables = {TestVariable{"Up", 3, {{0, 1}}, {1, 0, 0}, {}},
                     TestVariable{"UpAt", 0, {{1, 1}, {5, 5}}, {1, 0, 0}, {}},
                     TestVariable{"UpFor", 2, {{0, 10}}, {1, 0, 0}, {}},
                     TestVariable{"Repairs", 3, {{0, 1}}, {0, 1, 0}, {0, 1, 0}}};
  const std::string prefix = WriteDelayChain(dir, "mixed", chain, {{tau, {1}}});
  const double fires = std::exp(-lambda * tau);
  const double up = -std::expm1(-lambda * tau) / lambda;
  const double cycle = up + (1 - fires) / repair + fires / maintenance;

  const std::string csv = dir.path + "mixed.csv";
  RunResult run = RunProgram(Solver(), {prefix, "-q", "--csv", csv});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("only steady-state measures are computed for chains with "
                         "deterministic delays"),
            std::string::npos)
      << run.err;
  // The table: every row, the refused ones saying so.
  std::istringstream lines(run.out);
  std::string line;
  std::vector<std::string> rows;
  while (std::getline(lines, line) && !line.empty())
    rows.push_back(line);
  ASSERT_EQ(rows.size(), 6u) << run.out;
  EXPECT_NE(rows[2].find("refused"), std::string::npos) << rows[2];
  EXPECT_NE(rows[3].find("UpAt"), std::string::npos);
  EXPECT_NE(rows[3].find("refused           refused: only steady-state"), std::string::npos)
      << rows[3];
  EXPECT_NE(rows[4].find("UpFor"), std::string::npos);
  EXPECT_NE(rows[4].find("refused"), std::string::npos);
  EXPECT_NE(run.out.find("deterministic delays 1 (enabled in 1 states)"), std::string::npos);
  EXPECT_NE(run.out.find("truncation: each row misses at most 1.00e-13 of its probability"),
            std::string::npos);
  EXPECT_NE(run.out.find("tolerance 1.00e-09"), std::string::npos);

  // The CSV: the steady values exact, the others empty with the reason.
  std::map<std::string, std::pair<std::string, std::string>> byVariable;
  std::istringstream csvLines(ReadWhole(csv));
  std::getline(csvLines, line);
  while (std::getline(csvLines, line)) {
    std::vector<std::string> fields;
    std::stringstream split(line);
    std::string field;
    while (std::getline(split, field, ','))
      fields.push_back(field);
    fields.resize(6);
    byVariable[fields[0] + "@" + fields[2]] = {fields[4], fields[5]};
  }
  EXPECT_NEAR(std::stod(byVariable["Up@"].first), up / cycle, 1e-10);
  EXPECT_EQ(byVariable["Up@"].second, "");
  EXPECT_NEAR(std::stod(byVariable["Repairs@"].first), (1 - fires) / repair / cycle, 1e-10);
  EXPECT_EQ(byVariable["Repairs@"].second, "impulse part not included");
  for (const char* key : {"UpAt@1", "UpAt@5", "UpFor@0"}) {
    EXPECT_EQ(byVariable[key].first, "") << key;
    EXPECT_EQ(byVariable[key].second, RegenerativeSolver::TransientRefusal) << key;
  }
}

} // namespace
