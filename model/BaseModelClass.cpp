#include "model/BaseModelClass.h"

#include <cassert>
#include <cstring>
#include <new>

#include "model/BaseActionClass.h"
#include "model/StandardErrors.h"
#include "state/BaseStateVariableClass.h"

double BaseModelClass::LastActionTime = 0.0;
int BaseModelClass::globalModelId = 0;

BaseModelClass::BaseModelClass()
    : numSVs(0), numActions(0), numGroups(0), Groups(nullptr), Name(nullptr),
      modelId(++globalModelId), parentId(modelId), Actions(nullptr) {}

BaseModelClass::~BaseModelClass() {
  delete[] Name;
}

int BaseModelClass::getNumStateVariables() {
  return numSVs;
}

void BaseModelClass::printState(std::ostream*) {}

void BaseModelClass::printState() {
  printState(&std::cout);
}

BaseStateVariableClass** BaseModelClass::GetLocalStateVariables(std::ostream*) {
  return nullptr;
}

BaseStateVariableClass** BaseModelClass::GetSharedStateVariables() {
  return nullptr;
}

BaseStateVariableClass* BaseModelClass::getMainSharedVariable(BaseStateVariableClass*) {
  return nullptr;
}

List<BaseStateVariableClass>* BaseModelClass::getListOfSharedVariables(BaseStateVariableClass*) {
  return nullptr;
}

void BaseModelClass::AddAffectArc(BaseStateVariableClass* sv, BaseActionClass* a) {
  sv->appendAffectingAction(a);
  a->addAffectedSV(sv);
}

void BaseModelClass::AddEnableArc(BaseStateVariableClass* sv, BaseActionClass* a) {
  sv->appendEnabledAction(a);
  a->addEnablingSV(sv);
}

// The operations below have no meaning for a model type that does not
// override them: reaching one is a programming error.

int BaseModelClass::GetModelType() {
  assert(false);
  return 0;
}

int BaseModelClass::GetNumberOfChildren() {
  assert(false);
  return -1;
}

BaseModelClass* BaseModelClass::GetChild(int) {
  assert(false);
  return nullptr;
}

void BaseModelClass::GetLocalActions(slist<BaseActionClass*>&) {
  assert(false);
}

void BaseModelClass::GetGlobalActions(slist<BaseActionClass*>&) {
  assert(false);
}

bool BaseModelClass::HasLocalState() {
  assert(false);
  return false;
}

void BaseModelClass::GetLocalState(State*) {
  assert(false);
}

void BaseModelClass::SetLocalState(const State*) {
  assert(false);
}

void BaseModelClass::ConstructLocalState(State*&) {
  assert(false);
}

void BaseModelClass::DestructLocalState(State*) {
  assert(false);
}

void BaseModelClass::DefineName(const char* name) {
  std::size_t length = std::strlen(name);
  char* copy = new (std::nothrow) char[length + 1];
  if (copy == nullptr)
    MemoryAllocationError();
  std::memcpy(copy, name, length + 1);
  delete[] Name;
  Name = copy;
}
