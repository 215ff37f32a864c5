#ifndef SSG_SQLSTATEMENT_H
#define SSG_SQLSTATEMENT_H

#include <cstdint>
#include <optional>
#include <string>

#include "database/SqlDatabase.h"

struct sqlite3_stmt;

// A prepared statement of an SqlDatabase, finalized when destroyed.
// Parameters are numbered from 1 (bind), result columns from 0 (column*).
// Failures throw SqlDatabase::Error.
class SqlStatement {
public:
  SqlStatement(SqlDatabase& db, const std::string& sql);
  ~SqlStatement();
  SqlStatement(const SqlStatement&) = delete;
  SqlStatement& operator=(const SqlStatement&) = delete;

  SqlStatement& bind(int index, long long value);
  SqlStatement& bind(int index, double value);
  SqlStatement& bind(int index, const std::string& value);
  SqlStatement& bindNull(int index);
  // An empty optional binds NULL.
  template <class T> SqlStatement& bind(int index, const std::optional<T>& value) {
    return value ? bind(index, *value) : bindNull(index);
  }

  // Runs to the next result row: true if there is one, false when done.
  bool step();
  // Runs a statement that returns no rows (or ignores them).
  void run();
  // For running again with new parameters.
  void reset();

  bool isNull(int column) const;
  long long columnInt(int column) const;
  double columnDouble(int column) const;
  std::string columnText(int column) const;
  std::optional<long long> optionalInt(int column) const;
  std::optional<double> optionalDouble(int column) const;

private:
  SqlDatabase& Db;
  sqlite3_stmt* Handle = nullptr;
  void check(int code);
};

#endif
