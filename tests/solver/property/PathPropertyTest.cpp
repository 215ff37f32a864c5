// Path properties against closed forms and against an independent dense
// computation in the test (Eigen's matrix exponential of the generator with
// the absorbing states written out here).

#include <gtest/gtest.h>

#include <Eigen/Dense>
#include <unsupported/Eigen/MatrixFunctions>

#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "tests/database/ResultsQuery.h"
#include "tests/solver/property/PropertyTestFiles.h"

namespace {

// The dense generator of `chain`, with the states (1-based) of `absorbing`
// left without transitions.
Eigen::MatrixXd Generator(const TestChain& chain, const std::set<int>& absorbing = {}) {
  Eigen::MatrixXd q = Eigen::MatrixXd::Zero(chain.States, chain.States);
  for (auto [from, to, rate] : chain.Transitions) {
    if (absorbing.count(int(from)) != 0 || from == to)
      continue;
    q(from - 1, to - 1) += rate;
    q(from - 1, from - 1) -= rate;
  }
  return q;
}

// The machine-repairman chain: K machines failing at rate lambda each while
// up, one repairman repairing at rate mu. State n + 1 has n machines down.
TestChain Repairman(int machines, double lambda, double mu) {
  TestChain chain;
  chain.States = std::uint32_t(machines + 1);
  std::vector<double> working;
  for (int n = 0; n <= machines; n++) {
    if (n < machines)
      chain.add(std::uint32_t(n + 1), std::uint32_t(n + 2), (machines - n) * lambda);
    if (n > 0)
      chain.add(std::uint32_t(n + 1), std::uint32_t(n), mu);
    working.push_back(machines - n);
  }
  chain.Variables = {TestVariable{"Working", 3, {{0, 1}}, working, {}}};
  return chain;
}

std::string RepairmanSta(int machines, bool labels = false) {
  std::string sta = labels ? "(Up,Down,label(Failed),label(Degraded))\n" : "(Up,Down)\n";
  for (int n = 0; n <= machines; n++) {
    sta += std::to_string(n + 1) + ":(" + std::to_string(machines - n) + "," + std::to_string(n);
    if (labels)
      sta += std::string(n == machines ? ",1" : ",0") + (n > 0 ? ",1" : ",0");
    sta += ")\n";
  }
  return sta;
}

// Mean time of a birth-death chain from 0 to `top`, by the first-step
// recursion m_n = (1 + down_n m_{n-1}) / up_n for the time from n to n + 1.
template <class Up, class Down> double BirthDeathPassage(int top, Up up, Down down) {
  double total = 0, m = 0;
  for (int n = 0; n < top; n++) {
    m = (1 + (n > 0 ? down(n) * m : 0.0)) / up(n);
    total += m;
  }
  return total;
}

} // namespace

