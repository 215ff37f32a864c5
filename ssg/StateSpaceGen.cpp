#include "ssg/StateSpaceGen.h"

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iostream>
#include <limits>
#include <string>
#include <unistd.h>
#include <utility>

#include "database/ResultsDB.h"
#include "model/ActivityLinks.h"
#include "model/BaseActionClass.h"
#include "model/BaseGroupClass.h"
#include "model/SANModel.h"
#include "model/StandardErrors.h"
#include "reward/PVModel.h"
#include "reward/PerformanceVariableNode.h"
#include "ssg/DiskSpaceWatch.h"
#include "ssg/DistributedGen.h"
#include "ssg/ExactRewardFile.h"
#include "ssg/HybridHash.h"
#include "ssg/ImpulseFile.h"
#include "ssg/OutOfMemory.h"
#include "ssg/OutputThread.h"
#include "ssg/ProgressReport.h"
#include "ssg/Reward.h"
#include "ssg/StaWriter.h"
#include "ssg/StateColumns.h"
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

} // namespace

// The normal method reserves 63 blanks for the state count, the
// deterministic one 8 (the layout its solver reads); a longer count is still
// written whole (FinishArmFile).
const StateSpaceGen::ExplorationRules StateSpaceGen::NormalExploration = {
    63, &StateSpaceGen::ReportAbsorbingNormal};
const StateSpaceGen::ExplorationRules StateSpaceGen::DeterministicExploration = {
    8, &StateSpaceGen::ReportAbsorbingDeterministic};

const StateSpaceGen::ChainRules StateSpaceGen::NormalChain = {
    false, "Error:  Maximum number of zero time transition recursive firings exceeded",
    "Possible undetermined model."};
const StateSpaceGen::ChainRules StateSpaceGen::DeterministicChain = {
    true, "Error:  Maximum number of zero time transition firings exceeded",
    "Possible undetermined model"};

StateSpaceGen::StateSpaceGen(PVModel* model, char const* path, char const* name, short absorbFlag,
                             double hashValue, char const* dbHost, char const* /*dbEntity*/,
                             char const* traceFileName)
    : CurrentStateNumber(0), NumTimedActions(0), StateCounter(0), StateSize(0), NumErlangActions(0),
      StoredStateSize(0), ResultsDatabase(nullptr), MethodFlags(0), Model(model),
      RewardWriter(nullptr), StateTable(nullptr), InstantActions(nullptr), TimedActions(nullptr),
      ErlangActions(nullptr), ActionArray(nullptr), GroupArray(nullptr), NextState(nullptr),
      ExperimentPath(path), ExperimentName(name), AbsorbFlag(absorbFlag), FileType(1),
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

  ClassifyActions(numActions);
  CheckGroupsAndLinks();
  // A state as stored: the model's vector, then a 16-bit phase per Erlang
  // action. The model's CompareState knows its own vector only; a SAN
  // model's is byte equality, so states with phases are compared byte by
  // byte, phases included.
  StoredStateSize = StateSize + NumErlangActions * unsigned(sizeof(short));
  StateTable =
      new HybridHash(NumErlangActions == 0 ? Model : nullptr, StoredStateSize, InitialTableSize,
                     VectorsPerBlock, ChunkParameter, NumBlocks, HashValue);

  // Working buffers of the exploration, allocated once.
  ExploredState.assign(StoredStateSize, 0);
  DepthStates.assign(size_t(MAX_INSTANT_DEPTH + 2) * StoredStateSize, 0);
  DepthActions.assign(size_t(MAX_INSTANT_DEPTH + 2) * NumInstantActions, nullptr);

  // The initial state is state 1, every Erlang action in phase 1.
  char* initial = ExploredState.data();
  StateCounter = 1;
  for (unsigned int i = 0; i < NumErlangActions; i++)
    ErlangActions[i]->ResetPhase();
  StoreState(initial);
  StateTable->Insert(initial, 1);
  LoadState(initial);
}

void StateSpaceGen::LoadState(char* state) {
  Model->SetState(state);
  if (NumErlangActions != 0)
    LoadPhases(state + StateSize);
}

void StateSpaceGen::StoreState(char* state) {
  Model->CurrentState(state);
  if (NumErlangActions != 0)
    StorePhases(state + StateSize);
}

void StateSpaceGen::LoadPhases(const char* phases) {
  for (unsigned int i = 0; i < NumErlangActions; i++)
    std::memcpy(&ErlangActions[i]->Phase, phases + i * sizeof(short), sizeof(short));
}

void StateSpaceGen::StorePhases(char* phases) {
  for (unsigned int i = 0; i < NumErlangActions; i++)
    std::memcpy(phases + i * sizeof(short), &ErlangActions[i]->Phase, sizeof(short));
}

