#include "reward/ActionModelPairClass.h"

#include <cstring>

namespace {
char* CopyName(const char* s) {
  char* copy = new char[std::strlen(s) + 1];
  std::strcpy(copy, s);
  return copy;
}
} // namespace

ActionModelPairClass::ActionModelPairClass() : ModelName(CopyName("")), ActionName(CopyName("")) {}

ActionModelPairClass::~ActionModelPairClass() {
  delete[] ModelName;
  delete[] ActionName;
}

void ActionModelPairClass::SetPair(const char* action, const char* model) {
  char* newAction = CopyName(action);
  char* newModel = CopyName(model);
  delete[] ActionName;
  delete[] ModelName;
  ActionName = newAction;
  ModelName = newModel;
}
