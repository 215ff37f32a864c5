// Conditions over markings (ssg-solve --where): the state-marking file's
// reader, conditions against hand-computed probabilities, and the messages
// of what goes wrong.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "solver/MarkingCondition.h"
#include "solver/Progress.h"
#include "solver/SolverError.h"
#include "solver/SolverOptions.h"
#include "solver/io/StaReader.h"
#include "tests/driver/Subprocess.h"
#include "tests/solver/SolverTestFiles.h"

namespace {

std::string Solver() {
  return std::string(SSG_BINARY_DIR) + "/ssg-solve";
}

// Two machines share one repairman; a machine fails at rate 1 and is
// repaired at rate 2 (one at a time). Places Up and Down; the markings (2,0),
// (1,1), (0,2) are states 1, 2, 3. Balance across each cut: 2 pi1 = 2 pi2
// (two machines fail at rate 1 each; one repair at rate 2), 1 pi2 = 2 pi3, so
// pi = (2/5, 2/5, 1/5).
TestChain Machines() {
  TestChain chain;
  chain.States = 3;
  chain.add(1, 2, 2.0);
  chain.add(2, 3, 1.0);
  chain.add(2, 1, 2.0);
  chain.add(3, 2, 2.0);
  chain.Variables = {TestVariable{"Working", 3, {{0, 1}}, {2, 1, 0}, {}}};
  return chain;
}
const char* const MachinesSta = "(Up,Down)\n1:(2,0)\n2:(1,1)\n3:(0,2)\n";

// A single component: up (state 1) fails at rate 1, down (state 2) is
// repaired at rate 3. P(down at t) = 1/4 (1 - exp(-4 t)), 1/4 in the long
// run.
TestChain Component() {
  TestChain chain;
  chain.States = 2;
  chain.add(1, 2, 1.0);
  chain.add(2, 1, 3.0);
  chain.Variables = {TestVariable{"Up", 3, {{0, 1}}, {1, 0}, {}}};
  return chain;
}
const char* const ComponentSta = "(Up,Down)\n1:(1,0)\n2:(0,1)\n";

// The CSV rows of a --where run: condition row name -> (time or -1) -> value.
std::vector<std::tuple<std::string, double, double>> CsvRows(const std::string& csv) {
  std::vector<std::tuple<std::string, double, double>> rows;
  std::istringstream in(csv);
  std::string line;
  std::getline(in, line); // header
  while (std::getline(in, line)) {
    // P(...) may hold commas only inside quotes; the conditions here have
    // none.
    std::vector<std::string> fields;
    std::string field;
    std::istringstream items(line);
    while (std::getline(items, field, ','))
      fields.push_back(field);
    fields.resize(6);
    rows.emplace_back(fields[0], fields[2].empty() ? -1.0 : std::stod(fields[2]),
                      std::stod(fields[4]));
  }
  return rows;
}

TEST(StaReaderTest, ReadsNamesAndMarkingsInOrder) {
  SolverScratch dir;
  WriteWhole(dir.path + "m.sta", "(Up,Down,Queue_2)\n1:(2,0,-1)\n2:(1,1,32767)\n");
  StaReader reader(dir.path + "m.sta");
  EXPECT_EQ(reader.names(), (std::vector<std::string>{"Up", "Down", "Queue_2"}));
  std::vector<std::vector<std::int64_t>> seen;
  Progress quiet(false);
  reader.read(
      2,
      [&](std::uint32_t s, const std::int64_t* v) {
        EXPECT_EQ(s, seen.size() + 1);
        seen.push_back({v[0], v[1], v[2]});
      },
      quiet);
  EXPECT_EQ(seen, (std::vector<std::vector<std::int64_t>>{{2, 0, -1}, {1, 1, 32767}}));
}

TEST(StaReaderTest, MalformedAndIncompleteFilesNameFileAndLine) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"Up,Down\n1:(1,0)\n", "m.sta:1: the first line is not a list of names"},
      {"(Up,,Down)\n1:(1,0)\n", "m.sta:1: an empty name"},
      {"()\n", "m.sta:1: the list of names is empty"},
      {"(Up,Down)\n1:(1,0)\n3:(0,1)\n", "m.sta:3: state 3 where state 2 was expected"},
      {"(Up,Down)\n1:(1,0)\n2:(0)\n", "m.sta:3: 1 values where the first line names 2"},
      {"(Up,Down)\n1:(1,0)\n2:(0,1,1)\n", "m.sta:3: more values than the 2 names"},
      {"(Up,Down)\n1:(1,0)\n2:(0,x)\n", "m.sta:3: 'x' is not a whole number"},
      {"(Up,Down)\n1:(1,0)\n2 (0,1)\n", "m.sta:3: not a state record"},
      {"(Up,Down)\n1:(1,0)\n", "the file ends after 1 of the chain's 2 states"},
      {"(Up,Down)\n1:(1,0)\n2:(0,1)", "m.sta:3: the file ends in the middle of a line"},
      {"(Up,Down)\n1:(1,0)\n2:(0,1)\n3:(0,1)\n", "text after the last of the chain's 2 states"},
  };
  SolverScratch dir;
  Progress quiet(false);
  for (const auto& [text, message] : cases) {
    WriteWhole(dir.path + "m.sta", text);
    try {
      StaReader reader(dir.path + "m.sta");
      reader.read(
          2, [](std::uint32_t, const std::int64_t*) {}, quiet);
      ADD_FAILURE() << "accepted: " << text;
    } catch (const SolverError& e) {
      EXPECT_NE(std::string(e.what()).find(message), std::string::npos) << e.what();
    }
  }
}

