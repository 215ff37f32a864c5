#include "reward/PerformanceVariableNode.h"

#include <cassert>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <vector>

#include "model/BaseActionClass.h"
#include "model/BaseGroupClass.h"
#include "model/BaseModelClass.h"
#include "model/List.h"

int PerformanceVariableNode::the_id = 0;

namespace {

char* CopyName(const char* s) {
  char* copy = new char[std::strlen(s) + 1];
  std::strcpy(copy, s);
  return copy;
}

// Membership in a set of variable indices, frozen (binary search over the
// sorted array) or still being built.
bool SetHolds(const FastSet& set, int value) {
  if (!set.is_vec_rep)
    return set.find(value);
  int lo = 0;
  int hi = set.size();
  while (lo < hi) {
    int mid = (lo + hi) / 2;
    if (set[mid] < value)
      lo = mid + 1;
    else
      hi = mid;
  }
  return lo < set.size() && set[lo] == value;
}

// The actions a synchronising action stands for: the members of a
// synchronising group.
BaseGroupClass* SyncGroup(BaseActionClass* a) {
  if (a == nullptr || !a->isSync())
    return nullptr;
  return dynamic_cast<BaseGroupClass*>(a);
}

} // namespace

PerformanceVariableNode::PerformanceVariableNode()
    : ModelSlot(nullptr), Name(nullptr), RewardValue(0.0), RewardSquared(0.0), StartTime(-1.0),
      StopTime(-1.0), NumTimePoints(0), StartTimes(nullptr), StopTimes(nullptr), ImpulseValue(0.0),
      ImpulseSquared(0.0), IntervalLength(0.0), IsSteadyState(0), Type(INSTANT_OF_TIME),
      AccumulationState(0), ID(-1), AffectingActions(nullptr), AffectingActionCount(0),
      ModelGroups(nullptr), NumWorkers(0), Workers(nullptr), VarModelPairs(nullptr),
      NumVarModelPairs(0), NumImpulses(0), ImpulseModelCounts(nullptr),
      ImpulseWorkerCounts(nullptr), ImpulseActionModelInstances(nullptr), Impulses(nullptr),
      ImpulseWorkers(nullptr), ImpulseActions(nullptr), ImpulseModelNames(nullptr),
      ModelNames(nullptr), NumModelNames(0), ImpulseModelGroups(nullptr),
      ImpulseModelNameCapacity(nullptr), VarModelPairCapacity(0), ModelNameCapacity(0),
      ImpulseCapacity(0) {}

PerformanceVariableNode::~PerformanceVariableNode() {
  delete[] Name;
  delete[] StartTimes;
  delete[] StopTimes;
  delete[] AffectingActions;
  delete[] ModelGroups;
  // A derived destructor may have deleted the workers and nulled the entries.
  for (int i = 0; Workers != nullptr && i < NumWorkers; i++)
    delete Workers[i];
  delete[] Workers;
  delete[] VarModelPairs;
  for (int i = 0; i < NumModelNames; i++)
    delete[] ModelNames[i];
  delete[] ModelNames;
  for (int k = 0; k < NumImpulses; k++) {
    if (ImpulseWorkers[k] != nullptr) {
      for (int w = 0; ImpulseWorkerCounts != nullptr && w < ImpulseWorkerCounts[k]; w++)
        delete ImpulseWorkers[k][w];
      delete[] ImpulseWorkers[k];
    }
    if (ImpulseModelNames[k] != nullptr) {
      for (int j = 0; j < ImpulseModelCounts[k]; j++)
        delete[] ImpulseModelNames[k][j];
      delete[] ImpulseModelNames[k];
    }
    delete[] ImpulseModelGroups[k];
  }
  delete[] ImpulseWorkers;
  delete[] ImpulseModelNames;
  delete[] ImpulseModelGroups;
  delete[] ImpulseModelNameCapacity;
  delete[] ImpulseModelCounts;
  delete[] ImpulseWorkerCounts;
  delete[] ImpulseActionModelInstances;
  delete[] ImpulseActions;
  delete[] Impulses;
}

