#include "reward/PVModel.h"

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <system_error>

#include "model/BaseGroupClass.h"
#include "reward/PerformanceVariableNode.h"
#include "state/BaseStateVariableClass.h"

namespace {

// Freezes every rate set of an action (one per variable and the union).
void FreezeRateSets(BaseActionClass* action, int numPVs) {
  for (int p = 0; p < numPVs; p++)
    if (!action->PVRateDS[p].is_vec_rep)
      action->PVRateDS[p].NoMoreModifications();
  if (!action->AffectedNodesByRateReward.is_vec_rep)
    action->AffectedNodesByRateReward.NoMoreModifications();
}

void FreezeImpulseSets(BaseActionClass* action, int numPVs) {
  for (int p = 0; p < numPVs; p++)
    if (!action->PVImpulseDS[p].is_vec_rep)
      action->PVImpulseDS[p].NoMoreModifications();
  if (!action->AffectedNodesByImpulseReward.is_vec_rep)
    action->AffectedNodesByImpulseReward.NoMoreModifications();
}

// The actions a synchronising action stands for are the members of a
// synchronising group.
BaseGroupClass* SyncGroup(BaseActionClass* a) {
  if (!a->isSync())
    return nullptr;
  return dynamic_cast<BaseGroupClass*>(a);
}

// Releases the impulse tables the reward model attached to an action, then
// the action's own impulse structures.
void ReleaseImpulseTables(BaseActionClass* action, PerformanceVariableNode** pvs, int numPVs) {
  if (!action->IsPVImpulseDSAllocated())
    return;
  for (int p = 0; p < numPVs; p++) {
    delete[] action->PVImpulseValueTable[p];
    action->PVImpulseValueTable[p] = nullptr;
    if (action->PVImpulseTable[p] != nullptr) {
      for (int j = 0; j < pvs[p]->NumImpulses; j++)
        delete[] action->PVImpulseTable[p][j];
      delete[] action->PVImpulseTable[p];
      action->PVImpulseTable[p] = nullptr;
    }
  }
  action->DeallocatePVImpulseDS();
}

// ": " and the system's reason for a failed file operation, when it gave one.
std::string Reason(int err) {
  if (err == 0)
    return std::string();
  return std::string(": ") + std::strerror(err);
}

} // namespace

PVModel::PVModel()
    : PVList(nullptr), NumPVs(0), ChildModel(nullptr), LastActionFired(nullptr),
      AffectingActionList(nullptr), AffectedNodeSetList(nullptr), NumRateDSActions(0),
      NumImpulseDSActions(0), NumAffectingActions(0), NumIndexedActions(0), PVIndexOffset(0),
      TotalStateSize(0), PVIndexBytes(0), UsePVStateIndex(0), IndexedActions(nullptr) {
  NoActionFired.defineName("No Action Fired Yet");
  LastActionFired = &NoActionFired;
  LastActionTime = 0.0;
}

PVModel::~PVModel() {
  Destruct();
}

void PVModel::listModels(const char* name, List<BaseModelClass>* out) {
  ChildModel->listModels(name, out);
}

void PVModel::CurrentState(void* buffer) {
  ChildModel->CurrentState(buffer);
  if (UsePVStateIndex == 1)
    WriteIndex(static_cast<unsigned char*>(buffer) + PVIndexOffset, LastActionIndex());
}

void PVModel::listActions(List<BaseActionClass>* out) {
  for (int i = 0; i < numActions; i++)
    out->append(Actions[i]);
}

void PVModel::listGroups(List<BaseGroupClass>* out) {
  for (int i = 0; i < numGroups; i++)
    out->append(Groups[i]);
}

void PVModel::SetState(void* buffer) {
  ChildModel->SetState(buffer);
}

int PVModel::StateSize() {
  return TotalStateSize;
}

bool PVModel::CompareState(void* a, void* b) {
  if (!ChildModel->CompareState(a, b))
    return false;
  if (UsePVStateIndex == 0)
    return true;
  return std::memcmp(static_cast<const unsigned char*>(a) + PVIndexOffset,
                     static_cast<const unsigned char*>(b) + PVIndexOffset, PVIndexBytes) == 0;
}

void PVModel::listActions(const char* name, List<BaseActionClass>* out) {
  ChildModel->listActions(name, out);
}

void PVModel::listSVs(const char* model, const char* sv, List<BaseStateVariableClass>* svs,
                      List<BaseModelClass>* models) {
  ChildModel->listSVs(model, sv, svs, models);
}

