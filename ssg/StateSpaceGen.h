#ifndef SSG_STATESPACEGEN_H
#define SSG_STATESPACEGEN_H

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "model/List.h"
#include "ssg/DeterministicList.h"
#include "ssg/DiskSpaceWatch.h"
#include "ssg/ImpulseMap.h"
#include "ssg/RecordWriter.h"
#include "ssg/TransitionMap.h"

class PVModel;
class BaseActionClass;
class BaseGroupClass;
class Reward;
class ExactRewardFile;
class ImpulseFile;
class StaWriter;
class StateColumns;
class HybridHash;
class ResultsDB;
class TraceFileContainer;
class TraceFileTarvekSSG;
class DistributedGen;

// The state-space generator: turns a reward model into a continuous-time
// Markov chain.
//
// Every reachable stable state is numbered, the initial state as 1, then in
// the order found; states are explored breadth-first in the order of their
// numbers. For each explored state the summed rates of its transitions to
// other states are written to the .arm file; each newly numbered state gets
// its reward record in the .var file. States in which an instantaneous action
// is enabled are never numbered: chains of instantaneous firings are followed
// to the stable states they reach (FindNextInstant / FireInstant). Models
// with deterministic actions are explored by the same loop with the
// successor operation FindNextDeterministic, which records deterministic
// firings as minus their probability and the enabling states in DetLists
// (the .det file).
//
// Erlang actions: a state as numbered and stored (StoredStateSize bytes) is
// the model's state vector followed by the phase of each Erlang action, 16
// bits in host byte order, in the order of ErlangActions; without Erlang
// actions it is the model's vector alone. Such models are explored by
// FindNextErlang. An enabled Erlang action whose phase is not its last ages:
// a transition at its rate (divided among its group's members, which all
// age) to the same marking with the phase advanced. In its last phase it
// fires at its rate times its group's probability; it and its group's
// members start again from phase 1. After every firing, timed or
// instantaneous, and every aging step, each Erlang action not enabled in the
// state reached is set back to phase 1. So in a numbered state every Erlang
// action that is not enabled is in phase 1, and the initial state has every
// phase at 1. The state table compares such states byte by byte, phases
// included (the model's CompareState knows only its own vector; a SAN
// model's is byte equality).
//
// Exact rewards and impulses: every run also writes the .rew file (each
// state's rate rewards as doubles, ExactRewardFile), and a run of a model
// with impulse rewards the .imp file (ImpulseFile): for every .arm entry and
// variable, the weighted impulse of every completion along it (the timed
// activity's and each instantaneous one's after it, each evaluated in the
// marking it leads to) and of the last completion, summed over the firings
// merged into the entry, the weight being the entry's rate share (for a
// deterministic firing its probability). Those impulses are gathered along
// each chain (ChainImpulses, one slot per depth) and kept with the
// successor, then merged beside the rates (TransitionImpulses). The
// successor operations and the chain follower are templates on whether
// impulses are gathered, so that a model without impulse rewards runs the
// loop it ran before, without a test per transition.
//
// Use: construct over the reward model, set FileType and TraceLevel, call
// InitializeTrace(), then GenStateSpace(). One generator per process (the
// successor operation FindNext is process-wide).
//
// The generator owns its state table, action arrays, working buffers and
// trace objects; it refers to the model without owning it. The state table's
// store is also the list of states to explore: states are numbered in the
// order found, so the states not yet explored are the numbers after
// CurrentStateNumber, read from the store in turn. Exploration allocates
// nothing per state or transition beyond the store's and the table's growth:
// the working buffers, the transition map and the per-depth buffers of the
// instantaneous chains are allocated once and reused. Memory per state: the
// state table's (StoredStateSize bytes plus 4 / load factor bytes).
class StateSpaceGen {
  friend class DistributedGen;

public:
  // Longest chain of instantaneous firings after one timed firing; the next
  // one ends the run.
  static constexpr short MAX_INSTANT_DEPTH = 23;

  // Bits of MethodFlags: which distributions the model's actions have.
  static constexpr unsigned int ExponentialOrInstantFlag = 1;
  static constexpr unsigned int DeterministicFlag = 2;
  static constexpr unsigned int ErlangFlag = 4;
  // Set by an unsupported distribution (replacing the bits gathered before).
  static constexpr unsigned int UnsupportedFlags = 0xF000;

