#include "state/SharableSV.h"

#include <cassert>
#include <cstring>
#include <new>

#include "model/BaseActionClass.h"
#include "model/StandardErrors.h"

template <class T>
SharableSV<T>::SharableSV()
    : BaseStateVariableClass(), ValuePtr(nullptr), Registrations(nullptr), MainSV(this) {
  ValuePtr = new (std::nothrow) T(0);
  if (ValuePtr == nullptr)
    MemoryAllocationError();
  RegisterPointer(&ValuePtr, this);
  PointerElement<T>* NextElement = Registrations;
  assert(NextElement->getOwner());
}

template <class T> SharableSV<T>::~SharableSV() {
  if (stored)
    delete ValuePtr;
  while (Registrations != nullptr) {
    PointerElement<T>* next = Registrations->next;
    delete Registrations;
    Registrations = next;
  }
}

template <class T> int SharableSV<T>::StateSize() {
  return static_cast<int>(sizeof(T));
}

template <class T> void SharableSV<T>::SetState(void* p) {
  std::memcpy(ValuePtr, p, sizeof(T));
}

template <class T> void SharableSV<T>::CurrentState(void* p) {
  std::memcpy(p, ValuePtr, sizeof(T));
}

template <class T> void SharableSV<T>::printState(std::ostream* os) {
  *os << Name << " = " << +*ValuePtr << std::endl;
}

template <class T> void SharableSV<T>::printStateVal(std::ostream* os) {
  *os << +*ValuePtr;
}

template <class T>
void SharableSV<T>::RegisterPointer(T** location, BaseStateVariableClass* owner) {
  *location = ValuePtr;
  PointerElement<T>* element = new (std::nothrow) PointerElement<T>(location, owner, Registrations);
  if (element == nullptr)
    MemoryAllocationError();
  Registrations = element;
  sharingCount++;
}

template <class T> void SharableSV<T>::appendAffectingAction(BaseActionClass* a) {
  // A member hands the action to its group's main variable, so that an arc
  // added after sharing still reaches the group's list.
  if (MainSV != this) {
    MainSV->appendAffectingAction(a);
    return;
  }
  // Every owner in the group holds the group's one list, so a is added once.
  for (PointerElement<T>* e = Registrations; e != nullptr; e = e->next) {
    if (e->getOwner() != nullptr)
      e->getOwner()->getAffectingActions()->append(a);
  }
}

template <class T> void SharableSV<T>::join(SharableSV<T>* other) {
  if (other == this)
    return;
  // The absorbed group's storage goes; every registered pointer of that
  // group is redirected to ours.
  delete other->ValuePtr;
  other->MainSV = this;
  other->ValuePtr = ValuePtr;
  for (PointerElement<T>* e = other->Registrations; e != nullptr; e = e->next)
    *e->location = ValuePtr;
  other->shared = true;
  other->stored = false;
  noteSharingChange();

  // One pair of action lists for the whole group: ours.
  assert(SVAffectingActions);
  assert(SVEnabledActions);
  SVAffectingActions->append(other->SVAffectingActions);
  SVEnabledActions->append(other->SVEnabledActions);
  delete other->SVAffectingActions;
  delete other->SVEnabledActions;
  other->SVAffectingActions = SVAffectingActions;
  other->SVEnabledActions = SVEnabledActions;

  // Every variable of the absorbed group now uses our lists and names us as
  // its main variable.
  SharableSV<T>* TheOtherPointer = other;
  assert(TheOtherPointer->getHead());
  PointerElement<T>* last = nullptr;
  for (PointerElement<T>* e = other->Registrations; e != nullptr; e = e->next) {
    BaseStateVariableClass* owner = e->getOwner();
    if (owner != nullptr) {
      owner->setAffectingActions(SVAffectingActions);
      owner->setEnabledActions(SVEnabledActions);
      if (auto* member = dynamic_cast<SharableSV<T>*>(owner))
        member->MainSV = this;
    }
    last = e;
  }

  // The absorbed registrations go in front of ours (there is at least one:
  // the assertion on getHead() above).
  // cppcheck-suppress nullPointer
  last->next = Registrations;
  Registrations = other->Registrations;
  sharingCount += other->sharingCount;
  other->Registrations = nullptr;
}

template <class T> void SharableSV<T>::share(BaseStateVariableClass* other) {
  SharableSV<T>* otherSV = dynamic_cast<SharableSV<T>*>(other);
  assert(otherSV);

  // Variables that are in one group already have nothing left to join.
  if (MainSV != otherSV->MainSV) {
    if (stored && otherSV->stored) {
      shared = true;
      noteSharingChange();
      *ValuePtr = *otherSV->ValuePtr;
      join(otherSV);
    } else if (stored) {
      otherSV->MainSV->join(this);
    } else if (otherSV->stored) {
      MainSV->join(otherSV);
    } else if (sharingCount <= otherSV->MainSV->sharingCount) {
      otherSV->MainSV->join(MainSV);
    } else {
      MainSV->join(otherSV->MainSV);
    }
  }

  // Actions that listed other now list the group's main variable (once).
  List<BaseActionClass>* affecting = otherSV->getAffectingActions();
  for (int i = 0; i < affecting->getNumItems(); i++)
    affecting->getItem(i)->AffectedSVs.replaceItem(otherSV, MainSV);
  List<BaseActionClass>* enabled = otherSV->getEnabledActions();
  for (int i = 0; i < enabled->getNumItems(); i++)
    enabled->getItem(i)->EnablingSVs.replaceItem(otherSV, MainSV);
}

template class SharableSV<short>;