void PVModel::printState(std::ostream* os) {
  ChildModel->printState(os);
}

void PVModel::CreatePVList(int numPVs, bool expandTimes) {
  // Variable numbers restart with every reward model, so that a variable's ID
  // is its position in PVList (and the index of its per-action tables) even
  // when a process builds several reward models one after the other.
  PerformanceVariableNode::the_id = 0;
  int capacity = 100;
  PVList = new PerformanceVariableNode*[capacity]();
  int count = 0;
  for (int i = 0; i < numPVs; i++) {
    PerformanceVariableNode* node = createPVNode(i, 0);
    assert(node != nullptr && "createPVNode gave no variable");
    int t = node->GetNumTimePoints();
    if (count + t >= capacity) {
      int grown = (capacity + t) * 2;
      PerformanceVariableNode** list = new PerformanceVariableNode*[grown]();
      for (int j = 0; j < count; j++)
        list[j] = PVList[j];
      delete[] PVList;
      PVList = list;
      capacity = grown;
    }
    node->ID = count;
    PVList[count] = node;
    if (expandTimes && t >= 2) {
      for (int k = 1; k < t; k++) {
        PVList[count + k] = createPVNode(i, k);
        PVList[count + k]->ID = count + k;
      }
      count += t;
    } else {
      count += 1;
    }
  }
  NumPVs = count;
  PerformanceVariableNode::the_id = count;
}

void PVModel::Initialize() {
  NoActionFired.AllocatePVRateDS(NumPVs);
  NoActionFired.AllocatePVImpulseDS(NumPVs);
  FreezeRateSets(&NoActionFired, NumPVs);
  FreezeImpulseSets(&NoActionFired, NumPVs);
  NoActionFired.AffectedNodes.NoMoreModifications();

  numSVs = ChildModel->numSVs;
  numActions = ChildModel->numActions;
  numGroups = ChildModel->numGroups;
  Groups = ChildModel->Groups;
  Actions = ChildModel->Actions;

  for (int p = 0; p < NumPVs; p++)
    PVList[p]->FixReferences(ChildModel);

  MakeAffectedLists();
  MakeImpulseAffectedLists();
  CreateAffectedLists();
  CreatePVStateIndex();
}

int PVModel::CreatePVStateIndex() {
  PVIndexOffset = ChildModel->StateSize();
  if (UsePVStateIndex == 1) {
    IndexedActions = Actions;
    NumIndexedActions = numActions;
    PVIndexBytes = BytesFor(numActions);
  } else {
    PVIndexBytes = 0;
  }
  TotalStateSize = PVIndexOffset + PVIndexBytes;
  return TotalStateSize;
}

void PVModel::ConsiderOnly(int* indices, int count) {
  if (indices == nullptr) {
    ConsideredPVs.insert(ConsideredPVs.end(), PVList, PVList + NumPVs);
    return;
  }
  ConsideredPVs.reserve(ConsideredPVs.size() + count);
  for (int i = 0; i < count; i++) {
    assert(0 <= indices[i] && indices[i] < NumPVs && "no such performance variable");
    ConsideredPVs.push_back(PVList[indices[i]]);
  }
}

BaseActionClass* PVModel::FireAction(void* buffer, BaseActionClass* action) {
  action->Fire();
  LastActionFired = action;
  UpdateRewards(action);
  CurrentState(buffer);
  return action;
}

void PVModel::FireActionOnly(void* buffer, BaseActionClass* action) {
  action->Fire();
  LastActionFired = action;
  if (buffer != nullptr)
    CurrentState(buffer);
}

void PVModel::UpdateRewards(BaseActionClass* action) {
  for (PerformanceVariableNode* pv : ConsideredPVs)
    pv->CurrentReward(action);
}

bool PVModel::HasImpulseRewards() const {
  for (int p = 0; p < NumPVs; p++)
    if (PVList[p]->NumImpulses > 0)
      return true;
  return false;
}

void PVModel::FiringImpulses(BaseActionClass* action, double* impulses) {
  // Most actions earn no impulse at all.
  if (action->AffectedNodesByImpulseReward.size() == 0 && !action->isSync()) {
    std::fill(impulses, impulses + NumPVs, 0.0);
    return;
  }
  for (int p = 0; p < NumPVs; p++)
    impulses[p] = PVList[p]->NumImpulses > 0 ? PVList[p]->FiringImpulse(action) : 0.0;
}

