#ifndef TESTS_SSG_RESULTSQUERY_H
#define TESTS_SSG_RESULTSQUERY_H

// Reading a results database in a test: each row of a query as its columns'
// texts joined by '|' (NULL as an empty field), as SQLite itself prints them.

#include <string>
#include <vector>

#include <sqlite3.h>

#include "database/SqlDatabase.h"
#include "database/SqlStatement.h"

inline std::vector<std::string> Query(const std::string& file, const std::string& sql) {
  SqlDatabase db(file, false);
  SqlStatement statement(db, sql);
  std::vector<std::string> rows;
  const int columns = sqlite3_column_count(sqlite3_next_stmt(db.handle(), nullptr));
  while (statement.step()) {
    std::string row;
    for (int c = 0; c < columns; c++)
      row += (c ? "|" : "") + statement.columnText(c);
    rows.push_back(row);
  }
  return rows;
}

// The single value of a query that returns one row of one column.
inline std::string QueryOne(const std::string& file, const std::string& sql) {
  std::vector<std::string> rows = Query(file, sql);
  return rows.size() == 1 ? rows[0] : "<" + std::to_string(rows.size()) + " rows>";
}

#endif
