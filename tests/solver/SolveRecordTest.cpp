// ssg-solve --db: each value stored with the generator's run, a refused and
// a failed solve stored with their reasons, and a database that cannot be
// written.

#include <gtest/gtest.h>

#include <cmath>

#include "tests/database/ResultsQuery.h"
#include "tests/driver/Subprocess.h"
#include "tests/solver/SolverTestFiles.h"

namespace {

std::string Solver() {
  return std::string(SSG_BINARY_DIR) + "/ssg-solve";
}

double Number(const std::string& text) {
  return std::stod(text);
}

// Up 1 -> 2 at rate 1, back at rate 3: P(up) = 3/4 in the long run and
// 3/4 + 1/4 exp(-4 t) at time t from state 1.
TestChain TwoStates() {
  TestChain chain;
  chain.States = 2;
  chain.add(1, 2, 1.0);
  chain.add(2, 1, 3.0);
  chain.Variables = {TestVariable{"Up", 3, {{0, 1}}, {1, 0}, {}},
                     TestVariable{"UpAt", 0, {{0.5, 0.5}, {2, 2}}, {1, 0}, {}}};
  return chain;
}

TEST(SolveRecordTest, ValuesAreStoredWithMethodResidualAndTimes) {
  SolverScratch dir;
  const std::string prefix = WriteChain(dir, "two", TwoStates());
  const std::string db = dir.path + "r.db";
  RunResult run = RunProgram(Solver(), {prefix, "--db", db, "-q"});
  ASSERT_EQ(run.status, 0) << run.err;
  // No generator run wrote these files: stored without one, and said so.
  EXPECT_NE(run.err.find("no completed generator run of " + prefix), std::string::npos) << run.err;
  EXPECT_EQ(QueryOne(db, "SELECT coalesce(run_id, 'none') || ',' || output_prefix || ',' || "
                         "status || ',' || states || ',' || transitions FROM solves"),
            "none," + prefix + ",completed,2,2");

  std::vector<std::string> rows = Query(
      db, "SELECT position, variable, type, coalesce(time_start, '-'), coalesce(time_stop, '-'), "
          "method, coalesce(residual < 1e-12, '-'), value FROM solve_values ORDER BY position");
  ASSERT_EQ(rows.size(), 3u);
  auto head = [](const std::string& row) { return row.substr(0, row.rfind('|')); };
  auto value = [](const std::string& row) { return Number(row.substr(row.rfind('|') + 1)); };
  EXPECT_EQ(head(rows[0]), "0|Up|steady-state|-|-|direct|1");
  EXPECT_NEAR(value(rows[0]), 0.75, 1e-14);
  EXPECT_EQ(head(rows[1]), "1|UpAt|instant-of-time|0.5|0.5|uniformization|-");
  EXPECT_NEAR(value(rows[1]), 0.75 + 0.25 * std::exp(-2.0), 1e-9);
  EXPECT_EQ(head(rows[2]), "2|UpAt|instant-of-time|2.0|2.0|uniformization|-");
  EXPECT_NEAR(value(rows[2]), 0.75 + 0.25 * std::exp(-8.0), 1e-9);
}

TEST(SolveRecordTest, SolveIsTiedToTheLatestCompletedRunOfItsFiles) {
  SolverScratch dir;
  const std::string db = dir.path + "r.db";
  const std::string gen = std::string(SSG_BINARY_DIR) + "/gen";
  // Two runs into the same prefix (the second one's files stay), one run
  // elsewhere, and one that failed.
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"-P" + dir.path, "-Nexp", "-B1", "-s", db},
        {"-P" + dir.path, "-Nexp", "-B0", "-s", db},
        {"-P" + dir.path, "-Nother", "-B0", "-s", db},
        {"-P" + dir.path + "missing/", "-Nexp", "-B0", "-s", db}})
    RunProgram(gen, arguments);
  ASSERT_EQ(Query(db, "SELECT id, status FROM runs ORDER BY id"),
            (std::vector<std::string>{"1|completed", "2|completed", "3|completed", "4|failed"}));

  // The prefix as given differs from the generator's (a relative path).
  RunResult run = RunProgram(Solver(), {"exp", "--db", "r.db", "-q"}, dir.path);
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(QueryOne(db, "SELECT run_id FROM solves"), "2");
  EXPECT_EQ(QueryOne(db, "SELECT count(*) FROM solve_values WHERE solve_id = 1"), "7");
}