TEST(MarkingConditionTest, IndicatorsFollowTheMarkings) {
  SolverScratch dir;
  WriteWhole(dir.path + "m.sta", MachinesSta);
  Progress quiet(false);
  std::vector<CompactColumn> indicators = MarkingCondition::Indicators(
      dir.path + "m.sta", {"Up >= 1 && Down >= 1", "Down == 0 || Up == 0", "Up * 2 > Down + 1"}, 3,
      quiet);
  ASSERT_EQ(indicators.size(), 3u);
  const double expected[3][3] = {{0, 1, 0}, {1, 0, 1}, {1, 0, 0}};
  for (int c = 0; c < 3; c++)
    for (int s = 0; s < 3; s++)
      EXPECT_EQ(indicators[c][s], expected[c][s]) << c << " " << s;
}

TEST(MarkingConditionTest, ErrorsShowThePositionAndThePlaces) {
  const std::vector<std::string> names = {"Pm1", "Pout4", "phase(Service)"};
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"Pm2 > 0", "--where:1:1: error: unknown name 'Pm2'; did you mean 'Pm1'?"},
      {"Pm1 + 1", "must be a condition"},
      {"Pm1 > 0 &&", "--where:1:11: error: expected an expression"},
  };
  for (const auto& [text, message] : cases) {
    try {
      MarkingCondition condition(text, names);
      ADD_FAILURE() << "accepted: " << text;
    } catch (const SolverError& e) {
      const std::string what = e.what();
      EXPECT_NE(what.find(message), std::string::npos) << what;
      EXPECT_NE(what.find("(the places of this chain: Pm1, Pout4, phase(Service))"),
                std::string::npos)
          << what;
      EXPECT_EQ(e.exitStatus(), 1);
    }
  }
}

