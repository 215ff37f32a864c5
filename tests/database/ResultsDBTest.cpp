// The results database connector: its tables and version, a run's life from
// start to completed or failed, concurrent writers, and a database that
// cannot be written.

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "database/ResultsDB.h"
#include "database/ResultsSchema.h"
#include "tests/database/ResultsQuery.h"
#include "tests/driver/Subprocess.h"
#include "tests/ssg/GenHarness.h"

namespace {

// A connector on `file` with a run started for experiment 3 of model "m".
void StartRun(ResultsDB& db, const char* name) {
  db.setRunInfo("m", 3, "/tmp/out/x", "study 9");
  std::string n = name;
  ASSERT_GT(db.getRunId(n.data()), 0) << db.lastError();
}

TEST(ResultsDBTest, AVersionOneDatabaseIsBroughtToVersionTwoKeepingItsRows) {
  ScratchDir dir;
  const std::string file = dir.file("v1.db");
  {
    // Version 1: the same tables without the type 'impulse-rate'.
    std::string v1 = ResultsSchema::Definition();
    const std::string added = ",\n                                           'impulse-rate'";
    ASSERT_NE(v1.find(added), std::string::npos);
    v1.erase(v1.find(added), added.size());
    SqlDatabase db(file, true);
    db.exec(v1);
    db.exec("INSERT INTO schema_version VALUES (1)");
    db.exec("INSERT INTO solves (id, output_prefix, started_at, status) VALUES (1, '/x', 't', "
            "'completed')");
    db.exec("INSERT INTO solve_values (solve_id, position, variable, type, value, note) VALUES "
            "(1, 0, 'Up', 'steady-state', 0.5, 'n')");
    EXPECT_THROW(db.exec("INSERT INTO solve_values (solve_id, position, variable, type) VALUES "
                         "(1, 1, 'Up', 'impulse-rate')"),
                 SqlDatabase::Error);
  }
  {
    SqlDatabase db(file, false);
    ResultsSchema::Ensure(db);
    db.exec("INSERT INTO solve_values (solve_id, position, variable, type, value) VALUES "
            "(1, 1, 'Up', 'impulse-rate', 0.25)");
  }
  EXPECT_EQ(QueryOne(file, "SELECT version FROM schema_version"), "2");
  EXPECT_EQ(Query(file, "SELECT position, variable, type, value, note FROM solve_values ORDER BY "
                        "position"),
            (std::vector<std::string>{"0|Up|steady-state|0.5|n", "1|Up|impulse-rate|0.25|"}));
}

TEST(ResultsDBTest, CreatesTheVersionedTablesOnceAndRefusesOtherFiles) {
  ScratchDir dir;
  const std::string file = dir.file("r.db");
  {
    ResultsDB db(file.c_str(), -1, nullptr, nullptr, nullptr);
    ASSERT_TRUE(db.init()) << db.lastError();
  }
  EXPECT_EQ(Query(file, "SELECT version FROM schema_version"),
            std::vector<std::string>{std::to_string(ResultsSchema::Version)});
  EXPECT_EQ(Query(file, "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name"),
            (std::vector<std::string>{"global_variables", "runs", "schema_version", "solve_values",
                                      "solves", "studies", "study_experiments"}));
  EXPECT_EQ(QueryOne(file, "PRAGMA journal_mode"), "wal");
  {
    // Opening it again changes nothing.
    ResultsDB again(file.c_str(), -1, nullptr, nullptr, nullptr);
    ASSERT_TRUE(again.init());
  }
  EXPECT_EQ(QueryOne(file, "SELECT count(*) FROM schema_version"), "1");

  // Another version, another program's tables, not a database at all.
  {
    SqlDatabase db(file, false);
    db.exec("UPDATE schema_version SET version = 99");
  }
  testing::internal::CaptureStderr();
  ResultsDB newer(file.c_str(), -1, nullptr, nullptr, nullptr);
  EXPECT_FALSE(newer.init());
  EXPECT_NE(newer.lastError().find("schema version 99"), std::string::npos) << newer.lastError();

  const std::string other = dir.file("other.db");
  {
    SqlDatabase db(other, true);
    db.exec("CREATE TABLE t (x)");
  }
  ResultsDB foreign(other.c_str(), -1, nullptr, nullptr, nullptr);
  EXPECT_FALSE(foreign.init());
  EXPECT_NE(foreign.lastError().find("not a results database"), std::string::npos);

  const std::string text = dir.file("text.db");
  std::ofstream(text) << "these are not the bytes of a database, not at all, not one of them\n";
  ResultsDB garbage(text.c_str(), -1, nullptr, nullptr, nullptr);
  EXPECT_FALSE(garbage.init());
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("Results database " + text + ": "), std::string::npos) << err;
}

