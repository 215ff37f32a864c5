#include "reward/VarModelPairClass.h"

#include <cstring>

namespace {
char* CopyName(const char* s) {
  char* copy = new char[std::strlen(s) + 1];
  std::strcpy(copy, s);
  return copy;
}
} // namespace

VarModelPairClass::VarModelPairClass() : ModelName(nullptr), VariableName(nullptr) {}

VarModelPairClass::~VarModelPairClass() {
  delete[] ModelName;
  delete[] VariableName;
}

void VarModelPairClass::SetPair(const char* variable, const char* model) {
  char* newVariable = CopyName(variable);
  char* newModel = CopyName(model);
  delete[] VariableName;
  delete[] ModelName;
  VariableName = newVariable;
  ModelName = newModel;
}
