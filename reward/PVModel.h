#ifndef REWARD_PVMODEL_H
#define REWARD_PVMODEL_H

#include <iosfwd>
#include <vector>

#include "model/BaseActionClass.h"
#include "model/BaseModelClass.h"
#include "model/FastSet.h"
#include "model/List.h"

class BaseGroupClass;
class BaseStateVariableClass;
class PerformanceVariableNode;

// The reward model: the model the generator explores. It wraps one child
// model (owned) and the performance variables defined over it (owned, in
// PVList), forwards the state-vector operations to the child and keeps, for
// every action, which variables it affects, so that FireAction can bring each
// variable's current reward up to date.
//
// State vector: the child's vector, TotalStateSize bytes. With
// UsePVStateIndex set (by a derived model before Initialize) PVIndexBytes
// more bytes follow at PVIndexOffset: the 1-based position of LastActionFired
// in IndexedActions (0 for none), most significant byte first.
//
// A derived reward model creates ChildModel, names itself, then calls
// CreatePVList and Initialize. The Actions and Groups arrays are the child's
// (shared, not owned).
//
// FireAction(void*, BaseActionClass*), CurrentState, SetState, CompareState
// and AgeAction run on every transition and allocate nothing.
class PVModel : public BaseModelClass {
public:
  PerformanceVariableNode** PVList;
  int NumPVs;
  BaseModelClass* ChildModel;
  BaseActionClass* LastActionFired;
  BaseActionClass** AffectingActionList;
  FastSet** AffectedNodeSetList;
  int NumRateDSActions;
  int NumImpulseDSActions;
  int NumAffectingActions;
  int NumIndexedActions;
  int PVIndexOffset;
  int TotalStateSize;
  int PVIndexBytes;
  int UsePVStateIndex;
  BaseActionClass** IndexedActions;
  BaseActionClass NoActionFired;
  std::vector<PerformanceVariableNode*> ConsideredPVs;

  PVModel();
  ~PVModel() override;
  PVModel(const PVModel&) = delete;
  PVModel& operator=(const PVModel&) = delete;

  void listModels(const char* name, List<BaseModelClass>* out) override;
  void CurrentState(void* buffer) override;
  void listActions(List<BaseActionClass>* out) override;
  void listGroups(List<BaseGroupClass>* out) override;
  void SetState(void* buffer) override;
  int StateSize() override;
  bool CompareState(void* a, void* b) override;
  void listActions(const char* name, List<BaseActionClass>* out) override;
  void listSVs(const char* model, const char* sv, List<BaseStateVariableClass>* svs,
               List<BaseModelClass>* models) override;
  void printState(std::ostream* os) override;
  using BaseModelClass::printState;

  // A new node for variable pv at time point timeIndex; null for an unknown pv.
  virtual PerformanceVariableNode* createPVNode(int pv, int timeIndex) = 0;

  // Fills PVList with numPVs variables (one node per time point when
  // expandTimes is true and a variable has several).
  void CreatePVList(int numPVs, bool expandTimes);
  // Binds the variables to ChildModel, builds the affected-action lists and
  // the state layout.
  void Initialize();
  // Selects the variables updated on firings: all of PVList when indices is
  // null (count ignored), else PVList[indices[i]] for i < count. Appends.
  void ConsiderOnly(int* indices, int count);

  // Fires action, updates every considered variable and writes the state
  // reached into buffer (StateSize() bytes). Returns the action.
  BaseActionClass* FireAction(void* buffer, BaseActionClass* action);
  // The same in two steps, for a caller that needs the variables' values in
  // only some of the states it reaches: FireActionOnly fires the action and
  // writes the state reached, leaving the variables alone; UpdateRewards
  // then gives every considered variable the values of a firing of action
  // that reached the model's current state (a variable's values depend on
  // nothing else), as FireAction would have. A null buffer: the state
  // reached is not written.
  void FireActionOnly(void* buffer, BaseActionClass* action);
  void UpdateRewards(BaseActionClass* action);
  // Whether a variable of PVList has an impulse reward.
  bool HasImpulseRewards() const;
  // impulses[p] = the impulse variable PVList[p] earns by a firing of action
  // in the model's current marking (the one the firing led to), for every
  // p < NumPVs; the variables' values are left alone. Allocates nothing.
  void FiringImpulses(BaseActionClass* action, double* impulses);
  // Fires action at time, without reward update; returns what Fire() returned.
  BaseActionClass* FireAction(BaseActionClass* action, double time);
  // Restores LastActionFired from the index in state and recomputes rewards.
  void AgeAction(char* state, BaseActionClass* action);
  void Accumulate(double time);
  void EndAccumulate(double time);
  void PVReset();
  void SteadyState();

  // Sets the state layout again; returns TotalStateSize.
  int CreatePVStateIndex();
  // Bytes needed for the values 0 .. n: 0, 1 (to 255), 2 (to 65535), 3 (to
  // 16777215), else 4.
  static int BytesFor(int n);
  // The following take a pointer to the index bytes themselves.
  BaseActionClass* StateIndexLookup(void* state);
  void PutPVState(void* state);
  void GetPVState(void* state);

  // Writes the .pvtype file. A file that cannot be created or written
  // completely is reported on standard error and ends the program with
  // status 1; no partial file is left behind.
  void WritePVTypeFile(const char* fileName);

  void CreateTotalPVAffectsList(BaseActionClass* action);
  void MakeAffectedLists();
  void MakeImpulseAffectedLists();
  void CreateAffectedLists();
  void RemakeAffectedLists();
  void Destruct();

private:
  unsigned LastActionIndex() const;
  void WriteIndex(unsigned char* p, unsigned value) const;
  unsigned ReadIndex(const unsigned char* p) const;
};

#endif
