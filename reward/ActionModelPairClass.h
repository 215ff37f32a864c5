#ifndef REWARD_ACTIONMODELPAIRCLASS_H
#define REWARD_ACTIONMODELPAIRCLASS_H

// A (model name, action name) pair naming the action that triggers an impulse
// reward. Both strings are owned and empty (never null) after construction.
class ActionModelPairClass {
public:
  char* ModelName;
  char* ActionName;

  ActionModelPairClass();
  ~ActionModelPairClass();
  ActionModelPairClass(const ActionModelPairClass&) = delete;
  ActionModelPairClass& operator=(const ActionModelPairClass&) = delete;

  // Replaces both names by fresh copies.
  void SetPair(const char* action, const char* model);
};

#endif
