// Generation of models with deterministic activities.
//
// Exploration is the breadth-first loop of normal generation
// (ExploreStates) with three differences:
// - a deterministic firing is written to the .arm file as minus the
//   probability that its group gives it (the solver reads a negative entry as
//   a deterministic transition), not as a rate;
// - every explored state in which a deterministic activity is enabled is
//   recorded with the activity's delay in DetLists, written to the .det file
//   at the end;
// - instantaneous chains are followed by FireInstantDet, which weighs the
//   firings as FireInstant does (competing actions of the highest rank by
//   their share of the total weight) and keeps negative values.
// The .arm header reserves 8 characters for the state count (the layout the
// solver of such models reads); a longer count moves the records
// (StateSpaceGen::FinishArmFile), so files up to 99999999 states keep that
// layout and larger ones are still complete.

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>

#include "model/BaseActionClass.h"
#include "model/BaseGroupClass.h"
#include "reward/PVModel.h"
#include "ssg/HybridHash.h"
#include "ssg/StateSpaceGen.h"
#include "trace/TraceFileContainer.h"

namespace {

// The .det file goes through the enabling records' stream writer; a stream
// that failed means the file is incomplete.
void CheckDetStream(const std::fstream& det, const char* detName) {
  if (!det) {
    int errorNumber = errno;
    std::cerr << "Error: could not write " << detName << ": "
              << (errorNumber != 0 ? std::strerror(errorNumber) : "write failed") << std::endl;
    std::exit(1);
  }
}

} // namespace

void StateSpaceGen::GenStateSpaceDeterministic(char* armName, char* varName, char* detName) {
  AllocateWorkBuffers();

  // The .det file is opened first, so a run that cannot write it stops
  // before the other files are touched.
  errno = 0;
  std::fstream det(detName, std::ios::out | std::ios::trunc | std::ios::binary);
  if (!det.is_open())
    RecordWriter::OpenFailed("Error: Could not open det file ", detName);
  det << std::scientific;
  det.precision(10);

  ArmFile.openOrExit(armName, "Error: Could not open binary file dude");
  std::cout << std::scientific;
  StartRewardFile(varName);
  StartStatesFile();
  StartArmFile(DeterministicExploration.reservedCountWidth);

  const uint64_t explored = ExploreStates(DeterministicExploration);

  // Every other file is complete before the .arm file gets its count.
  const bool binary = FileType == 2 || FileType == 4 || FileType == 6;
  errno = 0;
  DetLists.writeEnablingStates(det, binary ? BINARY_FILE : TEXT_FILE);
  det.flush();
  CheckDetStream(det, detName);
  det.close();
  CheckDetStream(det, detName);
  FinishRewardFile();
  FinishStatesFile();
  FinishExactRewardFiles();

  FinishArmFile(explored, DeterministicExploration.reservedCountWidth);
  StateTable->ReleaseTable();
  ReleaseWorkBuffers();
}

template <bool Impulses> void StateSpaceGen::FindNextDeterministic(char* state) {
  char* explored = ExploredState.data();
  std::memcpy(explored, state, StoredStateSize);
  for (unsigned int i = 0; i < NumTimedActions; i++) {
    BaseActionClass* action = TimedActions[i];
    // Each action starts from the explored state.
    Model->SetState(explored);
    if (!action->Enabled())
      continue;

    // What is recorded per firing: a deterministic firing is minus the
    // probability its group gives it, and the explored state is an enabling
    // state of its delay; any other firing is its rate times that
    // probability.
    BaseGroupClass* group = GroupOf(action);
    double value = group->Probability(action);
    if (!IsRate(value)) [[unlikely]]
      BadRate(action, group);
    if (TraceLevel >= 1)
      Trace->printf(1, "Enabled: %s", action->ActionName);
    if (action->DistributionType == DETERMINISTIC) {
      value = -value;
      const double* parameters = action->ReturnDistributionParameters();
      if (parameters == nullptr) {
        std::cerr << "Error: deterministic action " << action->ActionName
                  << " gives no delay (ReturnDistributionParameters is null)" << std::endl;
        std::exit(1);
      }
      DetLists.insertEnablingState(CurrentStateNumber, parameters[0]);
    } else {
      value = action->Rate() * value;
      if (!IsRate(value)) [[unlikely]]
        BadRate(action, group);
    }

    if (TraceLevel >= 1)
      Trace->printFireAction(action, 0.0);
    FireOnly(action);
    InstantDepth = 0;
    if constexpr (Impulses) {
      StartChainImpulses(action, false);
      FollowChain<false, true>(value, 1.0, DeterministicChain);
    } else {
      FireInstantDet(value, 1.0);
    }
  }
  ResolveSuccessors<Impulses>(DeterministicChain);
}

template void StateSpaceGen::FindNextDeterministic<false>(char*);
template void StateSpaceGen::FindNextDeterministic<true>(char*);
