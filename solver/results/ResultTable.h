#ifndef SOLVER_RESULTTABLE_H
#define SOLVER_RESULTTABLE_H

#include <iosfwd>
#include <string>

#include "solver/numeric/ChainSolver.h"

class ChainFiles;

// The text forms of a solve's results.
//
// Table (standard output): a header, then one line per row: variable, type
// (ChainSolver::TypeName: a PVTypeReader type, or "impulse-rate"), time
// (instant: t; interval: [start, stop]; steady-state and impulse-rate: -),
// and the value
// with 10 significant digits, or "not converged"; a note follows where there
// is one. Then the summary: states, transitions, closed classes, methods,
// iterations, residual, the transient pass and the seconds of each phase.
//
// CSV: "variable,type,start,stop,value,note", one line per row, the value
// with all the digits a double needs to be read back exactly (empty when
// not converged).
class ResultTable {
public:
  static void PrintTable(std::ostream& out, const ChainSolver::Result& result);
  static void PrintSummary(std::ostream& out, const ChainFiles& files,
                           const ChainSolver::Result& result, double totalSeconds);
  // Writes the CSV file; an error (SolverError InputError) names the file.
  static void WriteCsv(const std::string& fileName, const ChainSolver::Result& result);

  // 10 significant digits ("%.10g").
  static std::string Value(double value);
  // The shortest text that reads back as the same double.
  static std::string Exact(double value);
};

#endif
