#ifndef SSG_RESULTSSCHEMA_H
#define SSG_RESULTSSCHEMA_H

#include <string>

class SqlDatabase;

// The tables of the results database (docs/results-db.md describes each
// column), and the version they are at.
//
// - runs: one row per model executable run with -s (the generator);
// - global_variables: the values its experiment gave the global variables;
// - solves, solve_values: one row per ssg-solve --db, and its values;
// - studies, study_experiments: one row per ssg-study, and per experiment
//   of it, with the run and solve it made.
// The version is the one row of schema_version.
class ResultsSchema {
public:
  // 2: solve_values.type may be 'impulse-rate'.
  static constexpr int Version = 2;

  // Creates the tables in an empty database; checks the version of an
  // existing one, bringing a version 1 database to version 2 (in one
  // transaction; its rows are kept). Throws SqlDatabase::Error when the file holds another
  // version, or tables that are not ours.
  static void Ensure(SqlDatabase& db);

  // The statements that create version Version.
  static const std::string& Definition();
};

#endif
