#include "state/StructStateVariable.h"

#include <cassert>
#include <new>

#include "model/BaseActionClass.h"
#include "model/StandardErrors.h"

BaseStructStateVariable::BaseStructStateVariable() : BaseStateVariableClass(), StructSize(0) {}

BaseStructStateVariable::BaseStructStateVariable(const char* name, const char* prefix)
    : BaseStateVariableClass(name, prefix), StructSize(-1) {}

BaseStructStateVariable::BaseStructStateVariable(const char* name, const char* prefix,
                                                 const ArrayType* types, int n)
    : BaseStructStateVariable(name, prefix) {
  makeArrays(types, n);
}

BaseStructStateVariable::~BaseStructStateVariable() = default;

int BaseStructStateVariable::elementSize(ArrayType type) {
  switch (type) {
  case SHORT_TYPE:
    return 2;
  case INT_TYPE:
  case FLOAT_TYPE:
    return 4;
  case CHAR_TYPE:
    return 1;
  case DOUBLE_TYPE:
    return 8;
  default:
    return 0;
  }
}

// Elementary fields take their type's size; structured ones their child's.
static int fieldSize(const BaseStructStateVariable::Field& f) {
  int size = BaseStructStateVariable::elementSize(f.second);
  return size > 0 ? size : f.first->StateSize();
}

int BaseStructStateVariable::calculateStateSize() const {
  int size = 0;
  for (const Field& f : fields)
    size += fieldSize(f);
  return size;
}

int BaseStructStateVariable::StateSize() {
  if (StructSize < 0)
    StructSize = calculateStateSize();
  return StructSize;
}

void BaseStructStateVariable::SetState(void* p) {
  char* position = static_cast<char*>(p);
  for (const Field& f : fields) {
    f.first->SetState(position);
    position += fieldSize(f);
  }
}

void BaseStructStateVariable::CurrentState(void* p) {
  char* position = static_cast<char*>(p);
  for (const Field& f : fields) {
    f.first->CurrentState(position);
    position += fieldSize(f);
  }
}

void BaseStructStateVariable::printState(std::ostream* os) {
  *os << Name << " = {" << std::endl;
  for (const Field& f : fields) {
    *os << ".";
    f.first->printState(os);
  }
  *os << "}" << std::endl;
}

void BaseStructStateVariable::share(BaseStateVariableClass* other) {
  BaseStructStateVariable* otherStruct = dynamic_cast<BaseStructStateVariable*>(other);
  assert(otherStruct);
  ShareWith(otherStruct);
}

void BaseStructStateVariable::appendAffectingAction(BaseActionClass* a) {
  for (const Field& f : fields)
    f.first->appendAffectingAction(a);
  BaseStateVariableClass::appendAffectingAction(a);
}

void BaseStructStateVariable::addSelfAsEnablingSVToAction(BaseActionClass* a) {
  for (const Field& f : fields)
    f.first->addSelfAsEnablingSVToAction(a);
}

void BaseStructStateVariable::addSelfAsAffectedSVToAction(BaseActionClass* a) {
  for (const Field& f : fields)
    f.first->addSelfAsAffectedSVToAction(a);
}

void BaseStructStateVariable::removeSelfFromEnablingSVOfAction(BaseActionClass* a) {
  for (const Field& f : fields)
    f.first->removeSelfFromEnablingSVOfAction(a);
}

void BaseStructStateVariable::removeSelfFromAffectedSVOfAction(BaseActionClass* a) {
  for (const Field& f : fields)
    f.first->removeSelfFromAffectedSVOfAction(a);
}

List<BaseStateVariableClass>* BaseStructStateVariable::getLeafNodes() {
  List<BaseStateVariableClass>* leaves = new (std::nothrow) List<BaseStateVariableClass>();
  if (leaves == nullptr)
    MemoryAllocationError();
  for (const Field& f : fields) {
    List<BaseStateVariableClass>* childTemp = f.first->getLeafNodes();
    assert(childTemp);
    leaves->append(childTemp);
    delete childTemp;
  }
  return leaves;
}

int BaseStructStateVariable::getNumLeafNodes() {
  int count = 0;
  for (const Field& f : fields)
    count += f.first->getNumLeafNodes();
  return count == 0 ? 1 : count;
}

bool BaseStructStateVariable::isLeafNode() {
  return fields.empty();
}

void BaseStructStateVariable::appendEnabledAction(BaseActionClass* a) {
  BaseStateVariableClass::appendEnabledAction(a);
  for (const Field& f : fields)
    f.first->appendEnabledAction(a);
}

void BaseStructStateVariable::ShareWith(BaseStructStateVariable* otherStruct) {
  if (otherStruct == this)
    return;

  // Corresponding children join their sharing groups.
  auto otheri = otherStruct->fields.begin();
  for (const Field& f : fields) {
    // clang-format off
    assert(otheri!=otherStruct->fields.end());
    // clang-format on
    f.first->share(otheri->first);
    ++otheri;
  }

  // This variable's lists become the pair for both.
  if (otherStruct->SVAffectingActions != SVAffectingActions) {
    SVAffectingActions->append(otherStruct->SVAffectingActions);
    if (otherStruct->stored)
      delete otherStruct->SVAffectingActions;
    otherStruct->SVAffectingActions = SVAffectingActions;
  }
  if (otherStruct->SVEnabledActions != SVEnabledActions) {
    SVEnabledActions->append(otherStruct->SVEnabledActions);
    if (otherStruct->stored)
      delete otherStruct->SVEnabledActions;
    otherStruct->SVEnabledActions = SVEnabledActions;
  }
  otherStruct->shared = true;
  otherStruct->stored = false;
  noteSharingChange();

  // Actions that listed the other variable list this one instead (once).
  for (int i = 0; i < SVAffectingActions->getNumItems(); i++)
    SVAffectingActions->getItem(i)->AffectedSVs.replaceItem(otherStruct, this);
  for (int i = 0; i < SVEnabledActions->getNumItems(); i++)
    SVEnabledActions->getItem(i)->EnablingSVs.replaceItem(otherStruct, this);
}

BaseStructStateVariable::Field BaseStructStateVariable::field(ArrayType type,
                                                              BaseStateVariableClass* child) const {
  return Field(child, type);
}

void BaseStructStateVariable::makeArrays(const ArrayType* types, int n) {
  for (int i = 0; i < n; i++)
    fields.push_back(field(types[i], nullptr));
  StructSize = -1;
}
