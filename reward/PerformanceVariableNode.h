#ifndef REWARD_PERFORMANCEVARIABLENODE_H
#define REWARD_PERFORMANCEVARIABLENODE_H

#include "reward/ActionModelPairClass.h"
#include "reward/ImpulseNodeClass.h"
#include "reward/ModelGroupClass.h"
#include "reward/PerformanceVariableWorker.h"
#include "reward/VarModelPairClass.h"

class BaseActionClass;
class BaseModelClass;

// Time type of a performance variable, written as a number into the
// .pvtype file. The variable itself only tells INSTANT_OF_TIME from the rest.
enum RewardType {
  INSTANT_OF_TIME = 0,
  INTERVAL_OF_TIME = 1,
  TIME_AVERAGED_INTERVAL_OF_TIME = 2,
  STEADY_STATE = 3
};

// A performance (reward) variable: its name, time type and time points, the
// (variable, model) names its reward function reads, and one worker per
// combination of instances of the models it depends on.
//
// Life cycle: the generated constructor calls Initialize and declares its
// dependencies; the reward model then binds it (FixReferences,
// CreateModelGroupList, CreateWorkerList, FixWorkerList, AddPVWorkersToAction
// per action, and the impulse counterparts) and calls CurrentReward after
// every firing.
//
// ID is the variable's index in every per-variable table of an action and
// equals its position in the reward model's PVList.
//
// Ownership: the node owns every array below, the worker objects in Workers
// and the impulse workers in ImpulseWorkers; it does not own the impulse
// definitions in Impulses (the generated class holds them). A derived
// destructor may delete workers itself provided it nulls their entries.
//
// Capacities given to Initialize (variable pairs, model names, impulses and
// each impulse's MaxModels) are checked by assertions.
class PerformanceVariableNode {
public:
  BaseModelClass** ModelSlot;
  char* Name;
  double RewardValue;
  double RewardSquared;
  double StartTime;
  double StopTime;
  int NumTimePoints;
  double* StartTimes;
  double* StopTimes;
  double ImpulseValue;
  double ImpulseSquared;
  double IntervalLength;
  int IsSteadyState;
  RewardType Type;
  int AccumulationState;
  int ID;
  BaseActionClass** AffectingActions;
  int AffectingActionCount;
  ModelGroupClass* ModelGroups;
  int NumWorkers;
  PerformanceVariableWorker** Workers;
  VarModelPairClass* VarModelPairs;
  int NumVarModelPairs;
  int NumImpulses;
  int* ImpulseModelCounts;
  int* ImpulseWorkerCounts;
  int* ImpulseActionModelInstances;
  ImpulseNodeClass** Impulses;
  ImpulseNodeClass*** ImpulseWorkers;
  ActionModelPairClass* ImpulseActions;
  char*** ImpulseModelNames;
  char** ModelNames;
  int NumModelNames;
  // Per impulse: one model group per impulse worker (same enumeration as
  // ModelGroups, over the impulse's model names and then the action's model).
  ModelGroupClass** ImpulseModelGroups;
  // Per impulse: allocated entries of its ImpulseModelNames table.
  int* ImpulseModelNameCapacity;
  // Capacities fixed by Initialize.
  int VarModelPairCapacity;
  int ModelNameCapacity;
  int ImpulseCapacity;

  // Next ID to hand out; the reward model restarts it at 0 when it creates
  // its variables.
  static int the_id;

  PerformanceVariableNode();
  virtual ~PerformanceVariableNode();
  PerformanceVariableNode(const PerformanceVariableNode&) = delete;
  PerformanceVariableNode& operator=(const PerformanceVariableNode&) = delete;

  // Creates NumWorkers workers of the derived worker class into Workers.
  virtual void CreateWorkerList() = 0;
  // Restarts accumulation; a steady-state variable moves its window forward.
  virtual void Reset();

  // Set-up (generated constructor). Requires 0 <= timeIndex < numTimes.
  void Initialize(const char* name, RewardType type, int numTimes, const double* start,
                  const double* stop, int timeIndex, int maxImpulses, int maxModels,
                  int maxVarPairs);
  void InitializeTimeArrays(int n, const double* start, const double* stop);
  void AddVariableDependency(const char* variable, const char* model);
  void AddModelDependency(const char* model);
  bool IsDependentOnModel(const char* model) const;
  void AddImpulse(const char* action, const char* model, ImpulseNodeClass* impulse);
  // Fatal (exit status 1) when impulse was never added.
  void AddImpulseModelDependency(const char* model, ImpulseNodeClass* impulse);
  void AddImpulseModelDependency(const char* model, int k);
  void AddImpulseActionDependency(const char* action, const char* model, int k);
  bool IsDependentOnImpulseModel(const char* model, int k) const;
  // Index of impulse in Impulses, or -1.
  int GetImpulseNumber(ImpulseNodeClass* impulse) const;
  // Names every worker and impulse worker after name (Name is unchanged).
  void DefineName(const char* name);

  // Binding to the top model.
  void FixReferences(BaseModelClass* top);
  // Product of the instance counts of ModelNames (0 without names); also
  // stored in NumWorkers.
  int GetNumberOfWorkers();
  // Fatal (exit status 1) when a model name has no instance.
  void CreateModelGroupList();
  void FixWorkerList();
  // Records in a's rate table of this variable every worker reading m.
  void AddPVWorkersToAction(BaseActionClass* a, BaseModelClass* m);
  void GetNumberOfImpulseWorkers();
  void CreateImpulseWorkerLists();
  void CreateImpulseModelGroupList();
  void FixImpulseWorkerLists();

  // Evaluation after a firing of a; allocates nothing.
  void CurrentReward(BaseActionClass* a);
  bool ImpulseAffectedBy(BaseActionClass* a) const;
  // The impulse this variable earns by a firing of a in the model's current
  // marking (the one the firing led to), leaving ImpulseValue and
  // ImpulseSquared as they were; allocates nothing.
  double FiringImpulse(BaseActionClass* a);

  RewardType GetRewardType() const { return Type; }
  int GetNumTimePoints() const { return NumTimePoints; }
  double GetStartTime(int i) const { return StartTimes[i]; }
  double GetStopTime(int i) const { return StopTimes[i]; }

  // Accumulation over simulated time (t now, last the previous action's time).
  void Accumulate(double t, double last, BaseActionClass* a);
  void EndAccumulate(double t, double last, BaseActionClass* a);
  void UpdateAccumulate(double t);
  void CommonAccumulate(double t, double last, BaseActionClass* a);
  void TotalAccumulation();
  void UpdateDependencies();

private:
  // Fills groups[0 .. count) with every combination of instances of names,
  // the first name varying slowest.
  void EnumerateModelGroups(ModelGroupClass* groups, int count, char* const* names, int numNames);
  int CountInstances(const char* model) const;
  void AddImpulseModelName(int k, const char* model);
  void AccumulateImpulses(double t, BaseActionClass* a);
  void CurrentImpulses(BaseActionClass* a);
};

#endif
