#include "ssg/StateSpaceGen.h"

#include <cassert>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iostream>
#include <string>

#include "model/BaseActionClass.h"
#include "model/BaseGroupClass.h"
#include "model/StandardErrors.h"
#include "reward/PVModel.h"
#include "ssg/HybridHash.h"
#include "ssg/Queue.h"
#include "ssg/ResultsDB.h"
#include "ssg/Reward.h"
#include "trace/TraceFileContainer.h"
#include "trace/TraceFileTarvekSSG.h"

void (StateSpaceGen::*FindNext)(char*) = nullptr;

namespace {

// Table parameters of the generator: initial size, vectors per block, chunk
// parameter, blocks.
constexpr unsigned long InitialTableSize = 4325341;
constexpr unsigned long VectorsPerBlock = 100000;
constexpr unsigned long ChunkParameter = 5;
constexpr unsigned long NumBlocks = 128;

// Bits of MethodFlags.
constexpr unsigned int ExponentialOrInstant = 1;
constexpr unsigned int Deterministic = 2;
constexpr unsigned int Erlang = 4;
constexpr unsigned int Unsupported = 0xF000;

// The .arm header is reserved as the type line, 63 blanks and a line end,
// and filled in when the number of states is known.
constexpr int ArmHeaderBlanks = 63;

} // namespace

StateSpaceGen::StateSpaceGen(PVModel* model, char const* path, char const* name, short absorbFlag,
                             double hashValue, char const* dbHost, char const* /*dbEntity*/,
                             char const* traceFileName)
    : CurrentStateNumber(0), NumTimedActions(0), StateCounter(0), StateSize(0), NumErlangActions(0),
      ResultsDatabase(nullptr), MethodFlags(0), Model(model), RewardWriter(nullptr),
      StateQueue(nullptr), StateTable(nullptr), InstantActions(nullptr), TimedActions(nullptr),
      ErlangActions(nullptr), ActionArray(nullptr), GroupArray(nullptr), NewStateRecord(nullptr),
      LastRate(0.0), NextState(nullptr), ExperimentPath(path), ExperimentName(name),
      AbsorbFlag(absorbFlag), FileType(1),
      TraceFileName(traceFileName ? strdup(traceFileName) : nullptr), Trace(nullptr),
      TraceOutput(nullptr), TraceLevel(0), InstantDepth(0), NumInstantActions(0),
      HashValue(hashValue) {
  if (dbHost != nullptr)
    ResultsDatabase = new ResultsDB(dbHost, -1, nullptr, nullptr, nullptr);

  Model->ConsiderOnly(nullptr, -1);
  Model->listActions(&ActionList);
  ActionArray = ActionList.getList();

  StateSize = static_cast<unsigned int>(Model->StateSize());
  if (StateSize == 0) {
    std::cout << "The model is empty, i.e., does not have any state variables." << std::endl;
    std::exit(1);
  }

  int numActions = Model->numActions;
  Model->listGroups(&GroupList);
  GroupArray = GroupList.getList();

  StateTable = new HybridHash(Model, StateSize, InitialTableSize, VectorsPerBlock, ChunkParameter,
                              NumBlocks, HashValue);
  StateQueue = new Queue(StateSize);
  ClassifyActions(numActions);

  // Working buffers of the exploration, allocated once.
  ExploredState.assign(StateSize, 0);
  DepthStates.assign(size_t(MAX_INSTANT_DEPTH + 3) * StateSize, 0);
  DepthActions.assign(size_t(MAX_INSTANT_DEPTH + 2) * NumInstantActions, nullptr);

  // The initial state is state 1.
  state_struct initial;
  initial.state = ExploredState.data();
  StateCounter = 1;
  Model->CurrentState(initial.state);
  initial.number = 1;
  StateQueue->Enqueue(&initial);
  StateTable->Insert(initial.state, 1);
  Model->SetState(initial.state);
}

