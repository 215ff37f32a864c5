#ifndef STUDY_STUDYDATABASE_H
#define STUDY_STUDYDATABASE_H

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "database/SqlDatabase.h"

// The study runner's side of the results database: a row in `studies` per
// ssg-study, a row in `study_experiments` per chosen experiment (its state,
// the run and solve it made, and how it failed), and the reading of all of
// it back for the table. Failures throw SqlDatabase::Error.
class StudyDatabase {
public:
  struct Value {
    std::string Variable;
    std::string Type; // as stored: "steady-state", "instant-of-time", ...
    std::optional<double> Start, Stop, Number;
    std::string Note;
  };
  struct Experiment {
    int Number = 0;
    std::string Status; // of the study's experiment, or of the run alone
    std::optional<long long> ExitStatus;
    std::string Message;
    std::optional<long long> RunId;
    std::string Model;                                        // the run's model executable
    std::vector<std::pair<std::string, std::string>> Globals; // name, value
    std::optional<long long> States, Transitions;
    std::optional<double> CpuSeconds;
    std::string SolveStatus; // empty: not solved
    std::string SolveMessage;
    std::optional<double> SolveSeconds;
    std::vector<Value> Values;
  };
  struct Study {
    long long Id = 0;
    std::string Model, OutDir, Experiments, StartedAt, FinishedAt, Status;
  };

  // Opens (creating it when `create`) and creates or checks the tables.
  StudyDatabase(const std::string& fileName, bool create);

  long long createStudy(const std::string& model, const std::string& outDir,
                        const std::string& experiments, const std::vector<int>& numbers);
  void setStatus(long long study, int experiment, const std::string& status,
                 std::optional<long long> exitStatus = std::nullopt,
                 const std::string& message = "");
  // The latest run of this entity and experiment number; links it.
  std::optional<long long> linkRun(long long study, int experiment, const std::string& entity);
  // The latest solve of the run (or, without one, of the output prefix);
  // links it.
  std::optional<long long> linkSolve(long long study, int experiment, std::optional<long long> run,
                                     const std::string& prefix);
  // A run left "running" by a generator that was killed is marked failed.
  void failUnfinishedRun(long long run);
  void finishStudy(long long study, bool succeeded);

  // The study with this id, or the latest (id 0); none when there is none.
  std::optional<Study> study(long long id);
  std::vector<Experiment> experiments(long long study);
  // A database without studies: every run, with its latest solve.
  std::vector<Experiment> runs();

  const std::string& fileName() const { return Db.fileName(); }

  // The entity a study's runs carry (-e): "study <id>".
  static std::string Entity(long long study);

private:
  SqlDatabase Db;
  void fill(Experiment& experiment, std::optional<long long> solve);
};

#endif