void PerformanceVariableNode::Initialize(const char* name, RewardType type, int numTimes,
                                         const double* start, const double* stop, int timeIndex,
                                         int maxImpulses, int maxModels, int maxVarPairs) {
  ID = the_id;
  the_id += 1;
  Type = type;
  InitializeTimeArrays(numTimes, start, stop);
  if (0 <= timeIndex && timeIndex < NumTimePoints) {
    StartTime = StartTimes[timeIndex];
    StopTime = StopTimes[timeIndex];
    IntervalLength = StopTime - StartTime;
  }
  delete[] Name;
  Name = CopyName(name);
  if (maxVarPairs > 0) {
    VarModelPairs = new VarModelPairClass[maxVarPairs];
    VarModelPairCapacity = maxVarPairs;
  }
  if (maxModels > 0) {
    ModelNames = new char*[maxModels]();
    ModelNameCapacity = maxModels;
  }
  if (maxImpulses > 0) {
    ImpulseModelCounts = new int[maxImpulses]();
    ImpulseWorkerCounts = new int[maxImpulses]();
    ImpulseActionModelInstances = new int[maxImpulses]();
    Impulses = new ImpulseNodeClass*[maxImpulses]();
    ImpulseWorkers = new ImpulseNodeClass**[maxImpulses]();
    ImpulseActions = new ActionModelPairClass[maxImpulses];
    ImpulseModelNames = new char**[maxImpulses]();
    ImpulseModelGroups = new ModelGroupClass*[maxImpulses]();
    ImpulseModelNameCapacity = new int[maxImpulses]();
    ImpulseCapacity = maxImpulses;
  }
}

void PerformanceVariableNode::InitializeTimeArrays(int n, const double* start, const double* stop) {
  delete[] StartTimes;
  delete[] StopTimes;
  StartTimes = nullptr;
  StopTimes = nullptr;
  NumTimePoints = n > 0 ? n : 0;
  if (NumTimePoints > 0) {
    StartTimes = new double[NumTimePoints];
    StopTimes = new double[NumTimePoints];
    for (int i = 0; i < NumTimePoints; i++) {
      StartTimes[i] = start[i];
      StopTimes[i] = stop[i];
    }
  }
}

void PerformanceVariableNode::AddVariableDependency(const char* variable, const char* model) {
  assert(NumVarModelPairs < VarModelPairCapacity && "more variable pairs than declared");
  VarModelPairs[NumVarModelPairs].SetPair(variable, model);
  NumVarModelPairs++;
  AddModelDependency(model);
}

void PerformanceVariableNode::AddModelDependency(const char* model) {
  if (IsDependentOnModel(model))
    return;
  assert(NumModelNames < ModelNameCapacity && "more model names than declared");
  ModelNames[NumModelNames] = CopyName(model);
  NumModelNames++;
}

bool PerformanceVariableNode::IsDependentOnModel(const char* model) const {
  for (int i = 0; i < NumModelNames; i++)
    if (std::strcmp(ModelNames[i], model) == 0)
      return true;
  return false;
}

void PerformanceVariableNode::AddImpulse(const char* action, const char* model,
                                         ImpulseNodeClass* impulse) {
  int k = GetImpulseNumber(impulse);
  if (k < 0) {
    assert(NumImpulses < ImpulseCapacity && "more impulses than declared");
    k = NumImpulses;
    Impulses[k] = impulse;
    if (impulse->MaxModels > 0) {
      ImpulseModelNames[k] = new char*[impulse->MaxModels]();
      ImpulseModelNameCapacity[k] = impulse->MaxModels;
    }
    NumImpulses++;
  }
  ImpulseActions[k].SetPair(action, model);
  AddImpulseModelDependency(model, impulse);
}

