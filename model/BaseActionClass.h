#ifndef MODEL_BASEACTIONCLASS_H
#define MODEL_BASEACTIONCLASS_H

#include <iostream>

#include "model/FastSet.h"
#include "model/List.h"

class BaseStateVariableClass;
class BaseModelClass;

// Time distribution of an action. The state-space generator explores 1, 2, 7
// and 18 and rejects any other value; the others name distributions of
// activities that are sampled rather than explored.
enum Distribution {
  EXPONENTIAL = 1,
  DETERMINISTIC = 2,
  UNIFORM = 3,
  GEOMETRIC = 4,
  WEIBULL = 5,
  NORMAL = 6,
  ERLANG = 7,
  LOGNORMAL = 8,
  GAMMA = 9,
  BETA = 10,
  TRIANGULAR = 11,
  BINOMIAL = 12,
  NEGATIVE_BINOMIAL = 13,
  HYPEREXPONENTIAL = 14,
  HYPOEXPONENTIAL = 15,
  CONDITIONAL_WEIBULL = 16,
  PARETO = 17,
  INSTANTANEOUS = 18
};

// Stored and printed; nothing branches on it.
enum ExecutionPolicyType { DEFAULT_POLICY = 1 };

// The base of everything that can fire in a model and change its state
// variables: name, group, distribution and policy, the leaf state variables
// that enable it and that it changes, its Erlang phase counter, and the
// per-performance-variable bookkeeping that the reward model attaches.
//
// The action owns its name, its lists and sets, and the reward bookkeeping
// arrays (not what the entries of PVImpulseTable and PVImpulseValueTable
// point to: the reward model owns those). It does not own the state
// variables in its lists. Copying is not allowed.
class BaseActionClass {
public:
  // Index of this action's group in its model's group table.
  int GroupID;
  ExecutionPolicyType ExecPolicy;
  // Maintained by BaseGroupClass::CalculateWeightDistribution.
  bool Disabled;
  bool Reactivation;
  // Owned copy of the name.
  char* ActionName;
  bool Fired;
  Distribution DistributionType;
  // Performance variables affected through an impulse reward.
  FastSet AffectedNodesByImpulseReward;
  // Per performance variable v: the impulse numbers of v this action triggers.
  FastSet* PVImpulseDS;
  // Per v (null until the reward model fills it): per impulse of v, the
  // indices of the impulse workers this action triggers.
  int*** PVImpulseTable;
  // Per v (null until filled): per impulse of v, the length of the matching
  // PVImpulseTable array.
  int** PVImpulseValueTable;
  // Per v: indices of the workers of v whose model instances hold the action.
  FastSet* PVRateDS;
  int CompletedPVCount;
  // Union of the rate and impulse sets.
  FastSet AffectedNodes;
  FastSet AffectedNodesByRateReward;
  // Current Erlang phase, counted from 1.
  short Phase;
  // Unique number taken from MaxID at construction.
  int ActionID;
  // Leaf state variables that firing changes / that enabling reads.
  List<BaseStateVariableClass> AffectedSVs;
  List<BaseStateVariableClass> EnablingSVs;
  // The model whose action (or group) table holds this action; null until
  // SANModel::initializeSANModelNow (or SetActions/SetGroups) sets it.
  BaseModelClass* OwningModel;

  // The next ActionID to hand out; starts at 0.
  static int MaxID;

  // Name "default", GroupID 0, EXPONENTIAL, DEFAULT_POLICY, Disabled, Phase 1.
  BaseActionClass();
  // Default construction, then BaseActionClassInitialize.
  BaseActionClass(const char* name, int groupId, Distribution dist, ExecutionPolicyType policy, int,
                  int, bool reactivation);
  BaseActionClass(const BaseActionClass&) = delete;
  BaseActionClass& operator=(const BaseActionClass&) = delete;

  virtual ~BaseActionClass();
  virtual bool isSync();
  virtual bool Enabled();
  virtual double Weight();
  virtual double Rate();
  virtual bool ReactivationPredicate();
  virtual bool ReactivationFunction();
  virtual double SampleDistribution();
  virtual double* ReturnDistributionParameters();
  // Fired = (f != 0).
  virtual void SetFired(int f);
  // Applies the action; returns the action that fired (null in the base).
  virtual BaseActionClass* Fire();
  virtual int Rank();
  virtual bool EnablingChange();
  // True exactly when a is this action.
  virtual bool IsAMember(BaseActionClass* a);
  // 1.0 for any action.
  virtual double Probability(BaseActionClass* a);
  // printState of every variable in AffectedSVs / EnablingSVs, in order.
  virtual void printAffectedState(std::ostream* os);
  virtual void printEnablingState(std::ostream* os);
  virtual BaseActionClass* getPrintedAction();
  // Number of Erlang phases.
  virtual double ErlangParamM();

  // Copies name (freeing the previous one) and sets the group, distribution,
  // policy and reactivation flag. The two unnamed integers are ignored.
  void BaseActionClassInitialize(const char* name, int groupId, Distribution dist,
                                 ExecutionPolicyType policy, int, int, bool reactivation);
  // Replaces ActionName by a fresh copy of name and returns the copy.
  char* defineName(const char* name);

  // A leaf variable is appended to (removed from) the list; a structured one
  // is asked to enter (remove) its leaves instead.
  void addEnablingSV(BaseStateVariableClass* sv);
  void addAffectedSV(BaseStateVariableClass* sv);
  void removeEnablingSV(BaseStateVariableClass* sv);
  void removeAffectedSV(BaseStateVariableClass* sv);

  // Reward bookkeeping, used by the reward model only. Allocate creates n
  // empty sets (and, for impulses, n null entries in both tables);
  // Deallocate frees the arrays (not what the table entries point to) and
  // does nothing when there are none.
  void AllocatePVRateDS(int n);
  void AllocatePVImpulseDS(int n);
  bool IsPVRateDSAllocated() const { return PVRateDS != nullptr; }
  bool IsPVImpulseDSAllocated() const { return PVImpulseDS != nullptr; }
  void DeallocatePVRateDS();
  void DeallocatePVImpulseDS();

  // Erlang phases: Phase = 1; Phase += 1; Phase == ErlangParamM().
  void ResetPhase() { Phase = 1; }
  void Age() { Phase++; }
  bool ReadyToFire() { return static_cast<double>(Phase) == ErlangParamM(); }

  void setOwningModel(BaseModelClass* m) { OwningModel = m; }
  BaseModelClass* getOwningModel() const { return OwningModel; }

  // Writes the action's description on standard output; returns the stream.
  std::ostream& PrintInfo();
};

#endif
