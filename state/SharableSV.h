#ifndef STATE_SHARABLESV_H
#define STATE_SHARABLESV_H

#include <iostream>

#include "state/BaseStateVariableClass.h"

// One registered pointer location of a sharing group: a T* field (a value
// pointer, a place's Mark, an activity's cached marking pointer) that must
// always point at the group's storage. `owner` is the variable owning the
// field, or null.
template <class T> class PointerElement {
public:
  T** location;
  BaseStateVariableClass* owner;
  PointerElement<T>* next;

  PointerElement(T** loc, BaseStateVariableClass* own, PointerElement<T>* nxt)
      : location(loc), owner(own), next(nxt) {}
  BaseStateVariableClass* getOwner() const { return owner; }
};

// A state variable holding one value of type T in heap storage that several
// variables, possibly of different models, can come to share.
//
// Sharing ("equivalence sharing") merges groups: afterwards there is one
// storage, one pair of action lists and one registration list, all held by
// the group's main variable (MainSV). Every pointer that must follow the
// storage is registered (RegisterPointer); a join rewrites all registered
// locations of the absorbed group, so access never goes through an extra
// indirection. Provided for T = short.
template <class T> class SharableSV : public BaseStateVariableClass {
public:
  // The value storage; after joining a group, the main variable's storage.
  T* ValuePtr;
  // Head of the singly linked registrations of this group (empty for a
  // variable that joined another group).
  PointerElement<T>* Registrations;
  // The group's main variable; the variable itself until it joins another.
  SharableSV<T>* MainSV;

  // Storage holding 0; registers its own ValuePtr (owner: itself).
  SharableSV();
  // Frees the storage when `stored`, and all registration elements.
  ~SharableSV() override;

  int StateSize() override;
  void SetState(void* p) override;
  void CurrentState(void* p) override;
  using BaseStateVariableClass::printState;
  // Name, " = ", the value, end of line.
  void printState(std::ostream* os) override;
  // The value only.
  void printStateVal(std::ostream* os) override;
  // Joins other's group; other must be a SharableSV<T> (asserted).
  void share(BaseStateVariableClass* other) override;
  // Appends a (once) to the group's affecting actions through every
  // registration that has an owner; a member forwards to its main variable.
  void appendAffectingAction(BaseActionClass* a) override;

  // Stores ValuePtr at location, counts it and puts it at the front of the
  // registrations; sharing will redirect it. owner may be null.
  void RegisterPointer(T** location, BaseStateVariableClass* owner);
  PointerElement<T>* getHead() const { return Registrations; }

  // Absorbs the group whose main variable is other into this variable's
  // group (this must be a main variable).
  void join(SharableSV<T>* other);
};

extern template class SharableSV<short>;

#endif