void PerformanceVariableNode::AddImpulseModelDependency(const char* model,
                                                        ImpulseNodeClass* impulse) {
  int k = GetImpulseNumber(impulse);
  if (k < 0) {
    std::cerr << "Model Dependency requested on undefined impulse."
              << "  Check code generator.  Error code GP0001.\n";
    std::cerr.flush();
    std::exit(1);
  }
  if (!IsDependentOnImpulseModel(model, k))
    AddImpulseModelName(k, model);
}

void PerformanceVariableNode::AddImpulseModelDependency(const char* model, int k) {
  assert(0 <= k && k < NumImpulses);
  AddImpulseModelName(k, model);
}

// Appends a model name to impulse k. The table starts with the impulse's
// MaxModels entries and doubles when a further name arrives (the model
// owning the triggering action may come on top of the declared names).
void PerformanceVariableNode::AddImpulseModelName(int k, const char* model) {
  int count = ImpulseModelCounts[k];
  if (count >= ImpulseModelNameCapacity[k]) {
    int capacity = count > 0 ? 2 * count : 1;
    char** grown = new char*[capacity]();
    for (int j = 0; j < count; j++)
      grown[j] = ImpulseModelNames[k][j];
    delete[] ImpulseModelNames[k];
    ImpulseModelNames[k] = grown;
    ImpulseModelNameCapacity[k] = capacity;
  }
  ImpulseModelNames[k][count] = CopyName(model);
  ImpulseModelCounts[k] = count + 1;
}

void PerformanceVariableNode::AddImpulseActionDependency(const char* action, const char* model,
                                                         int k) {
  assert(0 <= k && k < NumImpulses);
  ImpulseActions[k].SetPair(action, model);
}

bool PerformanceVariableNode::IsDependentOnImpulseModel(const char* model, int k) const {
  for (int j = 0; j < ImpulseModelCounts[k]; j++)
    if (std::strcmp(ImpulseModelNames[k][j], model) == 0)
      return true;
  return false;
}

int PerformanceVariableNode::GetImpulseNumber(ImpulseNodeClass* impulse) const {
  for (int k = 0; k < NumImpulses; k++)
    if (Impulses[k] == impulse)
      return k;
  return -1;
}

void PerformanceVariableNode::DefineName(const char* name) {
  for (int i = 0; Workers != nullptr && i < NumWorkers; i++)
    if (Workers[i] != nullptr)
      Workers[i]->DefineName(name, i);
  for (int k = 0; k < NumImpulses; k++)
    for (int w = 0; ImpulseWorkers[k] != nullptr && w < ImpulseWorkerCounts[k]; w++)
      ImpulseWorkers[k][w]->DefineName(name, k, w);
}

int PerformanceVariableNode::CountInstances(const char* model) const {
  assert(ModelSlot != nullptr && *ModelSlot != nullptr && "variable not bound to a model");
  List<BaseModelClass> instances;
  (*ModelSlot)->listModels(model, &instances);
  return instances.getNumItems();
}

void PerformanceVariableNode::FixReferences(BaseModelClass* top) {
  assert(ModelSlot != nullptr && "derived variable must set ModelSlot");
  *ModelSlot = top;
  GetNumberOfWorkers();
  GetNumberOfImpulseWorkers();
  for (int i = 0; Workers != nullptr && i < NumWorkers; i++)
    delete Workers[i];
  delete[] Workers;
  Workers = NumWorkers > 0 ? new PerformanceVariableWorker*[NumWorkers]() : nullptr;
}

int PerformanceVariableNode::GetNumberOfWorkers() {
  if (NumModelNames == 0) {
    NumWorkers = 0;
    return 0;
  }
  int count = 1;
  for (int j = 0; j < NumModelNames; j++)
    count *= CountInstances(ModelNames[j]);
  NumWorkers = count;
  return count;
}