BaseActionClass* PVModel::FireAction(BaseActionClass* action, double time) {
  LastActionTime = time;
  BaseActionClass* fired = action->Fire();
  // An action that reports no firing leaves nothing to attribute rewards to.
  LastActionFired = fired != nullptr ? fired : &NoActionFired;
  return fired;
}

void PVModel::AgeAction(char* state, BaseActionClass* /*action*/) {
  if (PVIndexBytes == 0)
    LastActionFired = &NoActionFired;
  else
    LastActionFired = StateIndexLookup(state + PVIndexOffset);
  for (PerformanceVariableNode* pv : ConsideredPVs)
    pv->CurrentReward(LastActionFired);
}

void PVModel::Accumulate(double time) {
  for (PerformanceVariableNode* pv : ConsideredPVs)
    pv->Accumulate(time, LastActionTime, LastActionFired);
}

void PVModel::EndAccumulate(double time) {
  for (PerformanceVariableNode* pv : ConsideredPVs)
    if (pv->AccumulationState != 2)
      pv->EndAccumulate(time, LastActionTime, LastActionFired);
}

void PVModel::PVReset() {
  for (int p = 0; p < NumPVs; p++)
    if (PVList[p]->AccumulationState == 1 || PVList[p]->AccumulationState == 2)
      PVList[p]->Reset();
  LastActionTime = 0.0;
  LastActionFired = &NoActionFired;
}

void PVModel::SteadyState() {
  PVReset();
  for (int p = 0; p < NumPVs; p++)
    if (PVList[p]->IsSteadyState == 1)
      PVList[p]->AccumulationState = 1;
}

int PVModel::BytesFor(int n) {
  if (n <= 0)
    return 0;
  if (n <= 0xFF)
    return 1;
  if (n <= 0xFFFF)
    return 2;
  if (n <= 0xFFFFFF)
    return 3;
  return 4;
}

unsigned PVModel::LastActionIndex() const {
  for (int i = 0; i < NumIndexedActions; i++)
    if (IndexedActions[i] == LastActionFired)
      return static_cast<unsigned>(i) + 1;
  return 0;
}

void PVModel::WriteIndex(unsigned char* p, unsigned value) const {
  for (int i = 0; i < PVIndexBytes; i++)
    p[i] = static_cast<unsigned char>(value >> (8 * (PVIndexBytes - 1 - i)));
}

unsigned PVModel::ReadIndex(const unsigned char* p) const {
  unsigned value = 0;
  for (int i = 0; i < PVIndexBytes; i++)
    value = (value << 8) | p[i];
  return value;
}

BaseActionClass* PVModel::StateIndexLookup(void* state) {
  unsigned value = ReadIndex(static_cast<const unsigned char*>(state));
  if (value == 0)
    return &NoActionFired;
  assert(value <= static_cast<unsigned>(NumIndexedActions) && "PV state index out of range");
  return IndexedActions[value - 1];
}

void PVModel::PutPVState(void* state) {
  if (UsePVStateIndex == 1) {
    LastActionFired = StateIndexLookup(state);
    for (PerformanceVariableNode* pv : ConsideredPVs)
      pv->CurrentReward(LastActionFired);
    return;
  }
  for (PerformanceVariableNode* pv : ConsideredPVs) {
    pv->CurrentReward(&NoActionFired);
    pv->ImpulseValue = 0.0;
  }
}

void PVModel::GetPVState(void* state) {
  if (UsePVStateIndex == 1)
    WriteIndex(static_cast<unsigned char*>(state), LastActionIndex());
}

void PVModel::WritePVTypeFile(const char* fileName) {
  errno = 0;
  std::ofstream out(fileName, std::ios::out | std::ios::trunc);
  if (!out) {
    int err = errno;
    std::cerr << "!! PVModel::WritePVTypeFile(): cannot create the performance variable type file "
              << fileName << Reason(err) << std::endl;
    std::exit(1);
  }
  out << "Version:1" << std::endl;
  out << "NumPV:" << NumPVs << std::endl;
  for (int p = 0; p < NumPVs; p++) {
    PerformanceVariableNode* pv = PVList[p];
    out << "Name:" << pv->Name << std::endl;
    out << "Type:" << static_cast<int>(pv->GetRewardType()) << std::endl;
    out << "NumTimes:" << pv->GetNumTimePoints() << std::endl;
    for (int k = 0; k < pv->GetNumTimePoints(); k++) {
      out << "Start:" << pv->GetStartTime(k) << std::endl;
      out << "Stop:" << pv->GetStopTime(k) << std::endl;
    }
  }
  bool written = static_cast<bool>(out);
  out.close();
  if (!written || out.fail()) {
    int err = errno;
    // Leave no truncated file for the solver to pick up.
    std::error_code ec;
    if (std::filesystem::is_regular_file(fileName, ec))
      std::filesystem::remove(fileName, ec);
    std::cerr << "!! PVModel::WritePVTypeFile(): cannot write the performance variable type file "
              << fileName << Reason(err) << std::endl;
    std::exit(1);
  }
}