TEST(ResultsDBTest, RunGoesFromRunningToCompletedWithItsGlobalVariables) {
  ScratchDir dir;
  const std::string file = dir.file("r.db");
  ResultsDB db(file.c_str(), -1, nullptr, nullptr, nullptr);
  StartRun(db, "exp3");
  EXPECT_EQ(QueryOne(file, "SELECT model || ',' || experiment_number || ',' || experiment_name || "
                           "',' || output_prefix || ',' || entity || ',' || status FROM runs"),
            "m,3,exp3,/tmp/out/x,study 9,running");
  EXPECT_EQ(QueryOne(file, "SELECT pid = " + std::to_string(getpid()) +
                               " AND started_at LIKE '20__-__-__T__:__:__.___Z' AND finished_at "
                               "IS NULL FROM runs"),
            "1");

  EXPECT_TRUE(db.writeSingleGV("N", "int", "4"));
  EXPECT_TRUE(db.writeSingleGV("rate", "double", "0.25"));
  EXPECT_TRUE(db.writeGVValues());
  EXPECT_EQ(Query(file, "SELECT position, name, type, value FROM global_variables ORDER BY 1"),
            (std::vector<std::string>{"0|N|int|4", "1|rate|double|0.25"}));

  db.setRunTotals(1234567890123ULL, 2.5);
  EXPECT_TRUE(db.writeSSGExperInfo("exp3", 4000000000UL));
  EXPECT_TRUE(db.recorded());
  EXPECT_EQ(QueryOne(file, "SELECT status || ',' || states || ',' || transitions || ',' || "
                           "cpu_seconds || ',' || (finished_at IS NOT NULL) FROM runs"),
            "completed,4000000000,1234567890123,2.5,1");
  // Nothing changes it afterwards.
  EXPECT_TRUE(db.markRunFailed());
  EXPECT_EQ(QueryOne(file, "SELECT status FROM runs"), "completed");
}

TEST(ResultsDBTest, UnfinishedRunIsFailedWhenDestroyedOrWhenTheProcessExits) {
  ScratchDir dir;
  const std::string file = dir.file("r.db");
  {
    ResultsDB db(file.c_str(), -1, nullptr, nullptr, nullptr);
    StartRun(db, "a");
  }
  EXPECT_EQ(QueryOne(file, "SELECT status || (finished_at IS NOT NULL) FROM runs"), "failed1");

  // A model executable that exits with status 1 after its run started
  // (the .pvtype file cannot be created).
  RunResult run = RunProgram(GenBinary(), {"-P" + dir.path + "missing/", "-Nx", "-B0", "-s", file});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("cannot create the performance variable type file"), std::string::npos);
  EXPECT_EQ(Query(file, "SELECT experiment_name, status FROM runs ORDER BY id"),
            (std::vector<std::string>{"a|failed", "x|failed"}));

  // A connector with no run started leaves the database alone.
  { ResultsDB idle(file.c_str(), -1, nullptr, nullptr, nullptr); }
  EXPECT_EQ(QueryOne(file, "SELECT count(*) FROM runs"), "2");
}

