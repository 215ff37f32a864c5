#ifndef SSG_SQLDATABASE_H
#define SSG_SQLDATABASE_H

#include <stdexcept>
#include <string>

struct sqlite3;

// One connection to an SQLite database file, set up for several processes
// writing the same file at once: write-ahead logging (readers never block the
// writer) and a busy timeout (a writer waits for another's transaction to end
// instead of failing). Write transactions begin IMMEDIATE, so two writers
// never both hold a read lock and then wait for each other; the one change
// that must read before it writes, the journal mode of a new file, is
// retried for as long as the busy timeout.
//
// Every failure throws SqlDatabase::Error with SQLite's own message prefixed
// by the file name ("out/results.db: unable to open database file").
class SqlDatabase {
public:
  class Error : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
  };

  // How long a writer waits for another process's transaction.
  static constexpr int BusyTimeoutMs = 60000;
  // The pause between two attempts of a change SQLite refused without
  // waiting (the journal mode of a new file).
  static constexpr int BusyRetryMs = 5;

  // Opens the file, creating it when `create` is set (a missing file is an
  // error otherwise).
  SqlDatabase(const std::string& fileName, bool create);
  ~SqlDatabase();
  SqlDatabase(const SqlDatabase&) = delete;
  SqlDatabase& operator=(const SqlDatabase&) = delete;

  // Runs one or more statements without results.
  void exec(const std::string& sql);
  // Id of the row the last INSERT made on this connection.
  long long lastInsertId() const;
  // SQLite's message for the last failure, prefixed by the file name.
  std::string failure(const std::string& what = "") const;

  const std::string& fileName() const { return FileName; }
  sqlite3* handle() const { return Handle; }

  // A write transaction: BEGIN IMMEDIATE on construction, COMMIT on
  // commit(), ROLLBACK if destroyed before.
  class Transaction {
  public:
    explicit Transaction(SqlDatabase& db);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit();

  private:
    SqlDatabase& Db;
    bool Open;
  };

private:
  std::string FileName;
  sqlite3* Handle = nullptr;

  // Puts the file in write-ahead-log mode, waiting for other processes as
  // long as the busy timeout.
  void setWriteAheadLog();
};

#endif
