#include "reward/ModelGroupClass.h"

#include <cassert>

ModelGroupClass::ModelGroupClass() : Models(nullptr), NumModels(0) {}

ModelGroupClass::~ModelGroupClass() {
  delete[] Models;
}

void ModelGroupClass::CreateModelList(int n) {
  delete[] Models;
  Models = n > 0 ? new BaseModelClass*[n]() : nullptr;
  NumModels = n > 0 ? n : 0;
}

void ModelGroupClass::SetModel(int i, BaseModelClass* m) {
  assert(0 <= i && i < NumModels);
  Models[i] = m;
}

bool ModelGroupClass::IsDependentOnModel(BaseModelClass* m) const {
  for (int i = 0; i < NumModels; i++)
    if (Models[i] == m)
      return true;
  return false;
}
