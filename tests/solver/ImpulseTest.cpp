// Impulse rewards and exact inputs: every measure against birth-death closed
// forms and dense computations done here (Eigen's matrix exponential of the
// generator, of the generator augmented with the impulse coupling, and of
// the block matrix whose exponential integrates the transient solution).

#include <gtest/gtest.h>

#include <cmath>

#include <Eigen/Dense>
#include <unsupported/Eigen/MatrixFunctions>

#include "solver/SolverError.h"
#include "tests/database/ResultsQuery.h"
#include "tests/driver/Subprocess.h"
#include "tests/solver/SolverTestFiles.h"

namespace {

// The chain and its impulses as dense matrices, straight from the test's
// description (not from the files).
struct DenseImpulses {
  Eigen::MatrixXd Q;    // generator without self-loops
  Eigen::VectorXd D;    // completion rate per state, self-loops included
  Eigen::MatrixXd A, L; // of one variable
  Eigen::Index n = 0;

  DenseImpulses(const TestChain& chain, std::size_t variable) : n(chain.States) {
    Q = Eigen::MatrixXd::Zero(n, n);
    D = Eigen::VectorXd::Zero(n);
    A = L = Eigen::MatrixXd::Zero(n, n);
    for (auto [from, to, rate] : chain.Transitions) {
      D(from - 1) += rate;
      if (from != to) {
        Q(from - 1, to - 1) += rate;
        Q(from - 1, from - 1) -= rate;
      }
    }
    for (auto [from, to, v, all, last] : chain.Impulses)
      if (v == variable) {
        A(from - 1, to - 1) += all;
        L(from - 1, to - 1) += last;
      }
  }
  Eigen::VectorXd impulseRate() const { return A.rowwise().sum(); }
  // p(t) from state 1.
  Eigen::RowVectorXd at(double t) const { return (Q * t).exp().row(0); }
  // integral of p(s) over [0, t]: the top-right block of exp([[Q, I], [0, 0]] t).
  Eigen::RowVectorXd integral(double t) const {
    Eigen::MatrixXd big = Eigen::MatrixXd::Zero(2 * n, 2 * n);
    big.topLeftCorner(n, n) = Q;
    big.topRightCorner(n, n).setIdentity();
    return (big * t).exp().topRightCorner(n, n).row(0);
  }
  // m(t): exp([[Q, L], [0, -D]] t), row 1, the right half.
  Eigen::RowVectorXd lastImpulse(double t) const {
    Eigen::MatrixXd g = Eigen::MatrixXd::Zero(2 * n, 2 * n);
    g.topLeftCorner(n, n) = Q;
    g.topRightCorner(n, n) = L;
    g.bottomRightCorner(n, n) = Eigen::MatrixXd((-D).asDiagonal());
    return (g * t).exp().topRightCorner(n, n).row(0);
  }
  // The stationary distribution of an irreducible chain: pi Q = 0, sum 1.
  Eigen::RowVectorXd stationary() const {
    Eigen::MatrixXd system = Q.transpose();
    system.row(n - 1).setOnes();
    Eigen::VectorXd b = Eigen::VectorXd::Zero(n);
    b(n - 1) = 1;
    return system.fullPivLu().solve(b).transpose();
  }
};

// The repairman: K machines, state n + 1 has n failed; each working machine
// fails at rate lambda, one repairman repairs at rate mu. Failures earn
// impulse 1 (variables Failures*, the rate part 0); repairs earn the number
// still failed after them (Repaired: a marking-dependent impulse), and its
// rate reward is the number of working machines.
TestChain Repairman(int K, double lambda, double mu, std::vector<std::pair<double, double>> times,
                    int type) {
  TestChain chain;
  chain.States = static_cast<std::uint32_t>(K + 1);
  std::vector<double> zero(chain.States, 0.0), up(chain.States, 0.0), first(chain.States, 1.0);
  first[0] = 0;
  for (int n = 0; n <= K; n++)
    up[n] = K - n;
  chain.Variables = {{"Failures", type, times, zero, first}, {"Repaired", type, times, up, {}}};
  for (int n = 0; n <= K; n++) {
    const auto s = static_cast<std::uint32_t>(n + 1);
    if (n < K)
      chain.fire(s, s + 1, lambda * (K - n), 0, 1.0, 1.0);
    if (n > 0) {
      chain.add(s, s - 1, mu);
      chain.Impulses.emplace_back(s, s - 1, 1, mu * (n - 1), mu * (n - 1));
    }
  }
  return chain;
}

// Birth-death closed form: pi_n proportional to K!/(K-n)! (lambda/mu)^n.
std::vector<double> RepairmanPi(int K, double lambda, double mu) {
  std::vector<double> pi(K + 1);
  double term = 1, total = 0;
  for (int n = 0; n <= K; n++) {
    pi[n] = term;
    total += term;
    term *= (K - n) * lambda / mu;
  }
  for (double& p : pi)
    p /= total;
  return pi;
}

double Relative(double value, double exact) {
  return std::fabs(value - exact) / std::max(std::fabs(exact), 1e-300);
}

TEST(ImpulseTest, RepairmanSteadyStateAgainstBirthDeathClosedForms) {
  const int K = 5;
  const double lambda = 0.2, mu = 1.5;
  const std::vector<double> pi = RepairmanPi(K, lambda, mu);
  double up = 0, repairedRate = 0, lastFailure = 0, lastRepaired = 0, upValue = 0;
  for (int n = 0; n <= K; n++) {
    up += pi[n] * (K - n);
    upValue += pi[n] * (K - n);
    if (n > 0) {
      repairedRate += pi[n] * mu * (n - 1);
      // Last completion into n a failure: pi_{n-1} lambda (K-n+1) / D_n, and
      // by the balance pi_{n-1} lambda (K-n+1) = pi_n mu.
      const double exit = lambda * (K - n) + mu;
      lastFailure += pi[n] * mu / exit;
    }
    if (n < K) // a repair into n left n failed
      lastRepaired += pi[n + 1] * mu * n / (lambda * (K - n) + (n > 0 ? mu : 0.0));
  }
  SolverScratch dir;
  const std::string prefix = WriteChain(dir, "repairman", Repairman(K, lambda, mu, {{0, 1}}, 3));
  for (auto method : {SolverOptions::Method::Auto, SolverOptions::Method::GaussSeidel}) {
    ChainSolver::Result result = SolvePrefix(prefix, MethodOptions(method));
    ASSERT_TRUE(result.complete());
    ASSERT_EQ(result.Rows.size(), 4u); // Failures, its rate, Repaired, its rate
    EXPECT_EQ(ChainSolver::TypeName(result.Rows[1]), std::string("impulse-rate"));
    EXPECT_TRUE(result.Rows[1].ImpulseRate);
    // Failure frequency lambda E[Up].
    EXPECT_LT(Relative(result.Rows[1].Value, lambda * up), 1e-12) << result.Rows[1].Value;
    EXPECT_LT(Relative(result.Rows[0].Value, lastFailure), 1e-12) << result.Rows[0].Value;
    EXPECT_LT(Relative(result.Rows[3].Value, repairedRate), 1e-12);
    EXPECT_LT(Relative(result.Rows[2].Value, upValue + lastRepaired), 1e-12);
    for (const ChainSolver::Row& row : result.Rows)
      EXPECT_EQ(row.Note, "") << row.Variable;
  }
}

TEST(ImpulseTest, ExpectedFailuresInAnIntervalAgainstTheIntegratedTransientSolution) {
  // K = 1: lambda times the integral of the availability.
  {
    const double lambda = 0.3, mu = 2.0;
    SolverScratch dir;
    TestChain unit = Repairman(1, lambda, mu, {{0, 2}, {1, 7}}, 1);
    ChainSolver::Result result = SolvePrefix(WriteChain(dir, "unit", unit), MethodOptions());
    const double s = lambda + mu;
    auto upTime = [&](double a, double b) {
      return mu * (b - a) / s + lambda / (s * s) * (std::exp(-s * a) - std::exp(-s * b));
    };
    EXPECT_LT(Relative(RowOf(result, "Failures", 0).Value, lambda * upTime(0, 2)), 1e-11);
    EXPECT_LT(Relative(RowOf(result, "Failures", 1).Value, lambda * upTime(1, 7)), 1e-11);
  }
  // K = 4, interval and time-averaged, against the dense integral.
  const int K = 4;
  const double lambda = 0.7, mu = 1.1;
  for (int type : {1, 2}) {
    SCOPED_TRACE(type);
    TestChain chain = Repairman(K, lambda, mu, {{0, 3}, {2.5, 10}}, type);
    SolverScratch dir;
    ChainSolver::Result result = SolvePrefix(WriteChain(dir, "rm", chain), MethodOptions());
    ASSERT_TRUE(result.complete());
    for (std::size_t v = 0; v < 2; v++) {
      DenseImpulses dense(chain, v);
      Eigen::VectorXd reward = dense.impulseRate();
      for (int n = 0; n <= K; n++)
        reward(n) += chain.Variables[v].Rate[n];
      for (auto [a, b] : chain.Variables[v].Times) {
        double exact = (dense.integral(b) - dense.integral(a)).dot(reward);
        if (type == 2)
          exact /= b - a;
        EXPECT_LT(Relative(RowOf(result, chain.Variables[v].Name, a).Value, exact), 1e-10)
            << chain.Variables[v].Name << " [" << a << ", " << b << "]";
      }
    }
  }
}

TEST(ImpulseTest, InstantOfTimeAgainstTheAugmentedGeneratorAndTheTwoStateClosedForm) {
  // K = 1: the last completion was a failure exactly when the unit is down.
  {
    const double lambda = 0.3, mu = 2.0;
    SolverScratch dir;
    TestChain unit = Repairman(1, lambda, mu, {{0, 0}, {0.4, 0.4}, {3, 3}}, 0);
    ChainSolver::Result result = SolvePrefix(WriteChain(dir, "unit", unit), MethodOptions());
    EXPECT_EQ(RowOf(result, "Failures", 0).Value, 0.0);
    for (double t : {0.4, 3.0}) {
      const double down = lambda / (lambda + mu) * (1 - std::exp(-(lambda + mu) * t));
      EXPECT_LT(Relative(RowOf(result, "Failures", t).Value, down), 1e-11) << t;
    }
  }
  const int K = 4;
  const double lambda = 0.7, mu = 1.1;
  TestChain chain = Repairman(K, lambda, mu, {{0.5, 0.5}, {2, 2}, {40, 40}}, 0);
  SolverScratch dir;
  const std::string prefix = WriteChain(dir, "rm", chain);
  ChainSolver::Result result = SolvePrefix(prefix, MethodOptions(), true);
  for (std::size_t v = 0; v < 2; v++) {
    DenseImpulses dense(chain, v);
    Eigen::VectorXd rate(K + 1);
    for (int n = 0; n <= K; n++)
      rate(n) = chain.Variables[v].Rate[n];
    for (auto [t, unused] : chain.Variables[v].Times) {
      const double exact = dense.at(t).dot(rate) + dense.lastImpulse(t).sum();
      EXPECT_LT(Relative(RowOf(result, chain.Variables[v].Name, t).Value, exact), 1e-10)
          << chain.Variables[v].Name << " at " << t;
    }
    // The plotted curve holds the impulse part too.
    const ChainSolver::Curve& curve = result.Curves[v];
    for (std::size_t i = 0; i < curve.Times.size(); i += 7) {
      const double t = curve.Times[i];
      EXPECT_NEAR(curve.Values[i], dense.at(t).dot(rate) + dense.lastImpulse(t).sum(), 1e-9);
    }
  }
}

// State 1 fires a timed activity (rate 2, impulse 10 for Count); an
// instantaneous choice follows, with weights 0.3 (impulse 5, to state 2)
// and 0.7 (impulse 1, to state 3). A second activity from state 1 to state
// 2 (rate 0.5, impulse 4) is merged with the first branch into one entry.
// States 2 and 3 return at rates 1 and 3 (impulse 0), and state 3 has a
// self-loop (rate 0.8, impulse 2) that adds nothing to the chain but
// completes.
TestChain InstantaneousChoice(int type, std::vector<std::pair<double, double>> times) {
  TestChain chain;
  chain.States = 3;
  chain.Variables = {{"Count", type, times, {0.25, 1, 0}, {0, 15, 11}}};
  chain.fire(1, 2, 2 * 0.3, 0, 10 + 5, 5);
  chain.fire(1, 3, 2 * 0.7, 0, 10 + 1, 1);
  chain.fire(1, 2, 0.5, 0, 4, 4);
  chain.add(2, 1, 1);
  chain.add(3, 1, 3);
  chain.fire(3, 3, 0.8, 0, 2, 2);
  return chain;
}

TEST(ImpulseTest, InstantaneousCompletionsMergedEntriesAndSelfLoopsEveryMeasure) {
  const std::vector<std::pair<double, double>> instants = {{0.3, 0.3}, {2, 2}, {25, 25}};
  const std::vector<std::pair<double, double>> intervals = {{0, 1}, {0.5, 6}};
  const std::vector<std::pair<double, double>> steady = {{0, 1}};
  for (int type : {0, 1, 2, 3}) {
    SCOPED_TRACE(type);
    const auto& times = type == 0 ? instants : type == 3 ? steady : intervals;
    TestChain chain = InstantaneousChoice(type, times);
    DenseImpulses dense(chain, 0);
    const Eigen::Map<const Eigen::VectorXd> rate(chain.Variables[0].Rate.data(), 3);
    SolverScratch dir;
    ChainSolver::Result result = SolvePrefix(WriteChain(dir, "choice", chain), MethodOptions());
    ASSERT_TRUE(result.complete());
    const Eigen::RowVectorXd pi = dense.stationary();
    EXPECT_LT(Relative(result.Rows.back().Value, pi.dot(dense.impulseRate())), 1e-12);
    if (type == 3) {
      Eigen::RowVectorXd m = (pi * dense.L).cwiseQuotient(dense.D.transpose());
      EXPECT_LT(Relative(RowOf(result, "Count").Value, pi.dot(rate) + m.sum()), 1e-12);
      continue;
    }
    for (auto [a, b] : times) {
      double exact = 0;
      if (type == 0) {
        exact = dense.at(a).dot(rate) + dense.lastImpulse(a).sum();
      } else {
        Eigen::VectorXd reward = rate + dense.impulseRate();
        exact = (dense.integral(b) - dense.integral(a)).dot(reward) / (type == 2 ? b - a : 1.0);
      }
      EXPECT_LT(Relative(RowOf(result, "Count", a).Value, exact), 1e-10) << a;
    }
  }
}

TEST(ImpulseTest, StiffRatesAndALargeTime) {
  // Failures rare against repairs (lambda/mu = 1e-6): the instant value at
  // t = 2000 (q t about 2e6 steps) and the counts over [0, 2000].
  const int K = 3;
  const double lambda = 1e-3, mu = 1e3;
  TestChain chain = Repairman(K, lambda, mu, {{2000, 2000}}, 0);
  TestChain counted = Repairman(K, lambda, mu, {{0, 2000}}, 1);
  SolverScratch dir;
  ChainSolver::Result instant = SolvePrefix(WriteChain(dir, "i", chain), MethodOptions());
  ChainSolver::Result interval = SolvePrefix(WriteChain(dir, "a", counted), MethodOptions());
  DenseImpulses dense(chain, 0);
  const std::vector<double> pi = RepairmanPi(K, lambda, mu);
  // By t = 2000 the chain is stationary to 1e-300: the closed forms apply.
  double lastFailure = 0, up = 0;
  for (int n = 0; n <= K; n++) {
    up += pi[n] * (K - n);
    if (n > 0)
      lastFailure += pi[n] * mu / (lambda * (K - n) + mu);
  }
  EXPECT_LT(Relative(RowOf(instant, "Failures").Value, lastFailure), 1e-9);
  EXPECT_LT(Relative(RowOf(instant, "Failures").Value, dense.lastImpulse(2000).sum()), 1e-9);
  Eigen::VectorXd a = dense.impulseRate();
  EXPECT_LT(Relative(RowOf(interval, "Failures").Value, dense.integral(2000).dot(a)), 1e-9);
  EXPECT_LT(Relative(RowOf(interval, "Failures").Value, lambda * up * 2000), 1e-6);
}

TEST(ImpulseTest, SteadyStateOfAChainThatEndsWhereNothingCompletes) {
  // States 1 and 2 transient, 3 and 4 absorbing (no completion at all): in
  // the long run the value is the impulse of the completion into 3 or 4.
  TestChain chain;
  chain.States = 4;
  chain.Variables = {{"Last", 3, {{0, 1}}, {0, 0, 0.5, 0}, {0, 1, 4, 6}}};
  chain.fire(1, 2, 1.0, 0, 1, 1);
  chain.fire(2, 1, 2.0, 0, 2, 2);
  chain.fire(2, 3, 0.5, 0, 4 + 3, 3);
  chain.fire(1, 4, 0.25, 0, 6, 6);
  chain.fire(1, 1, 0.7, 0, 9, 9); // a self-loop of a transient state
  SolverScratch dir;
  const std::string prefix = WriteChain(dir, "ends", chain);
  DenseImpulses dense(chain, 0);
  // By t = 400 the transient states hold below 1e-40 of the mass.
  const double exact = dense.at(400)(2) * 0.5 + dense.lastImpulse(400).sum();
  for (auto method : {SolverOptions::Method::Auto, SolverOptions::Method::GaussSeidel}) {
    ChainSolver::Result result = SolvePrefix(prefix, MethodOptions(method));
    ASSERT_TRUE(result.complete()) << RowOf(result, "Last").Note;
    EXPECT_LT(Relative(RowOf(result, "Last").Value, exact), 1e-10) << RowOf(result, "Last").Value;
    EXPECT_EQ(result.Rows.back().Value, 0.0); // nothing is earned in the long run
  }
}

TEST(ImpulseTest, WithoutAnImpulseFileTheRatePartIsSolvedWithANote) {
  TestChain chain = Repairman(2, 0.5, 1.0, {{0, 1}}, 3);
  chain.Impulses.clear(); // an older run: impulses in the .var only
  SolverScratch dir;
  ChainSolver::Result result = SolvePrefix(WriteChain(dir, "old", chain), MethodOptions());
  ASSERT_EQ(result.Rows.size(), 2u); // no impulse-rate rows
  EXPECT_EQ(RowOf(result, "Failures").Value, 0.0);
  EXPECT_EQ(RowOf(result, "Failures").Note, "impulse part not included (no .imp file)");
  EXPECT_EQ(RowOf(result, "Repaired").Note, ""); // its .var impulses are all 0

  // The plotted curve of an instant-of-time variable says so too.
  TestChain instant = Repairman(2, 0.5, 1.0, {{1, 1}}, 0);
  instant.Impulses.clear();
  ChainSolver::Result curves = SolvePrefix(WriteChain(dir, "old0", instant), MethodOptions(), true);
  ASSERT_EQ(curves.Curves.size(), 2u);
  EXPECT_EQ(curves.Curves[0].Note, "impulse part not included (no .imp file)");
  EXPECT_EQ(curves.Curves[1].Note, "");
}

TEST(ImpulseTest, ExactRewardsAndTimesFromTheRewFileElseANoteOnEveryRow) {
  // A unit that fails at rate 1e-6 and is never repaired: the reliability at
  // t is exp(-1e-6 t); the .pvtype holds 1234567 as 1.23457e+06.
  TestChain unit;
  unit.States = 2;
  unit.add(1, 2, 1e-6);
  unit.Variables = {{"Reliability", 0, {{1234567, 1234567}}, {1, 0}, {}},
                    {"Third", 3, {{0, 1}}, {1.0 / 3, 1.0 / 3}, {}}};
  SolverScratch dir;
  ChainSolver::Result exact = SolvePrefix(WriteChain(dir, "exact", unit), MethodOptions());
  EXPECT_EQ(RowOf(exact, "Reliability").Start, 1234567.0);
  EXPECT_LT(Relative(RowOf(exact, "Reliability").Value, std::exp(-1e-6 * 1234567)), 1e-12);
  EXPECT_EQ(RowOf(exact, "Third").Value, 1.0 / 3);
  for (const ChainSolver::Row& row : exact.Rows)
    EXPECT_EQ(row.Note, "");

  ChainSolver::Result rounded =
      SolvePrefix(WriteChain(dir, "rounded", unit, false, false), MethodOptions());
  EXPECT_EQ(RowOf(rounded, "Reliability").Start, 1234570.0);
  EXPECT_EQ(RowOf(rounded, "Third").Value, 0.333333);
  for (const ChainSolver::Row& row : rounded.Rows)
    EXPECT_EQ(row.Note, "input rounded to 6 significant digits (no .rew file)");
}

// The message of the InputError reading `prefix` gives, or "" when none.
std::string ReadError(const std::string& prefix) {
  try {
    Progress quiet(false);
    ChainFiles::Read(prefix, quiet);
  } catch (const SolverError& e) {
    EXPECT_EQ(e.exitStatus(), 1);
    return e.what();
  }
  return "";
}

void ExpectError(const std::string& prefix, const std::string& part) {
  const std::string message = ReadError(prefix);
  EXPECT_NE(message.find(part), std::string::npos) << "message: " << message;
}

TEST(ImpulseTest, FilesThatDisagreeAreInputErrors) {
  const TestChain chain = InstantaneousChoice(3, {{0, 1}});
  SolverScratch dir;
  const std::string prefix = WriteChain(dir, "c", chain);
  const std::string rew = ReadWhole(prefix + ".rew"), imp = ReadWhole(prefix + ".imp");
  ASSERT_EQ(ReadError(prefix), "");

  // .rew: cut short, wrong trailer, other counts, other values.
  WriteWhole(prefix + ".rew", rew.substr(0, rew.size() - 8));
  ExpectError(prefix, ".rew: has no trailer after the record of state 3");
  WriteWhole(prefix + ".rew", rew.substr(0, rew.size() - 20));
  ExpectError(prefix, "ends after 1 state records, but the .arm file has 3 states");
  std::string other = rew;
  other[other.size() - 8] = 4;
  WriteWhole(prefix + ".rew", other);
  ExpectError(prefix, "the trailer says 4 states, but the .arm file has 3");
  other = rew;
  other[8] = 2;
  WriteWhole(prefix + ".rew", other);
  ExpectError(prefix, "holds 2 variables, but the .pvtype file declares 1");
  TestChain changed = chain;
  changed.Variables[0].Rate[1] = 1.001;
  WriteWhole(prefix + ".rew", RewBinary(changed));
  ExpectError(prefix, "the rate reward of variable 'Count' in state 2 is 1.001, but the .var "
                      "file gives 1");
  changed = chain;
  changed.Variables[0].Times = {{0, 1.5}};
  WriteWhole(prefix + ".rew", RewBinary(changed));
  ExpectError(prefix, "time point 1 of variable 'Count' is [0, 1.5], but the .pvtype file gives "
                      "[0, 1]");
  WriteWhole(prefix + ".rew", rew + "x");
  ExpectError(prefix, "unexpected bytes after the trailer");
  WriteWhole(prefix + ".rew", rew);

  // .imp: cut short, entries that are not the .arm's, a stale file.
  WriteWhole(prefix + ".imp", imp.substr(0, imp.size() - 8));
  ExpectError(prefix, ".imp: has no trailer after the record of state 3");
  TestChain split = chain;
  split.Transitions.emplace_back(2, 3, 0.0); // an entry the .arm file does not have
  WriteWhole(prefix + ".imp", ImpBinary(split));
  ExpectError(prefix, "state 2 has 2 entries, but its .arm record has 1");
  TestChain none = chain;
  for (auto& impulse : none.Impulses)
    std::get<3>(impulse) = std::get<4>(impulse) = 0;
  WriteWhole(prefix + ".imp", ImpBinary(none));
  ExpectError(prefix, "variable 'Count' earns no impulse on any transition, but its .var values "
                      "have impulses");
  WriteWhole(prefix + ".imp", imp);
  ASSERT_EQ(ReadError(prefix), "");
}

TEST(ImpulseTest, GeneratedRepairmanEveryKAgainstTheClosedFormsThroughSsgSolve) {
  SolverScratch dir;
  const std::string bin = std::string(SSG_BINARY_DIR) + "/";
  const std::string db = dir.path + "r.db";
  for (int K : {1, 5, 10}) {
    SCOPED_TRACE(K);
    const std::string name = "rep" + std::to_string(K);
    RunResult gen = RunProgram(bin + "gen-repairman", {"-P" + dir.path, "-N" + name,
                                                       "-B" + std::to_string(K - 1), "-s", db});
    ASSERT_EQ(gen.status, 0) << gen.err;
    const std::string csv = dir.path + name + ".csv";
    RunResult solve =
        RunProgram(bin + "ssg-solve", {dir.path + name, "--csv", csv, "--db", db, "-q"});
    ASSERT_EQ(solve.status, 0) << solve.err;
    EXPECT_EQ(solve.out.find("not included"), std::string::npos) << solve.out;
    const std::vector<double> pi = RepairmanPi(K, 0.1, 1.0);
    double up = 0, last = 0;
    for (int n = 0; n <= K; n++) {
      up += pi[n] * (K - n);
      if (n > 0)
        last += pi[n] * 1.0 / (0.1 * (K - n) + 1.0);
    }
    // "Failures,steady-state,,,<value>," and "Failures,impulse-rate,,,<value>,".
    const std::string text = ReadWhole(csv);
    auto value = [&](const std::string& row) {
      const std::size_t at = text.find("\n" + row + ",,,");
      EXPECT_NE(at, std::string::npos) << text;
      const std::size_t from = at + row.size() + 4;
      const std::string field = text.substr(from, text.find(',', from) - from);
      EXPECT_EQ(text.substr(from + field.size(), 2), ",\n") << "a note on " << row;
      return std::stod(field);
    };
    EXPECT_LT(Relative(value("Failures,impulse-rate"), 0.1 * up), 1e-13);
    EXPECT_LT(Relative(value("Failures,steady-state"), last), 1e-13);
    EXPECT_LT(Relative(value("Working,steady-state"), up), 1e-13);
  }
  EXPECT_EQ(Query(db, "SELECT count(*) FROM solve_values WHERE type = 'impulse-rate' AND "
                      "variable = 'Failures' AND value > 0"),
            std::vector<std::string>{"3"});
}

} // namespace