TEST(PathPropertyTest, RepairmanMeanTimeToAllDownMatchesTheBirthDeathClosedForm) {
  struct Case {
    int Machines;
    double Lambda, Mu;
    const char* Method;
    double Tolerance; // relative
  };
  // The 0.001 cases are rare events: all machines down after some 1e15 time
  // units (the repairman is a thousand times faster than a failure). State
  // reduction (auto) keeps every digit; Gauss-Seidel converges slowly on
  // this chain and stops within 1e-8; the sparse LU loses three digits on
  // the rare event and says so.
  const std::vector<Case> cases = {{5, 0.1, 1.0, "auto", 1e-12},
                                   {5, 0.1, 1.0, "gs", 1e-8},
                                   {6, 0.001, 1.0, "auto", 1e-12},
                                   {6, 0.001, 1.0, "direct", 1e-2}};
  for (const Case& c : cases) {
    SolverScratch dir;
    const std::string prefix = WriteChain(dir, "rep", Repairman(c.Machines, c.Lambda, c.Mu));
    WriteWhole(prefix + ".sta", RepairmanSta(c.Machines));
    const auto rows =
        SolveProperties(dir, prefix,
                        {"--property", "R=? [ F Up == 0 ]", "--property", "P=? [ F Up == 0 ]",
                         "--property", "R{\"Working\"}=? [ F Up == 0 ]", "--method", c.Method,
                         "--epsilon", "1e-12", "--max-iterations", "1000000"});
    ASSERT_EQ(rows.size(), 3u);
    const double mean = BirthDeathPassage(
        c.Machines, [&](int n) { return (c.Machines - n) * c.Lambda; }, [&](int) { return c.Mu; });
    EXPECT_NEAR(ValueOf(rows[0]), mean, c.Tolerance * mean) << c.Method << " " << c.Lambda;
    EXPECT_EQ(rows[0].Type, "steady-state");
    EXPECT_EQ(ValueOf(rows[1]), 1.0);
    // Machine-time worked until all are down: the same recursion with the
    // reward K - n earned per unit of time in n.
    double worked = 0, m = 0;
    for (int n = 0; n < c.Machines; n++) {
      const double up = (c.Machines - n) * c.Lambda;
      m = ((c.Machines - n) + (n > 0 ? c.Mu * m : 0.0)) / up;
      worked += m;
    }
    EXPECT_NEAR(ValueOf(rows[2]), worked, c.Tolerance * worked) << c.Method;
    // A value the method cannot vouch for to epsilon says so.
    const bool exact = std::fabs(ValueOf(rows[0]) - mean) <= 1e-11 * mean;
    if (!exact) {
      EXPECT_NE(rows[0].Note.find("accuracy not established"), std::string::npos)
          << c.Method << " " << c.Lambda;
    }
  }
}

TEST(PathPropertyTest, RepairmanProbabilityOfAllDownBeforeTMatchesTheMatrixExponential) {
  const int machines = 5;
  const TestChain chain = Repairman(machines, 0.1, 1.0);
  SolverScratch dir;
  const std::string prefix = WriteChain(dir, "rep", chain);
  WriteWhole(prefix + ".sta", RepairmanSta(machines));
  const auto rows =
      SolveProperties(dir, prefix,
                      {"--property", "P=? [ F<=T Up == 0 ]", "--times", "0:1000:250,5000",
                       "--property", "P=? [ Up > 1 U<=100 Up == 0 ]", "--epsilon", "1e-12"});
  ASSERT_EQ(rows.size(), 7u);
  const Eigen::MatrixXd q = Generator(chain, {machines + 1});
  const double times[] = {0, 250, 500, 750, 1000, 5000};
  for (int i = 0; i < 6; i++) {
    const Eigen::MatrixXd e = (q * times[i]).exp();
    const double exact = e(0, machines);
    EXPECT_EQ(rows[std::size_t(i)].Type, "instant-of-time");
    EXPECT_EQ(std::stod(rows[std::size_t(i)].Start), times[i]);
    EXPECT_NEAR(ValueOf(rows[std::size_t(i)]), exact, 1e-11) << times[i];
  }
  // Up > 1 until all down: the path must not pass through Up == 1, which
  // it must to reach Up == 0; the value is 0.
  EXPECT_EQ(ValueOf(rows[6]), 0.0);
}

TEST(PathPropertyTest, QueueFirstPassageFromEmptyToFullMatchesTheClosedForm) {
  struct Case {
    int Capacity;
    double Lambda, Mu;
  };
  for (const Case& c : {Case{10, 1.0, 1.5}, Case{20, 0.5, 1.0}, Case{40, 1.0, 0.9}}) {
    TestChain chain;
    chain.States = std::uint32_t(c.Capacity + 1);
    std::string sta = "(Queue)\n";
    for (int n = 0; n <= c.Capacity; n++) {
      if (n < c.Capacity)
        chain.add(std::uint32_t(n + 1), std::uint32_t(n + 2), c.Lambda);
      if (n > 0)
        chain.add(std::uint32_t(n + 1), std::uint32_t(n), c.Mu);
      sta += std::to_string(n + 1) + ":(" + std::to_string(n) + ")\n";
    }
    SolverScratch dir;
    const std::string prefix = WriteChain(dir, "mm1k", chain);
    WriteWhole(prefix + ".sta", sta);
    const auto rows =
        SolveProperties(dir, prefix,
                        {"--property", "R=? [ F Queue == " + std::to_string(c.Capacity) + " ]",
                         "--epsilon", "1e-13"});
    ASSERT_EQ(rows.size(), 1u);
    // With r = mu / lambda: T = (r (r^K - 1) / (r - 1) - K) / (lambda (r - 1)).
    const double r = c.Mu / c.Lambda;
    const double exact =
        (r * (std::pow(r, c.Capacity) - 1) / (r - 1) - c.Capacity) / (c.Lambda * (r - 1));
    EXPECT_NEAR(ValueOf(rows[0]), exact, 1e-9 * exact) << c.Capacity;
  }
}

