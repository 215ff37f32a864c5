#include "solver/ChainQueries.h"

#include <iostream>
#include <string>
#include <vector>

#include "solver/MarkingCondition.h"
#include "solver/Progress.h"
#include "solver/SolverError.h"
#include "solver/SolverOptions.h"
#include "solver/io/ChainFiles.h"
#include "solver/numeric/ChainSolver.h"
#include "solver/results/ChainExport.h"
#include "solver/results/Plotter.h"
#include "solver/results/ResultTable.h"

bool ChainQueries::Wanted(const SolverOptions& options) {
  return !options.Exports.empty() || !options.Conditions.empty();
}

int ChainQueries::Run(const SolverOptions& options, Progress& progress,
                      std::chrono::steady_clock::time_point started) {
  if (!options.DbFile.empty())
    throw SolverError(SolverError::InputError,
                      "--db stores a solve of the reward variables; it does not go with --where "
                      "or --export (run them separately)");
  if (options.Conditions.empty() && (!options.CsvFile.empty() || !options.PlotFile.empty()))
    throw SolverError(SolverError::InputError,
                      "--csv and --plot write the results of a solve, and --export alone solves "
                      "nothing (add --where, or run the export and the solve separately)");
  ChainFiles files = ChainFiles::Read(options.Prefix, progress);

  for (const SolverOptions::Export& e : options.Exports) {
    ChainExport::Written written = ChainExport::Write(e.Format, files, e.Prefix, progress);
    progress.finish();
    for (const std::string& note : written.Notes)
      std::cerr << "ssg-solve: --export " << e.Format << ": " << note << std::endl;
    std::string list;
    for (const std::string& file : written.Files)
      list += (list.empty() ? "" : ", ") + file;
    std::cerr << "ssg-solve: --export " << e.Format << " wrote " << list << std::endl;
  }
  if (options.Conditions.empty())
    return 0;

  ChainSolver::Result result = SolveConditions(options, files, progress, !options.PlotFile.empty());
  progress.finish();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  ResultTable::PrintTable(std::cout, result);
  ResultTable::PrintSummary(std::cout, files, result, seconds);
  std::cout.flush();
  if (!std::cout) {
    std::cerr << "ssg-solve: cannot write the results to standard output" << std::endl;
    return 1;
  }
  if (!options.CsvFile.empty())
    ResultTable::WriteCsv(options.CsvFile, result);
  int status = 0;
  if (!result.complete()) {
    std::cerr << "ssg-solve: not converged: " << result.Info.Failure
              << "; its rows have no value (raise --max-iterations or try another --method)"
              << std::endl;
    status = SolverError::NotConverged;
  }
  if (!options.PlotFile.empty()) {
    const std::string why = Plotter::Draw(options.PlotFile, options.Prefix, result);
    if (why.empty()) {
      std::cerr << "ssg-solve: plot written to " << options.PlotFile << std::endl;
    } else {
      std::cerr << "ssg-solve: no plot: " << why << std::endl;
      if (status == 0)
        status = 4;
    }
  }
  return status;
}

ChainSolver::Result ChainQueries::SolveConditions(const SolverOptions& options,
                                                  const ChainFiles& files, Progress& progress,
                                                  bool curves) {
  // The probability that a condition holds is the expected value of its
  // indicator: a steady-state measure, and an instant-of-time one at the
  // --times points.
  const std::vector<CompactColumn> indicators = MarkingCondition::Indicators(
      options.Prefix + ".sta", options.Conditions, files.Matrix.states(), progress, &files.Matrix);
  std::vector<ChainSolver::Measure> measures;
  for (std::size_t c = 0; c < options.Conditions.size(); c++) {
    ChainSolver::Measure measure;
    measure.Name = "P(" + options.Conditions[c] + ")";
    measure.Reward = &indicators[c];
    if (!options.Times.empty()) {
      measure.Type = PVTypeReader::InstantOfTime;
      for (double t : options.Times)
        measure.Times.push_back({t, t});
      measures.push_back(measure);
    }
    measure.Type = PVTypeReader::SteadyState;
    measure.Times = {{0, 1}};
    measures.push_back(measure);
  }
  return ChainSolver::Solve(files.Matrix, measures, options, progress, curves);
}
