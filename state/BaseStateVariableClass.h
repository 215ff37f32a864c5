#ifndef STATE_BASESTATEVARIABLECLASS_H
#define STATE_BASESTATEVARIABLECLASS_H

#include <cstdint>
#include <iostream>

#include "model/List.h"

class BaseActionClass;

// A state variable: one named component of a model's state. It writes its
// value into a byte buffer (StateSize() bytes at the position it is given),
// reads it back, and prints itself. It also keeps the actions that read it
// (enabled actions) and those that change it (affecting actions).
//
// When variables share (see SharableSV), every member of a sharing group
// points at the two action lists of the group's main variable; only a
// variable whose `stored` flag is set deletes them. Copying is not allowed.
class BaseStateVariableClass {
public:
  // Owned copies; "default" and "" after default construction.
  char* Name;
  char* Prefix;
  // Takes part in a sharing group.
  bool shared;
  // Owns its value storage and its action lists (main variable of its group,
  // or not shared at all).
  bool stored;
  bool functionallyShared;
  // Number of pointer locations registered in the sharing group.
  int sharingCount;
  List<BaseActionClass>* SVAffectingActions;
  List<BaseActionClass>* SVEnabledActions;

  BaseStateVariableClass();
  BaseStateVariableClass(const char* name, const char* prefix);
  BaseStateVariableClass(const BaseStateVariableClass&) = delete;
  BaseStateVariableClass& operator=(const BaseStateVariableClass&) = delete;

  // Frees the strings, and the action lists when `stored`.
  virtual ~BaseStateVariableClass();
  // Bytes this variable occupies in a state buffer.
  virtual int StateSize() = 0;
  // Reads the value from the bytes at p.
  virtual void SetState(void* p) = 0;
  // Writes the value into the bytes at p.
  virtual void CurrentState(void* p) = 0;
  virtual void printState(std::ostream* os);
  // printState(&std::cout).
  virtual void printState();
  virtual void printStateVal(std::ostream* os);
  // Joins other's sharing group.
  virtual void share(BaseStateVariableClass* other) = 0;
  virtual void appendAffectingAction(BaseActionClass* a);
  virtual void removeAffectingAction(BaseActionClass* a);
  virtual void replaceAffectingAction(BaseActionClass* old, BaseActionClass* newAction);
  // a->addEnablingSV(this) and friends: lets a structured variable enter its
  // leaves into the action's lists instead of itself.
  virtual void addSelfAsEnablingSVToAction(BaseActionClass* a);
  virtual void addSelfAsAffectedSVToAction(BaseActionClass* a);
  virtual void removeSelfFromEnablingSVOfAction(BaseActionClass* a);
  virtual void removeSelfFromAffectedSVOfAction(BaseActionClass* a);
  // A new list (the caller deletes it) of the leaf variables.
  virtual List<BaseStateVariableClass>* getLeafNodes();
  virtual int getNumLeafNodes();
  virtual bool isLeafNode();
  virtual void appendEnabledAction(BaseActionClass* a);
  virtual void removeEnabledAction(BaseActionClass* a);
  virtual void replaceEnabledAction(BaseActionClass* old, BaseActionClass* newAction);

  // Free the old string and keep a copy of the new one.
  void SetName(const char* name);
  void SetPrefix(const char* prefix);

  bool getShared() const { return shared; }
  void setShared(bool s) {
    shared = s;
    noteSharingChange();
  }
  bool getStored() const { return stored; }
  void setStored(bool s) {
    stored = s;
    noteSharingChange();
  }

  // Counts the changes of any variable's `shared` or `stored` flag or value
  // storage, so that a model may keep its state layout between calls and
  // know when it must look again. The framework's sharing operations and
  // the setters above count; code that writes those fields directly must
  // call noteSharingChange() afterwards.
  static std::uint64_t sharingEpoch() { return SharingEpoch; }
  static void noteSharingChange() { SharingEpoch++; }
  bool getFunctionallyShared() const { return functionallyShared; }
  void setFunctionallyShared(bool s) { functionallyShared = s; }
  int getSharingCount() const { return sharingCount; }

  List<BaseActionClass>* getAffectingActions() const { return SVAffectingActions; }
  List<BaseActionClass>* getEnabledActions() const { return SVEnabledActions; }
  // Replace the list pointer; the old list is neither copied nor freed.
  void setAffectingActions(List<BaseActionClass>* l) { SVAffectingActions = l; }
  void setEnabledActions(List<BaseActionClass>* l) { SVEnabledActions = l; }
  // Append every item of l, in order, to the own list.
  void copyAffectingActions(List<BaseActionClass>* l);
  void copyEnabledActions(List<BaseActionClass>* l);
  int getNumAffectingActions() const;
  int getNumEnabledActions() const;
  // Item i, or null with a message on standard error when i is out of range.
  BaseActionClass* getAffectingAction(int i) const;
  BaseActionClass* getEnabledAction(int i) const;
  void printAffectingActions() const;
  void printEnabledActions() const;

private:
  static inline std::uint64_t SharingEpoch = 0;
};

#endif