void PerformanceVariableNode::EnumerateModelGroups(ModelGroupClass* groups, int count,
                                                   char* const* names, int numNames) {
  BaseModelClass* top = *ModelSlot;
  List<BaseModelClass> instances;
  int stride = count;
  for (int j = 0; j < numNames; j++) {
    instances.clearList();
    top->listModels(names[j], &instances);
    int size = instances.getNumItems();
    if (size == 0) {
      std::cerr << "Number of " << names[j] << "'s was " << 0 << ".  Model cannot be created.\n";
      if (top->Name != nullptr)
        std::cerr << "Model Name was: " << top->Name << "\n.";
      else
        std::cerr << "Model Name was: NULL\n";
      std::cerr.flush();
      std::exit(1);
    }
    // The first name varies slowest: each instance of name j covers a run of
    // stride / size consecutive groups, and the runs repeat.
    stride /= size;
    int k = -1;
    for (int w = 0; w < count; w++) {
      if (w % stride == 0) {
        k++;
        if (k == size)
          k = 0;
      }
      groups[w].SetModel(j, instances[k]);
    }
  }
}

void PerformanceVariableNode::CreateModelGroupList() {
  delete[] ModelGroups;
  ModelGroups = nullptr;
  if (NumModelNames == 0)
    return;
  ModelGroups = new ModelGroupClass[NumWorkers > 0 ? NumWorkers : 1];
  for (int w = 0; w < NumWorkers; w++)
    ModelGroups[w].CreateModelList(NumModelNames);
  EnumerateModelGroups(ModelGroups, NumWorkers, ModelNames, NumModelNames);
}

void PerformanceVariableNode::FixWorkerList() {
  for (int i = 0; i < NumWorkers; i++) {
    PerformanceVariableWorker* worker = Workers[i];
    worker->StartTime = StartTime;
    worker->StopTime = StopTime;
    worker->DefineName(Name, i);
    worker->PVIndex = ID;
    for (int j = 0; j < NumModelNames && j < worker->NumReferences; j++)
      if (worker->References[j] != nullptr)
        *worker->References[j] = ModelGroups[i].Models[j];
  }
}

void PerformanceVariableNode::AddPVWorkersToAction(BaseActionClass* a, BaseModelClass* m) {
  for (int i = 0; i < NumWorkers; i++)
    if (ModelGroups[i].IsDependentOnModel(m))
      a->PVRateDS[ID].insert(i);
}

void PerformanceVariableNode::GetNumberOfImpulseWorkers() {
  for (int k = 0; k < NumImpulses; k++) {
    int count = 1;
    for (int j = 0; j < ImpulseModelCounts[k]; j++)
      count *= CountInstances(ImpulseModelNames[k][j]);
    const char* actionModel = ImpulseActions[k].ModelName;
    ImpulseActionModelInstances[k] = CountInstances(actionModel);
    if (!IsDependentOnImpulseModel(actionModel, k))
      count *= ImpulseActionModelInstances[k];
    ImpulseWorkerCounts[k] = count;
  }
}

void PerformanceVariableNode::CreateImpulseWorkerLists() {
  for (int k = 0; k < NumImpulses; k++) {
    if (ImpulseWorkers[k] != nullptr) {
      for (int w = 0; w < ImpulseWorkerCounts[k]; w++)
        delete ImpulseWorkers[k][w];
      delete[] ImpulseWorkers[k];
    }
    ImpulseWorkers[k] = Impulses[k]->CreateImpulseWorkers(ImpulseWorkerCounts[k]);
  }
}

void PerformanceVariableNode::CreateImpulseModelGroupList() {
  for (int k = 0; k < NumImpulses; k++) {
    std::vector<char*> names(ImpulseModelNames[k], ImpulseModelNames[k] + ImpulseModelCounts[k]);
    if (!IsDependentOnImpulseModel(ImpulseActions[k].ModelName, k))
      names.push_back(ImpulseActions[k].ModelName);
    int count = ImpulseWorkerCounts[k];
    delete[] ImpulseModelGroups[k];
    ImpulseModelGroups[k] = new ModelGroupClass[count > 0 ? count : 1];
    for (int w = 0; w < count; w++)
      ImpulseModelGroups[k][w].CreateModelList(static_cast<int>(names.size()));
    EnumerateModelGroups(ImpulseModelGroups[k], count, names.data(),
                         static_cast<int>(names.size()));
  }
}