// State 1 goes to 2 (rate a) or to the trap 3 (rate b); 2 goes to the
// target 4 (rate c) or back to 1 (rate d). The place X is the state number.
class DeadEndTest : public ::testing::Test {
protected:
  static constexpr double A = 2, B = 0.5, C = 1, D = 3;
  TestChain Chain;
  SolverScratch Dir;
  std::string Prefix;

  void SetUp() override {
    Chain.States = 4;
    Chain.add(1, 2, A);
    Chain.add(1, 3, B);
    Chain.add(2, 4, C);
    Chain.add(2, 1, D);
    Chain.Variables = {TestVariable{"One", 3, {{0, 1}}, {1, 1, 1, 1}, {}}};
    Prefix = WriteChain(Dir, "deadend", Chain);
    WriteWhole(Prefix + ".sta", "(X)\n1:(1)\n2:(2)\n3:(3)\n4:(4)\n");
  }
  std::vector<CsvRow> solve(const std::vector<std::string>& properties, RunResult* run = nullptr) {
    std::vector<std::string> arguments{"--epsilon", "1e-12"};
    for (const std::string& p : properties) {
      arguments.emplace_back("--property");
      arguments.push_back(p);
    }
    return SolveProperties(Dir, Prefix, arguments, run);
  }
  // The distribution at t from `start` with `absorbing` states.
  Eigen::RowVectorXd at(const Eigen::RowVectorXd& start, double t,
                        const std::set<int>& absorbing) const {
    const Eigen::MatrixXd e = (Generator(Chain, absorbing) * t).exp();
    return start * e;
  }
};

TEST_F(DeadEndTest, TheTrapGivesAnInfiniteMeanAndTheRightProbability) {
  RunResult run;
  const auto rows = solve({"R=? [ F X == 4 ]", "P=? [ F X == 4 ]", "P=? [ X <= 2 U X == 4 ]",
                           "P=? [ X == 1 U X == 2 ]", "R=? [ F X == 3 ]", "R=? [ F X == 1 ]"},
                          &run);
  ASSERT_EQ(rows.size(), 6u);
  EXPECT_EQ(rows[0].Value, "inf");
  EXPECT_NE(rows[0].Note.find("not reached from state 1 with positive probability"),
            std::string::npos);
  EXPECT_NE(run.out.find("R=? [ F X == 4 ]"), std::string::npos);
  EXPECT_NE(run.out.find("inf"), std::string::npos) << run.out;
  // p1 = a/(a+b) p2, p2 = c/(c+d) + d/(c+d) p1.
  const double p = A * C / ((A + B) * (C + D) - A * D);
  EXPECT_NEAR(ValueOf(rows[1]), p, 1e-13);
  EXPECT_NEAR(ValueOf(rows[2]), p, 1e-13);
  EXPECT_NEAR(ValueOf(rows[3]), A / (A + B), 1e-13);
  EXPECT_EQ(rows[4].Value, "inf");  // the trap is missed when the target is reached
  EXPECT_EQ(ValueOf(rows[5]), 0.0); // state 1 is the target
}