void StateSpaceGen::ResetDisabledPhases() {
  for (unsigned int i = 0; i < NumErlangActions; i++) {
    if (!ErlangActions[i]->Enabled())
      ErlangActions[i]->ResetPhase();
  }
}

void StateSpaceGen::ClassifyActions(int numActions) {
  int count = std::min(numActions, ActionList.getNumItems());
  NumInstantActions = NumTimedActions = NumErlangActions = 0;
  MethodFlags = 0;
  for (int i = 0; i < count; i++) {
    int distribution = ActionArray[i]->DistributionType;
    if (distribution == INSTANTANEOUS) {
      NumInstantActions++;
      MethodFlags |= ExponentialOrInstantFlag;
      continue;
    }
    NumTimedActions++;
    if (distribution == EXPONENTIAL) {
      MethodFlags |= ExponentialOrInstantFlag;
    } else if (distribution == DETERMINISTIC) {
      MethodFlags |= DeterministicFlag;
    } else if (distribution == ERLANG) {
      MethodFlags |= ErlangFlag;
      NumErlangActions++;
    } else {
      MethodFlags = UnsupportedFlags;
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
  delete[] InstantActions;
  delete[] TimedActions;
  delete[] ErlangActions;
  free(TraceFileName);
  delete RewardWriter;
  delete ExactRewards;
  delete ImpulseRecords;
  delete MarkingWriter;
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
  Trace->printf(1, "Generated: %u states", n);
  std::cout << "Generated: " << n << " states" << std::endl;
  double seconds = double(std::clock() - start) / CLOCKS_PER_SEC;
  if (ResultsDatabase != nullptr) {
    ResultsDatabase->setRunTotals(TransitionsWritten, seconds);
    if (!ResultsDatabase->writeSSGExperInfo(ExperimentName, n))
      std::cout << "Error writing ssg experiment info" << std::endl;
  }

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
  StatesFileName = base + ".sta";
  RewardsFileName = base + ".rew";
  ImpulsesFileName = base + ".imp";

  // In a distributed run only the writer worker writes (or removes) files.
  const bool writer = Distributed == nullptr || Distributed->writer();
  if (Distributed != nullptr)
    Distributed->RefuseUnsupported(Model->numActions > 0 &&
                                   (MethodFlags & DeterministicFlag) != 0 &&
                                   (MethodFlags & (ErlangFlag | UnsupportedFlags)) == 0);
  if (writer)
    Model->WritePVTypeFile(pvtype.data());
  FilesWritten = {pvtype, arm, var, RewardsFileName};
  const bool impulses = Model->HasImpulseRewards();
  if (impulses)
    FilesWritten.push_back(ImpulsesFileName);
  if (WriteStates)
    FilesWritten.push_back(StatesFileName);

  if (Model->numActions <= 0) {
    if (writer)
      RemoveEarlierFile(det);
    FindNext =
        impulses ? &StateSpaceGen::FindNextNormal<true> : &StateSpaceGen::FindNextNormal<false>;
    GenerateNormal(arm.data(), var.data());
    return;
  }
  // An unsupported distribution anywhere, or deterministic actions together
  // with Erlang ones, cannot be generated; neither can a model whose actions
  // were not classified (no bit set).
  const bool deterministic = (MethodFlags & DeterministicFlag) != 0;
  const bool erlang = (MethodFlags & ErlangFlag) != 0;
  const bool exponentialOrInstant = (MethodFlags & ExponentialOrInstantFlag) != 0;
  if ((MethodFlags & UnsupportedFlags) != 0 || (deterministic && erlang) ||
      (!deterministic && !erlang && !exponentialOrInstant))
    UnsupportedDistribution();
  // The model is still in its initial state, which must be stable under
  // both methods: the deterministic one never fires an instantaneous
  // activity from an explored state either.
  for (unsigned int i = 0; i < NumInstantActions; i++) {
    if (InstantActions[i]->Enabled()) {
      std::cout << "Error: The initial state is not stable, i.e., at least"
                << " one instantaneous action is enabled in that state." << std::endl;
      std::exit(1);
    }
  }
  if (deterministic) {
    FilesWritten.push_back(det);
    FindNext = impulses ? &StateSpaceGen::FindNextDeterministic<true>
                        : &StateSpaceGen::FindNextDeterministic<false>;
    GenStateSpaceDeterministic(arm.data(), var.data(), det.data());
    return;
  }
  // A .det file of this name belongs to an earlier run of a model with
  // deterministic activities; beside this chain it would make a solver take
  // it for one.
  if (writer)
    RemoveEarlierFile(det);

  if (NumErlangActions > 0)
    FindNext =
        impulses ? &StateSpaceGen::FindNextErlang<true> : &StateSpaceGen::FindNextErlang<false>;
  else if (NumInstantActions > 0)
    FindNext =
        impulses ? &StateSpaceGen::FindNextInstant<true> : &StateSpaceGen::FindNextInstant<false>;
  else
    FindNext =
        impulses ? &StateSpaceGen::FindNextNormal<true> : &StateSpaceGen::FindNextNormal<false>;
  GenerateNormal(arm.data(), var.data());
}

void StateSpaceGen::GenerateNormal(char* armFile, char* varFile) {
  if (Distributed != nullptr)
    Distributed->Generate(armFile, varFile);
  else
    GenStateSpaceNormal(armFile, varFile);
}

void StateSpaceGen::AllocateWorkBuffers() {
  ReleaseWorkBuffers();
  NextState = new char[StoredStateSize]();
}

void StateSpaceGen::ReleaseWorkBuffers() {
  delete[] NextState;
  NextState = nullptr;
}

void StateSpaceGen::StartRewardFile(char* varFile) {
  VarFileName = varFile;
  RewardWriter = new Reward(Model, FileType, varFile);
  ExactRewards = new ExactRewardFile(Model, RewardsFileName.c_str());
  RewardWriter->AlsoWriteExact(ExactRewards);
  if (Model->HasImpulseRewards()) {
    ImpulseRecords = new ImpulseFile(Model->NumPVs, ImpulsesFileName.c_str());
    ImpulseWidth = 2 * std::size_t(Model->NumPVs);
    TransitionImpulses.reset(ImpulseWidth);
    ChainImpulses.assign(size_t(MAX_INSTANT_DEPTH + 2) * ImpulseWidth, 0.0);
    FiringImpulseValues.assign(std::size_t(Model->NumPVs), 0.0);
  } else {
    // An impulse file of this name belongs to another chain.
    RemoveEarlierFile(ImpulsesFileName);
  }
  // The placeholder firing sets the variables' values in the initial state.
  Model->FireAction(NextState, &Model->NoActionFired);
  CheckRewards(StateCounter);
  RewardWriter->Calculate(StateCounter);
}

void StateSpaceGen::FinishRewardFile() {
  RewardWriter->Close();
  delete RewardWriter;
  RewardWriter = nullptr;
}

void StateSpaceGen::FinishExactRewardFiles() {
  // Every record on disk first: a write that fails then ends the run
  // before any trailer is written.
  ArmFile.flush();
  ExactRewards->file().flush();
  if (ImpulseRecords != nullptr)
    ImpulseRecords->file().flush();
  ExactRewards->Finish(StateCounter);
  delete ExactRewards;
  ExactRewards = nullptr;
  if (ImpulseRecords != nullptr) {
    ImpulseRecords->Finish(StateCounter);
    delete ImpulseRecords;
    ImpulseRecords = nullptr;
  }
}

void StateSpaceGen::RemoveEarlierFile(const std::string& fileName) {
  if (::unlink(fileName.c_str()) != 0 && errno != ENOENT)
    std::cerr << "Warning: could not remove " << fileName
              << ", which an earlier run wrote: " << std::strerror(errno) << std::endl;
}

void StateSpaceGen::StartStatesFile() {
  if (!WriteStates) {
    // A marking file of this name describes another run's chain.
    RemoveEarlierFile(StatesFileName);
    return;
  }
  const auto* san = dynamic_cast<const SANModel*>(Model->ChildModel);
  MarkingWriter = new StaWriter(StoredStateColumns(), StatesFileName.c_str(),
                                san != nullptr ? san->Labels() : nullptr);
  MarkingWriter->Write(1, StateTable->StoredState(1));
}

StateColumns StateSpaceGen::StoredStateColumns() {
  StateColumns columns = StateColumns::Of(*Model);
  for (unsigned int i = 0; i < NumErlangActions; i++)
    columns.append(std::string("phase(") + ErlangActions[i]->ActionName + ")",
                   StateColumns::Kind::Int16, sizeof(short));
  assert(columns.stateSize() == StoredStateSize && "the columns cover the stored state");
  return columns;
}

void StateSpaceGen::FinishStatesFile() {
  if (MarkingWriter == nullptr)
    return;
  // The .var file is complete by now: when the .sta file cannot be, the
  // .var is emptied (a complete one holds state 1's record at least), so
  // that no file of the failed run looks finished.
  RecordWriter& file = MarkingWriter->file();
  file.deferFailures(true);
  file.flush();
  if (file.failed()) {
    if (!VarFileName.empty() && ::truncate(VarFileName.c_str(), 0) != 0)
      std::cerr << "Warning: could not empty " << VarFileName << ": " << std::strerror(errno)
                << std::endl;
    file.reportFailure();
  }
  file.deferFailures(false);
  MarkingWriter->Close();
  delete MarkingWriter;
  MarkingWriter = nullptr;
}

void StateSpaceGen::PrintProgress(unsigned int n) {
  std::cout << "_$" << n << "$" << std::endl;
}

void StateSpaceGen::StartArmFile(int width) {
  ArmFile.putSigned(FileType);
  ArmFile.putChar('\n');
  ArmFile.putText(std::string(width, ' '));
  ArmFile.putChar('\n');
}

void StateSpaceGen::FinishArmFile(uint64_t count, int width) {
  // The header reserved: the type line, `width` blanks and a line end. The
  // count is written over its start; a count longer than the blanks moves
  // the records to make room.
  const std::string type = std::to_string(FileType);
  const std::string header = type + "\n" + std::to_string(count) + "\n";
  ArmFile.overwriteStart(header, type.size() + 1 + std::size_t(width) + 1);
  ArmFile.close();
}

void StateSpaceGen::ReportAbsorbingNormal() {
  Trace->printStr(1, "The following state is absorbing: ");
  std::cout << "absorbing state" << std::endl;
  Trace->printState();
}

void StateSpaceGen::ReportAbsorbingDeterministic() {
  std::cout << std::endl << "This following State is absorbing:" << std::endl;
  Model->printState(&std::cout);
}

uint64_t StateSpaceGen::ExploreStates(const ExplorationRules& rules) {
  // Invariant: states are numbered in the order found and explored in that
  // order, so the states still to explore are CurrentStateNumber + 1 ..
  // StateCounter, read from the store; each record follows the previous one.
  // The .arm, .var, .rew (and .sta, .imp) records are formatted and written
  // by the output thread meanwhile.
  OutOfMemory memoryGuard(StateCounter);
  OutputThread output(ArmFile, *RewardWriter, true, MarkingWriter, ImpulseRecords);
  ProgressReport progress(ShowProgress);
  DiskSpaceWatch space(std::string(ExperimentPath) + ExperimentName, MinFreeBytes);
  // Model faults found while firing name the state explored.
  SetFaultState(&CurrentStateNumber);
  uint64_t explored = 0;
  for (uint32_t n = 1; n <= StateCounter; n++) {
    CurrentStateNumber = n;
    if (TraceLevel >= 1)
      Trace->printf(1, "State Number = %u", n);
    (this->*FindNext)(StateTable->StoredState(n));

    if (n % 1000 == 0)
      PrintProgress(n);
    if ((n & 255) == 0 && progress.due())
      progress.report(StateCounter, n);
    space.check(StateCounter);
    if (Transitions.empty()) {
      AbsorbingStates++;
      if (AbsorbFlag == 1)
        (this->*rules.reportAbsorbing)();
    }
    TransitionsWritten += Transitions.size();
    SelfLoopsWritten += Transitions.contains(n) ? 1 : 0;
    output.armRecord(n, Transitions);
    if (ImpulseRecords != nullptr) {
      assert(TransitionImpulses.size() == Transitions.size() &&
             "every .arm entry has its impulses, in the same order");
      output.impulseRecord(n, TransitionImpulses);
      TransitionImpulses.clear();
    }
    Transitions.clear();
    explored++;
  }
  SetFaultState(nullptr);
  progress.finish();
  output.finish();
  return explored;
}

void StateSpaceGen::GenStateSpaceNormal(char* armFile, char* varFile) {
  AllocateWorkBuffers();
  ArmFile.openOrExit(armFile, "Error: Could not open state space output file");
  std::cout << std::scientific;
  StartRewardFile(varFile);
  StartStatesFile();
  StartArmFile(NormalExploration.reservedCountWidth);

  const uint64_t explored = ExploreStates(NormalExploration);

  FinishRewardFile();
  FinishStatesFile();
  FinishExactRewardFiles();
  FinishArmFile(explored, NormalExploration.reservedCountWidth);
  StateTable->ReleaseTable();
  ReleaseWorkBuffers();
}

template <bool Impulses> void StateSpaceGen::FindNextNormal(char* state) {
  char* explored = ExploredState.data();
  std::memcpy(explored, state, StoredStateSize);
  Model->SetState(explored);
  for (unsigned int i = 0; i < NumTimedActions; i++) {
    BaseActionClass* action = TimedActions[i];
    if (TraceLevel >= 4)
      Trace->printf(4, "Checking Action: %s", action->ActionName);
    if (action->Enabled()) {
      const double rate = FireEnabledAction(action, explored);
      if constexpr (Impulses) {
        InstantDepth = 0;
        StartChainImpulses(action, RewardAged);
        NoteSuccessorImpulses(rate);
      }
      AddSuccessor(rate, NormalChain);
      Model->SetState(explored);
    }
  }
  ResolveSuccessors<Impulses>(NormalChain);
}

template void StateSpaceGen::FindNextNormal<false>(char*);
template void StateSpaceGen::FindNextNormal<true>(char*);

std::optional<double> StateSpaceGen::FireAction(BaseActionClass* action, char* state) {
  if (!action->Enabled())
    return std::nullopt;
  return FireEnabledAction(action, state);
}

double StateSpaceGen::FireEnabledAction(BaseActionClass* action, char* state) {
  if (TraceLevel >= 1)
    Trace->printFireAction(action, 0.0);

  BaseGroupClass* group = GroupOf(action);
  if (action->DistributionType == ERLANG && !action->ReadyToFire())
    return AgeErlangAction(action, group, state);

  const double rate = action->Rate() * group->Probability(action);
  if (!IsRate(rate)) [[unlikely]]
    BadRate(action, group);
  FireOnly(action);
  // FireActionOnly has written the model's vector of the state reached;
  // with Erlang actions the phases follow it.
  if (NumErlangActions == 0)
    return rate;
  // The fired action's delay is over: it starts again from phase 1, and so
  // do the members of its group, which aged with it.
  action->ResetPhase();
  for (int i = 0; i < group->NumMembers; i++)
    group->Members[i]->ResetPhase();
  ResetDisabledPhases();
  StorePhases(NextState + StateSize);
  return rate;
}

double StateSpaceGen::AgeErlangAction(BaseActionClass* action, BaseGroupClass* group, char* state) {
  // Phases run 1, 2, ... up to ErlangParamM(), which must therefore be a
  // whole number that a 16-bit phase reaches.
  const double phases = action->ErlangParamM();
  if (!(double(action->Phase) < phases) || action->Phase >= std::numeric_limits<short>::max()) {
    std::cerr << "Error: Erlang action " << action->ActionName << " cannot age past phase "
              << action->Phase << ": its number of phases (ErlangParamM() = " << phases
              << ") must be a whole number from 1 to " << std::numeric_limits<short>::max()
              << ", the same for every member of its group (they age together)" << std::endl;
    EndForModelFault();
  }
  Model->AgeAction(state, action);
  RewardAction = action;
  RewardAged = true;
  NextStateCurrent = true;
  double rate;
  if (group->NumMembers <= 0) {
    action->Age();
    rate = action->Rate();
  } else {
    for (int i = 0; i < group->NumMembers; i++)
      group->Members[i]->Age();
    rate = action->Rate() / group->NumMembers;
  }
  if (!IsRate(rate)) [[unlikely]]
    BadRate(action, nullptr);
  // A member aged with the group that is not enabled stays in phase 1.
  ResetDisabledPhases();
  StoreState(NextState);
  return rate;
}

template <bool Impulses> void StateSpaceGen::FindNextInstant(char* state) {
  char* explored = ExploredState.data();
  std::memcpy(explored, state, StoredStateSize);
  Model->SetState(explored);
  for (unsigned int i = 0; i < NumTimedActions; i++) {
    BaseActionClass* action = TimedActions[i];
    if (TraceLevel >= 4)
      Trace->printf(4, "Checking Action: %s", action->ActionName);
    // An action that did not fire left the model in the explored state.
    if (action->Enabled()) {
      const double rate = FireEnabledAction(action, explored);
      InstantDepth = 0;
      if constexpr (Impulses) {
        StartChainImpulses(action, RewardAged);
        FollowChain<false, true>(rate, 1.0, NormalChain);
      } else {
        FireInstant(rate, 1.0);
      }
      Model->SetState(explored);
    }
  }
  ResolveSuccessors<Impulses>(NormalChain);
}

template void StateSpaceGen::FindNextInstant<false>(char*);
template void StateSpaceGen::FindNextInstant<true>(char*);

template <bool Impulses> void StateSpaceGen::FindNextErlang(char* state) {
  char* explored = ExploredState.data();
  std::memcpy(explored, state, StoredStateSize);
  LoadState(explored);
  for (unsigned int i = 0; i < NumTimedActions; i++) {
    BaseActionClass* action = TimedActions[i];
    if (TraceLevel >= 4)
      Trace->printf(4, "Checking Action: %s", action->ActionName);
    if (action->Enabled()) {
      const double rate = FireEnabledAction(action, explored);
      InstantDepth = 0;
      if constexpr (Impulses)
        StartChainImpulses(action, RewardAged);
      FollowChain<true, Impulses>(rate, 1.0, NormalChain);
      LoadState(explored);
    }
  }
  ResolveSuccessors<Impulses>(NormalChain);
}

template void StateSpaceGen::FindNextErlang<false>(char*);
template void StateSpaceGen::FindNextErlang<true>(char*);

void StateSpaceGen::StartChainImpulses(BaseActionClass* action, bool aged) {
  double* slot = ChainSlot(0);
  if (aged) {
    // An aging step completes nothing.
    std::fill(slot, slot + ImpulseWidth, 0.0);
    return;
  }
  Model->FiringImpulses(action, FiringImpulseValues.data());
  for (std::size_t v = 0; v < FiringImpulseValues.size(); v++) {
    slot[2 * v] = FiringImpulseValues[v];
    slot[2 * v + 1] = FiringImpulseValues[v];
  }
}

void StateSpaceGen::AddChainImpulses(BaseActionClass* action) {
  const double* from = ChainSlot(InstantDepth);
  double* to = ChainSlot(InstantDepth + 1);
  Model->FiringImpulses(action, FiringImpulseValues.data());
  for (std::size_t v = 0; v < FiringImpulseValues.size(); v++) {
    to[2 * v] = from[2 * v] + FiringImpulseValues[v];
    to[2 * v + 1] = FiringImpulseValues[v];
  }
}

void StateSpaceGen::NoteSuccessorImpulses(double value) {
  const std::size_t at = Successors.size() * ImpulseWidth;
  if (SuccessorImpulses.size() < at + ImpulseWidth)
    SuccessorImpulses.resize(2 * (at + ImpulseWidth));
  // The weight of a deterministic firing (a negative value) is its
  // probability.
  const double weight = std::fabs(value);
  const double* chain = ChainSlot(InstantDepth);
  for (std::size_t i = 0; i < ImpulseWidth; i++)
    SuccessorImpulses[at + i] = weight * chain[i];
}

void StateSpaceGen::FireInstant(double rate, double p) {
  FollowChain<false>(rate, p, NormalChain);
}

void StateSpaceGen::FireInstantDet(double rate, double p) {
  FollowChain<false>(rate, p, DeterministicChain);
}

template <bool WithPhases, bool Impulses>
void StateSpaceGen::FollowChain(double rate, double p, const ChainRules& rules) {
  if (InstantDepth > MAX_INSTANT_DEPTH) {
    std::cerr << rules.depthMessage << "(" << MAX_INSTANT_DEPTH << ")\n"
              << rules.depthMessageEnd << std::endl;
    std::cerr << "Please check the model and try again" << std::endl;
    EndForModelFault();
  }
  BaseActionClass** enabled;
  const unsigned int numEnabled = EnabledInstantActions(enabled);

  if (numEnabled == 0) {
    // A stable state: the end of this chain.
    if (!NextStateCurrent) {
      Model->CurrentState(NextState);
      if constexpr (WithPhases)
        StorePhases(NextState + StateSize);
    }
    if constexpr (Impulses)
      NoteSuccessorImpulses(rate * p);
    AddSuccessor(rate * p, rules);
    return;
  }

  if (numEnabled == 1) {
    // Alone, the action fires for sure.
    BaseActionClass* action = enabled[0];
    if (TraceLevel >= 1)
      Trace->printFireAction(action, 0.0);
    FireInstantOnly(action);
    if constexpr (WithPhases)
      ResetDisabledPhases();
    if constexpr (Impulses)
      AddChainImpulses(action);
    InstantDepth++;
    FollowChain<WithPhases, Impulses>(rate, p, rules);
    InstantDepth--;
    return;
  }

  // Several: only the highest rank competes, each by its share of the
  // candidates' total weight.
  const unsigned int numCandidates = KeepHighestRank(enabled, numEnabled);
  double totalWeight = 0.0;
  for (unsigned int i = 0; i < numCandidates; i++) {
    const double weight = enabled[i]->Weight();
    if (!IsRate(weight)) [[unlikely]]
      BadWeight(enabled[i], weight);
    totalWeight += weight;
  }
  if (!(totalWeight > 0.0 && IsRate(totalWeight))) [[unlikely]]
    BadTotalWeight(enabled, numCandidates, totalWeight);

  // The vanishing state each candidate starts from: the model's current
  // state (with the phases).
  char* saved = DepthState(InstantDepth);
  if (NextStateCurrent) {
    std::memcpy(saved, NextState, StoredStateSize);
  } else {
    Model->CurrentState(saved);
    if constexpr (WithPhases)
      StorePhases(saved + StateSize);
  }
  for (unsigned int i = 0; i < numCandidates; i++) {
    BaseActionClass* action = enabled[i];
    const double share = (action->Weight() / totalWeight) * p;
    if (TraceLevel >= 1)
      Trace->printFireAction(action, 0.0);
    FireInstantOnly(action);
    if constexpr (WithPhases)
      ResetDisabledPhases();
    if constexpr (Impulses)
      AddChainImpulses(action);
    InstantDepth++;
    FollowChain<WithPhases, Impulses>(rate, share, rules);
    InstantDepth--;
    Model->SetState(saved);
    if constexpr (WithPhases)
      LoadPhases(saved + StateSize);
  }
}

template void StateSpaceGen::FollowChain<false, false>(double, double, const ChainRules&);
template void StateSpaceGen::FollowChain<false, true>(double, double, const ChainRules&);
template void StateSpaceGen::FollowChain<true, false>(double, double, const ChainRules&);
template void StateSpaceGen::FollowChain<true, true>(double, double, const ChainRules&);

void StateSpaceGen::CheckGroupsAndLinks() {
  const int numGroups = GroupList.getNumItems();
  for (unsigned int i = 0; i < NumInstantActions + NumTimedActions; i++) {
    BaseActionClass* action =
        i < NumInstantActions ? InstantActions[i] : TimedActions[i - NumInstantActions];
    const int id = action->GroupID;
    if (id < 0 || id >= numGroups) {
      std::cerr << "Error: activity " << action->ActionName << " has group id " << id
                << ", but the model's groups are numbered 0 to " << numGroups - 1 << std::endl;
      std::exit(1);
    }
    BaseGroupClass* group = GroupArray[id];
    if (group != action && !group->IsAMember(action)) {
      std::cerr << "Error: activity " << action->ActionName << " has group id " << id
                << ", the id of " << group->ActionName
                << ", which does not hold it (each activity needs the id of its own group; "
                   "two activities were given the same group id?)"
                << std::endl;
      std::exit(1);
    }
  }
  const int numActions = std::min(Model->numActions, ActionList.getNumItems());
  if (BaseActionClass* unlinked = ActivityLinks::FindUnlinked(ActionArray, std::max(numActions, 0),
                                                              GroupArray, numGroups)) {
    std::cerr << "Error: activity " << unlinked->ActionName
              << " was never linked to its places (its model must call its LinkVariables() "
                 "before the state space is generated)"
              << std::endl;
    std::exit(1);
  }
}

void StateSpaceGen::BadRate(BaseActionClass* action, BaseGroupClass* group) {
  // A deterministic action's value is its group's probability alone.
  const double rate = action->Rate();
  std::cerr << "Error: activity " << action->ActionName;
  if (action->DistributionType != DETERMINISTIC && (!IsRate(rate) || group == nullptr))
    std::cerr << " has rate " << rate;
  else
    std::cerr << " is given probability " << group->Probability(action) << " by its group "
              << group->ActionName;
  std::cerr << " in state " << CurrentStateNumber
            << " (a rate must be a finite number, 0 or more; a group's weights must be finite, "
               "0 or more, and not all 0)"
            << std::endl;
  EndForModelFault();
}

void StateSpaceGen::CheckRewards(uint32_t number) {
  for (int i = 0; i < Model->NumPVs; i++)
    if (!std::isfinite(Model->PVList[i]->RewardValue) ||
        !std::isfinite(Model->PVList[i]->ImpulseValue)) [[unlikely]]
      BadReward(i, number);
}

void StateSpaceGen::BadReward(int variable, uint32_t number) {
  const PerformanceVariableNode* pv = Model->PVList[variable];
  const bool rate = !std::isfinite(pv->RewardValue);
  std::cerr << "Error: reward variable " << pv->Name << " has "
            << (rate ? "rate reward " : "impulse reward ")
            << (rate ? pv->RewardValue : pv->ImpulseValue) << " in state " << number << " (marking "
            << StoredStateColumns().describe(NextState) << "); a reward must be a finite number"
            << std::endl;
  EndForModelFault();
}

void StateSpaceGen::TooManyStates() {
  std::cerr << "Error: the chain has more than " << MaxStates << " states (--max-states "
            << MaxStates << ", reached while exploring state " << CurrentStateNumber
            << "); the run stops, its files incomplete" << std::endl;
  EndForModelFault();
}

void StateSpaceGen::BadTotalWeight(BaseActionClass* const* candidates, unsigned int numCandidates,
                                   double totalWeight) {
  std::cerr << "Error: the competing instantaneous activities";
  for (unsigned int i = 0; i < numCandidates; i++)
    std::cerr << (i == 0 ? " " : ", ") << candidates[i]->ActionName;
  std::cerr << " have total weight " << totalWeight << " in a vanishing state reached from state "
            << CurrentStateNumber << " (their weights must add up to a finite number above 0)"
            << std::endl;
  EndForModelFault();
}

void StateSpaceGen::BadWeight(BaseActionClass* action, double weight) {
  std::cerr << "Error: activity " << action->ActionName << " has weight " << weight
            << " in a vanishing state reached from state " << CurrentStateNumber
            << " (a weight must be a finite number, 0 or more)" << std::endl;
  EndForModelFault();
}

BaseGroupClass* StateSpaceGen::GroupOf(BaseActionClass* action) {
  assert(action->GroupID >= 0 && action->GroupID < GroupList.getNumItems() &&
         "an action's GroupID indexes its model's groups");
  return GroupArray[action->GroupID];
}

unsigned int StateSpaceGen::EnabledInstantActions(BaseActionClass**& enabled) {
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

void StateSpaceGen::FireOnly(BaseActionClass* action) {
  Model->FireActionOnly(NextState, action);
  NextStateCurrent = true;
  RewardAction = action;
  RewardAged = false;
}

void StateSpaceGen::FireInstantOnly(BaseActionClass* action) {
  Model->FireActionOnly(nullptr, action);
  NextStateCurrent = false;
  RewardAction = action;
  RewardAged = false;
}

void StateSpaceGen::AddSuccessor(double value, const ChainRules& rules) {
  const uint64_t hash = StateTable->hashOf(NextState);
  const std::size_t count = Successors.size();
  // In a distributed run the successors are looked up by their owners,
  // later: nothing to bring near now.
  if (Distributed == nullptr) [[likely]] {
    StateTable->prefetch(hash);
    // The entry of the successor before has had a firing's time to arrive:
    // its stored vector goes next.
    if (count > 0)
      StateTable->prefetchStored(Successors[count - 1].hash);
  }
  if (SuccessorStates.size() < (count + 1) * StoredStateSize)
    SuccessorStates.resize(2 * (count + 1) * StoredStateSize);
  std::memcpy(SuccessorStates.data() + count * StoredStateSize, NextState, StoredStateSize);
  Successors.push_back({value, hash, RewardAction, RewardAged});
  // The trace of level 4 tells each transition where it is found.
  if (TraceLevel >= 4) {
    if (ImpulseRecords != nullptr)
      ResolveSuccessors<true>(rules);
    else
      ResolveSuccessors<false>(rules);
  }
}

template <bool Impulses> void StateSpaceGen::ResolveSuccessors(const ChainRules& rules) {
  // In a distributed run the successors' owners look them up.
  if (Distributed != nullptr) [[unlikely]] {
    Distributed->CollectSuccessors(Impulses);
    return;
  }
  const std::size_t count = Successors.size();
  if (count > 0)
    StateTable->prefetchStored(Successors[count - 1].hash);
  for (std::size_t i = 0; i < count; i++) {
    const Successor& successor = Successors[i];
    char* state = SuccessorStates.data() + i * StoredStateSize;
    const double value = successor.value;
    const uint32_t number = StateTable->Lookup(state, successor.hash);
    if (number == HybridHash::NotFound &&
        (rules.keepNegative ? value != 0.0 && !std::isnan(value) : value > 0)) {
      // A new state is numbered from NextState, with the reward values of
      // the firing that reached it, given to the variables now.
      std::memcpy(NextState, state, StoredStateSize);
      if (!Model->ConsideredPVs.empty()) {
        Model->SetState(NextState);
        if (successor.aged)
          Model->AgeAction(NextState, successor.rewardAction);
        else
          Model->UpdateRewards(successor.rewardAction);
      }
    }
    if (!rules.keepNegative) {
      if constexpr (Impulses)
        SaveStableImpulses(value, number, SuccessorImpulses.data() + i * ImpulseWidth);
      else
        SaveStableState(value, number);
      continue;
    }
    if (TraceLevel >= 4)
      Trace->printf(4, "The rate to this state: %f", value);
    if (value == 0.0 || std::isnan(value))
      continue;
    const uint32_t target = number != HybridHash::NotFound ? number : NumberNewState();
    Transitions.add(target, value);
    if constexpr (Impulses)
      TransitionImpulses.add(target, SuccessorImpulses.data() + i * ImpulseWidth);
  }
  Successors.clear();
}

template void StateSpaceGen::ResolveSuccessors<false>(const ChainRules&);
template void StateSpaceGen::ResolveSuccessors<true>(const ChainRules&);

void StateSpaceGen::SaveStableState(double rate, uint32_t number) {
  if (TraceLevel >= 4)
    Trace->printf(4, "The rate to this state: %f", rate);
  if (!(rate > 0)) // zero, negative and undefined rates are dropped
    return;
  Transitions.add(number != HybridHash::NotFound ? number : NumberNewState(), rate);
}

void StateSpaceGen::SaveStableImpulses(double rate, uint32_t number, const double* impulses) {
  if (TraceLevel >= 4)
    Trace->printf(4, "The rate to this state: %f", rate);
  if (!(rate > 0)) // zero, negative and undefined rates are dropped
    return;
  const uint32_t target = number != HybridHash::NotFound ? number : NumberNewState();
  Transitions.add(target, rate);
  TransitionImpulses.add(target, impulses);
}

uint32_t StateSpaceGen::NumberNewState() {
  // The state table refuses numbers beyond 32 bits before StateCounter
  // could wrap.
  if (StateCounter == MaxStates) [[unlikely]]
    TooManyStates();
  StateTable->Insert(NextState, uint64_t(StateCounter) + 1);
  StateCounter++;
  CheckRewards(StateCounter);
  RewardWriter->Calculate(StateCounter);
  if (MarkingWriter != nullptr)
    WriteMarking();
  return StateCounter;
}

void StateSpaceGen::WriteMarking() {
  MarkingWriter->Write(StateCounter, NextState);
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