void PerformanceVariableNode::FixImpulseWorkerLists() {
  for (int k = 0; k < NumImpulses; k++) {
    for (int w = 0; w < ImpulseWorkerCounts[k]; w++) {
      ImpulseNodeClass* worker = ImpulseWorkers[k][w];
      const ModelGroupClass& group = ImpulseModelGroups[k][w];
      worker->DefineName(Name, k, w);
      for (int j = 0; j < group.NumModels && j < worker->NumReferences; j++)
        if (worker->References[j] != nullptr)
          *worker->References[j] = group.Models[j];
    }
  }
}

void PerformanceVariableNode::CurrentReward(BaseActionClass* a) {
  RewardValue = 0.0;
  RewardSquared = 0.0;
  for (int i = 0; i < NumWorkers; i++) {
    PerformanceVariableWorker* worker = Workers[i];
    worker->CurrentReward();
    RewardValue += worker->RewardValue;
    RewardSquared += worker->RewardSquared;
  }
  ImpulseValue = 0.0;
  ImpulseSquared = 0.0;
  CurrentImpulses(a);
}

// Adds the impulses of this variable that a firing of a earns (for a
// synchronising action also those of the actions it stands for): for each
// impulse a triggers, the workers recorded for a's model instance.
void PerformanceVariableNode::CurrentImpulses(BaseActionClass* a) {
  if (!ImpulseAffectedBy(a))
    return;
  if (a->PVImpulseDS != nullptr) {
    const FastSet& impulses = a->PVImpulseDS[ID];
    for (int i = 0; i < impulses.size(); i++) {
      int k = impulses[i];
      const int* workers = a->PVImpulseTable[ID][k];
      int count = a->PVImpulseValueTable[ID][k];
      for (int x = 0; x < count; x++) {
        ImpulseNodeClass* worker = ImpulseWorkers[k][workers[x]];
        worker->CurrentImpulse();
        ImpulseValue += worker->Value;
        ImpulseSquared += worker->ValueSquared;
      }
    }
  }
  if (BaseGroupClass* sync = SyncGroup(a)) {
    for (int i = 0; i < sync->NumMembers; i++)
      CurrentImpulses(sync->Members[i]);
  }
}

double PerformanceVariableNode::FiringImpulse(BaseActionClass* a) {
  const double value = ImpulseValue;
  const double squared = ImpulseSquared;
  ImpulseValue = 0.0;
  ImpulseSquared = 0.0;
  CurrentImpulses(a);
  const double impulse = ImpulseValue;
  ImpulseValue = value;
  ImpulseSquared = squared;
  return impulse;
}

bool PerformanceVariableNode::ImpulseAffectedBy(BaseActionClass* a) const {
  if (a == nullptr)
    return false;
  if (SetHolds(a->AffectedNodesByImpulseReward, ID))
    return true;
  if (BaseGroupClass* sync = SyncGroup(a)) {
    for (int i = 0; i < sync->NumMembers; i++)
      if (ImpulseAffectedBy(sync->Members[i]))
        return true;
  }
  return false;
}

void PerformanceVariableNode::Accumulate(double t, double last, BaseActionClass* a) {
  if (AccumulationState == 2 || t < StartTime)
    return;
  CommonAccumulate(t, last, a);
  UpdateAccumulate(t);
}

void PerformanceVariableNode::EndAccumulate(double t, double last, BaseActionClass* a) {
  if (AccumulationState == 2)
    return;
  CommonAccumulate(t, last, a);
  for (int k = 0; k < NumImpulses; k++)
    for (int w = 0; ImpulseWorkers[k] != nullptr && w < ImpulseWorkerCounts[k]; w++)
      ImpulseWorkers[k][w]->EndImpulse(t);
  if (t + 1.0 > StopTime) {
    AccumulationState = 2;
    TotalAccumulation();
  } else {
    AccumulationState = 1;
  }
}

