#include "tests/reward/RewardTestModels.h"

#include <cstring>

bool MoveActivity::Enabled() {
  PreviouslyEnabled = CurrentlyEnabled;
  CurrentlyEnabled = FromMark == nullptr || *FromMark > 0;
  return CurrentlyEnabled;
}

BaseActionClass* MoveActivity::Fire() {
  if (FromMark != nullptr)
    *FromMark -= 1;
  if (ToMark != nullptr)
    *ToMark += 1;
  return this;
}

void MoveActivity::LinkVariables() {
  if (From != nullptr)
    From->RegisterPointer(&FromMark, nullptr);
  if (To != nullptr)
    To->RegisterPointer(&ToMark, nullptr);
}

TokenModel::TokenModel(const char* name, const std::vector<PlaceSpec>& places,
                       const std::vector<MoveSpec>& moves) {
  for (const PlaceSpec& p : places)
    PlaceObjects.push_back(new Place(p.name.c_str(), p.initial));
  for (size_t i = 0; i < moves.size(); i++) {
    MoveActivity* a = new MoveActivity;
    a->ActivityInitialize(moves[i].name.c_str(), static_cast<int>(i), EXPONENTIAL, DEFAULT_POLICY,
                          2, 2, false);
    a->TheRate = moves[i].rate;
    if (moves[i].from >= 0)
      a->From = PlaceObjects[moves[i].from];
    if (moves[i].to >= 0)
      a->To = PlaceObjects[moves[i].to];
    ActivityObjects.push_back(a);
  }
  std::vector<BaseStateVariableClass*> svs(PlaceObjects.begin(), PlaceObjects.end());
  std::vector<Activity*> acts(ActivityObjects.begin(), ActivityObjects.end());
  std::vector<BaseGroupClass*> groups(ActivityObjects.begin(), ActivityObjects.end());
  initializeSANModelNow(name, static_cast<int>(svs.size()), svs.data(), 0, nullptr,
                        static_cast<int>(acts.size()), acts.data(), static_cast<int>(groups.size()),
                        groups.data());
  for (MoveActivity* a : ActivityObjects) {
    if (a->From != nullptr) {
      AddAffectArc(a->From, a);
      AddEnableArc(a->From, a);
    }
    if (a->To != nullptr)
      AddAffectArc(a->To, a);
    a->LinkVariables();
  }
}

TokenModel::~TokenModel() {
  for (Place* p : PlaceObjects)
    delete p;
  for (MoveActivity* a : ActivityObjects)
    delete a;
}

short TokenModel::mark(const char* place) const {
  for (Place* p : PlaceObjects)
    if (std::strcmp(p->Name, place) == 0)
      return p->getMark();
  return -1;
}

void TokenModel::setMark(const char* place, short m) {
  for (Place* p : PlaceObjects)
    if (std::strcmp(p->Name, place) == 0)
      p->setMark(m);
}

MoveActivity* TokenModel::activity(const char* name) const {
  for (MoveActivity* a : ActivityObjects)
    if (std::strcmp(a->ActionName, name) == 0)
      return a;
  return nullptr;
}

ComposedModel::ComposedModel(std::vector<TokenModel*> children) : Children(std::move(children)) {
  for (TokenModel* c : Children) {
    numSVs += c->numSVs;
    numActions += c->numActions;
    numGroups += c->numGroups;
  }
  Actions = new BaseActionClass*[numActions];
  Groups = new BaseGroupClass*[numGroups];
  int a = 0;
  int g = 0;
  for (TokenModel* c : Children) {
    for (int i = 0; i < c->numActions; i++)
      Actions[a++] = c->Actions[i];
    for (int i = 0; i < c->numGroups; i++)
      Groups[g++] = c->Groups[i];
  }
}

ComposedModel::~ComposedModel() {
  delete[] Actions;
  delete[] Groups;
  for (TokenModel* c : Children)
    delete c;
}

void ComposedModel::listModels(const char* name, List<BaseModelClass>* out) {
  for (TokenModel* c : Children)
    c->listModels(name, out);
}

void ComposedModel::CurrentState(void* buf) {
  char* p = static_cast<char*>(buf);
  for (TokenModel* c : Children) {
    c->CurrentState(p);
    p += c->StateSize();
  }
}

void ComposedModel::listActions(List<BaseActionClass>* out) {
  for (int i = 0; i < numActions; i++)
    out->append(Actions[i]);
}

