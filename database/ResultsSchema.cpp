#include "database/ResultsSchema.h"

#include "database/SqlDatabase.h"
#include "database/SqlStatement.h"

const std::string& ResultsSchema::Definition() {
  static const std::string sql = R"(
CREATE TABLE schema_version (version INTEGER NOT NULL);
CREATE TABLE runs (
  id                INTEGER PRIMARY KEY,
  model             TEXT NOT NULL,
  experiment_number INTEGER NOT NULL,
  experiment_name   TEXT NOT NULL,
  output_prefix     TEXT NOT NULL,
  entity            TEXT,
  host              TEXT NOT NULL,
  pid               INTEGER NOT NULL,
  started_at        TEXT NOT NULL,
  finished_at       TEXT,
  status            TEXT NOT NULL CHECK (status IN ('running', 'completed', 'failed')),
  states            INTEGER,
  transitions       INTEGER,
  cpu_seconds       REAL
);
CREATE INDEX runs_by_prefix ON runs (output_prefix);
CREATE INDEX runs_by_entity ON runs (entity, experiment_number);
CREATE TABLE global_variables (
  run_id   INTEGER NOT NULL REFERENCES runs (id),
  position INTEGER NOT NULL,
  name     TEXT NOT NULL,
  type     TEXT NOT NULL,
  value    TEXT NOT NULL,
  PRIMARY KEY (run_id, position)
);
CREATE TABLE solves (
  id            INTEGER PRIMARY KEY,
  run_id        INTEGER REFERENCES runs (id),
  output_prefix TEXT NOT NULL,
  started_at    TEXT NOT NULL,
  status        TEXT NOT NULL CHECK (status IN ('completed', 'not converged', 'refused', 'failed')),
  message       TEXT,
  states        INTEGER,
  transitions   INTEGER,
  seconds       REAL
);
CREATE INDEX solves_by_run ON solves (run_id);
CREATE TABLE solve_values (
  solve_id   INTEGER NOT NULL REFERENCES solves (id),
  position   INTEGER NOT NULL,
  variable   TEXT NOT NULL,
  type       TEXT NOT NULL CHECK (type IN ('instant-of-time', 'interval-of-time',
                                           'time-averaged interval', 'steady-state',
                                           'impulse-rate')),
  time_start REAL,
  time_stop  REAL,
  value      REAL,
  method     TEXT,
  residual   REAL,
  note       TEXT,
  PRIMARY KEY (solve_id, position)
);
CREATE TABLE studies (
  id          INTEGER PRIMARY KEY,
  model       TEXT NOT NULL,
  out_dir     TEXT NOT NULL,
  experiments TEXT NOT NULL,
  started_at  TEXT NOT NULL,
  finished_at TEXT,
  status      TEXT NOT NULL CHECK (status IN ('running', 'completed', 'failed'))
);
CREATE TABLE study_experiments (
  study_id          INTEGER NOT NULL REFERENCES studies (id),
  experiment_number INTEGER NOT NULL,
  run_id            INTEGER REFERENCES runs (id),
  solve_id          INTEGER REFERENCES solves (id),
  status            TEXT NOT NULL CHECK (status IN ('waiting', 'generating', 'solving',
                                                    'done', 'failed')),
  exit_status       INTEGER,
  message           TEXT,
  PRIMARY KEY (study_id, experiment_number)
);
)";
  return sql;
}

namespace {

// Version 1 to 2: solve_values accepts the type 'impulse-rate'. SQLite
// cannot change a CHECK constraint in place, so the table is copied into
// one of the new definition.
const char* const FromVersion1 = R"(
CREATE TABLE solve_values_2 (
  solve_id   INTEGER NOT NULL REFERENCES solves (id),
  position   INTEGER NOT NULL,
  variable   TEXT NOT NULL,
  type       TEXT NOT NULL CHECK (type IN ('instant-of-time', 'interval-of-time',
                                           'time-averaged interval', 'steady-state',
                                           'impulse-rate')),
  time_start REAL,
  time_stop  REAL,
  value      REAL,
  method     TEXT,
  residual   REAL,
  note       TEXT,
  PRIMARY KEY (solve_id, position)
);
INSERT INTO solve_values_2 SELECT solve_id, position, variable, type, time_start, time_stop,
  value, method, residual, note FROM solve_values;
DROP TABLE solve_values;
ALTER TABLE solve_values_2 RENAME TO solve_values;
UPDATE schema_version SET version = 2;
)";

} // namespace

void ResultsSchema::Ensure(SqlDatabase& db) {
  // Reading first keeps an existing database's readers free of write locks;
  // the creation itself is one immediate transaction, so of several
  // processes creating the same new file one creates and the others see it.
  auto version = [&db]() -> int {
    SqlStatement tables(db, "SELECT count(*) FROM sqlite_master WHERE name = 'schema_version'");
    tables.step();
    if (tables.columnInt(0) == 0)
      return 0;
    SqlStatement v(db, "SELECT max(version) FROM schema_version");
    return v.step() && !v.isNull(0) ? static_cast<int>(v.columnInt(0)) : -1;
  };
  int found = version();
  if (found == 0) {
    SqlDatabase::Transaction transaction(db);
    found = version();
    if (found == 0) {
      SqlStatement other(db, "SELECT count(*) FROM sqlite_master WHERE type = 'table'");
      other.step();
      if (other.columnInt(0) != 0)
        throw SqlDatabase::Error(db.fileName() +
                                 ": not a results database (it has other tables and no "
                                 "schema_version)");
      db.exec(Definition());
      db.exec("INSERT INTO schema_version (version) VALUES (" + std::to_string(Version) + ")");
      found = Version;
    }
    transaction.commit();
  }
  if (found == 1) {
    SqlDatabase::Transaction transaction(db);
    found = version();
    if (found == 1) {
      db.exec(FromVersion1);
      found = 2;
    }
    transaction.commit();
  }
  if (found != Version)
    throw SqlDatabase::Error(db.fileName() + ": results database of schema version " +
                             std::to_string(found) + "; this program reads and writes version " +
                             std::to_string(Version));
}
