#ifndef REWARD_MODELGROUPCLASS_H
#define REWARD_MODELGROUPCLASS_H

class BaseModelClass;

// The model instances that one reward worker reads: entry j is the instance
// of the variable's j-th model name. The group owns its array, not the models.
class ModelGroupClass {
public:
  BaseModelClass** Models;
  int NumModels;

  ModelGroupClass();
  ~ModelGroupClass();
  ModelGroupClass(const ModelGroupClass&) = delete;
  ModelGroupClass& operator=(const ModelGroupClass&) = delete;

  // Replaces any previous array by n null entries.
  void CreateModelList(int n);
  // 0 <= i < NumModels.
  void SetModel(int i, BaseModelClass* m);
  // Pointer comparison against the entries.
  bool IsDependentOnModel(BaseModelClass* m) const;
};

#endif
