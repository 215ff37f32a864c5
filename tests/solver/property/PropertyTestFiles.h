#ifndef TESTS_SOLVER_PROPERTY_PROPERTYTESTFILES_H
#define TESTS_SOLVER_PROPERTY_PROPERTYTESTFILES_H

// Running ssg-solve with properties and reading its CSV rows back.

#include <sstream>
#include <string>
#include <vector>

#include "tests/driver/Subprocess.h"
#include "tests/solver/SolverTestFiles.h"

struct CsvRow {
  std::string Name, Type, Start, Stop, Value, Note;
};

// The rows of a CSV file written by ssg-solve (fields may be quoted).
inline std::vector<CsvRow> ReadCsvRows(const std::string& text) {
  std::vector<CsvRow> rows;
  std::vector<std::string> fields;
  std::string field;
  bool quoted = false, header = true;
  for (std::size_t i = 0; i < text.size(); i++) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        field += '"';
        i++;
      } else if (c == '"') {
        quoted = false;
      } else {
        field += c;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      fields.push_back(field);
      field.clear();
    } else if (c == '\n') {
      fields.push_back(field);
      field.clear();
      if (!header) {
        fields.resize(6);
        rows.push_back({fields[0], fields[1], fields[2], fields[3], fields[4], fields[5]});
      }
      header = false;
      fields.clear();
    } else {
      field += c;
    }
  }
  return rows;
}

inline std::string SolverProgram() {
  return std::string(SSG_BINARY_DIR) + "/ssg-solve";
}

// Runs ssg-solve on `prefix` with `arguments` and a CSV file; the rows.
inline std::vector<CsvRow> SolveProperties(const SolverScratch& dir, const std::string& prefix,
                                           std::vector<std::string> arguments,
                                           RunResult* run = nullptr, int status = 0) {
  const std::string csv = dir.path + "properties.csv";
  std::remove(csv.c_str());
  arguments.insert(arguments.begin(), prefix);
  arguments.emplace_back("--csv");
  arguments.push_back(csv);
  arguments.emplace_back("-q");
  RunResult result = RunProgram(SolverProgram(), arguments);
  EXPECT_EQ(result.status, status) << result.err << result.out;
  if (run != nullptr)
    *run = result;
  return ReadCsvRows(ReadWhole(csv));
}

inline double ValueOf(const CsvRow& row) {
  return row.Value == "inf" ? 1.0 / 0.0 : std::stod(row.Value);
}

#endif
