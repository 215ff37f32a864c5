#include "models/mdk/MdkStudy.h"

#include <cstring>
#include <iostream>

#include "models/mdk/MdkRewardPVModel.h"

int K = 0;
double lambda = 0.0;
double delay = 0.0;

MdkStudy::MdkStudy() {
  NumGVs = 3;
  NumExps = 3;
  GVNames = new char*[NumGVs];
  GVTypes = new char*[NumGVs];
  GVNames[0] = strdup("K");
  GVTypes[0] = strdup("int");
  GVNames[1] = strdup("lambda");
  GVTypes[1] = strdup("double");
  GVNames[2] = strdup("delay");
  GVTypes[2] = strdup("double");
  KValues = new int[NumExps];
  lambdaValues = new double[NumExps];
  delayValues = new double[NumExps];
  SetValues_K();
  SetValues_lambda();
  SetValues_delay();
}

MdkStudy::~MdkStudy() {
  delete[] KValues;
  delete[] lambdaValues;
  delete[] delayValues;
  delete CurrentPVModel;
  CurrentPVModel = nullptr;
}

void MdkStudy::SetValues_K() {
  KValues[0] = 5;
  KValues[1] = 20;
  KValues[2] = 1000;
}

void MdkStudy::SetValues_lambda() {
  lambdaValues[0] = 0.5;
  lambdaValues[1] = 0.9;
  lambdaValues[2] = 0.95;
}

void MdkStudy::SetValues_delay() {
  delayValues[0] = 1.0;
  delayValues[1] = 1.0;
  delayValues[2] = 1.0;
}

PVModel* MdkStudy::GetPVModel(bool expandTimes) {
  delete CurrentPVModel;
  CurrentPVModel = nullptr;
  CurrentPVModel = new MdkRewardPVModel(expandTimes);
  return CurrentPVModel;
}

void MdkStudy::SetGVs(int expNum) {
  CheckExperimentNumber(expNum);
  K = KValues[expNum];
  lambda = lambdaValues[expNum];
  delay = delayValues[expNum];
}

void MdkStudy::PrintGlobalValues(int expNum) {
  if (NumGVs == 0) {
    std::cout << "There are no global variables." << std::endl;
    return;
  }
  SetGVs(expNum);
  std::cout << "The Global Variable values for experiment " << GetExpName(expNum)
            << " are:" << std::endl;
  std::cout << "K\tint\t" << K << std::endl;
  std::cout << "lambda\tdouble\t" << lambda << std::endl;
  std::cout << "delay\tdouble\t" << delay << std::endl;
}

void* MdkStudy::GetGVValue(char* name) {
  if (std::strcmp(name, "K") == 0)
    return &K;
  if (std::strcmp(name, "lambda") == 0)
    return &lambda;
  if (std::strcmp(name, "delay") == 0)
    return &delay;
  std::cerr << "!! MdkStudy::GetGVValue: Global Variable " << name << " does not exist."
            << std::endl;
  return nullptr;
}

void MdkStudy::OverrideGVValue(char* name, void* value) {
  if (std::strcmp(name, "K") == 0)
    K = *static_cast<int*>(value);
  else if (std::strcmp(name, "lambda") == 0)
    lambda = *static_cast<double*>(value);
  else if (std::strcmp(name, "delay") == 0)
    delay = *static_cast<double*>(value);
  else
    std::cerr << "!! MdkStudy::OverrideGVValue: Global Variable " << name << " does not exist."
              << std::endl;
}

BaseStudyClass* GenerateStudy() {
  if (GlobalStudyPtr == nullptr)
    GlobalStudyPtr = new MdkStudy;
  return GlobalStudyPtr;
}

void DestructStudy() {
  delete GlobalStudyPtr;
  GlobalStudyPtr = nullptr;
}
