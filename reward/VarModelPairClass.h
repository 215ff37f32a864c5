#ifndef REWARD_VARMODELPAIRCLASS_H
#define REWARD_VARMODELPAIRCLASS_H

// A (model name, state variable name) pair that a reward function reads.
// Both strings are owned copies; null until SetPair.
class VarModelPairClass {
public:
  char* ModelName;
  char* VariableName;

  VarModelPairClass();
  ~VarModelPairClass();
  VarModelPairClass(const VarModelPairClass&) = delete;
  VarModelPairClass& operator=(const VarModelPairClass&) = delete;

  // Stores copies of both names, releasing earlier ones.
  void SetPair(const char* variable, const char* model);
};

#endif
