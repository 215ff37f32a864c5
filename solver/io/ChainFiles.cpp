#include "solver/io/ChainFiles.h"

#include <chrono>
#include <sys/stat.h>

#include "solver/SolverError.h"
#include "solver/io/ArmReader.h"
#include "solver/io/RewReader.h"

ChainFiles ChainFiles::Read(const std::string& prefix, Progress& progress) {
  const auto started = std::chrono::steady_clock::now();
  ChainFiles files;
  files.Prefix = prefix;

  struct stat info;
  const std::string det = prefix + ".det";
  if (::stat(det.c_str(), &info) == 0)
    throw SolverError(SolverError::Unsupported,
                      det + ": the model has deterministic delays (the generator wrote this "
                            "file for them); chains with deterministic delays need a Markov "
                            "regenerative solver, which ssg-solve is not");

  files.Variables = PVTypeReader::Read(prefix + ".pvtype");

  const std::string imp = prefix + ".imp";
  const bool haveImpulses = ::stat(imp.c_str(), &info) == 0;
  ArmReader::EntryList entries;
  ArmReader arm(prefix + ".arm");
  if (haveImpulses)
    arm.keep(entries);
  arm.read(files.Matrix, progress);
  files.FileType = arm.fileType();
  files.Entries = arm.entries();
  files.SelfLoops = arm.selfLoops();

  std::vector<std::string> names;
  for (const PVTypeReader::Variable& v : files.Variables)
    names.push_back(v.Name);
  VarReader var(prefix + ".var", names);
  files.Rewards = var.read(files.Matrix.states(), files.FileType, progress);

  const std::string rew = prefix + ".rew";
  if (::stat(rew.c_str(), &info) == 0) {
    RewReader::Result exact =
        RewReader::Read(rew, files.Variables, files.Matrix.states(), progress);
    for (std::size_t v = 0; v < files.Variables.size(); v++) {
      const CompactColumn& rounded = files.Rewards[v].RateValues;
      for (std::size_t j = 0; j < rounded.size(); j++)
        if (!RewReader::SameToSixDigits(exact.Rates[v][j], rounded[j]))
          throw SolverError(SolverError::InputError,
                            rew + ": the rate reward of variable '" + files.Variables[v].Name +
                                "' in state " + std::to_string(j + 1) + " is " +
                                RewReader::Number(exact.Rates[v][j]) +
                                ", but the .var file gives " + RewReader::Number(rounded[j]) +
                                " (are the files from different "
                                "runs?)");
      files.Rewards[v].RateValues = std::move(exact.Rates[v]);
      files.Variables[v].Times = std::move(exact.Times[v]);
    }
    files.Exact = true;
  }

  if (haveImpulses) {
    files.Impulses = ImpReader::Read(imp, names, entries, progress);
    files.SelfLoopRates = std::move(entries.SelfLoopRate);
    files.RatePlusImpulse.resize(files.Variables.size());
    for (std::size_t v = 0; v < files.Variables.size(); v++) {
      const ImpReader::Variable& impulses = files.Impulses[v];
      if (files.Rewards[v].HasImpulse && !impulses.Any)
        throw SolverError(SolverError::InputError,
                          imp + ": variable '" + files.Variables[v].Name +
                              "' earns no impulse on any transition, but its .var values "
                              "have impulses (is the .imp file left from another run?)");
      if (!impulses.Any)
        continue;
      const CompactColumn& rate = files.Rewards[v].RateValues;
      CompactColumn& sum = files.RatePlusImpulse[v];
      sum.reserve(rate.size());
      for (std::size_t j = 0; j < rate.size(); j++)
        sum.push_back(rate[j] + impulses.Rate[j]);
    }
  }

  files.ReadSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  return files;
}
