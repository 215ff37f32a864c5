#include "state/BaseStateVariableClass.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "model/BaseActionClass.h"
#include "model/StandardErrors.h"

namespace {

// A new[]-allocated copy of s. A variable cannot live without its name, so
// running out of memory here ends the program.
char* copyString(const char* s) {
  std::size_t length = std::strlen(s);
  char* copy = new (std::nothrow) char[length + 1];
  if (copy == nullptr) {
    std::cerr << "Not Enough Memory" << std::endl;
    std::exit(1);
  }
  std::memcpy(copy, s, length + 1);
  return copy;
}

List<BaseActionClass>* newActionList() {
  List<BaseActionClass>* list = new (std::nothrow) List<BaseActionClass>();
  if (list == nullptr)
    MemoryAllocationError();
  return list;
}

} // namespace

BaseStateVariableClass::BaseStateVariableClass() : BaseStateVariableClass("default", "") {}

BaseStateVariableClass::BaseStateVariableClass(const char* name, const char* prefix)
    : Name(copyString(name)), Prefix(copyString(prefix)), shared(false), stored(true),
      functionallyShared(false), sharingCount(0), SVAffectingActions(newActionList()),
      SVEnabledActions(newActionList()) {
  // A new variable may take the address of one a model recorded.
  noteSharingChange();
}

BaseStateVariableClass::~BaseStateVariableClass() {
  noteSharingChange();
  delete[] Name;
  delete[] Prefix;
  if (stored) {
    delete SVAffectingActions;
    delete SVEnabledActions;
  }
}

void BaseStateVariableClass::printState(std::ostream*) {}

void BaseStateVariableClass::printState() {
  printState(&std::cout);
}

void BaseStateVariableClass::printStateVal(std::ostream*) {}

void BaseStateVariableClass::appendAffectingAction(BaseActionClass* a) {
  SVAffectingActions->append(a);
}

void BaseStateVariableClass::removeAffectingAction(BaseActionClass* a) {
  SVAffectingActions->remove(a);
}

void BaseStateVariableClass::replaceAffectingAction(BaseActionClass* old,
                                                    BaseActionClass* newAction) {
  SVAffectingActions->replaceItem(old, newAction);
}

void BaseStateVariableClass::addSelfAsEnablingSVToAction(BaseActionClass* a) {
  a->addEnablingSV(this);
}

void BaseStateVariableClass::addSelfAsAffectedSVToAction(BaseActionClass* a) {
  a->addAffectedSV(this);
}

void BaseStateVariableClass::removeSelfFromEnablingSVOfAction(BaseActionClass* a) {
  a->removeEnablingSV(this);
}

void BaseStateVariableClass::removeSelfFromAffectedSVOfAction(BaseActionClass* a) {
  a->removeAffectedSV(this);
}

List<BaseStateVariableClass>* BaseStateVariableClass::getLeafNodes() {
  List<BaseStateVariableClass>* leaves = new (std::nothrow) List<BaseStateVariableClass>();
  if (leaves == nullptr)
    MemoryAllocationError();
  leaves->append(this);
  return leaves;
}

int BaseStateVariableClass::getNumLeafNodes() {
  return 1;
}

bool BaseStateVariableClass::isLeafNode() {
  return true;
}

void BaseStateVariableClass::appendEnabledAction(BaseActionClass* a) {
  SVEnabledActions->append(a);
}

void BaseStateVariableClass::removeEnabledAction(BaseActionClass* a) {
  SVEnabledActions->remove(a);
}

void BaseStateVariableClass::replaceEnabledAction(BaseActionClass* old,
                                                  BaseActionClass* newAction) {
  SVEnabledActions->replaceItem(old, newAction);
}

void BaseStateVariableClass::SetName(const char* name) {
  char* copy = copyString(name);
  delete[] Name;
  Name = copy;
}

void BaseStateVariableClass::SetPrefix(const char* prefix) {
  char* copy = copyString(prefix);
  delete[] Prefix;
  Prefix = copy;
}

void BaseStateVariableClass::copyAffectingActions(List<BaseActionClass>* l) {
  for (int i = 0; i < l->getNumItems(); i++)
    SVAffectingActions->append(l->getItem(i));
}

void BaseStateVariableClass::copyEnabledActions(List<BaseActionClass>* l) {
  for (int i = 0; i < l->getNumItems(); i++)
    SVEnabledActions->append(l->getItem(i));
}

int BaseStateVariableClass::getNumAffectingActions() const {
  return SVAffectingActions->getNumItems();
}

int BaseStateVariableClass::getNumEnabledActions() const {
  return SVEnabledActions->getNumItems();
}

BaseActionClass* BaseStateVariableClass::getAffectingAction(int i) const {
  if (i < 0 || i >= SVAffectingActions->getNumItems()) {
    std::cerr << "!! BaseStateVariableClass::getAffectingAction(int): "
              << " AffectingAction index out of bounds" << std::endl;
    return nullptr;
  }
  return SVAffectingActions->getItem(i);
}

BaseActionClass* BaseStateVariableClass::getEnabledAction(int i) const {
  if (i < 0 || i >= SVEnabledActions->getNumItems()) {
    std::cerr << "!! BaseStateVariableClass::getEnabledAction(int): "
              << " EnabledAction index out of bounds" << std::endl;
    return nullptr;
  }
  return SVEnabledActions->getItem(i);
}

void BaseStateVariableClass::printAffectingActions() const {
  std::cout << "Affecting actions for " << Name << ":" << std::endl;
  SVAffectingActions->printList();
}

void BaseStateVariableClass::printEnabledActions() const {
  std::cout << "Enabled actions for " << Name << ":" << std::endl;
  SVEnabledActions->printList();
}
