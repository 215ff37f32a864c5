#include <algorithm>
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
#include "ssg/StateSpaceGen.h"

// One run: parse the command line, select the experiment, build the reward
// model and generate its state space into the output files.
int main(int argc, char** argv) {
  const auto started = std::chrono::steady_clock::now();
  // The study's experiments, for programs that run them all (ssg-study).
  if (argc == 2 && std::strcmp(argv[1], GlobalValues::ListOption) == 0) {
    GlobalValues::List(std::cout, *GenerateStudy());
    DestructStudy();
    return std::cout ? 0 : 1;
  }

  int fileType = 1;
  char* traceFileName = nullptr;
  const int status = ParseCommandLine(argc, argv, fileType, traceFileName);
  if (status != ContinueRun) {
    free(traceFileName);
    return status;
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
  StateSpaceGen* generator =
      new StateSpaceGen(model, gExperimentPath.c_str(), gExperimentName.c_str(), flagAbsorb,
                        hash_value, db_host, db_entity, traceFileName);
  free(traceFileName);
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
  delete generator;
  ResetCommandLineSettings();
  return recorded ? 0 : RunRecord::NotStoredStatus;
}