void StateSpaceGen::ClassifyActions(int numActions) {
  int count = std::min(numActions, ActionList.getNumItems());
  NumInstantActions = NumTimedActions = NumErlangActions = 0;
  MethodFlags = 0;
  for (int i = 0; i < count; i++) {
    int distribution = ActionArray[i]->DistributionType;
    if (distribution == INSTANTANEOUS) {
      NumInstantActions++;
      MethodFlags |= ExponentialOrInstant;
      continue;
    }
    NumTimedActions++;
    if (distribution == EXPONENTIAL) {
      MethodFlags |= ExponentialOrInstant;
    } else if (distribution == DETERMINISTIC) {
      MethodFlags |= Deterministic;
    } else if (distribution == ERLANG) {
      MethodFlags |= Erlang;
      NumErlangActions++;
    } else {
      MethodFlags = Unsupported;
    }
  }

  InstantActions = new BaseActionClass*[NumInstantActions];
  TimedActions = new BaseActionClass*[NumTimedActions];
  ErlangActions = new BaseActionClass*[NumErlangActions];
  unsigned int instant = 0, timed = 0, erlang = 0;
  for (int i = 0; i < count; i++) {
    BaseActionClass* action = ActionArray[i];
    if (action->DistributionType == INSTANTANEOUS) {
      InstantActions[instant++] = action;
      continue;
    }
    TimedActions[timed++] = action;
    if (action->DistributionType == ERLANG)
      ErlangActions[erlang++] = action;
  }
}

StateSpaceGen::~StateSpaceGen() {
  delete StateTable;
  delete StateQueue;
  delete[] InstantActions;
  delete[] TimedActions;
  delete[] ErlangActions;
  free(TraceFileName);
  delete RewardWriter;
  ReleaseWorkBuffers();
  delete Trace;
  delete TraceOutput;
  delete ResultsDatabase;
}

void StateSpaceGen::InitializeTrace() {
  delete Trace;
  delete TraceOutput;
  Trace = new TraceFileContainer();
  Trace->setTraceLevel(TraceLevel);
  if (TraceFileName != nullptr)
    TraceOutput = new TraceFileTarvekSSG(TraceFileName);
  else
    TraceOutput = new TraceFileTarvekSSG(&std::cout);
  TraceOutput->setTraceLevel(TraceLevel);
  Trace->AddTraceFile(TraceOutput);
  Trace->addPVModel(Model);
}

void StateSpaceGen::GenStateSpace() {
  if (Trace == nullptr)
    InitializeTrace();
  FileType = 1;
  std::clock_t start = std::clock();
  SetMethodPointers();

  if (CurrentStateNumber == 0)
    CurrentStateNumber = 1;
  unsigned int n = CurrentStateNumber;
  PrintProgress(n);
  Trace->printf(1, "Generated: %d states", n);
  std::cout << "Generated: " << n << " states" << std::endl;
  if (ResultsDatabase != nullptr && !ResultsDatabase->writeSSGExperInfo(ExperimentName, n))
    std::cout << "Error writing ssg experiment info" << std::endl;

  double seconds = double(std::clock() - start) / CLOCKS_PER_SEC;
  seconds = std::floor(seconds * 100000 + 0.5) / 100000;
  Trace->printf(1, "Computation time (user + system): %f", seconds);
  std::cout << "Computation Time (user + system): " << seconds << " seconds" << std::endl;
}

void StateSpaceGen::UnsupportedDistribution() {
  std::cout << "Error:  Can not generate state space with Current Action"
            << " Distribution Type" << std::endl;
  std::exit(1);
}

void StateSpaceGen::SetMethodPointers() {
  std::string base = std::string(ExperimentPath) + ExperimentName;
  std::string arm = base + ".arm";
  std::string var = base + ".var";
  std::string pvtype = base + ".pvtype";
  std::string det = base + ".det";

  Model->WritePVTypeFile(pvtype.data());

  if (Model->numActions <= 0) {
    FindNext = &StateSpaceGen::FindNextNormal;
    GenStateSpaceNormal(arm.data(), var.data());
    return;
  }
  switch (MethodFlags) {
  case 1:
  case 4:
  case 5:
    FindNext = &StateSpaceGen::FindNextNormal;
    if (NumInstantActions > 0) {
      // The model is still in its initial state.
      for (unsigned int i = 0; i < NumInstantActions; i++) {
        if (InstantActions[i]->Enabled()) {
          std::cout << "Error: The initial state is not stable, i.e., at least"
                    << " one instantaneous action is enabled in that state." << std::endl;
          std::exit(1);
        }
      }
      FindNext = &StateSpaceGen::FindNextInstant;
    }
    GenStateSpaceNormal(arm.data(), var.data());
    break;
  case 2:
  case 3:
    FindNext = &StateSpaceGen::FindNextInstant;
    GenStateSpaceDeterministic(arm.data(), var.data(), det.data());
    break;
  default: // unsupported distributions, or deterministic with Erlang actions
    UnsupportedDistribution();
  }
}

void StateSpaceGen::AllocateWorkBuffers() {
  ReleaseWorkBuffers();
  NewStateRecord = new state_struct;
  NewStateRecord->state = new char[StateSize]();
  NewStateRecord->number = 0;
  NextState = new char[StateSize]();
}

