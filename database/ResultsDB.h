#ifndef SSG_RESULTSDB_H
#define SSG_RESULTSDB_H

#include <memory>
#include <string>
#include <vector>

class SqlDatabase;
class SqlStatement;

// The generator's connector to the results database: an SQLite file
// (docs/results-db.md gives its tables), named by the model executable's -s
// option and created on first use.
//
// A run is recorded in this order: setRunInfo (model, experiment, output
// prefix, entity), init (opens the file, creates the tables), getRunId (a
// new row in `runs`, status "running"), writeSingleGV for each global
// variable and writeGVValues (stores them with the run), setRunTotals and
// writeSSGExperInfo at the end of a generation (status "completed", with the
// states, transitions and processor seconds). Each operation does what the
// earlier ones should have done when they were not called.
//
// A run that was started and not completed is marked "failed" when the
// process exits (std::exit from anywhere: every failure of the generator
// ends that way) or when the connector is destroyed. A process killed by a
// signal leaves its row "running"; ssg-study marks such runs failed.
//
// Nothing here ends the run: an operation that fails says why on standard
// error ("Results database out/results.db: database is locked"), returns
// false (or -1) and generation goes on. A run one of whose rows could not be
// stored is never stored "completed": writeSSGExperInfo stores it "failed"
// and returns false, and recorded() stays false. Several processes may write one file
// at once (write-ahead logging, a busy timeout of a minute).
class ResultsDB {
public:
  // host: the database file; port (-1: keep), user, password and database
  // are kept but not used by a file database. Null strings leave a setting
  // unchanged.
  ResultsDB(char const* host, int port, char const* user, char const* password,
            char const* database);
  // Marks a started, unfinished run failed.
  virtual ~ResultsDB();
  ResultsDB(const ResultsDB&) = delete;
  ResultsDB& operator=(const ResultsDB&) = delete;

  // Same arguments and rules as the constructor.
  void setDBInfo(char const* host, int port, char const* user, char const* password,
                 char const* database);
  // Opens the file (created when missing) and creates or checks the tables.
  bool init();
  // Starts a new run with this experiment name (status "running"); returns
  // its id, or -1 when it could not be stored.
  int getRunId(char* experimentName);
  // Keeps one global variable of the run (its value as text) for
  // writeGVValues.
  bool writeSingleGV(char const* name, char const* type, char const* value);
  // Stores the variables kept by writeSingleGV with the run.
  bool writeGVValues();
  // The run completed: its experiment name, states, and the totals of
  // setRunTotals. Stored "failed" (and false returned) when an earlier row
  // of the run could not be stored.
  bool writeSSGExperInfo(char const* experimentName, unsigned long numStates);

  // What the next getRunId records besides the name: the model (the
  // executable's name), experiment number, output prefix (-P and -N joined)
  // and entity (-e; may be null).
  void setRunInfo(char const* model, int experimentNumber, char const* outputPrefix,
                  char const* entity);
  // Transitions written and processor seconds, for writeSSGExperInfo.
  void setRunTotals(unsigned long long transitions, double cpuSeconds);
  // Marks the started run failed unless it completed; true if nothing was
  // left to mark or the mark was stored.
  bool markRunFailed();

  // The run and every row of it are stored, and it is stored completed.
  bool recorded() const;
  int runId() const { return RunId; }
  const std::string& lastError() const { return LastError; }

  // The prefix with its directory made absolute (symbolic links resolved),
  // so that the generator and the solver name the same files alike. A
  // directory that does not exist is kept as given.
  static std::string AbsolutePrefix(const std::string& prefix);

  std::string Host;
  int Port;
  std::string User;
  std::string Password;
  std::string Database;

private:
  struct Variable {
    std::string Name, Type, Value;
  };
  std::unique_ptr<SqlDatabase> Db;
  std::unique_ptr<SqlStatement> FailRun; // marks the started run failed
  int RunId = -1;
  bool Finished = false;
  bool Incomplete = false; // a row of the run could not be stored
  std::string Model;
  int ExperimentNumber = 0;
  std::string OutputPrefix;
  std::string Entity;
  bool HasEntity = false;
  unsigned long long Transitions = 0;
  double CpuSeconds = 0;
  std::vector<Variable> Pending;
  std::string LastError;

  bool fail(const std::string& why);
};

#endif