  unsigned int CurrentStateNumber;
  TransitionMap Transitions;
  unsigned int NumTimedActions;
  unsigned int StateCounter;
  unsigned int StateSize;
  unsigned int NumErlangActions;
  // Bytes of a state as numbered and stored: StateSize, then 2 per Erlang
  // action (its phase).
  unsigned int StoredStateSize;
  ResultsDB* ResultsDatabase;
  unsigned int MethodFlags;
  PVModel* Model;
  Reward* RewardWriter;
  HybridHash* StateTable;
  BaseActionClass** InstantActions;
  BaseActionClass** TimedActions;
  BaseActionClass** ErlangActions;
  List<BaseActionClass> ActionList;
  BaseActionClass** ActionArray;
  List<BaseGroupClass> GroupList;
  BaseGroupClass** GroupArray;
  DeterministicList DetLists;
  char* NextState;
  char const* ExperimentPath;
  char const* ExperimentName;
  short AbsorbFlag;
  short FileType;
  char* TraceFileName;
  TraceFileContainer* Trace;
  TraceFileTarvekSSG* TraceOutput;
  int TraceLevel;
  short InstantDepth;
  unsigned int NumInstantActions;
  double HashValue;
  // Entries written to the .arm file so far (the results database's count).
  uint64_t TransitionsWritten = 0;
  // Of those, entries from a state to itself, so far.
  uint64_t SelfLoopsWritten = 0;
  // States written with no entry at all (absorbing states), so far.
  uint64_t AbsorbingStates = 0;
  // Set before GenStateSpace, like FileType: also write the state-marking
  // file <path><name>.sta (StaWriter); without it, a .sta of that name left
  // by an earlier run is removed, so that it never describes another chain
  // (and so is a .det file when the model has no deterministic action).
  bool WriteStates = false;
  // Set before GenStateSpace: report progress on standard error at most once
  // a second (ProgressReport).
  bool ShowProgress = false;
  // Set before GenStateSpace: the most states the run may number (0: no
  // limit); one more ends it with status 1 (TooManyStates).
  uint64_t MaxStates = 0;
  // The free bytes the output files' file system must keep (--min-free).
  uint64_t MinFreeBytes = DiskSpaceWatch::DefaultReserveBytes;
  // The files the run wrote (complete once GenStateSpace returns).
  std::vector<std::string> FilesWritten;
  // Set before GenStateSpace in a worker of a distributed run (not owned):
  // the levels are explored by every worker together (DistributedGen),
  // with this generator's successor operations, and only the writer worker
  // writes files.
  DistributedGen* Distributed = nullptr;

  // model, path prefix, experiment name, absorb flag (1: report absorbing
  // states), hash load factor, results database file, database entity (not
  // used), trace file name. Path and name must not be null; the other strings
  // may be. The strings are copied or only read during construction, except
  // path and name, which must outlive the generator. Classifies the actions,
  // and numbers and stores the initial state as state 1.
  StateSpaceGen(PVModel* model, char const* path, char const* name, short absorbFlag,
                double hashValue, char const* dbHost, char const* dbEntity,
                char const* traceFileName);
  virtual ~StateSpaceGen();
  StateSpaceGen(const StateSpaceGen&) = delete;
  StateSpaceGen& operator=(const StateSpaceGen&) = delete;

  // Builds the trace objects; after TraceLevel is set, before GenStateSpace.
  void InitializeTrace();
  // The whole generation, then the summary on standard output.
  void GenStateSpace();
  // Forms the file names, writes the .pvtype file, chooses the generation
  // method from the distributions present and runs it.
  void SetMethodPointers();
  // Breadth-first exploration for models without deterministic actions.
  void GenStateSpaceNormal(char* armFile, char* varFile);
  // GenStateSpaceNormal, or in a distributed run every worker's part of it.
  void GenerateNormal(char* armFile, char* varFile);
  // Exploration of models with deterministic actions; also writes the .det
  // file.
  void GenStateSpaceDeterministic(char* armName, char* varName, char* detName);
  // Has no effect on the hash table once constructed.
  void setHashValue(double hashValue) { HashValue = hashValue; }