TEST(SolveRecordTest, RefusedAndFailedSolvesAreStoredWithTheirReasons) {
  SolverScratch dir;
  const std::string db = dir.path + "r.db";
  RunResult gen = RunProgram(std::string(SSG_BINARY_DIR) + "/gen-mdk",
                             {"-P" + dir.path, "-Nmdk0", "-B0", "-s", db});
  ASSERT_EQ(gen.status, 0) << gen.err;
  // State 2 listed twice: two concurrent deterministic activities.
  WriteWhole(dir.path + "mdk0.det", "1\n1.0000000000e+00\n2\n2\n0\n");
  RunResult refused = RunProgram(Solver(), {dir.path + "mdk0", "--db", db, "-q"});
  EXPECT_EQ(refused.status, 2);
  EXPECT_EQ(QueryOne(db, "SELECT run_id || ',' || status || ',' || (message LIKE '%mdk0.det: "
                         "state 2 is listed twice%') || ',' || coalesce(states, "
                         "'none') FROM solves"),
            "1,refused,1,none");
  // Each variable is there, without a number.
  EXPECT_EQ(
      Query(db, "SELECT variable, type, coalesce(value, 'NULL'), note FROM solve_values "
                "ORDER BY position"),
      (std::vector<std::string>{"QueueLength|steady-state|NULL|no value: the solve was refused",
                                "Busy|steady-state|NULL|no value: the solve was refused"}));

  RunResult missing = RunProgram(Solver(), {dir.path + "nothing", "--db", db, "-q"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(QueryOne(db, "SELECT status || ',' || (message LIKE '%nothing.pvtype: cannot open%') "
                         "|| ',' || coalesce(run_id, 'none') FROM solves WHERE id = 2"),
            "failed,1,none");
  EXPECT_EQ(QueryOne(db, "SELECT count(*) FROM solve_values WHERE solve_id = 2"), "0");
}

// A chain with a deterministic delay and a time-dependent variable: the
// steady-state value is stored, the time-dependent rows without a value and
// with the reason, and the solve as refused.
TEST(SolveRecordTest, DeterministicChainStoresItsSteadyValuesAndRefusedRows) {
  SolverScratch dir;
  TestChain chain;
  chain.States = 2;
  chain.add(1, 2, 1.0);
  chain.add(2, 1, -1);
  chain.Variables = {TestVariable{"Up", 3, {{0, 1}}, {1, 0}, {}},
                     TestVariable{"UpAt", 0, {{2, 2}}, {1, 0}, {}}};
  const std::string prefix = WriteChain(dir, "det", chain);
  WriteWhole(prefix + ".det", "1\n2.0000000000e+00\n2\n0\n");
  const std::string db = dir.path + "r.db";
  RunResult run = RunProgram(Solver(), {prefix, "--db", db, "-q"});
  EXPECT_EQ(run.status, 2) << run.err;
  EXPECT_EQ(QueryOne(db, "SELECT status || ',' || (message LIKE '%only steady-state measures are "
                         "computed%') FROM solves"),
            "refused,1");
  const std::vector<std::string> rows =
      Query(db, "SELECT variable, coalesce(value, 'NULL'), coalesce(method, 'NULL'), note FROM "
                "solve_values ORDER BY position");
  ASSERT_EQ(rows.size(), 2u);
  // Up 1 time unit on average, then 2 in the delay's state: 1/3.
  EXPECT_EQ(rows[0].substr(0, 3), "Up|");
  EXPECT_NEAR(Number(rows[0].substr(3, rows[0].find('|', 3) - 3)), 1.0 / 3, 1e-12);
  EXPECT_EQ(rows[1], "UpAt|NULL|NULL|refused: only steady-state measures are computed for chains "
                     "with deterministic delays");
}

TEST(SolveRecordTest, UnwritableDatabaseExitsFiveAfterTheWholeTable) {
  SolverScratch dir;
  const std::string prefix = WriteChain(dir, "two", TwoStates());
  RunResult run = RunProgram(Solver(), {prefix, "--db", dir.path + "no/dir/r.db", "-q"});
  EXPECT_EQ(run.status, 5);
  EXPECT_NE(run.err.find("ssg-solve: results database " + dir.path +
                         "no/dir/r.db: unable to open database file"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.out.find("UpAt"), std::string::npos);
  EXPECT_NE(run.out.find("\nstates 2, transitions 2"), std::string::npos) << run.out;
}

TEST(SolveRecordTest, SummaryCountsEveryEntryWithTheSelfLoopsBesideIt) {
  // The generator's count is every .arm entry; the solver gives the same
  // total and says how many go to the state itself.
  SolverScratch dir;
  TestChain chain = TwoStates();
  chain.add(2, 2, 5.0);
  const std::string prefix = WriteChain(dir, "loop", chain);
  RunResult run = RunProgram(Solver(), {prefix, "-q"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("\nstates 2, transitions 3 (1 to the state itself, ignored)\n"),
            std::string::npos)
      << run.out;
}

} // namespace
