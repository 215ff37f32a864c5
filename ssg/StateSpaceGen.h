#ifndef SSG_STATESPACEGEN_H
#define SSG_STATESPACEGEN_H

#include <cstdint>
#include <vector>

#include "model/List.h"
#include "ssg/DeterministicList.h"
#include "ssg/RecordWriter.h"
#include "ssg/TransitionMap.h"
#include "ssg/state_struct.h"

class PVModel;
class BaseActionClass;
class BaseGroupClass;
class Reward;
class Queue;
class HybridHash;
class ResultsDB;
class TraceFileContainer;
class TraceFileTarvekSSG;

// The state-space generator: turns a reward model into a continuous-time
// Markov chain.
//
// Every reachable stable state is numbered, the initial state as 1, then in
// the order found; states are explored breadth-first in the order of their
// numbers. For each explored state the summed rates of its transitions to
// other states are written to the .arm file; each newly numbered state gets
// its reward record in the .var file. States in which an instantaneous action
// is enabled are never numbered: chains of instantaneous firings are followed
// to the stable states they reach (FindNextInstant / FireInstant).
//
// Use: construct over the reward model, set FileType and TraceLevel, call
// InitializeTrace(), then GenStateSpace(). One generator per process (the
// successor operation FindNext is process-wide).
//
// The generator owns its hash table, queue, action arrays, working buffers and
// trace objects; it refers to the model without owning it. Exploration
// allocates nothing per state or transition: the working buffers, the
// transition map and the per-depth buffers of the instantaneous chains are
// allocated once and reused.
class StateSpaceGen {
public:
  // Longest chain of instantaneous firings after one timed firing; the next
  // one ends the run.
  static constexpr short MAX_INSTANT_DEPTH = 23;

  unsigned int CurrentStateNumber;
  TransitionMap Transitions;
  unsigned int NumTimedActions;
  unsigned int StateCounter;
  unsigned int StateSize;
  unsigned int NumErlangActions;
  ResultsDB* ResultsDatabase;
  unsigned int MethodFlags;
  PVModel* Model;
  Reward* RewardWriter;
  Queue* StateQueue;
  HybridHash* StateTable;
  BaseActionClass** InstantActions;
  BaseActionClass** TimedActions;
  BaseActionClass** ErlangActions;
  List<BaseActionClass> ActionList;
  BaseActionClass** ActionArray;
  List<BaseGroupClass> GroupList;
  BaseGroupClass** GroupArray;
  state_struct* NewStateRecord;
  double LastRate;
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

  // model, path prefix, experiment name, absorb flag (1: report absorbing
  // states), hash load factor, database host, database entity (accepted, not
  // used), trace file name. Path and name must not be null; the other strings
  // may be. The strings are copied or only read during construction, except
  // path and name, which must outlive the generator. Classifies the actions,
  // and numbers and queues the initial state as state 1.
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
  // Exploration of models with deterministic actions.
  void GenStateSpaceDeterministic(char* armName, char* varName, char* detName);
  // Has no effect on the hash table once constructed.
  void setHashValue(double hashValue) { HashValue = hashValue; }

  // Explores one state (its vector) of a model without instantaneous actions.
  void FindNextNormal(char* state);
  // Explores one state of a model with instantaneous actions.
  void FindNextInstant(char* state);
  // Explores one state of a model with deterministic actions.
  void FindNextDeterministic(char* state);
  // Fires a timed action if enabled, from the explored state `state`. True if
  // a transition was produced: target vector in NextState, rate in LastRate.
  bool FireAction(BaseActionClass* action, char* state);
  // Follows the instantaneous actions enabled in the model's current state,
  // with the probability p of the chain so far, to the stable states reached.
  void FireInstant(double p);
  // The deterministic method's variant of FireInstant.
  void FireInstantDet(double p);
  // Records a transition with the given rate to the stable state numbered
  // `number`, or to the new state in NextState when number < 0. Rates that
  // are not positive are dropped.
  void SaveStableState(double rate, int number);

  // Debugging aid: "STATEVECTOR=", then the bytes, 20 per line.
  void printstate(char* state, int size);

protected:
  // Writers shared by the generation methods.
  RecordWriter ArmFile;

  // Numbers the state in NextState as StateCounter + 1: queues it, stores it
  // in the hash table and appends its .var record. Returns its number.
  unsigned int NumberNewState();
  // Creates RewardWriter on varFile and writes the initial state's record
  // (after firing the model's NoActionFired).
  void StartRewardFile(char* varFile);
  // Completes the .var file and releases RewardWriter.
  void FinishRewardFile();
  // Writes each entry of Transitions (target line, rate line) in increasing
  // target order, then the record's terminating "0"; clears Transitions.
  void WriteTransitions();
  // "_$<n>$" on standard output.
  static void PrintProgress(unsigned int n);
  // Allocates NewStateRecord and NextState for a generation run.
  void AllocateWorkBuffers();
  void ReleaseWorkBuffers();

private:
  // The explored state's vector, copied so that the queue may reuse its slot.
  std::vector<char> ExploredState;
  // One state vector per chain depth (0 .. MAX_INSTANT_DEPTH + 1), and one
  // more as scratch.
  std::vector<char> DepthStates;
  // The enabled instantaneous actions at each chain depth, NumInstantActions
  // entries per depth.
  std::vector<BaseActionClass*> DepthActions;

  void ClassifyActions(int numActions);
  // The group that scales an action's rate (its GroupID's entry).
  BaseGroupClass* GroupOf(BaseActionClass* action);
  // Settles the model in its current state and lists the instantaneous
  // actions enabled there, in order, in this chain depth's slots; returns
  // their number.
  unsigned int EnabledInstantActions(BaseActionClass**& enabled);
  // Keeps, in order, only the actions of the highest rank (at least 0) among
  // the first n of `actions`; returns how many remain.
  static unsigned int KeepHighestRank(BaseActionClass** actions, unsigned int n);
  char* DepthState(int depth) { return DepthStates.data() + size_t(depth) * StateSize; }
  char* ScratchState() { return DepthState(MAX_INSTANT_DEPTH + 2); }
  [[noreturn]] static void UnsupportedDistribution();
};

// The successor operation chosen for the run: FindNextNormal or
// FindNextInstant.
extern void (StateSpaceGen::*FindNext)(char*);

#endif