  // The successor operations. Impulses: also gather the impulses of every
  // transition for the .imp file (requires the impulse file open, as
  // during a generation run of a model with impulse rewards).
  // Explores one state (its vector) of a model without instantaneous actions.
  template <bool Impulses = false> void FindNextNormal(char* state);
  // Explores one state of a model with instantaneous actions.
  template <bool Impulses = false> void FindNextInstant(char* state);
  // Explores one state of a model with deterministic actions.
  template <bool Impulses = false> void FindNextDeterministic(char* state);
  // Explores one state (marking and phases) of a model with Erlang actions,
  // with or without instantaneous ones.
  template <bool Impulses = false> void FindNextErlang(char* state);
  // Fires a timed action if enabled, from the explored state `state`: the
  // rate of the transition produced (target state in NextState, phases
  // included), or nothing when the action is not enabled. An Erlang action
  // not in its last phase ages instead of firing.
  std::optional<double> FireAction(BaseActionClass* action, char* state);
  // FireAction of an action known to be enabled: the rate. (The
  // exploration loops test Enabled() themselves: a rate returned alone
  // stays in a register.)
  double FireEnabledAction(BaseActionClass* action, char* state);
  // Follows the instantaneous actions enabled in the model's current state
  // to the stable states reached, for a timed firing of the given rate; p is
  // the probability of the chain so far.
  void FireInstant(double rate, double p);
  // The deterministic method's variant of FireInstant (see ChainRules):
  // negative values (deterministic firings) are kept.
  void FireInstantDet(double rate, double p);
  // Records a transition with the given rate to the stable state numbered
  // `number`, or to the new state in NextState when number is
  // HybridHash::NotFound. Rates that are not positive are dropped.
  void SaveStableState(double rate, uint32_t number);

  // Debugging aid: "STATEVECTOR=", then the bytes, 20 per line.
  void printstate(char* state, int size);

protected:
  // Writers shared by the generation methods.
  RecordWriter ArmFile;
  // The .sta writer while WriteStates holds, during generation.
  StaWriter* MarkingWriter = nullptr;
  std::string StatesFileName;
  // The .rew writer during generation; the .imp writer during the
  // generation of a model with impulse rewards (else null).
  ExactRewardFile* ExactRewards = nullptr;
  ImpulseFile* ImpulseRecords = nullptr;
  std::string RewardsFileName;
  std::string ImpulsesFileName;
  // Beside Transitions, with the impulse file: each entry's impulses.
  ImpulseMap TransitionImpulses;
  // The .var file's name, emptied when a later file cannot be completed.
  std::string VarFileName;

  // What sets the two methods apart in the breadth-first loop.
  struct ExplorationRules {
    // Blanks reserved for the state count in the .arm header.
    int reservedCountWidth;
    // The absorbing-state report of the method.
    void (StateSpaceGen::*reportAbsorbing)();
  };
  // What sets the two methods apart in following an instantaneous chain.
  // Both weigh the firings alike: an action enabled alone fires with
  // probability 1, competing actions of the highest rank by their share of
  // the candidates' total weight, so the branches of a vanishing state sum
  // to 1.
  struct ChainRules {
    // Deterministic method: every non-zero value is recorded (deterministic
    // firings are negative). Normal method: only positive rates.
    bool keepNegative;
    // The message when a chain grows too long: its first line, before the
    // limit, and its second line.
    const char* depthMessage;
    const char* depthMessageEnd;
  };
  static const ExplorationRules NormalExploration;
  static const ExplorationRules DeterministicExploration;
  static const ChainRules NormalChain;
  static const ChainRules DeterministicChain;