TEST_F(DeadEndTest, UntilWithPhiFalseInStateOneAndBoundZero) {
  const auto rows =
      solve({"P=? [ X >= 2 U X == 4 ]", "P=? [ X >= 2 U X == 1 ]", "P=? [ X >= 2 U<=5 X == 4 ]",
             "P=? [ X == 2 U<=5 X == 1 ]", "P=? [ F<=0 X == 4 ]", "P=? [ F<=0 X == 1 ]",
             "P=? [ X >= 2 U[1,2] X == 1 ]", "P=? [ F[0,0] X <= 1 ]"});
  ASSERT_EQ(rows.size(), 8u);
  const double expected[] = {0, 1, 0, 1, 0, 1, 0, 1};
  for (std::size_t i = 0; i < rows.size(); i++)
    EXPECT_EQ(ValueOf(rows[i]), expected[i]) << rows[i].Name;
}

TEST_F(DeadEndTest, BoundedAndIntervalPropertiesMatchTheMatrixExponential) {
  const auto rows =
      solve({"P=? [ F<=1.5 X == 4 ]", "P=? [ F[1,3] X == 2 ]", "P=? [ X <= 2 U[0.5,4] X == 4 ]",
             "P=? [ F[1,2] X == 1 ]", "P=? [ X == 1 U[0.25,1] X == 2 ]"});
  ASSERT_EQ(rows.size(), 5u);
  Eigen::RowVectorXd one = Eigen::RowVectorXd::Zero(4);
  one(0) = 1;
  EXPECT_NEAR(ValueOf(rows[0]), at(one, 1.5, {4})(3), 1e-11);
  // Anywhere at t1, then the first visit within t2 - t1.
  EXPECT_NEAR(ValueOf(rows[1]), at(at(one, 1, {}), 2, {2})(1), 1e-11);
  EXPECT_EQ(rows[1].Type, "interval-of-time");
  EXPECT_EQ(rows[1].Start, "1");
  EXPECT_EQ(rows[1].Stop, "3");
  // Phi (X <= 2) up to t1 (states 3 and 4 absorbing, their mass dropped),
  // then phi until psi.
  Eigen::RowVectorXd phase = at(one, 0.5, {3, 4});
  phase(2) = phase(3) = 0;
  EXPECT_NEAR(ValueOf(rows[2]), at(phase, 3.5, {3, 4})(3), 1e-11);
  EXPECT_NEAR(ValueOf(rows[3]), at(at(one, 1, {}), 1, {1})(0), 1e-11);
  phase = at(one, 0.25, {2, 3, 4});
  phase(1) = phase(2) = phase(3) = 0;
  EXPECT_NEAR(ValueOf(rows[4]), at(phase, 0.75, {2, 3, 4})(1), 1e-11);
}

TEST(PathPropertyTest, RewardSynonymsEqualTheVariablesMeasures) {
  const TestChain chain = Repairman(3, 0.5, 1.0);
  SolverScratch dir;
  const std::string prefix = WriteChain(dir, "rep", chain);
  WriteWhole(prefix + ".sta", RepairmanSta(3));
  const auto rows =
      SolveProperties(dir, prefix,
                      {"--property", "R{\"Working\"}=? [ C<=2 ]", "--property",
                       "R{\"Working\"}=? [ I=2 ]", "--property", "R{\"Working\"}=? [ S ]",
                       "--property", "S=? [ Up == 0 ]", "--epsilon", "1e-12"});
  ASSERT_EQ(rows.size(), 4u);
  const Eigen::MatrixXd q = Generator(chain);
  Eigen::VectorXd working(4);
  working << 3, 2, 1, 0;
  // The integral of exp(Q u) over [0, 2]: the top right block of exp of
  // [[Q, I], [0, 0]] times 2.
  Eigen::MatrixXd big = Eigen::MatrixXd::Zero(8, 8);
  big.topLeftCorner(4, 4) = q;
  big.topRightCorner(4, 4) = Eigen::MatrixXd::Identity(4, 4);
  const Eigen::MatrixXd bigExp = (big * 2.0).exp();
  const Eigen::MatrixXd integral = bigExp.topRightCorner(4, 4);
  const Eigen::MatrixXd at2 = (q * 2.0).exp();
  EXPECT_NEAR(ValueOf(rows[0]), (integral.row(0) * working)(0), 1e-10);
  EXPECT_EQ(rows[0].Type, "interval-of-time");
  EXPECT_NEAR(ValueOf(rows[1]), (at2.row(0) * working)(0), 1e-11);
  // Birth-death steady state: p(n) proportional to K!/(K-n)! (lambda/mu)^n.
  double weights[4], sum = 0;
  for (int n = 0; n <= 3; n++) {
    double w = 1;
    for (int k = 0; k < n; k++)
      w *= (3 - k) * 0.5;
    weights[n] = w;
    sum += w;
  }
  double mean = 0;
  for (int n = 0; n <= 3; n++)
    mean += (3 - n) * weights[n] / sum;
  EXPECT_NEAR(ValueOf(rows[2]), mean, 1e-12);
  EXPECT_NEAR(ValueOf(rows[3]), weights[3] / sum, 1e-12);
}

