#include "database/SqlStatement.h"

#include <sqlite3.h>

SqlStatement::SqlStatement(SqlDatabase& db, const std::string& sql) : Db(db) {
  if (sqlite3_prepare_v2(db.handle(), sql.c_str(), -1, &Handle, nullptr) != SQLITE_OK)
    throw SqlDatabase::Error(db.failure());
}

SqlStatement::~SqlStatement() {
  sqlite3_finalize(Handle);
}

void SqlStatement::check(int code) {
  if (code != SQLITE_OK)
    throw SqlDatabase::Error(Db.failure());
}

SqlStatement& SqlStatement::bind(int index, long long value) {
  check(sqlite3_bind_int64(Handle, index, value));
  return *this;
}

SqlStatement& SqlStatement::bind(int index, double value) {
  check(sqlite3_bind_double(Handle, index, value));
  return *this;
}

SqlStatement& SqlStatement::bind(int index, const std::string& value) {
  check(sqlite3_bind_text(Handle, index, value.data(), static_cast<int>(value.size()),
                          SQLITE_TRANSIENT));
  return *this;
}

SqlStatement& SqlStatement::bindNull(int index) {
  check(sqlite3_bind_null(Handle, index));
  return *this;
}

bool SqlStatement::step() {
  int code = sqlite3_step(Handle);
  if (code == SQLITE_ROW)
    return true;
  if (code == SQLITE_DONE)
    return false;
  throw SqlDatabase::Error(Db.failure());
}

void SqlStatement::run() {
  while (step()) {
  }
}

void SqlStatement::reset() {
  sqlite3_reset(Handle);
  sqlite3_clear_bindings(Handle);
}

bool SqlStatement::isNull(int column) const {
  return sqlite3_column_type(Handle, column) == SQLITE_NULL;
}

long long SqlStatement::columnInt(int column) const {
  return sqlite3_column_int64(Handle, column);
}

double SqlStatement::columnDouble(int column) const {
  return sqlite3_column_double(Handle, column);
}

std::string SqlStatement::columnText(int column) const {
  const unsigned char* text = sqlite3_column_text(Handle, column);
  if (text == nullptr)
    return "";
  return std::string(reinterpret_cast<const char*>(text),
                     static_cast<std::size_t>(sqlite3_column_bytes(Handle, column)));
}

std::optional<long long> SqlStatement::optionalInt(int column) const {
  if (isNull(column))
    return std::nullopt;
  return columnInt(column);
}

std::optional<double> SqlStatement::optionalDouble(int column) const {
  if (isNull(column))
    return std::nullopt;
  return columnDouble(column);
}
