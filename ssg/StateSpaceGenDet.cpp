// Generation of models with deterministic activities.
//
// Exploration is the breadth-first loop of normal generation with three
// differences:
// - a deterministic firing is written to the .arm file as minus the
//   probability that its group gives it (the solver reads a negative entry as
//   a deterministic transition), not as a rate;
// - every explored state in which a deterministic activity is enabled is
//   recorded with the activity's delay in DetLists, written to the .det file
//   at the end;
// - instantaneous chains are followed by FireInstantDet, which weighs each
//   firing by its group probability and keeps negative values.

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>

#include "model/BaseActionClass.h"
#include "model/BaseGroupClass.h"
#include "reward/PVModel.h"
#include "ssg/HybridHash.h"
#include "ssg/Queue.h"
#include "ssg/StateSpaceGen.h"
#include "trace/TraceFileContainer.h"

namespace {

// The .arm header of this method reserves 8 characters for the state count
// (the solver's layout); a longer count is refused below rather than written
// over the first record.
constexpr int CountWidth = 8;

int DecimalDigits(uint64_t n) {
  int digits = 1;
  while (n >= 10) {
    n /= 10;
    digits++;
  }
  return digits;
}

constexpr uint32_t NotFound = 0xFFFFFFFF;

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

  const int countWidth = CountWidth;
  ArmFile.putSigned(FileType);
  ArmFile.putChar('\n');
  ArmFile.putText(std::string(countWidth, ' '));
  ArmFile.putChar('\n');

  // States are numbered in the order found and explored in that order; each
  // explored state's record lists its summed transitions in target order.
  unsigned long explored = 0;
  while (state_struct* record = StateQueue->Dequeue()) {
    if (TraceLevel >= 1)
      Trace->printf(1, "State Number = %d", record->number);
    CurrentStateNumber = record->number;
    if (CurrentStateNumber == 0)
      continue;
    FindNextDeterministic(record->state);

    ArmFile.putUnsignedLine(CurrentStateNumber);
    if (CurrentStateNumber % 1000 == 0)
      PrintProgress(CurrentStateNumber);
    if (AbsorbFlag == 1 && Transitions.empty()) {
      std::cout << std::endl << "This following State is absorbing:" << std::endl;
      Model->printState(&std::cout);
    }
    WriteTransitions();
    explored++;
  }

  if (DecimalDigits(explored) > countWidth) {
    std::cerr << "Error: " << explored << " states do not fit the " << countWidth
              << "-character state count of " << armName << std::endl;
    std::exit(1);
  }
  ArmFile.rewind();
  ArmFile.putSigned(FileType);
  ArmFile.putChar('\n');
  ArmFile.putUnsignedLine(explored);
  ArmFile.close();

  StateTable->ReleaseTable();

  const bool binary = FileType == 2 || FileType == 4 || FileType == 6;
  errno = 0;
  DetLists.writeEnablingStates(det, binary ? BINARY_FILE : TEXT_FILE);
  det.flush();
  CheckDetStream(det, detName);
  det.close();
  CheckDetStream(det, detName);

  FinishRewardFile();
  ReleaseWorkBuffers();
}

void StateSpaceGen::FindNextDeterministic(char* state) {
  char* explored = ExploredState.data();
  std::memcpy(explored, state, StateSize);
  Model->SetState(explored);
  for (unsigned int i = 0; i < NumTimedActions; i++) {
    BaseActionClass* action = TimedActions[i];
    // Each action starts from the explored state.
    Model->SetState(explored);
    if (!action->Enabled())
      continue;

    LastRate = GroupOf(action)->Probability(action);
    if (TraceLevel >= 1)
      Trace->printf(1, "Enabled: %s", action->ActionName);

    if (action->DistributionType == DETERMINISTIC) {
      LastRate = -LastRate;
      const double* parameters = action->ReturnDistributionParameters();
      if (parameters == nullptr) {
        std::cerr << "Error: deterministic action " << action->ActionName
                  << " gives no delay (ReturnDistributionParameters is null)" << std::endl;
        std::exit(1);
      }
      const uint32_t number = StateTable->Lookup(explored);
      assert(number != NotFound && "the explored state is in the state table");
      DetLists.insertEnablingState(static_cast<int>(number), parameters[0]);
    } else {
      LastRate = action->Rate() * LastRate;
    }

    if (TraceLevel >= 1)
      Trace->printFireAction(action, 0.0);
    Model->FireAction(NextState, action);
    InstantDepth = 0;
    FireInstantDet(1.0);
  }
}

void StateSpaceGen::FireInstantDet(double p) {
  if (InstantDepth > MAX_INSTANT_DEPTH) {
    std::cerr << "Error:  Maximum number of zero time transition firings exceeded"
              << "(" << MAX_INSTANT_DEPTH << ")\nPossible undetermined model" << std::endl;
    std::cerr << "Please check the model and try again" << std::endl;
    std::exit(1);
  }
  BaseActionClass** enabled;
  const unsigned int numEnabled = EnabledInstantActions(enabled);

  if (numEnabled == 0) {
    // A stable state: the end of this path. Negative values (deterministic
    // firings) are kept; only a zero or undefined value records nothing.
    const uint32_t number = StateTable->Lookup(NextState);
    const double value = p * LastRate;
    if (TraceLevel >= 4)
      Trace->printf(4, "The rate to this state: %f", value);
    if (value == 0.0 || std::isnan(value))
      return;
    Transitions.add(number != NotFound ? number : NumberNewState(), value);
    return;
  }

  if (numEnabled == 1) {
    BaseActionClass* action = enabled[0];
    const double q = GroupOf(action)->Probability(action);
    if (TraceLevel >= 1)
      Trace->printFireAction(action, 0.0);
    Model->FireAction(NextState, action);
    InstantDepth++;
    FireInstantDet(p * q);
    InstantDepth--;
    return;
  }

  // Several: only the highest rank (at least 0) fires, each candidate
  // weighted by the probability its group gives it.
  const unsigned int numCandidates = KeepHighestRank(enabled, numEnabled);

  char* saved = DepthState(InstantDepth);
  Model->CurrentState(saved);
  for (unsigned int i = 0; i < numCandidates; i++) {
    BaseActionClass* action = enabled[i];
    const double q = GroupOf(action)->Probability(action);
    if (TraceLevel >= 1)
      Trace->printFireAction(action, 0.0);
    Model->FireAction(NextState, action);
    InstantDepth++;
    FireInstantDet(p * q);
    InstantDepth--;
    Model->SetState(saved);
  }
}