void PerformanceVariableNode::UpdateAccumulate(double t) {
  if (t > StopTime) {
    AccumulationState = 2;
    TotalAccumulation();
  } else {
    AccumulationState = 1;
  }
}

void PerformanceVariableNode::CommonAccumulate(double t, double last, BaseActionClass* a) {
  double sum = 0.0;
  for (int i = 0; i < NumWorkers; i++) {
    Workers[i]->Accumulate(t, last);
    sum += Workers[i]->RewardValue;
  }
  // Interval and steady-state variables accumulate step by step; an
  // instant-of-time variable collects its value in TotalAccumulation.
  if (Type != INSTANT_OF_TIME && NumWorkers > 0) {
    double f = Workers[0]->Fraction;
    RewardValue += f * sum;
    RewardSquared += f * sum * sum;
  }
  AccumulateImpulses(t, a);
}

// The impulses a firing of a earns; a synchronising action also earns those
// of the actions it stands for. Rate rewards are not touched here.
void PerformanceVariableNode::AccumulateImpulses(double t, BaseActionClass* a) {
  if (a == nullptr || !ImpulseAffectedBy(a))
    return;
  if (a->PVImpulseDS != nullptr) {
    const FastSet& impulses = a->PVImpulseDS[ID];
    for (int i = 0; i < impulses.size(); i++) {
      int k = impulses[i];
      const int* workers = a->PVImpulseTable[ID][k];
      int count = a->PVImpulseValueTable[ID][k];
      for (int x = 0; x < count; x++)
        ImpulseWorkers[k][workers[x]]->AccumulateImpulse(t);
    }
  }
  if (BaseGroupClass* sync = SyncGroup(a)) {
    for (int i = 0; i < sync->NumMembers; i++)
      AccumulateImpulses(t, sync->Members[i]);
  }
}

void PerformanceVariableNode::TotalAccumulation() {
  if (Type == INSTANT_OF_TIME && NumWorkers > 0) {
    double sum = 0.0;
    for (int i = 0; i < NumWorkers; i++)
      sum += Workers[i]->RewardValue;
    double f = Workers[0]->Fraction;
    RewardValue += f * sum;
    RewardSquared += f * sum * sum;
  }
  ImpulseValue = 0.0;
  ImpulseSquared = 0.0;
  for (int k = 0; k < NumImpulses; k++) {
    for (int w = 0; ImpulseWorkers[k] != nullptr && w < ImpulseWorkerCounts[k]; w++) {
      double v = ImpulseWorkers[k][w]->Value;
      ImpulseValue += v;
      ImpulseSquared += v * v;
    }
  }
  RewardValue += ImpulseValue;
  RewardSquared += ImpulseSquared;
}

void PerformanceVariableNode::Reset() {
  AccumulationState = 0;
  RewardValue = 0.0;
  RewardSquared = 0.0;
  for (int i = 0; i < NumWorkers; i++)
    Workers[i]->Reset();
  ImpulseValue = 0.0;
  ImpulseSquared = 0.0;
  for (int k = 0; k < NumImpulses; k++)
    for (int w = 0; ImpulseWorkers[k] != nullptr && w < ImpulseWorkerCounts[k]; w++)
      ImpulseWorkers[k][w]->ResetImpulse();
  if (IsSteadyState == 1) {
    StartTime = StopTime;
    StopTime += IntervalLength;
  }
}

void PerformanceVariableNode::UpdateDependencies() {
  if (IsSteadyState != 0)
    return;
  for (int i = 0; i < AffectingActionCount; i++) {
    BaseActionClass* action = AffectingActions[i];
    action->CompletedPVCount++;
    if (action->CompletedPVCount == action->AffectedNodes.size())
      action->AffectedNodes.clear();
  }
}
