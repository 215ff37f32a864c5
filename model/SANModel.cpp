#include "model/SANModel.h"

#include <cassert>
#include <cstdio>
#include <cstring>
#include <new>
#include <set>
#include <typeinfo>

#include "model/Activity.h"
#include "model/StandardErrors.h"
#include "ssg/primes.h"
#include "state/Place.h"

namespace {

// A new array of n pointers (null when n < 1).
template <class T> T** newPointerArray(int n) {
  if (n < 1)
    return nullptr;
  T** array = new (std::nothrow) T*[n]();
  if (array == nullptr)
    MemoryAllocationError();
  return array;
}

template <class T, class S> void copyPointers(T** to, S** from, int n) {
  for (int i = 0; i < n; i++)
    to[i] = from[i];
}

bool sameName(const char* a, const char* b) {
  return a != nullptr && b != nullptr && std::strcmp(a, b) == 0;
}

} // namespace

SANModel::SANModel()
    : BaseModelClass(), Places(nullptr), ReadOnlyPlaces(nullptr), numReadOnlyPlaces(0) {}

SANModel::SANModel(const char* name, int numPlaces, BaseStateVariableClass** places,
                   int numReadOnly, BaseStateVariableClass** readOnly, int numActs, Activity** acts,
                   int numGrps, BaseGroupClass** grps)
    : SANModel() {
  initializeSANModelNow(name, numPlaces, places, numReadOnly, readOnly, numActs, acts, numGrps,
                        grps);
}

SANModel::~SANModel() {
  delete[] Places;
  delete[] ReadOnlyPlaces;
  delete[] Actions;
  delete[] Groups;
}

void SANModel::initializeSANModelNow(const char* name, int numPlaces,
                                     BaseStateVariableClass** places, int numReadOnly,
                                     BaseStateVariableClass** readOnly, int numActs,
                                     Activity** acts, int numGrps, BaseGroupClass** grps) {
  DefineName(name);
  numSVs = numPlaces + numReadOnly;
  numReadOnlyPlaces = numReadOnly;
  numActions = numActs;
  numGroups = numGrps;

  delete[] Places;
  delete[] ReadOnlyPlaces;
  delete[] Actions;
  delete[] Groups;
  Places = newPointerArray<BaseStateVariableClass>(numPlaces);
  ReadOnlyPlaces = newPointerArray<BaseStateVariableClass>(numReadOnly);
  Actions = newPointerArray<BaseActionClass>(numActs);
  Groups = newPointerArray<BaseGroupClass>(numGrps);

  SetPlaces(places);
  SetReadOnlyPlaces(readOnly);
  SetActions(acts);
  SetGroups(grps);
}

void SANModel::SetPlaces(BaseStateVariableClass** places) {
  copyPointers(Places, places, numSVs - numReadOnlyPlaces);
  LayoutValid = false;
}

void SANModel::SetReadOnlyPlaces(BaseStateVariableClass** readOnly) {
  copyPointers(ReadOnlyPlaces, readOnly, numReadOnlyPlaces);
  LayoutValid = false;
}

const SANModel::PlaceSlot* SANModel::RecordPlaceLayout() {
  const int count = numSVs - numReadOnlyPlaces;
  Layout.clear();
  RecordedPlaces.clear();
  PlainValues.clear();
  AllPlain = true;
  bool everyPlacePlain = true;
  int size = 0;
  for (int i = 0; i < count; i++) {
    BaseStateVariableClass* place = Places[i];
    // A derived type may override the state operations: only these two are
    // known to hold exactly one short at ValuePtr.
    const std::type_info& type = typeid(*place);
    bool plain = type == typeid(Place) || type == typeid(SharableSV<short>);
    SharableSV<short>* value = plain ? static_cast<SharableSV<short>*>(place) : nullptr;
    Layout.push_back({place, value});
    RecordedPlaces.push_back(place);
    everyPlacePlain = everyPlacePlain && plain;
    if (place->stored && plain)
      size += static_cast<int>(sizeof(short));
    if (place->shared)
      continue;
    if (plain)
      PlainValues.push_back(value->ValuePtr);
    else
      AllPlain = false;
  }
  // Only plain places have a size fixed by their flags; any other variable
  // is asked every time.
  RecordedSize = everyPlacePlain ? size : -1;
  RecordedEpoch = BaseStateVariableClass::sharingEpoch();
  LayoutValid = true;
  return Layout.data();
}

