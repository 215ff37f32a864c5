#include "models/kanban/KanbanStudy.h"

#include <cstdlib>
#include <cstring>
#include <iostream>

#include "models/kanban/KanbanRewardPVModel.h"

int N = 0;

KanbanStudy::KanbanStudy() {
  NumGVs = 1;
  NumExps = 7;
  GVNames = new char*[NumGVs];
  GVTypes = new char*[NumGVs];
  GVNames[0] = strdup("N");
  GVTypes[0] = strdup("int");
  NValues = new int[NumExps];
  SetValues_N();
}

KanbanStudy::~KanbanStudy() {
  delete[] NValues;
  delete CurrentPVModel;
  CurrentPVModel = nullptr;
}

void KanbanStudy::SetValues_N() {
  for (int e = 0; e < NumExps; e++)
    NValues[e] = e + 1;
}

PVModel* KanbanStudy::GetPVModel(bool expandTimes) {
  delete CurrentPVModel;
  CurrentPVModel = nullptr;
  CurrentPVModel = new KanbanRewardPVModel(expandTimes);
  return CurrentPVModel;
}

void KanbanStudy::SetGVs(int expNum) {
  CheckExperimentNumber(expNum);
  N = NValues[expNum];
}

void KanbanStudy::PrintGlobalValues(int expNum) {
  if (NumGVs == 0) {
    std::cout << "There are no global variables." << std::endl;
    return;
  }
  SetGVs(expNum);
  std::cout << "The Global Variable values for experiment " << GetExpName(expNum)
            << " are:" << std::endl;
  std::cout << "N\tint\t" << N << std::endl;
}

void* KanbanStudy::GetGVValue(char* name) {
  if (std::strcmp(name, "N") == 0)
    return &N;
  std::cerr << "!! KanbanStudy::GetGVValue: Global Variable " << name << " does not exist."
            << std::endl;
  return nullptr;
}

void KanbanStudy::OverrideGVValue(char* name, void* value) {
  if (std::strcmp(name, "N") == 0) {
    N = *static_cast<int*>(value);
    return;
  }
  std::cerr << "!! KanbanStudy::OverrideGVValue: Global Variable " << name << " does not exist."
            << std::endl;
}

BaseStudyClass* GenerateStudy() {
  if (GlobalStudyPtr == nullptr)
    GlobalStudyPtr = new KanbanStudy;
  return GlobalStudyPtr;
}

void DestructStudy() {
  delete GlobalStudyPtr;
  GlobalStudyPtr = nullptr;
}
