#include "models/fms/FmsStudy.h"

#include <cstdlib>
#include <cstring>
#include <iostream>

#include "models/fms/FmsRewardPVModel.h"

int N = 0;

FmsStudy::FmsStudy() {
  NumGVs = 1;
  NumExps = 10;
  GVNames = new char*[NumGVs];
  GVTypes = new char*[NumGVs];
  GVNames[0] = strdup("N");
  GVTypes[0] = strdup("int");
  NValues = new int[NumExps];
  SetValues_N();
}

FmsStudy::~FmsStudy() {
  delete[] NValues;
  delete CurrentPVModel;
  CurrentPVModel = nullptr;
}

void FmsStudy::SetValues_N() {
  for (int e = 0; e < NumExps; e++)
    NValues[e] = e + 1;
}

PVModel* FmsStudy::GetPVModel(bool expandTimes) {
  delete CurrentPVModel;
  CurrentPVModel = nullptr;
  CurrentPVModel = new FmsRewardPVModel(expandTimes);
  return CurrentPVModel;
}

void FmsStudy::SetGVs(int expNum) {
  CheckExperimentNumber(expNum);
  N = NValues[expNum];
}

void FmsStudy::PrintGlobalValues(int expNum) {
  if (NumGVs == 0) {
    std::cout << "There are no global variables." << std::endl;
    return;
  }
  SetGVs(expNum);
  std::cout << "The Global Variable values for experiment " << GetExpName(expNum)
            << " are:" << std::endl;
  std::cout << "N\tint\t" << N << std::endl;
}

void* FmsStudy::GetGVValue(char* name) {
  if (std::strcmp(name, "N") == 0)
    return &N;
  std::cerr << "!! FmsStudy::GetGVValue: Global Variable " << name << " does not exist."
            << std::endl;
  return nullptr;
}

void FmsStudy::OverrideGVValue(char* name, void* value) {
  if (std::strcmp(name, "N") == 0) {
    N = *static_cast<int*>(value);
    return;
  }
  std::cerr << "!! FmsStudy::OverrideGVValue: Global Variable " << name << " does not exist."
            << std::endl;
}

BaseStudyClass* GenerateStudy() {
  if (GlobalStudyPtr == nullptr)
    GlobalStudyPtr = new FmsStudy;
  return GlobalStudyPtr;
}

void DestructStudy() {
  delete GlobalStudyPtr;
  GlobalStudyPtr = nullptr;
}