void SANModel::SetActions(Activity** acts) {
  copyPointers(Actions, acts, numActions);
  for (int i = 0; i < numActions; i++)
    Actions[i]->setOwningModel(this);
}

void SANModel::SetGroups(BaseGroupClass** grps) {
  copyPointers(Groups, grps, numGroups);
  for (int i = 0; i < numGroups; i++)
    Groups[i]->setOwningModel(this);
}

void SANModel::listModels(const char* name, List<BaseModelClass>* out) {
  if (sameName(name, Name))
    out->append(this);
}

void SANModel::CurrentState(void* buf) {
  char* position = static_cast<char*>(buf);
  const PlaceSlot* slots = PlaceLayout();
  if (AllPlain) {
    for (short* value : PlainValues) {
      std::memcpy(position, value, sizeof(short));
      position += sizeof(short);
    }
    return;
  }
  const int count = numSVs - numReadOnlyPlaces;
  for (int i = 0; i < count; i++) {
    BaseStateVariableClass* place = Places[i];
    if (place->shared)
      continue;
    if (slots[i].plain != nullptr) {
      std::memcpy(position, slots[i].plain->ValuePtr, sizeof(short));
      position += sizeof(short);
    } else {
      place->CurrentState(position);
      position += place->StateSize();
    }
  }
}

void SANModel::SetState(void* buf) {
  const char* position = static_cast<const char*>(buf);
  const PlaceSlot* slots = PlaceLayout();
  if (AllPlain) {
    for (short* value : PlainValues) {
      std::memcpy(value, position, sizeof(short));
      position += sizeof(short);
    }
    return;
  }
  const int count = numSVs - numReadOnlyPlaces;
  for (int i = 0; i < count; i++) {
    BaseStateVariableClass* place = Places[i];
    if (place->shared)
      continue;
    if (slots[i].plain != nullptr) {
      std::memcpy(slots[i].plain->ValuePtr, position, sizeof(short));
      position += sizeof(short);
    } else {
      place->SetState(const_cast<char*>(position));
      position += place->StateSize();
    }
  }
}

int SANModel::StateSize() {
  const PlaceSlot* slots = PlaceLayout();
  if (RecordedSize >= 0)
    return RecordedSize;
  int size = 0;
  const int count = numSVs - numReadOnlyPlaces;
  for (int i = 0; i < count; i++) {
    BaseStateVariableClass* place = Places[i];
    if (place->stored)
      size += slots[i].plain != nullptr ? static_cast<int>(sizeof(short)) : place->StateSize();
  }
  return size;
}

bool SANModel::CompareState(void* a, void* b) {
  int size = StateSize();
  return size <= 0 || std::memcmp(a, b, static_cast<std::size_t>(size)) == 0;
}

void SANModel::listActions(List<BaseActionClass>* out) {
  out->append(Actions, numActions);
}

void SANModel::listGroups(List<BaseGroupClass>* out) {
  out->append(Groups, numGroups);
}

void SANModel::listActions(const char* name, List<BaseActionClass>* out) {
  for (int i = 0; i < numActions; i++) {
    if (sameName(name, Actions[i]->ActionName)) {
      out->append(Actions[i]);
      return;
    }
  }
}

void SANModel::listSVs(const char* model, const char* sv, List<BaseStateVariableClass>* svs,
                       List<BaseModelClass>* models) {
  if (!sameName(model, Name))
    return;
  const int count = numSVs - numReadOnlyPlaces;
  for (int i = 0; i < count; i++) {
    if (sameName(sv, Places[i]->Name)) {
      svs->append(Places[i]);
      models->append(this);
    }
  }
  for (int i = 0; i < numReadOnlyPlaces; i++) {
    if (sameName(sv, ReadOnlyPlaces[i]->Name)) {
      svs->append(ReadOnlyPlaces[i]);
      models->append(this);
    }
  }
}

