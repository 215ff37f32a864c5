#include "solver/results/SolveOutcome.h"

#include <iostream>
#include <string>

#include "database/SqlDatabase.h"
#include "solver/Progress.h"
#include "solver/io/PVTypeReader.h"
#include "solver/results/Plotter.h"

bool SolveOutcome::Store(const SolverOptions& options, SolveRecord& record, TimePoint started) {
  if (options.DbFile.empty())
    return true;
  record.Prefix = options.Prefix;
  record.Seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  try {
    std::string warning;
    record.Store(options.DbFile, warning);
    if (!warning.empty())
      std::cerr << "ssg-solve: " << warning << std::endl;
    return true;
  } catch (const SqlDatabase::Error& error) {
    std::cerr << "ssg-solve: results database " << error.what() << std::endl;
    return false;
  }
}

int SolveOutcome::Finish(const SolverOptions& options, SolveRecord& record,
                         const ChainSolver::Result& result, int status, TimePoint started) {
  if (!Store(options, record, started) && status == 0)
    status = DatabaseNotWritten;
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

int SolveOutcome::Stopped(const SolverOptions& options, SolveRecord& record,
                          const SolverError& error, Progress& progress, TimePoint started) {
  progress.finish();
  std::cerr << "ssg-solve: " << error.what() << std::endl;
  record.Result = nullptr;
  record.Message = error.what();
  record.Status = SolveRecord::Outcome::Failed;
  if (error.status() == SolverError::Unsupported) {
    // The variables are still known: each gets a row that says why it has
    // no value.
    record.Status = SolveRecord::Outcome::Refused;
    try {
      record.Variables = PVTypeReader::Read(options.Prefix + ".pvtype");
    } catch (const SolverError&) {
    }
  }
  Store(options, record, started);
  return error.exitStatus();
}