TEST(ResultsDBTest, ModelExecutableRecordsItsRunWithOverriddenValues) {
  ScratchDir dir;
  const std::string file = dir.file("r.db");
  RunResult run = RunProgram(
      GenBinary(), {"-P", dir.path, "-Nexp4", "-B3", "-O", "d:meo:0.5", "-s", file, "-e", "hand"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.find("Error writing"), std::string::npos);
  // Experiment 3 of the example: lambda 0.001, meo 0.1 overridden to 0.5.
  EXPECT_EQ(Query(file, "SELECT name, type, value FROM global_variables ORDER BY position"),
            (std::vector<std::string>{"lambda|double|0.001", "meo|double|0.5"}));
  // The counts of the files the run wrote.
  ArmContents arm = ParseArm(ReadFile(dir.file("exp4.arm")));
  std::size_t entries = 0;
  for (const auto& [state, targets] : arm.transitions)
    entries += targets.size();
  EXPECT_EQ(QueryOne(file, "SELECT model || ',' || experiment_number || ',' || experiment_name "
                           "|| ',' || output_prefix || ',' || entity || ',' || status || ',' || "
                           "states || ',' || transitions FROM runs"),
            "gen,3,exp4," + dir.path + "exp4,hand,completed," + std::to_string(arm.count) + "," +
                std::to_string(entries));
}

TEST(ResultsDBTest, UnwritableDatabaseCostsItsMessageAndTheStatusFive) {
  ScratchDir dir;
  ScratchDir reference;
  const std::string unwritable = dir.file("no/such/dir/r.db");
  RunResult run = RunProgram(GenBinary(), {"-P" + dir.path, "-Nexp1", "-B0", "-s", unwritable});
  EXPECT_EQ(run.status, 5) << run.err;
  EXPECT_NE(run.out.find("Generated: 44 states\nError writing ssg experiment info\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.err.find("Results database " + unwritable + ": unable to open database file"),
            std::string::npos)
      << run.err;
  // The files are those of a run without a database.
  ASSERT_EQ(RunProgram(GenBinary(), {"-P" + reference.path, "-Nexp1", "-B0"}).status, 0);
  for (const char* suffix : {".arm", ".var", ".pvtype"})
    EXPECT_EQ(ReadFile(dir.file("exp1") + suffix), ReadFile(reference.file("exp1") + suffix))
        << suffix;
}

TEST(ResultsDBTest, WritersOfANewFileLoseNoRowWhileAnotherHoldsItsLock) {
  ScratchDir dir;
  const std::string file = dir.file("shared.db"); // created by whichever comes first
  // The first writer of a new file holds its write lock while it switches
  // the file to write-ahead logging; held here for half a second, while the
  // first round of writers opens the file (the others' switch then reads
  // the file and must wait for the lock, never give up at once).
  sqlite3* holder = nullptr;
  ASSERT_EQ(sqlite3_open(file.c_str(), &holder), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(holder, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
  std::string script;
  constexpr int Rounds = 2;
  constexpr int Writers = 12;
  for (int round = 0; round < Rounds; round++) {
    for (int i = 0; i < Writers; i++) {
      std::string name = "w" + std::to_string(round) + "_" + std::to_string(i);
      script += "(" + QuoteArgument(GenBinary()) + " -P " + QuoteArgument(dir.path) + " -N " +
                name + " -B " + std::to_string(i % 6) + " -s " + QuoteArgument(file) + " >" +
                QuoteArgument(dir.file(name + ".out")) + " 2>&1; echo $? >" +
                QuoteArgument(dir.file(name + ".status")) + ") &\n";
    }
    script += "wait\n";
  }
  RunResult run;
  std::thread writers([&] { run = RunProgram("/bin/sh", {"-c", script}); });
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_EQ(sqlite3_exec(holder, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(holder);
  writers.join();
  ASSERT_EQ(run.status, 0) << run.err;
  for (int round = 0; round < Rounds; round++)
    for (int i = 0; i < Writers; i++) {
      const std::string name = "w" + std::to_string(round) + "_" + std::to_string(i);
      const std::string out = ReadFile(dir.file(name + ".out"));
      EXPECT_EQ(out.find("Error"), std::string::npos) << out;
      EXPECT_EQ(out.find("database is locked"), std::string::npos) << out;
      EXPECT_EQ(ReadFile(dir.file(name + ".status")), "0\n") << name << "\n" << out;
    }
  const std::string runs = std::to_string(Rounds * Writers);
  EXPECT_EQ(QueryOne(file, "SELECT count(*) FROM runs WHERE status = 'completed'"), runs);
  EXPECT_EQ(QueryOne(file, "SELECT count(DISTINCT experiment_name) FROM runs"), runs);
  EXPECT_EQ(QueryOne(file, "SELECT count(*) FROM global_variables"),
            std::to_string(2 * Rounds * Writers));
  EXPECT_EQ(QueryOne(file, "SELECT count(*) FROM runs r WHERE (SELECT count(*) FROM "
                           "global_variables g WHERE g.run_id = r.id) = 2"),
            runs);
}

TEST(ResultsDBTest, RowThatCannotBeStoredLeavesTheRunFailedAndTheStatusFive) {
  ScratchDir dir;
  ScratchDir reference;
  const std::string file = dir.file("r.db");
  {
    ResultsDB db(file.c_str(), -1, nullptr, nullptr, nullptr);
    ASSERT_TRUE(db.init()) << db.lastError();
    SqlDatabase raw(file, false);
    raw.exec("CREATE TRIGGER refuse BEFORE INSERT ON global_variables BEGIN SELECT "
             "RAISE(ABORT, 'no room for global variables'); END");
  }
  RunResult run = RunProgram(GenBinary(), {"-P" + dir.path, "-Nexp1", "-B0", "-s", file});
  EXPECT_EQ(run.status, 5) << run.err;
  EXPECT_NE(run.err.find("Results database " + file + ": no room for global variables"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.out.find("Error writing ssg experiment info"), std::string::npos) << run.out;
  // The run is there, with its totals, and failed: never completed.
  EXPECT_EQ(QueryOne(file, "SELECT status || ',' || states FROM runs"), "failed,44");
  EXPECT_EQ(QueryOne(file, "SELECT count(*) FROM global_variables"), "0");
  // The files are those of a run without a database.
  ASSERT_EQ(RunProgram(GenBinary(), {"-P" + reference.path, "-Nexp1", "-B0"}).status, 0);
  for (const char* suffix : {".arm", ".var", ".pvtype"})
    EXPECT_EQ(ReadFile(dir.file("exp1") + suffix), ReadFile(reference.file("exp1") + suffix))
        << suffix;

  // A run whose start could not be stored, stored only at its end, lacks its
  // global variables: failed as well.
  ResultsDB late(file.c_str(), -1, nullptr, nullptr, nullptr);
  late.setRunInfo("m", 1, "/tmp/out/late", nullptr);
  testing::internal::CaptureStderr();
  EXPECT_FALSE(late.writeGVValues());
  late.setRunTotals(7, 0.5);
  EXPECT_FALSE(late.writeSSGExperInfo("late", 3));
  testing::internal::GetCapturedStderr();
  EXPECT_FALSE(late.recorded());
  EXPECT_EQ(QueryOne(file, "SELECT status || ',' || states FROM runs WHERE experiment_name = "
                           "'late'"),
            "failed,3");
}

TEST(ResultsDBTest, PrefixDirectoryIsMadeAbsolute) {
  ScratchDir dir;
  std::filesystem::create_directory(dir.file("sub"));
  EXPECT_EQ(ResultsDB::AbsolutePrefix(dir.path + "sub/../sub/exp1"), dir.path + "sub/exp1");
  EXPECT_EQ(ResultsDB::AbsolutePrefix(dir.path + "sub/"), dir.path + "sub/");
  EXPECT_EQ(ResultsDB::AbsolutePrefix(dir.path + "gone/exp1"), dir.path + "gone/exp1");
  std::string cwd = std::filesystem::current_path().string();
  EXPECT_EQ(ResultsDB::AbsolutePrefix("exp1"), (cwd == "/" ? "" : cwd) + "/exp1");
}

} // namespace
