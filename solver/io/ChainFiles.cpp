#include "solver/io/ChainFiles.h"

#include <chrono>
#include <sys/stat.h>

#include "solver/io/ArmReader.h"
#include "solver/SolverError.h"

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

  ArmReader arm(prefix + ".arm");
  arm.read(files.Matrix, progress);
  files.FileType = arm.fileType();
  files.Entries = arm.entries();
  files.SelfLoops = arm.selfLoops();

  std::vector<std::string> names;
  for (const PVTypeReader::Variable& v : files.Variables)
    names.push_back(v.Name);
  VarReader var(prefix + ".var", names);
  files.Rewards = var.read(files.Matrix.states(), files.FileType, progress);

  files.ReadSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  return files;
}
