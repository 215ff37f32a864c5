#include "solver/DelaySolve.h"

#include <charconv>
#include <iostream>
#include <new>
#include <sys/stat.h>
#include <vector>

#include "solver/Progress.h"
#include "solver/SolverError.h"
#include "solver/SolverOptions.h"
#include "solver/io/DelayChainFiles.h"
#include "solver/numeric/ChainSolver.h"
#include "solver/numeric/RegenerativeSolver.h"
#include "solver/results/ResultTable.h"
#include "solver/results/SolveOutcome.h"
#include "solver/results/SolveRecord.h"

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string Sci(double v) {
  char text[32];
  auto end = std::to_chars(text, text + sizeof text, v, std::chars_format::scientific, 2).ptr;
  return std::string(text, end);
}

} // namespace

bool DelaySolve::Wanted(const SolverOptions& options) {
  struct stat info;
  return ::stat((options.Prefix + ".det").c_str(), &info) == 0;
}

int DelaySolve::Run(const SolverOptions& options, Progress& progress, Clock::time_point started) {
  SolveRecord record;
  try {
    DelayChainFiles chain;
    DelayChainFiles::Read(options.Prefix, chain, progress);
    const ChainFiles& files = chain.Files;
    const RegenerativeSolver::Solution solution = RegenerativeSolver::Solve(
        files.Matrix, chain.Firings, chain.Delays, options, progress, options.Prefix + ".det");
    ChainSolver::Result result =
        RegenerativeSolver::Rows(solution, files.Matrix, ChainSolver::MeasuresOf(files));
    result.Info.Transitions += chain.Firings.entries();
    progress.finish();
    ResultTable::PrintTable(std::cout, result);
    ResultTable::PrintSummary(std::cout, files, result, Since(started));
    const RegenerativeSolver::Report& r = solution.Info;
    std::cout << "deterministic delays " << r.Delays << " (enabled in " << r.DelayStates
              << " states): embedded chain of " << r.EmbeddedEntries << " entries, periods of "
              << r.MostSteps << " uniformization steps at most; truncation: each row misses "
              << "at most " << Sci(r.Truncation) << " of its probability; iteration: residual "
              << Sci(result.Info.Residual) << " (tolerance " << Sci(10 * options.Epsilon) << ")\n";
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
    bool refused = false, missing = false;
    for (const ChainSolver::Row& row : result.Rows) {
      refused = refused || row.Note == RegenerativeSolver::TransientRefusal;
      missing = missing || (!row.Valid && row.Note != RegenerativeSolver::TransientRefusal);
    }
    if (missing) {
      if (result.Info.Failure.empty())
        result.Info.Failure = "a value is not a finite number";
      std::cerr << "ssg-solve: not converged: " << result.Info.Failure
                << "; its rows have no value (raise --max-iterations or try another --method)"
                << std::endl;
      status = SolverError::NotConverged;
      record.Status = SolveRecord::Outcome::NotConverged;
      record.Message = "not converged: " + result.Info.Failure;
    }
    if (refused) {
      const std::string why = options.Prefix +
                              ": only steady-state measures are computed for chains with "
                              "deterministic delays; the time-dependent rows have no value";
      std::cerr << "ssg-solve: " << why << std::endl;
      status = SolverError::Unsupported;
      record.Status = SolveRecord::Outcome::Refused;
      record.Message = why;
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