void StateSpaceGen::ReleaseWorkBuffers() {
  if (NewStateRecord != nullptr) {
    delete[] NewStateRecord->state;
    delete NewStateRecord;
    NewStateRecord = nullptr;
  }
  delete[] NextState;
  NextState = nullptr;
}

void StateSpaceGen::StartRewardFile(char* varFile) {
  RewardWriter = new Reward(Model, FileType, varFile);
  // The placeholder firing sets the variables' values in the initial state.
  Model->FireAction(NextState, &Model->NoActionFired);
  RewardWriter->Calculate(StateCounter);
}

void StateSpaceGen::FinishRewardFile() {
  RewardWriter->Close();
  delete RewardWriter;
  RewardWriter = nullptr;
}

void StateSpaceGen::PrintProgress(unsigned int n) {
  std::cout << "_$" << n << "$" << std::endl;
}

void StateSpaceGen::WriteTransitions() {
  for (const auto& [target, rate] : Transitions) {
    ArmFile.putUnsignedLine(target);
    ArmFile.putScientific(rate);
    ArmFile.putChar('\n');
  }
  Transitions.clear();
  ArmFile.putText("0\n");
}

void StateSpaceGen::GenStateSpaceNormal(char* armFile, char* varFile) {
  AllocateWorkBuffers();
  ArmFile.openOrExit(armFile, "Error: Could not open state space output file");
  std::cout << std::scientific;
  StartRewardFile(varFile);

  ArmFile.putSigned(FileType);
  ArmFile.putChar('\n');
  ArmFile.putText(std::string(ArmHeaderBlanks, ' '));
  ArmFile.putChar('\n');

  // States are numbered in the order found and explored in that order, so the
  // queue yields increasing numbers and every record follows the previous one.
  unsigned long explored = 0;
  while (state_struct* record = StateQueue->Dequeue()) {
    CurrentStateNumber = record->number;
    if (CurrentStateNumber == 0)
      continue;
    if (TraceLevel >= 1)
      Trace->printf(1, "State Number = %d", CurrentStateNumber);
    (this->*FindNext)(record->state);

    ArmFile.putUnsignedLine(CurrentStateNumber);
    if (CurrentStateNumber % 1000 == 0)
      PrintProgress(CurrentStateNumber);
    if (AbsorbFlag == 1 && Transitions.empty()) {
      Trace->printStr(1, "The following state is absorbing: ");
      std::cout << "absorbing state" << std::endl;
      Trace->printState();
    }
    WriteTransitions();
    explored++;
  }

  ArmFile.rewind();
  ArmFile.putSigned(FileType);
  ArmFile.putChar('\n');
  ArmFile.putUnsignedLine(explored);
  ArmFile.close();

  StateTable->ReleaseTable();
  FinishRewardFile();
  ReleaseWorkBuffers();
}

void StateSpaceGen::FindNextNormal(char* state) {
  char* explored = ExploredState.data();
  std::memcpy(explored, state, StateSize);
  Model->SetState(explored);
  for (unsigned int i = 0; i < NumTimedActions; i++) {
    BaseActionClass* action = TimedActions[i];
    if (TraceLevel >= 4)
      Trace->printf(4, "Checking Action: %s", action->ActionName);
    if (FireAction(action, explored)) {
      SaveStableState(LastRate, static_cast<int>(StateTable->Lookup(NextState)));
      Model->SetState(explored);
    }
  }
}

bool StateSpaceGen::FireAction(BaseActionClass* action, char* state) {
  if (!action->Enabled())
    return false;
  if (TraceLevel >= 1)
    Trace->printFireAction(action, 0.0);

  BaseGroupClass* group = GroupOf(action);
  if (action->DistributionType == ERLANG && !action->ReadyToFire()) {
    // An Erlang phase that is not the last: the action ages instead of firing.
    Model->AgeAction(state, action);
    if (group->NumMembers <= 0) {
      action->Age();
      LastRate = action->Rate();
    } else {
      for (int i = 0; i < group->NumMembers; i++)
        group->Members[i]->Age();
      LastRate = action->Rate() / group->NumMembers;
    }
  } else {
    LastRate = action->Rate() * group->Probability(action);
    Model->FireAction(NextState, action);
    // FireAction has written the state reached; only an Erlang reset could
    // change it after that.
    if (NumErlangActions == 0)
      return true;
    for (unsigned int i = 0; i < NumErlangActions; i++) {
      if (!ErlangActions[i]->Enabled())
        ErlangActions[i]->ResetPhase();
    }
  }
  Model->CurrentState(NextState);
  return true;
}