void SANModel::printState(std::ostream* os) {
  *os << "Model: (" << modelId << ")" << (Name != nullptr ? Name : "") << std::endl;
  const int count = numSVs - numReadOnlyPlaces;
  for (int i = 0; i < count; i++) {
    *os << "  ";
    Places[i]->printState(os);
  }
  for (int i = 0; i < numReadOnlyPlaces; i++) {
    *os << "  ";
    ReadOnlyPlaces[i]->printState(os);
  }
}

BaseStateVariableClass** SANModel::GetLocalStateVariables(std::ostream*) {
  return Places;
}

int SANModel::GetModelType() {
  return 1;
}

int SANModel::GetNumberOfChildren() {
  return 0;
}

BaseModelClass* SANModel::GetChild(int) {
  // An atomic model has no children.
  assert(false);
  return nullptr;
}

void SANModel::GetGlobalActions(slist<BaseActionClass*>& out) {
  std::set<BaseActionClass*> own(Actions, Actions + numActions);

  // A place that joined another variable's group holds the group's lists,
  // which may name other models' actions: keep only our own.
  std::set<BaseActionClass*> global;
  const int count = numSVs - numReadOnlyPlaces;
  for (int i = 0; i < count; i++) {
    BaseStateVariableClass* place = Places[i];
    if (place->stored)
      continue;
    for (List<BaseActionClass>* list : {place->SVAffectingActions, place->SVEnabledActions}) {
      for (int j = 0; j < list->getNumItems(); j++) {
        if (own.count(list->getItem(j)) != 0)
          global.insert(list->getItem(j));
      }
    }
  }
  for (BaseActionClass* a : global)
    out.push_front(a);
}

void SANModel::GetLocalActions(slist<BaseActionClass*>& out) {
  slist<BaseActionClass*> globalList;
  GetGlobalActions(globalList);
  std::set<BaseActionClass*> global(globalList.begin(), globalList.end());
  for (int i = 0; i < numActions; i++) {
    if (global.count(Actions[i]) == 0)
      out.push_front(Actions[i]);
  }
}

bool SANModel::HasLocalState() {
  return StateSize() > 0;
}

void SANModel::GetLocalState(State* s) {
  s->GetState(this);
}

void SANModel::SetLocalState(const State* s) {
  s->SetState(this);
}

void SANModel::ConstructLocalState(State*& s) {
  s = new (std::nothrow) LocalState(this);
  if (s == nullptr)
    MemoryAllocationError();
}

void SANModel::DestructLocalState(State* s) {
  delete s;
}

void SANModel::PrintSANModelInfo() {
  std::printf("SANModelInfo\n");
  std::printf("Number of Actions = %i, Number of Groups = %i, Number of State Variables = %i\n",
              numActions, numGroups, numSVs);
  for (int i = 0; i < numActions; i++) {
    BaseActionClass* a = Actions[i];
    std::printf("ActionName = %s\n", a->ActionName);
    std::printf("Group Id = %i\n", a->GroupID);
    std::printf("DistributionType = %i\n", static_cast<int>(a->DistributionType));
    std::printf("ExecutionPolicy = %i\n", static_cast<int>(a->ExecPolicy));
    std::printf("Number of affected state variables = %i\n", a->AffectedSVs.getNumItems());
    std::printf("Number of enabling state variables = %i\n", a->EnablingSVs.getNumItems());
  }
  std::printf("\n");
  for (int i = 0; i < numGroups; i++)
    std::printf("Group Name = %s \n", Groups[i]->ActionName);
  const int count = numSVs - numReadOnlyPlaces;
  for (int i = 0; i < count; i++)
    std::printf("Place Name = %s\n", Places[i]->Name);
  for (int i = 0; i < numReadOnlyPlaces; i++)
    std::printf("Read Only Place Name = %s\n", ReadOnlyPlaces[i]->Name);
  std::fflush(stdout);
}

// ---- LocalState ----

SANModel::LocalState::LocalState(SANModel* m)
    : StateBytes(nullptr), StateBytesSize(m->StateSize()), capacity(0) {
  if (StateBytesSize < 0)
    StateBytesSize = 0;
  StateBytes = new (std::nothrow) char[StateBytesSize > 0 ? StateBytesSize : 1];
  if (StateBytes == nullptr)
    MemoryAllocationError();
  capacity = StateBytesSize;
}

