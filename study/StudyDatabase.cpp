#include "study/StudyDatabase.h"

#include "database/ResultsDB.h"
#include "database/ResultsSchema.h"
#include "database/SqlStatement.h"

namespace {

const char* const Now = "strftime('%Y-%m-%dT%H:%M:%fZ', 'now')";

} // namespace

StudyDatabase::StudyDatabase(const std::string& fileName, bool create) : Db(fileName, create) {
  ResultsSchema::Ensure(Db);
}

std::string StudyDatabase::Entity(long long study) {
  return "study " + std::to_string(study);
}

long long StudyDatabase::createStudy(const std::string& model, const std::string& outDir,
                                     const std::string& experiments,
                                     const std::vector<int>& numbers) {
  SqlDatabase::Transaction transaction(Db);
  SqlStatement insert(Db, std::string("INSERT INTO studies (model, out_dir, experiments, "
                                      "started_at, status) VALUES (?, ?, ?, ") +
                              Now + ", 'running')");
  insert.bind(1, model).bind(2, outDir).bind(3, experiments);
  insert.run();
  long long id = Db.lastInsertId();
  SqlStatement row(Db, "INSERT INTO study_experiments (study_id, experiment_number, status) "
                       "VALUES (?, ?, 'waiting')");
  for (int e : numbers) {
    row.bind(1, id).bind(2, static_cast<long long>(e));
    row.run();
    row.reset();
  }
  transaction.commit();
  return id;
}

void StudyDatabase::setStatus(long long study, int experiment, const std::string& status,
                              std::optional<long long> exitStatus, const std::string& message) {
  SqlDatabase::Transaction transaction(Db);
  SqlStatement update(Db, "UPDATE study_experiments SET status = ?, exit_status = ?, message = ? "
                          "WHERE study_id = ? AND experiment_number = ?");
  update.bind(1, status).bind(2, exitStatus);
  if (!message.empty())
    update.bind(3, message);
  update.bind(4, study).bind(5, static_cast<long long>(experiment));
  update.run();
  transaction.commit();
}

std::optional<long long> StudyDatabase::linkRun(long long study, int experiment,
                                                const std::string& entity) {
  SqlDatabase::Transaction transaction(Db);
  std::optional<long long> run;
  {
    SqlStatement find(Db, "SELECT id FROM runs WHERE entity = ? AND experiment_number = ? "
                          "ORDER BY id DESC LIMIT 1");
    find.bind(1, entity).bind(2, static_cast<long long>(experiment));
    if (find.step())
      run = find.columnInt(0);
  }
  SqlStatement link(Db, "UPDATE study_experiments SET run_id = ? WHERE study_id = ? AND "
                        "experiment_number = ?");
  link.bind(1, run).bind(2, study).bind(3, static_cast<long long>(experiment));
  link.run();
  transaction.commit();
  return run;
}

std::optional<long long> StudyDatabase::linkSolve(long long study, int experiment,
                                                  std::optional<long long> run,
                                                  const std::string& prefix) {
  SqlDatabase::Transaction transaction(Db);
  std::optional<long long> solve;
  {
    SqlStatement find(Db, "SELECT id FROM solves WHERE (?1 IS NOT NULL AND run_id = ?1) OR "
                          "(?1 IS NULL AND output_prefix = ?2) ORDER BY id DESC LIMIT 1");
    find.bind(1, run).bind(2, ResultsDB::AbsolutePrefix(prefix));
    if (find.step())
      solve = find.columnInt(0);
  }
  SqlStatement link(Db, "UPDATE study_experiments SET solve_id = ? WHERE study_id = ? AND "
                        "experiment_number = ?");
  link.bind(1, solve).bind(2, study).bind(3, static_cast<long long>(experiment));
  link.run();
  transaction.commit();
  return solve;
}

void StudyDatabase::failUnfinishedRun(long long run) {
  SqlStatement update(Db, std::string("UPDATE runs SET status = 'failed', finished_at = ") + Now +
                              " WHERE id = ? AND status = 'running'");
  update.bind(1, run);
  update.run();
}

void StudyDatabase::finishStudy(long long study, bool succeeded) {
  SqlStatement update(Db, std::string("UPDATE studies SET status = ?, finished_at = ") + Now +
                              " WHERE id = ?");
  update.bind(1, std::string(succeeded ? "completed" : "failed")).bind(2, study);
  update.run();
}

