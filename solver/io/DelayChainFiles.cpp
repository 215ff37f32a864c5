#include "solver/io/DelayChainFiles.h"

#include <chrono>

#include "solver/io/ArmReader.h"

void DelayChainFiles::Read(const std::string& prefix, DelayChainFiles& chain, Progress& progress) {
  const auto started = std::chrono::steady_clock::now();
  ChainFiles& files = chain.Files;
  files.Prefix = prefix;
  files.Variables = PVTypeReader::Read(prefix + ".pvtype");
  ArmReader arm(prefix + ".arm");
  arm.keepFirings(&chain.Firings);
  arm.read(files.Matrix, progress);
  files.FileType = arm.fileType();
  files.Entries = arm.entries();
  files.SelfLoops = arm.selfLoops();
  std::vector<std::string> names;
  for (const PVTypeReader::Variable& v : files.Variables)
    names.push_back(v.Name);
  VarReader var(prefix + ".var", names);
  files.Rewards = var.read(files.Matrix.states(), files.FileType, progress);
  chain.Delays = DetReader::Read(prefix + ".det", files.Matrix.states());
  files.ReadSeconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
}