SANModel::LocalState::~LocalState() {
  delete[] StateBytes;
}

std::uint32_t SANModel::LocalState::hash() const {
  // Each byte, taken as a signed value, weighted by a prime of its position.
  std::uint32_t h = 0;
  for (int i = 0; i < StateBytesSize; i++)
    h += static_cast<std::uint32_t>(static_cast<signed char>(StateBytes[i])) * primes[i % 256];
  return h;
}

int SANModel::LocalState::compare(const State& other) const {
  const LocalState* o = dynamic_cast<const LocalState*>(&other);
  if (o == nullptr)
    return State::compare(other);
  int common = StateBytesSize < o->StateBytesSize ? StateBytesSize : o->StateBytesSize;
  int c = common > 0 ? std::memcmp(StateBytes, o->StateBytes, static_cast<std::size_t>(common)) : 0;
  if (c == 0)
    c = StateBytesSize - o->StateBytesSize;
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

void SANModel::LocalState::print() const {
  for (int i = 0; i < StateBytesSize; i++)
    std::printf("%5d", static_cast<int>(static_cast<signed char>(StateBytes[i])));
  std::printf("\n");
}

bool SANModel::LocalState::fwriteState(FILE* f) const {
  std::int32_t size = StateBytesSize;
  if (std::fwrite(&size, sizeof size, 1, f) != 1)
    return true;
  if (StateBytesSize == 0)
    return false;
  std::size_t written = std::fwrite(StateBytes, 1, static_cast<std::size_t>(StateBytesSize), f);
  return written < static_cast<std::size_t>(StateBytesSize);
}

bool SANModel::LocalState::freadState(FILE* f) {
  std::int32_t size = 0;
  if (std::fread(&size, sizeof size, 1, f) != 1)
    return true;
  // A record of another size was written for another model: a shorter one
  // would leave the rest of the marking from before, which SetState applies.
  if (size != capacity)
    return true;
  StateBytesSize = size;
  if (size == 0)
    return false;
  std::size_t read = std::fread(StateBytes, 1, static_cast<std::size_t>(size), f);
  return read < static_cast<std::size_t>(size);
}

State& SANModel::LocalState::operator=(const State& other) {
  if (&other == this)
    return *this;
  const LocalState& o = dynamic_cast<const LocalState&>(other);
  // The two byte images must have the same length.
  struct Image {
    const char* bytes;
    int size;
  };
  const Image otherImage{o.StateBytes, o.StateBytesSize};
  const Image* _localS = &otherImage;
  int size = StateBytesSize;
  assert(size == _localS->size);
  if (size > 0)
    std::memcpy(StateBytes, _localS->bytes, static_cast<std::size_t>(size));
  return *this;
}

SANModel::LocalState& SANModel::LocalState::operator=(const LocalState& other) {
  if (this != &other) // a self-copy would memcpy a buffer onto itself
    *this = static_cast<const State&>(other);
  return *this;
}

void SANModel::LocalState::SetState(const BaseModelClass* m) const {
  BaseModelClass* model = const_cast<BaseModelClass*>(m);
  assert(model->StateSize() <= capacity);
  model->SetState(StateBytes);
}

void SANModel::LocalState::GetState(const BaseModelClass* m) {
  BaseModelClass* model = const_cast<BaseModelClass*>(m);
  // cppcheck-suppress assertWithSideEffect ; StateSize() computes (and caches) the size
  assert(model->StateSize() <= capacity);
  model->CurrentState(StateBytes);
}

bool checkLocalSVs(SANModel* m, Place** places) {
  const int count = m->numSVs - m->numReadOnlyPlaces;
  for (int i = 0; i < count; i++) {
    if (m->Places[i] != places[i])
      return false;
  }
  return true;
}

bool checkReadOnlyPlaces(SANModel* m, BaseStateVariableClass** readOnly) {
  for (int i = 0; i < m->numReadOnlyPlaces; i++) {
    if (m->ReadOnlyPlaces[i] != readOnly[i])
      return false;
  }
  return true;
}

bool checkLocalActions(SANModel* m, Activity** acts) {
  for (int i = 0; i < m->numActions; i++) {
    if (m->Actions[i] != acts[i])
      return false;
  }
  return true;
}
