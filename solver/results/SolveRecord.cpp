#include "solver/results/SolveRecord.h"

#include <optional>

#include "database/ResultsDB.h"
#include "database/ResultsSchema.h"
#include "database/SqlDatabase.h"
#include "database/SqlStatement.h"

const char* SolveRecord::OutcomeName(Outcome outcome) {
  switch (outcome) {
  case Outcome::Completed:
    return "completed";
  case Outcome::NotConverged:
    return "not converged";
  case Outcome::Refused:
    return "refused";
  case Outcome::Failed:
    return "failed";
  }
  return "failed";
}

long long SolveRecord::Store(const std::string& databaseFile, std::string& warning) const {
  SqlDatabase db(databaseFile, true);
  ResultsSchema::Ensure(db);
  const std::string prefix = ResultsDB::AbsolutePrefix(Prefix);
  SqlDatabase::Transaction transaction(db);

  // The run that wrote the files.
  std::optional<long long> runId;
  {
    SqlStatement find(db, "SELECT id FROM runs WHERE output_prefix = ? AND status = 'completed'"
                          " AND (?2 IS NULL OR states = ?2) ORDER BY id DESC LIMIT 1");
    find.bind(1, prefix);
    if (Result != nullptr)
      find.bind(2, static_cast<long long>(Result->Info.States));
    if (find.step())
      runId = find.columnInt(0);
  }
  if (!runId)
    warning = "no completed generator run of " + prefix + (Result ? " with these states" : "") +
              " in " + databaseFile + "; the solve is stored without one";

  SqlStatement insert(db, "INSERT INTO solves (run_id, output_prefix, started_at, status, "
                          "message, states, transitions, seconds) VALUES (?, ?, "
                          "strftime('%Y-%m-%dT%H:%M:%fZ', 'now', ?), ?, ?, ?, ?, ?)");
  insert.bind(1, runId).bind(2, prefix);
  insert.bind(3, "-" + std::to_string(Seconds) + " seconds");
  insert.bind(4, std::string(OutcomeName(Status)));
  if (!Message.empty())
    insert.bind(5, Message);
  if (Result != nullptr) {
    insert.bind(6, static_cast<long long>(Result->Info.States));
    insert.bind(7, static_cast<long long>(Result->Info.Transitions));
  }
  insert.bind(8, Seconds);
  insert.run();
  const long long solveId = db.lastInsertId();

  SqlStatement value(db, "INSERT INTO solve_values (solve_id, position, variable, type, "
                         "time_start, time_stop, value, method, residual, note) VALUES (?, ?, ?, "
                         "?, ?, ?, ?, ?, ?, ?)");
  long long position = 0;
  auto add = [&](const std::string& variable, PVTypeReader::Type type, const char* typeName,
                 double start, double stop, std::optional<double> v, const std::string& method,
                 std::optional<double> residual, const std::string& note) {
    value.bind(1, solveId).bind(2, position++).bind(3, variable);
    value.bind(4, std::string(typeName));
    if (type != PVTypeReader::SteadyState)
      value.bind(5, start).bind(6, stop);
    value.bind(7, v);
    if (!method.empty())
      value.bind(8, method);
    value.bind(9, residual);
    if (!note.empty())
      value.bind(10, note);
    value.run();
    value.reset();
  };
  if (Result != nullptr) {
    const ChainSolver::Summary& info = Result->Info;
    for (const ChainSolver::Row& row : Result->Rows) {
      bool steady = row.Type == PVTypeReader::SteadyState;
      std::optional<double> v;
      if (row.Valid)
        v = row.Value;
      std::optional<double> residual;
      if (steady)
        residual = info.Residual;
      add(row.Variable, row.Type, ChainSolver::TypeName(row), row.Start, row.Stop, v,
          steady      ? (info.Methods.empty() ? "none needed" : info.Methods)
          : row.Valid ? "uniformization"
                      : "",
          residual, row.Note);
    }
  } else {
    for (const PVTypeReader::Variable& variable : Variables) {
      if (variable.TimeType == PVTypeReader::SteadyState || variable.Times.empty()) {
        add(variable.Name, variable.TimeType, PVTypeReader::TypeName(variable.TimeType), 0, 0,
            std::nullopt, "", std::nullopt, "no value: the solve was refused");
        continue;
      }
      for (const PVTypeReader::Interval& time : variable.Times)
        add(variable.Name, variable.TimeType, PVTypeReader::TypeName(variable.TimeType), time.Start,
            time.Stop, std::nullopt, "", std::nullopt, "no value: the solve was refused");
    }
  }
  transaction.commit();
  return solveId;
}
