#include "database/SqlDatabase.h"

#include <chrono>
#include <sqlite3.h>
#include <thread>

SqlDatabase::SqlDatabase(const std::string& fileName, bool create) : FileName(fileName) {
  int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0) | SQLITE_OPEN_NOMUTEX;
  if (sqlite3_open_v2(fileName.c_str(), &Handle, flags, nullptr) != SQLITE_OK) {
    std::string why = Handle ? failure() : fileName + ": cannot open the database";
    sqlite3_close(Handle);
    Handle = nullptr;
    throw Error(why);
  }
  sqlite3_extended_result_codes(Handle, 1);
  sqlite3_busy_timeout(Handle, BusyTimeoutMs);
  try {
    // The journal mode is kept in the file; setting it again is cheap.
    setWriteAheadLog();
    exec("PRAGMA foreign_keys=ON; PRAGMA synchronous=NORMAL;");
  } catch (...) {
    sqlite3_close(Handle);
    Handle = nullptr;
    throw;
  }
}

void SqlDatabase::setWriteAheadLog() {
  // On a new file the change reads the empty header, then asks for the write
  // lock: a read upgrading to a write, which SQLite refuses at once, without
  // the busy handler, when another process holds that lock (it may be
  // creating the same file). Such a refusal is retried here, for as long as
  // the busy timeout lets any other statement wait.
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(BusyTimeoutMs);
  for (;;) {
    char* message = nullptr;
    const int code = sqlite3_exec(Handle, "PRAGMA journal_mode=WAL", nullptr, nullptr, &message);
    if (code == SQLITE_OK)
      return;
    std::string why = FileName + ": " + (message ? message : sqlite3_errmsg(Handle));
    sqlite3_free(message);
    if ((code & 0xff) != SQLITE_BUSY || std::chrono::steady_clock::now() >= giveUp)
      throw Error(why);
    std::this_thread::sleep_for(std::chrono::milliseconds(BusyRetryMs));
  }
}

SqlDatabase::~SqlDatabase() {
  sqlite3_close(Handle);
}

void SqlDatabase::exec(const std::string& sql) {
  char* message = nullptr;
  if (sqlite3_exec(Handle, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    std::string why = FileName + ": " + (message ? message : sqlite3_errmsg(Handle));
    sqlite3_free(message);
    throw Error(why);
  }
}

long long SqlDatabase::lastInsertId() const {
  return sqlite3_last_insert_rowid(Handle);
}

std::string SqlDatabase::failure(const std::string& what) const {
  return FileName + ": " + (what.empty() ? "" : what + ": ") + sqlite3_errmsg(Handle);
}

SqlDatabase::Transaction::Transaction(SqlDatabase& db) : Db(db), Open(false) {
  Db.exec("BEGIN IMMEDIATE");
  Open = true;
}

SqlDatabase::Transaction::~Transaction() {
  if (Open)
    sqlite3_exec(Db.Handle, "ROLLBACK", nullptr, nullptr, nullptr);
}

void SqlDatabase::Transaction::commit() {
  Db.exec("COMMIT");
  Open = false;
}