  // The breadth-first loop shared by both methods: explores every state,
  // writing its .arm record; returns the number of states explored.
  uint64_t ExploreStates(const ExplorationRules& rules);
  // The shared chain follower. WithPhases (models with Erlang actions): the
  // states it saves and writes carry the phases, and every instantaneous
  // firing sets the Erlang actions it disables back to phase 1.
  template <bool WithPhases, bool Impulses = false>
  void FollowChain(double rate, double p, const ChainRules& rules);
  // Fires the action in the model and writes the state reached to
  // NextState. The variables' values are left for the states that need
  // them (new states): RewardAction notes the firing they follow from.
  void FireOnly(BaseActionClass* action);
  // An instantaneous firing: the same, but the state reached is written to
  // NextState only where it is needed (at the end of the chain, or before
  // competing actions), as a chain's intermediate states are never looked
  // up.
  void FireInstantOnly(BaseActionClass* action);
  // A transition of the given value (rate) from the explored state to the
  // stable state in NextState, reached by the firing that just happened:
  // kept with the state's hash and that firing (RewardAction), and the
  // state's table entry prefetched. At trace level 4 it is resolved at once,
  // so the trace keeps its order.
  void AddSuccessor(double value, const ChainRules& rules);
  // Looks up the successors kept, in the order found, and records each
  // transition as SaveStableState does (under the deterministic rules:
  // every non-zero value), numbering the new states in that order. A new
  // state first gets its variables' values: the model is set to it and the
  // values of the firing that reached it are computed, as the firing itself
  // would have (a variable's values depend only on the state and the action
  // fired).
  template <bool Impulses = false> void ResolveSuccessors(const ChainRules& rules);
  // Numbers the state in NextState as StateCounter + 1: stores it in the
  // state table and appends its .var record. Returns its number.
  uint32_t NumberNewState();
  // The .sta record of the state just numbered (out of line: without
  // --states the numbering stays as small as it was).
  [[gnu::noinline, gnu::cold]] void WriteMarking();
  // Creates RewardWriter on varFile and ExactRewards, and writes the
  // initial state's record to both (after firing the model's
  // NoActionFired). For a model with impulse rewards also creates
  // ImpulseRecords; for one without, removes an .imp file of this run's
  // name.
  void StartRewardFile(char* varFile);
  // Completes the .var file and releases RewardWriter.
  void FinishRewardFile();
  // The last step before the .arm file gets its count: writes the .arm,
  // .rew and .imp records still buffered (a failure ends the run), then the
  // trailers of the .rew and .imp files, which complete them, and releases
  // their writers. So a run that fails before leaves no trailer.
  void FinishExactRewardFiles();
  // With WriteStates: creates MarkingWriter and writes the initial state's
  // record. Without: removes a .sta file of this run's name.
  void StartStatesFile();
  // Completes the .sta file (if any) and releases MarkingWriter.
  void FinishStatesFile();
  // Removes an output file of this run's name that this run does not
  // write (a warning on standard error when that fails).
  static void RemoveEarlierFile(const std::string& fileName);
  // The provisional .arm header: FileType, a line of `width` blanks.
  void StartArmFile(int width);
  // Writes FileType and the state count over the provisional header and
  // completes the .arm file. The count goes in last of everything a run
  // writes: the other files are complete by then.
  void FinishArmFile(uint64_t count, int width);
  void ReportAbsorbingNormal();
  void ReportAbsorbingDeterministic();
  // "_$<n>$" on standard output.
  static void PrintProgress(unsigned int n);
  // Allocates NextState for a generation run.
  void AllocateWorkBuffers();
  void ReleaseWorkBuffers();

private:
  // The explored state's vector, copied from the store.
  std::vector<char> ExploredState;
  // One state vector per chain depth (0 .. MAX_INSTANT_DEPTH + 1).
  std::vector<char> DepthStates;
  // The enabled instantaneous actions at each chain depth, NumInstantActions
  // entries per depth.
  std::vector<BaseActionClass*> DepthActions;
  // The firing whose variable values the state in NextState carries, and
  // whether it was an Erlang action's aging (PVModel::AgeAction) rather than
  // a firing (PVModel::UpdateRewards).
  BaseActionClass* RewardAction = nullptr;
  bool RewardAged = false;
  // NextState holds the model's current state (false after an
  // instantaneous firing, until it is written).
  bool NextStateCurrent = false;
  // The successors of the explored state not yet looked up (AddSuccessor):
  // value, hash and the firing that reached each, and their vectors
  // (StateSize bytes each, in SuccessorStates, which only grows).
  struct Successor {
    double value;
    uint64_t hash;
    BaseActionClass* rewardAction;
    bool aged;
  };
  std::vector<Successor> Successors;
  std::vector<char> SuccessorStates;