TEST(PathPropertyTest, RefusalsAndFailuresHaveTheirExitStatus) {
  const TestChain chain = Repairman(3, 0.5, 1.0);
  SolverScratch dir;
  const std::string prefix = WriteChain(dir, "rep", chain);
  WriteWhole(prefix + ".sta", RepairmanSta(3));
  RunResult run;
  // An iteration stopped after one sweep: no value, exit status 3.
  auto rows = SolveProperties(dir, prefix,
                              {"--property", "R=? [ F Up == 0 ]", "--property", "S=? [ Up == 0 ]",
                               "--method", "gs", "--max-iterations", "1"},
                              &run, 3);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].Value, "");
  EXPECT_NE(rows[0].Note.find("not converged"), std::string::npos) << rows[0].Note;
  EXPECT_NE(run.err.find("not converged"), std::string::npos);

  run = RunProgram(SolverProgram(), {prefix, "--property", "R{\"Workin\"}=? [ S ]", "-q"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("--property:1:3: error: unknown reward variable \"Workin\"; did you "
                         "mean \"Working\"?"),
            std::string::npos)
      << run.err;

  run = RunProgram(SolverProgram(), {prefix, "--property", "P=? [ F<=T Up == 0 ]", "-q"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("give them (e.g. --times 0:1000:50)"), std::string::npos) << run.err;

  run = RunProgram(SolverProgram(), {prefix, "--property", "P=? [ F Upp == 0 ]", "-q"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("--property:1:9: error: unknown name 'Upp'; did you mean 'Up'?"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("   1 | P=? [ F Upp == 0 ]\n     |         ^~~"), std::string::npos)
      << run.err;

  std::remove((prefix + ".sta").c_str());
  run = RunProgram(SolverProgram(), {prefix, "--property", "P=? [ F Up == 0 ]", "-q"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("no state-marking file"), std::string::npos) << run.err;
  // Without markings the labels init and deadlock still work.
  rows = SolveProperties(
      dir, prefix, {"--property", "P=? [ F \"deadlock\" ]", "--property", "S=? [ \"init\" ]"});
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(ValueOf(rows[0]), 0.0);
  EXPECT_GT(ValueOf(rows[1]), 0.0);

  WriteWhole(prefix + ".det", "");
  run = RunProgram(SolverProgram(), {prefix, "--property", "P=? [ F \"deadlock\" ]", "-q"});
  EXPECT_EQ(run.status, 2) << run.err;
  EXPECT_NE(run.err.find("deterministic delays"), std::string::npos) << run.err;
}

TEST(PathPropertyTest, PropertiesFileSkipsCommentsAndNamesItsLinesInErrors) {
  const TestChain chain = Repairman(2, 0.5, 1.0);
  SolverScratch dir;
  const std::string prefix = WriteChain(dir, "rep", chain);
  WriteWhole(prefix + ".sta", RepairmanSta(2));
  WriteWhole(dir.path + "p.props", "// mean time to failure\nR=? [ F Up == 0 ] // all down\n\n"
                                   "  P=? [ F<=1 \"init\" ]\n");
  const auto rows = SolveProperties(dir, prefix, {"--properties", dir.path + "p.props"});
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].Name, "R=? [ F Up == 0 ]");
  // From 0 down: m0 = 1/(2 lambda) = 1, m1 = (1 + mu m0)/lambda = 4.
  EXPECT_NEAR(ValueOf(rows[0]), 5.0, 1e-10);
  EXPECT_EQ(ValueOf(rows[1]), 1.0);

  WriteWhole(dir.path + "bad.props", "R=? [ F Up == 0 ]\n\n   P=? [ F<=1 \"Init\" ]\n");
  RunResult run =
      RunProgram(SolverProgram(), {prefix, "--properties", dir.path + "bad.props", "-q"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("bad.props:3:15: error: unknown label \"Init\"; did you mean \"init\"?"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("   3 |    P=? [ F<=1 \"Init\" ]\n     |               ^~~~~~"),
            std::string::npos)
      << run.err;
}

TEST(PathPropertyTest, DatabaseStoresARowPerPropertyAndTimeAndARefusalWithItsRows) {
  const TestChain chain = Repairman(2, 0.5, 1.0);
  SolverScratch dir;
  const std::string prefix = WriteChain(dir, "rep", chain);
  WriteWhole(prefix + ".sta", RepairmanSta(2));
  const std::string db = dir.path + "results.db";
  RunResult run =
      RunProgram(SolverProgram(),
                 {prefix, "--property", "R=? [ F Up == 0 ]", "--property", "P=? [ F<=T Up == 0 ]",
                  "--times", "1,2", "--property", "P=? [ F[1,2] Up == 0 ]", "--db", db, "-q"});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::vector<std::string> rows =
      Query(db, "SELECT variable, type, time_start, time_stop, value IS NOT NULL FROM "
                "solve_values ORDER BY position");
  const std::vector<std::string> expected = {"R=? [ F Up == 0 ]|steady-state|||1",
                                             "P=? [ F<=T Up == 0 ]|instant-of-time|1.0|1.0|1",
                                             "P=? [ F<=T Up == 0 ]|instant-of-time|2.0|2.0|1",
                                             "P=? [ F[1,2] Up == 0 ]|interval-of-time|1.0|2.0|1"};
  EXPECT_EQ(rows, expected);
  EXPECT_EQ(QueryOne(db, "SELECT value FROM solve_values WHERE position = 0"), "5.0");

  // A chain with deterministic delays: refused, its rows stored without values.
  WriteWhole(prefix + ".det", "");
  run = RunProgram(SolverProgram(), {prefix, "--property", "P=? [ F<=T Up == 0 ]", "--times", "1,2",
                                     "--db", db, "-q"});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(QueryOne(db, "SELECT status FROM solves ORDER BY id DESC LIMIT 1"), "refused");
  EXPECT_EQ(QueryOne(db, "SELECT count(*) FROM solve_values WHERE value IS NULL AND variable = "
                         "'P=? [ F<=T Up == 0 ]'"),
            "2");
}

// A rare event: starting with one machine down, all K go down before the
// repairman has repaired everything. Gambler's ruin on the birth-death
// chain: P = 1 / sum_{k=0}^{K-1} prod_{i=1}^{k} mu / ((K - i) lambda), about
// 1e-13 here; state reduction keeps its relative accuracy.
TEST(PathPropertyTest, RareUnboundedUntilKeepsItsRelativeAccuracy) {
  const int machines = 6;
  const double lambda = 0.001, mu = 1.0;
  // State numbers: n = 1 down is state 1 (the initial state), n = 0 is
  // state 2, n >= 2 is state n + 1.
  auto number = [](int n) { return std::uint32_t(n == 1 ? 1 : n == 0 ? 2 : n + 1); };
  TestChain chain;
  chain.States = machines + 1;
  std::vector<std::string> marking(machines + 1);
  for (int n = 0; n <= machines; n++) {
    if (n < machines)
      chain.add(number(n), number(n + 1), (machines - n) * lambda);
    if (n > 0)
      chain.add(number(n), number(n - 1), mu);
    marking[number(n) - 1] = std::to_string(machines - n) + "," + std::to_string(n);
  }
  chain.Variables = {TestVariable{"Zero", 3, {{0, 1}}, std::vector<double>(machines + 1, 0.0), {}}};
  SolverScratch dir;
  const std::string prefix = WriteChain(dir, "ruin", chain);
  std::string sta = "(Up,Down)\n";
  for (int s = 0; s <= machines; s++)
    sta += std::to_string(s + 1) + ":(" + marking[std::size_t(s)] + ")\n";
  WriteWhole(prefix + ".sta", sta);
  const auto rows = SolveProperties(dir, prefix,
                                    {"--property", "P=? [ Down > 0 U Down == 6 ]", "--property",
                                     "P=? [ Down < 6 U Down == 0 ]", "--property",
                                     "P=? [ Down > 0 U Down == 0 ]", "--epsilon", "1e-12"});
  ASSERT_EQ(rows.size(), 3u);
  double sum = 0, product = 1;
  for (int k = 0; k < machines; k++) {
    if (k > 0)
      product *= mu / ((machines - k) * lambda);
    sum += product;
  }
  EXPECT_NEAR(ValueOf(rows[0]), 1 / sum, 1e-12 / sum);
  EXPECT_LT(ValueOf(rows[0]), 1e-12);
  EXPECT_NEAR(ValueOf(rows[1]), 1 - 1 / sum, 1e-15);
  // Passing through all down does not end this path: the chain comes back
  // to 0 with probability 1 (decided by the graph search).
  EXPECT_EQ(ValueOf(rows[2]), 1.0);
}

// The expected reward until a condition, impulse part included: the
// repairman's failures until all machines are down, from its generated
// files, against the embedded jump chain solved densely in the test (from n
// down, a failure with probability p_n = lambda (K - n) / (lambda (K - n) +
// mu), else a repair; f = (I - P)^-1 p over the states before all down).
TEST(PathPropertyTest, ExpectedFailuresUntilAllDownCountEveryFailure) {
  SolverScratch dir;
  const std::string bin = std::string(SSG_BINARY_DIR) + "/";
  RunResult gen = RunProgram(bin + "gen-repairman", {"-P" + dir.path, "-Nrep", "-B4", "--states"});
  ASSERT_EQ(gen.status, 0) << gen.err;
  const int machines = 5;
  const double lambda = 0.1, mu = 1.0;
  Eigen::MatrixXd jump = Eigen::MatrixXd::Zero(machines, machines);
  Eigen::VectorXd failure(machines);
  for (int n = 0; n < machines; n++) {
    const double up = lambda * (machines - n), p = n == 0 ? 1.0 : up / (up + mu);
    failure(n) = p;
    if (n + 1 < machines)
      jump(n, n + 1) = p;
    if (n > 0)
      jump(n, n - 1) = 1 - p;
  }
  const Eigen::VectorXd expected =
      (Eigen::MatrixXd::Identity(machines, machines) - jump).partialPivLu().solve(failure);
  const auto rows = SolveProperties(dir, dir.path + "rep",
                                    {"--property", "R{\"Failures\"}=? [ F Up == 0 ]", "--property",
                                     "R{\"Failures\"}=? [ F Down == 1 ]"});
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_NEAR(ValueOf(rows[0]), expected(0), 1e-10 * expected(0));
  EXPECT_EQ(rows[0].Note.find("impulse part not included"), std::string::npos) << rows[0].Note;
  // The completion that reaches the condition counts: one failure.
  EXPECT_NEAR(ValueOf(rows[1]), 1.0, 1e-12);

  // Without the .imp file (an older run) the rate part is all there is.
  std::remove((dir.path + "rep.imp").c_str());
  const auto old =
      SolveProperties(dir, dir.path + "rep", {"--property", "R{\"Failures\"}=? [ F Up == 0 ]"});
  ASSERT_EQ(old.size(), 1u);
  EXPECT_EQ(ValueOf(old[0]), 0.0);
  EXPECT_NE(old[0].Note.find("impulse part not included"), std::string::npos);
}