void ComposedModel::listGroups(List<BaseGroupClass>* out) {
  for (int i = 0; i < numGroups; i++)
    out->append(Groups[i]);
}

void ComposedModel::SetState(void* buf) {
  char* p = static_cast<char*>(buf);
  for (TokenModel* c : Children) {
    c->SetState(p);
    p += c->StateSize();
  }
}

int ComposedModel::StateSize() {
  int size = 0;
  for (TokenModel* c : Children)
    size += c->StateSize();
  return size;
}

bool ComposedModel::CompareState(void* a, void* b) {
  return std::memcmp(a, b, StateSize()) == 0;
}

void ComposedModel::listActions(const char* name, List<BaseActionClass>* out) {
  for (TokenModel* c : Children)
    c->listActions(name, out);
}

void ComposedModel::listSVs(const char* model, const char* sv, List<BaseStateVariableClass>* svs,
                            List<BaseModelClass>* models) {
  for (TokenModel* c : Children)
    c->listSVs(model, sv, svs, models);
}

PlaceSumWorker::PlaceSumWorker(std::vector<std::string> placeNames)
    : Refs(placeNames.size(), nullptr), PlaceNames(std::move(placeNames)) {
  NumReferences = static_cast<int>(Refs.size());
  References = new BaseModelClass**[Refs.size() + 1];
  for (size_t j = 0; j < Refs.size(); j++)
    References[j] = &Refs[j];
}

double PlaceSumWorker::Reward_Function() {
  double sum = 0.0;
  for (size_t j = 0; j < Refs.size(); j++)
    sum += static_cast<TokenModel*>(Refs[j])->mark(PlaceNames[j].c_str());
  return sum;
}

PlaceRewardNode::PlaceRewardNode(const char* name,
                                 const std::vector<std::pair<std::string, std::string>>& pairs,
                                 int maxImpulses, RewardType type) {
  ModelSlot = &TheModelPtr;
  double times[1] = {1.0};
  int n = static_cast<int>(pairs.size());
  Initialize(name, type, 1, times, times, 0, maxImpulses, n, n);
  for (const auto& [variable, model] : pairs)
    AddVariableDependency(variable.c_str(), model.c_str());
}

PlaceRewardNode::~PlaceRewardNode() = default;

void PlaceRewardNode::CreateWorkerList() {
  // Worker reference j is the instance of model name j; read the variable
  // paired with that model.
  std::vector<std::string> names;
  for (int j = 0; j < NumModelNames; j++)
    for (int v = 0; v < NumVarModelPairs; v++)
      if (std::strcmp(VarModelPairs[v].ModelName, ModelNames[j]) == 0) {
        names.emplace_back(VarModelPairs[v].VariableName);
        break;
      }
  for (int i = 0; i < NumWorkers; i++)
    Workers[i] = new PlaceSumWorker(names);
}

ConstantImpulse* PlaceRewardNode::AddConstantImpulse(const char* action, const char* model,
                                                     double amount, int maxModels) {
  ImpulseDefinitions.push_back(std::make_unique<ConstantImpulse>(amount, maxModels));
  AddImpulse(action, model, ImpulseDefinitions.back().get());
  return ImpulseDefinitions.back().get();
}

ConstantImpulse::ConstantImpulse(double amount, int maxModels) : Amount(amount) {
  MaxModels = maxModels;
  NumReferences = 2;
  References = new BaseModelClass**[2];
  References[0] = &Refs[0];
  References[1] = &Refs[1];
}

ImpulseNodeClass** ConstantImpulse::CreateImpulseWorkers(int n) {
  ImpulseNodeClass** workers = new ImpulseNodeClass*[n];
  for (int i = 0; i < n; i++)
    workers[i] = new ConstantImpulse(Amount, MaxModels);
  return workers;
}

TestRewardModel::TestRewardModel(BaseModelClass* child,
                                 std::vector<std::function<PerformanceVariableNode*()>> pvs,
                                 bool useIndex)
    : Factories(std::move(pvs)) {
  ChildModel = child;
  DefineName("TestRewardModel");
  UsePVStateIndex = useIndex ? 1 : 0;
  CreatePVList(static_cast<int>(Factories.size()), false);
  Initialize();
}

PerformanceVariableNode* TestRewardModel::createPVNode(int pv, int /*timeIndex*/) {
  if (pv < 0 || pv >= static_cast<int>(Factories.size()))
    return nullptr;
  return Factories[pv]();
}