  // Impulses (with the impulse file only). ImpulseWidth = 2 * NumPVs
  // doubles per transition, in .imp order: per variable the impulse of every
  // completion of the chain so far (A), then of its last one (L).
  // ChainImpulses holds them per chain depth (0: after the timed firing),
  // unweighted; SuccessorImpulses per successor kept, weighted;
  // FiringImpulseValues one firing's impulse per variable.
  std::size_t ImpulseWidth = 0;
  std::vector<double> ChainImpulses;
  std::vector<double> SuccessorImpulses;
  std::vector<double> FiringImpulseValues;
  double* ChainSlot(int depth) { return ChainImpulses.data() + std::size_t(depth) * ImpulseWidth; }
  // The chain's slot 0 after a timed firing (or an Erlang action's aging,
  // which completes nothing) of action, the model in the marking reached.
  void StartChainImpulses(BaseActionClass* action, bool aged);
  // The slot of depth InstantDepth + 1 after an instantaneous firing of
  // action from depth InstantDepth.
  void AddChainImpulses(BaseActionClass* action);
  // Keeps the impulses of the chain at depth InstantDepth, weighted by
  // |value|, for the successor about to be kept (before AddSuccessor).
  void NoteSuccessorImpulses(double value);
  // SaveStableState, with the entry's impulses beside the rate.
  void SaveStableImpulses(double rate, uint32_t number, const double* impulses);

  void ClassifyActions(int numActions);
  // Model faults found before exploring: every action's GroupID names a
  // group that is the action or holds it, and every activity with arcs was
  // linked to its places (ActivityLinks). Otherwise a message naming the
  // activity, exit status 1.
  void CheckGroupsAndLinks();
  // A rate, weight or probability the chain can use: finite, 0 or more (0
  // is dropped). Negative, infinite and undefined values are model faults.
  static bool IsRate(double x) { return x >= 0.0 && x <= std::numeric_limits<double>::max(); }
  // The message naming the action, its value (its rate, or when that is
  // sound the probability its group gives it) and the state explored; exit
  // status 1.
  [[noreturn]] void BadRate(BaseActionClass* action, BaseGroupClass* group);
  // Ends the run when a reward variable's value in the state just numbered
  // (`number`, in NextState) is not finite: exit status 1, naming the
  // variable, the state and its marking.
  void CheckRewards(uint32_t number);
  [[noreturn, gnu::noinline, gnu::cold]] void BadReward(int variable, uint32_t number);
  [[noreturn, gnu::noinline, gnu::cold]] void TooManyStates();
  // The columns of the stored state: the model's vector, then each Erlang
  // action's phase.
  StateColumns StoredStateColumns();
  [[noreturn]] void BadWeight(BaseActionClass* action, double weight);
  // Competing activities whose weights add up to 0 (or overflow): no share
  // is defined. The message names them and the state.
  [[noreturn]] void BadTotalWeight(BaseActionClass* const* candidates, unsigned int numCandidates,
                                   double totalWeight);
  // The group that scales an action's rate (its GroupID's entry).
  BaseGroupClass* GroupOf(BaseActionClass* action);
  // Lists the instantaneous actions enabled in the model's current state, in
  // order, in this chain depth's slots; returns their number.
  unsigned int EnabledInstantActions(BaseActionClass**& enabled);
  // Keeps, in order, only the actions of the highest rank (at least 0) among
  // the first n of `actions`; returns how many remain.
  static unsigned int KeepHighestRank(BaseActionClass** actions, unsigned int n);
  char* DepthState(int depth) { return DepthStates.data() + size_t(depth) * StoredStateSize; }

  // A stored state (StoredStateSize bytes) made the model's state: its
  // vector, then every Erlang action's phase; and the reverse.
  void LoadState(char* state);
  void StoreState(char* state);
  void LoadPhases(const char* phases);
  void StorePhases(char* phases);
  // The aging step of an enabled Erlang action not in its last phase, from
  // the explored state `state`: the action (or every member of its group)
  // advances one phase; the state reached goes to NextState. Returns the
  // rate.
  double AgeErlangAction(BaseActionClass* action, BaseGroupClass* group, char* state);
  // After a firing: the Erlang actions not enabled in the model's current
  // state go back to phase 1.
  void ResetDisabledPhases();
  [[noreturn]] static void UnsupportedDistribution();
};

// The successor operation chosen for the run: FindNextNormal,
// FindNextInstant or FindNextDeterministic.
extern void (StateSpaceGen::*FindNext)(char*);

#endif
