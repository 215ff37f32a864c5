// The machine-repairman model against its definition: K machines failing at
// rate lambda each, one repairman at rate mu. The chain must be the
// birth-death process on the number of failed machines, and its steady
// state, computed here from the rates in the .arm file by the balance of
// flows between neighbouring states, must equal the closed form
// p(n) = p(0) K! / (K - n)! (lambda / mu)^n.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "../driver/Subprocess.h"

namespace fs = std::filesystem;

namespace {

struct Chain {
  int status = -1;
  std::vector<std::map<unsigned, double>> records; // records[n - 1]: target -> rate
  std::vector<std::vector<double>> var;            // per state: impulse, rate per variable
  std::string pvtype;
};

// Runs gen-repairman for one experiment and reads its files.
Chain RunRepairman(int experiment, const std::string& overrides = "") {
  Chain c;
  char name[] = "/tmp/repairman_XXXXXX";
  const std::string dir = mkdtemp(name);
  std::vector<std::string> args = {"-P" + dir + "/", "-Nr", "-B" + std::to_string(experiment)};
  if (!overrides.empty())
    args.push_back("-O" + overrides);
  c.status = RunProgram(SSG_BINARY_DIR "/gen-repairman", args).status;
  std::ifstream arm(dir + "/r.arm");
  std::string line;
  std::getline(arm, line);
  std::getline(arm, line);
  const unsigned states = static_cast<unsigned>(std::stoul(line));
  std::getline(arm, line);
  for (unsigned n = 1; n <= states; n++) {
    std::getline(arm, line);
    std::map<unsigned, double> record;
    while (std::getline(arm, line) && line != "0") {
      const unsigned target = static_cast<unsigned>(std::stoul(line));
      std::getline(arm, line);
      record[target] = std::stod(line);
    }
    c.records.push_back(record);
  }
  std::ifstream var(dir + "/r.var");
  for (int k = 0; k < 4; k++)
    std::getline(var, line);
  while (std::getline(var, line)) {
    std::vector<double> values;
    for (int k = 0; k < 8 && std::getline(var, line); k++)
      values.push_back(std::stod(line));
    c.var.push_back(values);
  }
  std::ifstream pv(dir + "/r.pvtype");
  std::ostringstream s;
  s << pv.rdbuf();
  c.pvtype = s.str();
  fs::remove_all(dir);
  return c;
}

} // namespace

TEST(RepairmanTest, ChainIsTheBirthDeathProcessOfFailedMachines) {
  const double lambda = 0.1, mu = 1.0;
  for (int k = 1; k <= 10; k++) {
    SCOPED_TRACE("K = " + std::to_string(k));
    const Chain c = RunRepairman(k - 1);
    ASSERT_EQ(c.status, 0);
    // State n + 1 has n failed machines: found in that order from the
    // initial state, each by one more failure.
    ASSERT_EQ(c.records.size(), static_cast<size_t>(k + 1));
    for (int n = 0; n <= k; n++) {
      std::map<unsigned, double> expected;
      if (n < k)
        expected[n + 2] = lambda * (k - n);
      if (n > 0)
        expected[n] = mu;
      ASSERT_EQ(c.records[n].size(), expected.size()) << "n = " << n;
      for (const auto& [target, rate] : expected)
        EXPECT_NEAR(c.records[n].at(target), rate, 1e-10 * rate) << "n = " << n;
    }
  }
}

TEST(RepairmanTest, SteadyStateFromTheFileMatchesTheClosedForm) {
  const int k = 5;
  const double lambda = 0.1, mu = 1.0;
  const Chain c = RunRepairman(k - 1);
  ASSERT_EQ(c.status, 0);
  // Balance across the cut between n and n + 1.
  std::vector<double> p(k + 1, 1.0);
  for (int n = 0; n < k; n++)
    p[n + 1] = p[n] * c.records[n].at(n + 2) / c.records[n + 1].at(n + 1);
  std::vector<double> closed(k + 1, 1.0);
  for (int n = 1; n <= k; n++)
    closed[n] = closed[n - 1] * (k - n + 1) * (lambda / mu);
  double sp = 0, sc = 0;
  for (int n = 0; n <= k; n++)
    sp += p[n], sc += closed[n];
  for (int n = 0; n <= k; n++)
    EXPECT_NEAR(p[n] / sp, closed[n] / sc, 1e-9) << "n = " << n;
}

// Per state: Working = K - n, RepairmanBusy = 1 when n > 0, AllDown = 1
// when n = K; Failures earns 1 in every state a failure led to.
TEST(RepairmanTest, RewardsFollowTheDefinition) {
  const int k = 3;
  const Chain c = RunRepairman(k - 1);
  ASSERT_EQ(c.var.size(), static_cast<size_t>(k + 1));
  for (int n = 0; n <= k; n++) {
    const std::vector<double>& v = c.var[n];
    ASSERT_EQ(v.size(), 8u);
    EXPECT_EQ(v[1], k - n);
    EXPECT_EQ(v[3], n > 0 ? 1.0 : 0.0);
    EXPECT_EQ(v[5], n == k ? 1.0 : 0.0);
    EXPECT_EQ(v[6], n > 0 ? 1.0 : 0.0); // the impulse
    EXPECT_EQ(v[0] + v[2] + v[4] + v[7], 0.0);
  }
  EXPECT_EQ(c.pvtype.rfind("Version:1\nNumPV:4\nName:Working\nType:3\nNumTimes:1\n", 0), 0u)
      << c.pvtype;
}

TEST(RepairmanTest, OverriddenRatesChangeTheChain) {
  const Chain c = RunRepairman(1, "d:lambda:0.5:d:mu:4");
  ASSERT_EQ(c.status, 0);
  ASSERT_EQ(c.records.size(), 3u);
  EXPECT_DOUBLE_EQ(c.records[0].at(2), 1.0);
  EXPECT_DOUBLE_EQ(c.records[1].at(1), 4.0);
  EXPECT_DOUBLE_EQ(c.records[1].at(3), 0.5);
}