void PVModel::CreateTotalPVAffectsList(BaseActionClass* Action) {
  assert(Action->AffectedNodes.empty());
  for (int i = 0; i < Action->AffectedNodesByRateReward.size(); i++)
    Action->AffectedNodes.insert(Action->AffectedNodesByRateReward[i]);
  for (int i = 0; i < Action->AffectedNodesByImpulseReward.size(); i++)
    Action->AffectedNodes.insert(Action->AffectedNodesByImpulseReward[i]);
  Action->AffectedNodes.NoMoreModifications();
}

void PVModel::MakeAffectedLists() {
  List<BaseStateVariableClass> svs;
  List<BaseModelClass> models;
  for (int PVCounter = 0; PVCounter < NumPVs; PVCounter++) {
    PerformanceVariableNode* pv = PVList[PVCounter];
    pv->CreateModelGroupList();
    pv->CreateWorkerList();
    pv->FixWorkerList();
    // Every action that changes a variable the reward function reads affects
    // this variable; record which of its workers see the action's model.
    for (int pair = 0; pair < pv->NumVarModelPairs; pair++) {
      svs.clearList();
      models.clearList();
      listSVs(pv->VarModelPairs[pair].ModelName, pv->VarModelPairs[pair].VariableName, &svs,
              &models);
      for (int s = 0; s < svs.getNumItems(); s++) {
        BaseStateVariableClass* sv = svs[s];
        BaseModelClass* model = models[s];
        for (int a = 0; a < sv->getNumAffectingActions(); a++) {
          BaseActionClass* Action = sv->getAffectingAction(a);
          if (!Action->IsPVRateDSAllocated()) {
            Action->AllocatePVRateDS(NumPVs);
            NumRateDSActions++;
          }
          if (Action->PVRateDS[PVCounter].empty()) {
            // The insertion stays outside the assertion: it must happen in
            // every build.
            [[maybe_unused]] const bool added = Action->AffectedNodesByRateReward.insert(PVCounter);
            assert(added && "an action affects a variable's rate reward once");
            pv->AffectingActionCount++;
          }
          pv->AddPVWorkersToAction(Action, model);
        }
      }
    }
  }
  for (int i = 0; i < numActions; i++) {
    BaseActionClass* action = Actions[i];
    if (!action->IsPVRateDSAllocated())
      action->AllocatePVRateDS(NumPVs);
    FreezeRateSets(action, NumPVs);
  }
}

void PVModel::MakeImpulseAffectedLists() {
  List<BaseModelClass> models;
  List<BaseActionClass> actions;
  for (int p = 0; p < NumPVs; p++) {
    PerformanceVariableNode* pv = PVList[p];
    pv->CreateImpulseModelGroupList();
    pv->CreateImpulseWorkerLists();
    pv->FixImpulseWorkerLists();
    for (int j = 0; j < pv->NumImpulses; j++) {
      // The triggering action in every instance of the model that owns it.
      models.clearList();
      ChildModel->listModels(pv->ImpulseActions[j].ModelName, &models);
      for (int mi = 0; mi < models.getNumItems(); mi++) {
        BaseModelClass* model = models[mi];
        actions.clearList();
        model->listActions(pv->ImpulseActions[j].ActionName, &actions);
        if (actions.getNumItems() == 0)
          continue;
        BaseActionClass* action = actions[0];
        if (!action->IsPVImpulseDSAllocated()) {
          action->AllocatePVImpulseDS(NumPVs);
          NumImpulseDSActions++;
        }
        if (action->PVImpulseDS[p].empty()) {
          action->AffectedNodesByImpulseReward.insert(p);
          pv->AffectingActionCount++;
          action->PVImpulseTable[p] = new int*[pv->NumImpulses]();
          action->PVImpulseValueTable[p] = new int[pv->NumImpulses]();
        }
        if (action->PVImpulseTable[p][j] == nullptr) {
          action->PVImpulseDS[p].insert(j);
          action->PVImpulseTable[p][j] = new int[pv->ImpulseWorkerCounts[j]];
        }
        // The impulse workers of j that read this instance of the model.
        for (int w = 0; w < pv->ImpulseWorkerCounts[j]; w++) {
          if (pv->ImpulseModelGroups[j][w].IsDependentOnModel(model)) {
            int& fill = action->PVImpulseValueTable[p][j];
            assert(fill < pv->ImpulseWorkerCounts[j]);
            action->PVImpulseTable[p][j][fill] = w;
            fill++;
          }
        }
      }
    }
  }
  for (int i = 0; i < numActions; i++) {
    BaseActionClass* action = Actions[i];
    if (!action->IsPVImpulseDSAllocated())
      action->AllocatePVImpulseDS(NumPVs);
    FreezeImpulseSets(action, NumPVs);
    if (BaseGroupClass* sync = SyncGroup(action)) {
      for (int m = 0; m < sync->NumMembers; m++) {
        BaseActionClass* member = sync->Members[m];
        if (!member->IsPVImpulseDSAllocated())
          member->AllocatePVImpulseDS(NumPVs);
        FreezeImpulseSets(member, NumPVs);
      }
    }
  }
}

