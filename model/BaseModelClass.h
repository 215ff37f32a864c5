#ifndef MODEL_BASEMODELCLASS_H
#define MODEL_BASEMODELCLASS_H

#include <forward_list>
#include <iostream>

#include "model/List.h"

class BaseStateVariableClass;
class BaseActionClass;
class BaseGroupClass;
class State;

// Singly linked list filled by insertion at the front.
template <class T> using slist = std::forward_list<T>;

// The interface through which the reward model and the generator reach any
// model: list its variables, actions, groups and sub-models by name, write
// its state into a byte buffer and read it back, compare two buffers, print
// the state, and tell local from global actions.
//
// The model owns its Name and the Groups and Actions arrays, not the groups
// and actions they point to. Operations a model type does not support fail
// the assertion "false". Copying is not allowed.
class BaseModelClass {
public:
  // State variables (for a SAN model local plus read-only places).
  int numSVs;
  int numActions;
  int numGroups;
  BaseGroupClass** Groups;
  char* Name;
  // Unique id: 1 for the first model constructed, then 2, ...
  int modelId;
  // Id of the enclosing model; modelId until SetParentId.
  int parentId;
  BaseActionClass** Actions;

  // Simulated time of the last fired action (set by the reward model).
  static double LastActionTime;
  // The last id handed out; starts at 0.
  static int globalModelId;

  BaseModelClass();
  BaseModelClass(const BaseModelClass&) = delete;
  BaseModelClass& operator=(const BaseModelClass&) = delete;

  virtual ~BaseModelClass();
  virtual int getNumStateVariables();
  // Appends this model to out when name equals Name.
  virtual void listModels(const char* name, List<BaseModelClass>* out) = 0;
  // Writes the model's state vector (StateSize() bytes) into buf.
  virtual void CurrentState(void* buf) = 0;
  virtual void listActions(List<BaseActionClass>* out) = 0;
  virtual void listGroups(List<BaseGroupClass>* out) = 0;
  // Loads the model's state from buf.
  virtual void SetState(void* buf) = 0;
  virtual int StateSize() = 0;
  // True when the first StateSize() bytes of a and b are equal.
  virtual bool CompareState(void* a, void* b) = 0;
  // Appends the first action named name, if any.
  virtual void listActions(const char* name, List<BaseActionClass>* out) = 0;
  // When model equals Name: appends every variable named sv to svs, and this
  // model to models once per such variable.
  virtual void listSVs(const char* model, const char* sv, List<BaseStateVariableClass>* svs,
                       List<BaseModelClass>* models) = 0;
  virtual void printState(std::ostream* os);
  virtual void printState();
  virtual BaseStateVariableClass** GetLocalStateVariables(std::ostream* os);
  virtual BaseStateVariableClass** GetSharedStateVariables();
  virtual BaseStateVariableClass* getMainSharedVariable(BaseStateVariableClass* sv);
  virtual List<BaseStateVariableClass>* getListOfSharedVariables(BaseStateVariableClass* sv);
  // Output arc: sv->appendAffectingAction(a), then a->addAffectedSV(sv).
  virtual void AddAffectArc(BaseStateVariableClass* sv, BaseActionClass* a);
  // Input arc: sv->appendEnabledAction(a), then a->addEnablingSV(sv).
  virtual void AddEnableArc(BaseStateVariableClass* sv, BaseActionClass* a);
  virtual int GetModelType();
  virtual int GetNumberOfChildren();
  virtual BaseModelClass* GetChild(int i);
  // Push the model's local (global) actions onto the front of out.
  virtual void GetLocalActions(slist<BaseActionClass*>& out);
  virtual void GetGlobalActions(slist<BaseActionClass*>& out);
  virtual bool HasLocalState();
  virtual void GetLocalState(State* s);
  virtual void SetLocalState(const State* s);
  // s = a new saved state for this model; DestructLocalState deletes it.
  virtual void ConstructLocalState(State*& s);
  virtual void DestructLocalState(State* s);

  // Replaces Name with a copy of name.
  void DefineName(const char* name);
  void SetParentId(int id) { parentId = id; }
};

#endif