TEST(WhereTest, SteadyStateProbabilitiesOfConditionsMatchTheBalanceEquations) {
  SolverScratch dir;
  const std::string prefix = WriteChain(dir, "machines", Machines());
  WriteWhole(prefix + ".sta", MachinesSta);
  RunResult run = RunProgram(Solver(), {prefix, "--where", "Up >= 1 && Down >= 1", "--where",
                                        "Down == 0 || Up == 0", "--where=Down == 2", "--csv",
                                        dir.path + "w.csv", "-q"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("P(Up >= 1 && Down >= 1)"), std::string::npos) << run.out;
  const auto rows = CsvRows(ReadWhole(dir.path + "w.csv"));
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(std::get<0>(rows[0]), "P(Up >= 1 && Down >= 1)");
  EXPECT_NEAR(std::get<2>(rows[0]), 0.4, 1e-12);
  EXPECT_NEAR(std::get<2>(rows[1]), 0.6, 1e-12);
  EXPECT_NEAR(std::get<2>(rows[2]), 0.2, 1e-12);
}

TEST(WhereTest, TransientProbabilityAtEachTimeMatchesTheClosedForm) {
  SolverScratch dir;
  const std::string prefix = WriteChain(dir, "component", Component());
  WriteWhole(prefix + ".sta", ComponentSta);
  RunResult run = RunProgram(Solver(), {prefix, "--where", "Down > 0", "--times", "0.1,0.5",
                                        "--times=2", "--csv", dir.path + "w.csv", "-q"});
  ASSERT_EQ(run.status, 0) << run.err;
  const auto rows = CsvRows(ReadWhole(dir.path + "w.csv"));
  ASSERT_EQ(rows.size(), 4u);
  const double times[] = {0.1, 0.5, 2};
  for (int i = 0; i < 3; i++) {
    EXPECT_EQ(std::get<1>(rows[i]), times[i]);
    EXPECT_NEAR(std::get<2>(rows[i]), 0.25 * (1 - std::exp(-4 * times[i])), 1e-9) << times[i];
  }
  EXPECT_EQ(std::get<1>(rows[3]), -1.0); // the steady-state row
  EXPECT_NEAR(std::get<2>(rows[3]), 0.25, 1e-12);
}

// The breakdown model with 3 repair phases (-B2): a machine works for a mean
// 1 / lambda = 2, then breaks down, minor (weight 3 of 4) with an Erlang
// repair of mean 3 phases / (3 per phase) = 1, or major with a replacement of
// mean 1 / nu = 10. By renewal, P(minor) = (3/4 * 1) / (2 + 3/4 * 1 + 1/4 *
// 10) = 1/7 and P(major) = 2.5 / 5.25 = 10/21. Its markings carry each
// phase of the repair as a column of its own.
TEST(WhereTest, ErlangPhasesAreColumnsAndConditionsMatchTheRenewalArgument) {
  SolverScratch dir;
  RunResult gen = RunProgram(std::string(SSG_BINARY_DIR) + "/gen-breakdown",
                             {"-P" + dir.path, "-Nbd", "-B2", "--states"});
  ASSERT_EQ(gen.status, 0) << gen.err;
  const std::string sta = ReadWhole(dir.path + "bd.sta");
  EXPECT_EQ(sta.substr(0, sta.find('\n')), "(Working,Minor,Major,phase(Fix))");
  EXPECT_NE(sta.find("\n1:(1,0,0,1)\n"), std::string::npos) << sta;
  EXPECT_NE(sta.find(":(0,1,0,3)\n"), std::string::npos) << sta; // the last phase
  RunResult run = RunProgram(Solver(), {dir.path + "bd", "--where", "Minor > 0", "--where",
                                        "Major == 1", "--csv", dir.path + "w.csv", "-q"});
  ASSERT_EQ(run.status, 0) << run.err;
  const auto rows = CsvRows(ReadWhole(dir.path + "w.csv"));
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_NEAR(std::get<2>(rows[0]), 1.0 / 7, 1e-12);
  EXPECT_NEAR(std::get<2>(rows[1]), 10.0 / 21, 1e-12);
}

TEST(WhereTest, WithoutMarkingsTheMessageNamesTheGeneratorOption) {
  SolverScratch dir;
  const std::string prefix = WriteChain(dir, "component", Component());
  RunResult run = RunProgram(Solver(), {prefix, "--where", "Down > 0"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("component.sta: no state-marking file"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("--states"), std::string::npos) << run.err;
  EXPECT_EQ(run.out, "");

  // Markings of another chain (fewer states) are not taken for these.
  WriteWhole(prefix + ".sta", "(Up,Down)\n1:(1,0)\n");
  RunResult other = RunProgram(Solver(), {prefix, "--where", "Down > 0"});
  EXPECT_EQ(other.status, 1);
  EXPECT_NE(other.err.find("ends after 1 of the chain's 2 states"), std::string::npos) << other.err;
}

TEST(WhereTest, OptionsOfConditions) {
  SolverOptions o = SolverOptions::Parse(
      {"out/k3", "--where", "Pm1 > 0", "--times", "1,10.5", "--times", "100", "--where=Pm2 == 0"});
  EXPECT_EQ(o.Conditions, (std::vector<std::string>{"Pm1 > 0", "Pm2 == 0"}));
  EXPECT_EQ(o.Times, (std::vector<double>{1, 10.5, 100}));
  const std::vector<std::pair<std::vector<std::string>, std::string>> bad = {
      {{"a", "--where", " "}, "--where needs a condition"},
      {{"a", "--where", "x > 0", "--times", "1,,2"}, "--times: '' is not a number"},
      {{"a", "--where", "x > 0", "--times", "-1"}, "--times: '-1' is negative"},
      {{"a", "--times", "1"}, "--times gives the times of --where conditions"},
  };
  for (const auto& [arguments, message] : bad) {
    try {
      SolverOptions::Parse(arguments);
      ADD_FAILURE() << "accepted: " << message;
    } catch (const SolverError& e) {
      EXPECT_NE(std::string(e.what()).find(message), std::string::npos) << e.what();
    }
  }
}

} // namespace