std::optional<StudyDatabase::Study> StudyDatabase::study(long long id) {
  SqlStatement find(Db, "SELECT id, model, out_dir, experiments, started_at, "
                        "coalesce(finished_at, ''), status FROM studies WHERE ?1 = 0 OR id = ?1 "
                        "ORDER BY id DESC LIMIT 1");
  find.bind(1, id);
  if (!find.step())
    return std::nullopt;
  Study s;
  s.Id = find.columnInt(0);
  s.Model = find.columnText(1);
  s.OutDir = find.columnText(2);
  s.Experiments = find.columnText(3);
  s.StartedAt = find.columnText(4);
  s.FinishedAt = find.columnText(5);
  s.Status = find.columnText(6);
  return s;
}

void StudyDatabase::fill(Experiment& e, std::optional<long long> solve) {
  if (e.RunId) {
    SqlStatement run(Db, "SELECT states, transitions, cpu_seconds, model FROM runs "
                         "WHERE id = ?");
    run.bind(1, *e.RunId);
    if (run.step()) {
      e.Model = run.columnText(3);
      e.States = run.optionalInt(0);
      e.Transitions = run.optionalInt(1);
      e.CpuSeconds = run.optionalDouble(2);
    }
    SqlStatement globals(Db, "SELECT name, value FROM global_variables WHERE run_id = ? ORDER "
                             "BY position");
    globals.bind(1, *e.RunId);
    while (globals.step())
      e.Globals.emplace_back(globals.columnText(0), globals.columnText(1));
  }
  if (!solve)
    return;
  SqlStatement s(Db, "SELECT status, coalesce(message, ''), seconds FROM solves WHERE id = ?");
  s.bind(1, *solve);
  if (s.step()) {
    e.SolveStatus = s.columnText(0);
    e.SolveMessage = s.columnText(1);
    e.SolveSeconds = s.optionalDouble(2);
  }
  SqlStatement values(Db, "SELECT variable, type, time_start, time_stop, value, "
                          "coalesce(note, '') FROM solve_values WHERE solve_id = ? ORDER BY "
                          "position");
  values.bind(1, *solve);
  while (values.step()) {
    Value v;
    v.Variable = values.columnText(0);
    v.Type = values.columnText(1);
    v.Start = values.optionalDouble(2);
    v.Stop = values.optionalDouble(3);
    v.Number = values.optionalDouble(4);
    v.Note = values.columnText(5);
    e.Values.push_back(v);
  }
}

std::vector<StudyDatabase::Experiment> StudyDatabase::experiments(long long study) {
  std::vector<Experiment> list;
  std::vector<std::optional<long long>> solves;
  {
    SqlStatement rows(Db, "SELECT experiment_number, status, exit_status, coalesce(message, ''), "
                          "run_id, solve_id FROM study_experiments WHERE study_id = ? ORDER BY "
                          "experiment_number");
    rows.bind(1, study);
    while (rows.step()) {
      Experiment e;
      e.Number = static_cast<int>(rows.columnInt(0));
      e.Status = rows.columnText(1);
      e.ExitStatus = rows.optionalInt(2);
      e.Message = rows.columnText(3);
      e.RunId = rows.optionalInt(4);
      list.push_back(e);
      solves.push_back(rows.optionalInt(5));
    }
  }
  for (std::size_t i = 0; i < list.size(); i++)
    fill(list[i], solves[i]);
  return list;
}

std::vector<StudyDatabase::Experiment> StudyDatabase::runs() {
  std::vector<Experiment> list;
  std::vector<std::optional<long long>> solves;
  {
    SqlStatement rows(Db, "SELECT r.id, r.experiment_number, r.status, (SELECT max(s.id) FROM "
                          "solves s WHERE s.run_id = r.id) FROM runs r ORDER BY r.id");
    while (rows.step()) {
      Experiment e;
      e.RunId = rows.columnInt(0);
      e.Number = static_cast<int>(rows.columnInt(1));
      e.Status = rows.columnText(2) == "completed" ? "done" : rows.columnText(2);
      list.push_back(e);
      solves.push_back(rows.optionalInt(3));
    }
  }
  for (std::size_t i = 0; i < list.size(); i++)
    fill(list[i], solves[i]);
  return list;
}
