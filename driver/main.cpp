#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "database/ResultsDB.h"
#include "driver/BaseStudyClass.h"
#include "driver/CommandLine.h"
#include "driver/GlobalValues.h"
#include "driver/RunRecord.h"
#include "driver/RunSummary.h"
#include "reward/PVModel.h"
#include "ssg/DistributedGen.h"
#include "ssg/MessagePassing.h"
#include "ssg/StateSpaceGen.h"

#include <memory>
#include <streambuf>
#include <unistd.h>

namespace {

// The output of a worker that is not the writer goes nowhere.
class NullBuffer : public std::streambuf {
protected:
  int overflow(int c) override { return c; }
};

// Kept to the end of the process: the stream is flushed at exit.
std::streambuf* QuietBuffer() {
  static NullBuffer* const nowhere = new NullBuffer;
  return nowhere;
}

// --workers N outside mpirun: the same command line, without --workers, as
// N processes started by mpirun on this machine. Returns only when mpirun
// cannot be started (with the status of that failure).
int LaunchWorkers(int argc, char** argv, unsigned long long workers) {
  std::vector<std::string> words = {"mpirun", "--quiet", "-np", std::to_string(workers),
                                    "--oversubscribe"};
  // As root, mpirun refuses to start without being told.
  if (::geteuid() == 0)
    words.emplace_back("--allow-run-as-root");
  char self[4096] = {};
  const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
  words.push_back(length > 0 ? std::string(self, std::size_t(length)) : std::string(argv[0]));
  for (int i = 1; i < argc; i++) {
    if (std::strcmp(argv[i], "--workers") == 0) {
      i++; // and its value
      continue;
    }
    if (std::strncmp(argv[i], "--workers=", 10) == 0)
      continue;
    words.emplace_back(argv[i]);
  }
  std::vector<char*> arguments;
  arguments.reserve(words.size() + 1);
  for (std::string& word : words)
    arguments.push_back(word.data());
  arguments.push_back(nullptr);
  std::cout.flush();
  ::execvp("mpirun", arguments.data());
  std::cerr << "Error: --workers starts the workers with mpirun, which could not be run ("
            << std::strerror(errno) << "); install Open MPI (apt-get install openmpi-bin)"
            << std::endl;
  return 1;
}

} // namespace

// One run: parse the command line, select the experiment, build the reward
// model and generate its state space into the output files.
int main(int argc, char** argv) {
  const auto started = std::chrono::steady_clock::now();
  // Started by mpirun: one worker of a distributed run; only the first
  // writes files and messages.
  std::unique_ptr<MessagePassing> workers;
  if (MessagePassing::Launched()) {
    workers = std::make_unique<MessagePassing>(&argc, &argv);
    if (workers->rank() != 0)
      std::cout.rdbuf(QuietBuffer());
  }
  // The study's experiments, for programs that run them all (ssg-study).
  if (argc == 2 && std::strcmp(argv[1], GlobalValues::ListOption) == 0) {
    GlobalValues::List(std::cout, *GenerateStudy());
    DestructStudy();
    return std::cout ? 0 : 1;
  }

  int fileType = 1;
  char* traceFileName = nullptr;
  // A run that will start its workers says nothing itself: the first
  // worker prints what the one-process run prints. So the settings are
  // read quietly first, and again aloud unless the workers are started.
  std::streambuf* standardOutput = std::cout.rdbuf();
  std::streambuf* standardError = std::cerr.rdbuf();
  if (workers == nullptr) {
    std::cout.rdbuf(QuietBuffer());
    std::cerr.rdbuf(QuietBuffer());
  }
  int status = ParseCommandLine(argc, argv, fileType, traceFileName);
  std::cout.rdbuf(standardOutput);
  std::cerr.rdbuf(standardError);
  if (workers == nullptr && !(status == ContinueRun && gWorkers > 0)) {
    free(traceFileName);
    traceFileName = nullptr;
    ResetCommandLineSettings();
    status = ParseCommandLine(argc, argv, fileType, traceFileName);
  }
  if (status != ContinueRun) {
    free(traceFileName);
    return status;
  }
  if (gWorkers > 0 && workers == nullptr) {
    free(traceFileName);
    return LaunchWorkers(argc, argv, gWorkers);
  }

  BaseStudyClass* study = GenerateStudy();
  if (!study->AcceptExperimentNumber(ExpNum)) {
    free(traceFileName);
    return 1;
  }
  study->SetGVs(ExpNum);
  study->PrintGlobalValues(ExpNum);
  // The values in force, listed in the summary when an override changed one.
  std::string valuesInForce;
  if (OverrideString != nullptr) {
    std::vector<std::string> before;
    before.reserve(static_cast<std::size_t>(std::max(study->GetNumGVs(), 0)));
    for (int i = 0; i < study->GetNumGVs(); i++)
      before.push_back(GlobalValues::Text(*study, i));
    study->overrideGVs(OverrideString);
    std::cout << "Overriding global variables in ssg" << std::endl;
    bool changed = false;
    for (int i = 0; i < study->GetNumGVs(); i++) {
      const std::string now = GlobalValues::Text(*study, i);
      changed = changed || now != before[static_cast<std::size_t>(i)];
      valuesInForce += (i > 0 ? ", " : "") + std::string(study->GetGVName(i)) + "=" + now;
    }
    if (!changed)
      valuesInForce.clear();
  }

  PVModel* model = study->GetPVModel(false);
  const bool writer = workers == nullptr || workers->rank() == 0;
  StateSpaceGen* generator =
      new StateSpaceGen(model, gExperimentPath.c_str(), gExperimentName.c_str(), flagAbsorb,
                        hash_value, writer ? db_host : nullptr, db_entity, traceFileName);
  free(traceFileName);
  std::unique_ptr<DistributedGen> distributed;
  if (workers != nullptr) {
    distributed = std::make_unique<DistributedGen>(*generator, *workers);
    generator->Distributed = distributed.get();
  }
  if (generator->ResultsDatabase != nullptr)
    RunRecord::Start(*generator->ResultsDatabase, *study, argv[0]);
  generator->FileType = static_cast<short>(fileType);
  generator->TraceLevel = TempTraceLevel;
  generator->WriteStates = gWriteStates;
  generator->ShowProgress = gShowProgress;
  generator->MaxStates = gMaxStates;
  generator->MinFreeBytes = gMinFreeBytes;
  std::cout << "SSG: SetTraceLevel: " << TempTraceLevel << std::endl;

  generator->InitializeTrace();
  generator->GenStateSpace();
  RunSummary::Print(std::cout, *generator, started, valuesInForce);
  // The files are complete; the run's record in the database (-s) may not be.
  const bool recorded =
      generator->ResultsDatabase == nullptr || generator->ResultsDatabase->recorded();

  DestructStudy();
  distributed.reset();
  delete generator;
  ResetCommandLineSettings();
  return recorded ? 0 : RunRecord::NotStoredStatus;
}
