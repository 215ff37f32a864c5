#include "solver/results/ResultTable.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <iomanip>
#include <ostream>
#include <sstream>

#include "solver/SolverError.h"
#include "solver/io/ChainFiles.h"

namespace {

std::string TimeText(const ChainSolver::Row& row) {
  switch (row.Type) {
  case PVTypeReader::SteadyState:
    return "-";
  case PVTypeReader::InstantOfTime:
    return ResultTable::Exact(row.Start);
  default:
    return "[" + ResultTable::Exact(row.Start) + ", " + ResultTable::Exact(row.Stop) + "]";
  }
}

std::string Sci(double v) {
  char text[32];
  auto end = std::to_chars(text, text + sizeof text, v, std::chars_format::scientific, 2).ptr;
  return std::string(text, end);
}

std::string Seconds(double s) {
  std::ostringstream out;
  out << std::fixed << std::setprecision(s < 10 ? 3 : 1) << s;
  return out.str();
}

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\n") == std::string::npos)
    return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"')
      quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

} // namespace

std::string ResultTable::Value(double value) {
  char text[40];
  auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 10).ptr;
  return std::string(text, end);
}

std::string ResultTable::Exact(double value) {
  char text[40];
  auto end = std::to_chars(text, text + sizeof text, value).ptr;
  return std::string(text, end);
}

void ResultTable::PrintTable(std::ostream& out, const ChainSolver::Result& result) {
  std::size_t nameWidth = 8, timeWidth = 4;
  for (const ChainSolver::Row& row : result.Rows) {
    nameWidth = std::max(nameWidth, row.Variable.size());
    timeWidth = std::max(timeWidth, TimeText(row).size());
  }
  out << std::left << std::setw(int(nameWidth) + 2) << "variable" << std::setw(24) << "type"
      << std::setw(int(timeWidth) + 2) << "time"
      << "value" << '\n';
  for (const ChainSolver::Row& row : result.Rows) {
    std::string value = row.Valid                           ? Value(row.Value)
                        : row.Note.rfind("refused", 0) == 0 ? "refused"
                                                            : "not converged";
    out << std::left << std::setw(int(nameWidth) + 2) << row.Variable << std::setw(24)
        << ChainSolver::TypeName(row) << std::setw(int(timeWidth) + 2) << TimeText(row);
    if (row.Note.empty())
      out << value << '\n';
    else
      out << std::setw(18) << value << row.Note << '\n';
  }
  out << std::right;
}

void ResultTable::PrintSummary(std::ostream& out, const ChainFiles& files,
                               const ChainSolver::Result& result, double totalSeconds) {
  const ChainSolver::Summary& s = result.Info;
  // With self-loops, the total is the generator's (every .arm entry), the
  // self-loops beside it.
  if (files.SelfLoops > 0)
    out << "\nstates " << s.States << ", transitions " << files.Entries << " (" << files.SelfLoops
        << " to the state itself, ignored)";
  else
    out << "\nstates " << s.States << ", transitions " << s.Transitions;
  out << '\n';
  if (s.SteadyStateSolved) {
    out << "closed classes " << s.Classes << ", transient states " << s.TransientStates << '\n';
    out << "steady state" << (s.SteadyStateForDetectionOnly ? " (to end the transient pass)" : "")
        << ": method " << (s.Methods.empty() ? "none needed" : s.Methods) << ", iterations "
        << s.Iterations << ", residual " << Sci(s.Residual);
    if (!s.SteadyStateConverged && s.SteadyStateForDetectionOnly && s.Transient.Detected)
      out << "; not converged (" << s.Failure << "), so the detection used auto's solution";
    else if (!s.SteadyStateConverged && s.SteadyStateForDetectionOnly)
      out << "; not used, the pass ran to its end (" << s.Failure << ")";
    else if (!s.SteadyStateConverged)
      out << ", NOT CONVERGED: " << s.Failure;
    else if (s.Methods == "direct")
      out << ", exact elimination (each probability to a few roundings)";
    else if (!s.Methods.empty())
      out << ", estimated relative error " << Sci(s.ErrorEstimate)
          << (s.Methods.find("multilevel") != std::string::npos
                  ? " (from the contraction per sweep or cycle)"
                  : " (from the contraction per sweep)");
    out << '\n';
    if (!s.Choices.empty())
      out << "auto: " << s.Choices << '\n';
  }
  if (s.TransientSolved) {
    out << "transient: uniformization rate " << Value(s.Transient.Rate) << ", " << s.Transient.Steps
        << " steps";
    if (s.Transient.Extended)
      out << " in extended precision";
    if (s.Transient.Detected)
      out << " (steady state reached; " << s.Transient.Needed << " without it)";
    out << '\n';
  }
  if (s.ImpulseSteps > 0)
    out << "impulses at instants: " << s.ImpulseSteps << " uniformization steps\n";
  out << "seconds: read " << Seconds(files.ReadSeconds);
  if (s.SteadyStateSolved)
    out << ", closed classes " << Seconds(s.ClassSeconds) << ", steady state "
        << Seconds(s.SteadySeconds);
  if (s.TransientSolved)
    out << ", transient " << Seconds(s.TransientSeconds);
  out << ", total " << Seconds(totalSeconds) << '\n';
}

void ResultTable::WriteCsv(const std::string& fileName, const ChainSolver::Result& result) {
  errno = 0;
  std::ofstream out(fileName, std::ios::out | std::ios::trunc);
  if (!out)
    throw SolverError(SolverError::InputError,
                      fileName + ": cannot create the CSV file: " + std::strerror(errno));
  out << "variable,type,start,stop,value,note\n";
  for (const ChainSolver::Row& row : result.Rows) {
    out << CsvField(row.Variable) << ',' << ChainSolver::TypeName(row) << ',';
    if (row.Type != PVTypeReader::SteadyState)
      out << Exact(row.Start) << ',' << Exact(row.Stop);
    else
      out << ',';
    out << ',' << (row.Valid ? Exact(row.Value) : "") << ',' << CsvField(row.Note) << '\n';
  }
  out.close();
  if (!out)
    throw SolverError(SolverError::InputError,
                      fileName + ": cannot write the CSV file: " + std::strerror(errno));
}
