// ssg-solve: computes the reward variables of a chain the generator wrote.
// Parses the options, runs the solver library and prints; see
// SolverOptions::Usage for the command line and the exit statuses.

#include <chrono>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "solver/ChainQueries.h"
#include "solver/DelaySolve.h"
#include "solver/Progress.h"
#include "solver/SolverError.h"
#include "solver/SolverOptions.h"
#include "solver/io/ChainFiles.h"
#include "solver/numeric/ChainSolver.h"
#include "solver/property/PropertyQueries.h"
#include "solver/results/ResultTable.h"
#include "solver/results/SolveOutcome.h"
#include "solver/results/SolveRecord.h"

int main(int argc, char** argv) {
  const auto started = std::chrono::steady_clock::now();
  std::vector<std::string> arguments(argv + 1, argv + argc);
  bool quiet = false;
  for (const std::string& a : arguments)
    quiet = quiet || a == "--quiet" || a == "-q";
  Progress progress(!quiet);
  SolverOptions options;
  try {
    options = SolverOptions::Parse(arguments);
  } catch (const SolverError& error) {
    std::cerr << "ssg-solve: " << error.what() << std::endl;
    return error.exitStatus();
  }
  if (options.Help) {
    std::cout << SolverOptions::Usage();
    return 0;
  }
  if (options.Version) {
    std::cout << "ssg-solve " << SolverOptions::VersionText << '\n';
    return 0;
  }
  if (PropertyQueries::Wanted(options) || ChainQueries::Wanted(options)) {
    try {
      if (PropertyQueries::Wanted(options))
        return PropertyQueries::Run(options, progress, started);
      return ChainQueries::Run(options, progress, started);
    } catch (const SolverError& error) {
      progress.finish();
      std::cerr << "ssg-solve: " << error.what() << std::endl;
      return error.exitStatus();
    } catch (const std::bad_alloc&) {
      progress.finish();
      std::cerr << "ssg-solve: out of memory" << std::endl;
      return 1;
    }
  }

  if (DelaySolve::Wanted(options)) {
    try {
      return DelaySolve::Run(options, progress, started);
    } catch (const std::bad_alloc&) {
      progress.finish();
      std::cerr << "ssg-solve: out of memory" << std::endl;
      return 1;
    }
  }

  SolveRecord record;
  try {
    ChainFiles files = ChainFiles::Read(options.Prefix, progress);
    ChainSolver::Result result = ChainSolver::Solve(files.Matrix, ChainSolver::MeasuresOf(files),
                                                    options, progress, !options.PlotFile.empty());
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
    record.Result = &result;
    record.Status = SolveRecord::Outcome::Completed;
    if (!result.complete()) {
      std::cerr << "ssg-solve: not converged: " << result.Info.Failure
                << "; its rows have no value (raise --max-iterations or try another --method)"
                << std::endl;
      status = SolverError::NotConverged;
      record.Status = SolveRecord::Outcome::NotConverged;
      record.Message = "not converged: " + result.Info.Failure;
    }
    return SolveOutcome::Finish(options, record, result, status, started);
  } catch (const SolverError& error) {
    return SolveOutcome::Stopped(options, record, error, progress, started);
  } catch (const std::bad_alloc&) {
    progress.finish();
    std::cerr << "ssg-solve: out of memory" << std::endl;
    return 1;
  }
}
