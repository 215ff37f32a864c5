#include "database/ResultsDB.h"

#include <climits>
#include <cstdlib>
#include <iostream>
#include <new>
#include <unistd.h>

#include "database/ResultsSchema.h"
#include "database/SqlDatabase.h"
#include "database/SqlStatement.h"

namespace {

// The connector whose run is started and not finished, marked failed if the
// process exits first.
ResultsDB* OpenRun = nullptr;

// Runs inside exit(), perhaps because memory ran out: a failed allocation
// must throw here (not call a new-handler that exits again), and nothing may
// escape.
void FailOpenRun() {
  if (OpenRun == nullptr)
    return;
  std::set_new_handler(nullptr);
  try {
    OpenRun->markRunFailed();
  } catch (...) {
  }
}

const char* const Now = "strftime('%Y-%m-%dT%H:%M:%fZ', 'now')";

std::string HostName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0)
    return "";
  return name;
}

} // namespace

ResultsDB::ResultsDB(char const* host, int port, char const* user, char const* password,
                     char const* database)
    : Port(0) {
  setDBInfo(host, port, user, password, database);
}

ResultsDB::~ResultsDB() {
  try {
    markRunFailed();
  } catch (...) {
  }
  if (OpenRun == this)
    OpenRun = nullptr;
}

void ResultsDB::setDBInfo(char const* host, int port, char const* user, char const* password,
                          char const* database) {
  if (host != nullptr)
    Host = host;
  if (port != -1)
    Port = port;
  if (user != nullptr)
    User = user;
  if (password != nullptr)
    Password = password;
  if (database != nullptr)
    Database = database;
}

bool ResultsDB::fail(const std::string& why) {
  Incomplete = true;
  if (why != LastError)
    std::cerr << "Results database " << why << std::endl;
  LastError = why;
  return false;
}

bool ResultsDB::init() {
  if (Db != nullptr)
    return true;
  if (Host.empty())
    return fail("file: no file name given (-s <file>)");
  try {
    auto db = std::make_unique<SqlDatabase>(Host, true);
    ResultsSchema::Ensure(*db);
    Db = std::move(db);
    return true;
  } catch (const SqlDatabase::Error& e) {
    return fail(e.what());
  }
}

void ResultsDB::setRunInfo(char const* model, int experimentNumber, char const* outputPrefix,
                           char const* entity) {
  Model = model ? model : "";
  ExperimentNumber = experimentNumber;
  OutputPrefix = outputPrefix ? outputPrefix : "";
  HasEntity = entity != nullptr;
  Entity = entity ? entity : "";
}

void ResultsDB::setRunTotals(unsigned long long transitions, double cpuSeconds) {
  Transitions = transitions;
  CpuSeconds = cpuSeconds;
}

int ResultsDB::getRunId(char* experimentName) {
  if (!init())
    return -1;
  try {
    SqlStatement insert(*Db, std::string("INSERT INTO runs (model, experiment_number, "
                                         "experiment_name, output_prefix, entity, host, pid, "
                                         "started_at, status) VALUES (?, ?, ?, ?, ?, ?, ?, ") +
                                 Now + ", 'running')");
    insert.bind(1, Model).bind(2, static_cast<long long>(ExperimentNumber));
    insert.bind(3, std::string(experimentName ? experimentName : ""));
    insert.bind(4, OutputPrefix);
    if (HasEntity)
      insert.bind(5, Entity);
    insert.bind(6, HostName()).bind(7, static_cast<long long>(getpid()));
    insert.run();
    RunId = static_cast<int>(Db->lastInsertId());
    Finished = false;
    // Prepared now, so that marking the run failed at exit needs no new
    // statement.
    FailRun = std::make_unique<SqlStatement>(
        *Db, std::string("UPDATE runs SET status = 'failed', finished_at = ") + Now +
                 " WHERE id = ? AND status = 'running'");
    static bool hookInstalled = false;
    if (!hookInstalled)
      hookInstalled = std::atexit(FailOpenRun) == 0;
    OpenRun = this;
    return RunId;
  } catch (const SqlDatabase::Error& e) {
    fail(e.what());
    return -1;
  }
}

bool ResultsDB::writeSingleGV(char const* name, char const* type, char const* value) {
  if (name == nullptr || type == nullptr || value == nullptr)
    return fail(Host + ": a global variable without a name, type or value");
  Pending.push_back({name, type, value});
  return true;
}

bool ResultsDB::writeGVValues() {
  if (RunId < 0)
    return fail(Host + ": no run to store the global variables with");
  try {
    SqlDatabase::Transaction transaction(*Db);
    SqlStatement insert(*Db, "INSERT OR REPLACE INTO global_variables (run_id, position, name, "
                             "type, value) VALUES (?, (SELECT count(*) FROM global_variables "
                             "WHERE run_id = ?1), ?, ?, ?)");
    for (const Variable& v : Pending) {
      insert.bind(1, static_cast<long long>(RunId))
          .bind(2, v.Name)
          .bind(3, v.Type)
          .bind(4, v.Value);
      insert.run();
      insert.reset();
    }
    transaction.commit();
    Pending.clear();
    return true;
  } catch (const SqlDatabase::Error& e) {
    return fail(e.what());
  }
}

bool ResultsDB::writeSSGExperInfo(char const* experimentName, unsigned long numStates) {
  std::string name = experimentName ? experimentName : "";
  // A run started only now (its start could not be stored) lacks its
  // global variables: it is stored, but as failed.
  bool started = RunId >= 0 || getRunId(name.data()) >= 0;
  // The generation is complete, whatever is stored below.
  Finished = true;
  if (OpenRun == this)
    OpenRun = nullptr;
  if (!started)
    return false;
  try {
    SqlStatement update(*Db, std::string("UPDATE runs SET experiment_name = ?, states = ?, "
                                         "transitions = ?, cpu_seconds = ?, status = ?, "
                                         "finished_at = ") +
                                 Now + " WHERE id = ?");
    update.bind(1, name).bind(2, static_cast<long long>(numStates));
    update.bind(3, static_cast<long long>(Transitions)).bind(4, CpuSeconds);
    update.bind(5, std::string(Incomplete ? "failed" : "completed"));
    update.bind(6, static_cast<long long>(RunId));
    update.run();
    return !Incomplete;
  } catch (const SqlDatabase::Error& e) {
    return fail(e.what());
  }
}

bool ResultsDB::recorded() const {
  return RunId >= 0 && Finished && !Incomplete;
}

bool ResultsDB::markRunFailed() {
  if (RunId < 0 || Finished || Db == nullptr || FailRun == nullptr)
    return true;
  Finished = true;
  if (OpenRun == this)
    OpenRun = nullptr;
  try {
    FailRun->reset();
    FailRun->bind(1, static_cast<long long>(RunId));
    FailRun->run();
    return true;
  } catch (const SqlDatabase::Error& e) {
    return fail(e.what());
  }
}

std::string ResultsDB::AbsolutePrefix(const std::string& prefix) {
  std::string::size_type slash = prefix.rfind('/');
  std::string dir = slash == std::string::npos ? "." : prefix.substr(0, slash + 1);
  std::string base = slash == std::string::npos ? prefix : prefix.substr(slash + 1);
  char resolved[PATH_MAX];
  if (realpath(dir.c_str(), resolved) == nullptr)
    return prefix;
  std::string absolute = resolved;
  if (absolute.empty() || absolute.back() != '/')
    absolute += '/';
  return absolute + base;
}
