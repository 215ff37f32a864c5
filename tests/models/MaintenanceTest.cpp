// The maintenance model (models/maintenance): its state count, and its
// machines' long-run fractions solved by ssg-solve against the semi-Markov
// process of the machines alone.
//
// Nothing the machines do depends on the buffers, so (M1, M2Down) is a
// process of its own with four states: A working (crew free), B working
// while machine 2 is down, C in maintenance, E waiting for the crew. Its
// jumps: A -> C (wear), A -> B (fail); B -> A (repair), B -> E (wear);
// C -> A after the maintenance (probability e^{-fail d}), C -> E when
// machine 2 fails first; E -> C (repair, the maintenance starts again).
// Sojourns: 1/(wear + fail), 1/(repair + wear), (1 - e^{-fail d})/fail,
// 1/repair. The fraction of time in a state is its stationary jump
// probability times its mean sojourn, normalised.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <map>
#include <sstream>
#include <string>

#include "tests/driver/Subprocess.h"
#include "tests/ssg/GenHarness.h"

namespace {

std::string Bin(const std::string& name) {
  return std::string(SSG_BINARY_DIR) + "/" + name;
}

// Fractions of time in A, B, C, E.
std::array<double, 4> MachineFractions(double wear, double fail, double repair, double d) {
  const double stays = std::exp(-fail * d);
  // Jump probabilities P[i][j] and mean sojourns m[i].
  double P[4][4] = {{0, fail / (wear + fail), wear / (wear + fail), 0},
                    {repair / (repair + wear), 0, 0, wear / (repair + wear)},
                    {stays, 0, 0, 1 - stays},
                    {0, 0, 1, 0}};
  const double m[4] = {1 / (wear + fail), 1 / (repair + wear), -std::expm1(-fail * d) / fail,
                       1 / repair};
  // nu (P - I) = 0 with nu_A = 1: the equations of B, C and E in nu_B,
  // nu_C, nu_E, by Gaussian elimination.
  double a[3][4];
  for (int j = 1; j < 4; j++) {
    for (int i = 1; i < 4; i++)
      a[j - 1][i - 1] = P[i][j] - (i == j ? 1 : 0);
    a[j - 1][3] = -P[0][j];
  }
  for (int c = 0; c < 3; c++) {
    int pivot = c;
    for (int r = c + 1; r < 3; r++)
      if (std::fabs(a[r][c]) > std::fabs(a[pivot][c]))
        pivot = r;
    for (int k = 0; k < 4; k++)
      std::swap(a[c][k], a[pivot][k]);
    for (int r = 0; r < 3; r++) {
      if (r == c)
        continue;
      const double f = a[r][c] / a[c][c];
      for (int k = 0; k < 4; k++)
        a[r][k] -= f * a[c][k];
    }
  }
  const double nu[4] = {1, a[0][3] / a[0][0], a[1][3] / a[1][1], a[2][3] / a[2][2]};
  double total = 0;
  std::array<double, 4> time{};
  for (int i = 0; i < 4; i++) {
    time[i] = nu[i] * m[i];
    total += time[i];
  }
  for (double& t : time)
    t /= total;
  return time;
}

// The CSV rows of a solve: variable -> value.
std::map<std::string, double> Values(const std::string& csv) {
  std::map<std::string, double> values;
  std::istringstream lines(csv);
  std::string line;
  std::getline(lines, line);
  while (std::getline(lines, line)) {
    std::vector<std::string> fields;
    std::stringstream split(line);
    std::string field;
    while (std::getline(split, field, ','))
      fields.push_back(field);
    fields.resize(6);
    values[fields[0]] = fields[4].empty() ? NAN : std::stod(fields[4]);
  }
  return values;
}

TEST(MaintenanceTest, MachinesMatchTheirSemiMarkovProcessAtEverySize) {
  ScratchDir dir;
  struct Case {
    std::string options;
    long states;
    double wear, fail, repair, duration;
  };
  // The shipped experiment 0 (N = 40: 4 x 41^2 states), and small lines with a maintenance
  // that a failure cuts short often (fail d = 3) or almost never.
  for (const Case& c : {Case{"-B0", 6724, 0.02, 0.01, 0.5, 0.5},
                        Case{"-B0 -Oi:N:3:d:fail:2:d:duration:1.5", 64, 0.02, 2, 0.5, 1.5},
                        Case{"-B0 -Oi:N:5:d:wear:1:d:duration:4", 144, 1, 0.01, 0.5, 4}}) {
    SCOPED_TRACE(c.options);
    std::vector<std::string> arguments = {"-P" + dir.path, "-Nm"};
    std::istringstream words(c.options);
    for (std::string w; words >> w;)
      arguments.push_back(w);
    RunResult gen = RunProgram(Bin("gen-maintenance"), arguments);
    ASSERT_EQ(gen.status, 0) << gen.err;
    const std::string csv = dir.path + "m.csv";
    RunResult solve = RunProgram(Bin("ssg-solve"), {dir.path + "m", "-q", "--csv", csv});
    ASSERT_EQ(solve.status, 0) << solve.err;
    EXPECT_NE(solve.out.find("states " + std::to_string(c.states) + ","), std::string::npos)
        << solve.out;
    std::map<std::string, double> values = Values(ReadWholeFile(csv));
    const std::array<double, 4> time = MachineFractions(c.wear, c.fail, c.repair, c.duration);
    EXPECT_NEAR(values["InMaintenance"], time[2], 1e-9);
    EXPECT_NEAR(values["WaitingForCrew"], time[3], 1e-9);
    EXPECT_NEAR(values["Machine2Down"], c.fail / (c.fail + c.repair), 1e-9);
    EXPECT_NEAR(time[1] + time[3], c.fail / (c.fail + c.repair), 1e-12); // the check's own check
  }
}

} // namespace