void StateSpaceGen::FindNextInstant(char* state) {
  char* explored = ExploredState.data();
  std::memcpy(explored, state, StateSize);
  Model->SetState(explored);
  for (unsigned int i = 0; i < NumTimedActions; i++) {
    BaseActionClass* action = TimedActions[i];
    if (TraceLevel >= 4)
      Trace->printf(4, "Checking Action: %s", action->ActionName);
    if (FireAction(action, explored)) {
      InstantDepth = 0;
      FireInstant(1.0);
    }
    Model->SetState(explored);
  }
}

void StateSpaceGen::FireInstant(double p) {
  if (InstantDepth > MAX_INSTANT_DEPTH) {
    std::cerr << "Error:  Maximum number of zero time transition recursive "
              << "firings exceeded"
              << "(" << MAX_INSTANT_DEPTH << ")\nPossible undetermined model." << std::endl;
    std::cerr << "Please check the model and try again" << std::endl;
    std::exit(1);
  }
  BaseActionClass** enabled;
  const unsigned int numEnabled = EnabledInstantActions(enabled);

  if (numEnabled == 0) {
    // A stable state: the end of this chain.
    SaveStableState(LastRate * p, static_cast<int>(StateTable->Lookup(NextState)));
    return;
  }

  if (numEnabled == 1) {
    BaseActionClass* action = enabled[0];
    if (TraceLevel >= 1)
      Trace->printFireAction(action, 0.0);
    Model->FireAction(NextState, action);
    InstantDepth++;
    FireInstant(p);
    InstantDepth--;
    return;
  }

  // Several: only the highest rank competes, each in proportion to its weight.
  const unsigned int numCandidates = KeepHighestRank(enabled, numEnabled);
  double totalWeight = 0.0;
  for (unsigned int i = 0; i < numCandidates; i++)
    totalWeight += enabled[i]->Weight();

  char* saved = DepthState(InstantDepth);
  Model->CurrentState(saved);
  for (unsigned int i = 0; i < numCandidates; i++) {
    BaseActionClass* action = enabled[i];
    double weight = action->Weight();
    if (TraceLevel >= 1)
      Trace->printFireAction(action, 0.0);
    Model->FireAction(NextState, action);
    InstantDepth++;
    FireInstant((weight / totalWeight) * p);
    InstantDepth--;
    Model->SetState(saved);
  }
}

BaseGroupClass* StateSpaceGen::GroupOf(BaseActionClass* action) {
  assert(action->GroupID >= 0 && action->GroupID < GroupList.getNumItems() &&
         "an action's GroupID indexes its model's groups");
  return GroupArray[action->GroupID];
}

unsigned int StateSpaceGen::EnabledInstantActions(BaseActionClass**& enabled) {
  char* scratch = ScratchState();
  Model->CurrentState(scratch);
  Model->SetState(scratch);

  enabled = DepthActions.data() + size_t(InstantDepth) * NumInstantActions;
  unsigned int numEnabled = 0;
  for (unsigned int i = 0; i < NumInstantActions; i++) {
    if (InstantActions[i]->Enabled())
      enabled[numEnabled++] = InstantActions[i];
  }
  return numEnabled;
}

unsigned int StateSpaceGen::KeepHighestRank(BaseActionClass** actions, unsigned int n) {
  int rank = 0;
  for (unsigned int i = 0; i < n; i++)
    rank = std::max(rank, actions[i]->Rank());
  unsigned int kept = 0;
  for (unsigned int i = 0; i < n; i++) {
    if (actions[i]->Rank() == rank)
      actions[kept++] = actions[i];
  }
  return kept;
}

void StateSpaceGen::SaveStableState(double rate, int number) {
  if (TraceLevel >= 4)
    Trace->printf(4, "The rate to this state: %f", rate);
  if (!(rate > 0)) // zero, negative and undefined rates are dropped
    return;
  if (number >= 0)
    Transitions.add(static_cast<unsigned int>(number), rate);
  else
    Transitions.add(NumberNewState(), rate);
}

unsigned int StateSpaceGen::NumberNewState() {
  StateCounter++;
  std::memcpy(NewStateRecord->state, NextState, StateSize);
  NewStateRecord->number = StateCounter;
  StateQueue->Enqueue(NewStateRecord);
  StateTable->Insert(NextState, StateCounter);
  RewardWriter->Calculate(StateCounter);
  return StateCounter;
}

void StateSpaceGen::printstate(char* state, int size) {
  std::cout << "STATEVECTOR=" << std::endl;
  for (int i = 0; i < size; i++) {
    std::cout << static_cast<int>(state[i]) << " ";
    if ((i + 1) % 20 == 0)
      std::cout << std::endl;
  }
  std::cout << std::endl;
}