void PVModel::CreateAffectedLists() {
  for (int p = 0; p < NumPVs; p++) {
    PerformanceVariableNode* pv = PVList[p];
    if (pv->AffectingActionCount != 0) {
      delete[] pv->AffectingActions;
      pv->AffectingActions = new BaseActionClass*[pv->AffectingActionCount]();
      pv->AffectingActionCount = 0;
    }
  }
  int capacity = NumRateDSActions + NumImpulseDSActions;
  if (capacity != 0) {
    AffectingActionList = new BaseActionClass*[capacity]();
    AffectedNodeSetList = new FastSet*[capacity]();
    for (int i = 0; i < numActions; i++) {
      BaseActionClass* action = Actions[i];
      if (action->AffectedNodesByRateReward.size() == 0 &&
          action->AffectedNodesByImpulseReward.size() == 0)
        continue;
      CreateTotalPVAffectsList(action);
      assert(NumAffectingActions < capacity);
      AffectingActionList[NumAffectingActions] = action;
      AffectedNodeSetList[NumAffectingActions] = &action->AffectedNodes;
      NumAffectingActions++;
      for (int k = 0; k < action->AffectedNodes.size(); k++) {
        PerformanceVariableNode* pv = PVList[action->AffectedNodes[k]];
        pv->AffectingActions[pv->AffectingActionCount] = action;
        pv->AffectingActionCount++;
      }
    }
  }
  // An action that affects no variable has an empty union, frozen like the
  // rest so that every set can be read the same way.
  for (int i = 0; i < numActions; i++)
    if (!Actions[i]->AffectedNodes.is_vec_rep)
      Actions[i]->AffectedNodes.NoMoreModifications();
}

void PVModel::RemakeAffectedLists() {}

void PVModel::Destruct() {
  NoActionFired.DeallocatePVRateDS();
  ReleaseImpulseTables(&NoActionFired, PVList, NumPVs);
  for (int i = 0; Actions != nullptr && i < numActions; i++) {
    BaseActionClass* action = Actions[i];
    action->DeallocatePVRateDS();
    ReleaseImpulseTables(action, PVList, NumPVs);
    if (BaseGroupClass* sync = SyncGroup(action)) {
      for (int m = 0; m < sync->NumMembers; m++)
        ReleaseImpulseTables(sync->Members[m], PVList, NumPVs);
    }
  }
  for (int p = 0; p < NumPVs; p++) {
    delete[] PVList[p]->AffectingActions;
    PVList[p]->AffectingActions = nullptr;
  }
  delete[] AffectingActionList;
  AffectingActionList = nullptr;
  delete[] AffectedNodeSetList;
  AffectedNodeSetList = nullptr;
  NumAffectingActions = 0;
  for (int p = 0; p < NumPVs; p++)
    delete PVList[p];
  delete[] PVList;
  PVList = nullptr;
  NumPVs = 0;
  delete ChildModel;
  ChildModel = nullptr;
  // The action and group arrays were the child's.
  Actions = nullptr;
  Groups = nullptr;
  IndexedActions = nullptr;
  numActions = 0;
  numGroups = 0;
  NumIndexedActions = 0;
  ConsideredPVs.clear();
  ConsideredPVs.shrink_to_fit();
  LastActionFired = &NoActionFired;
}
