#include "example/setStudySetStudy.h"

#include <cstring>
#include <iostream>

#include "example/AtomicModelSAN.h"
#include "example/RewardCalcPVModel.h"

setStudySetStudy::setStudySetStudy() {
  NumGVs = 2;
  NumExps = 6;
  GVNames = new char*[NumGVs];
  GVTypes = new char*[NumGVs];
  GVNames[0] = strdup("lambda");
  GVNames[1] = strdup("meo");
  GVTypes[0] = strdup("double");
  GVTypes[1] = strdup("double");
  lambdaValues = new double[NumExps];
  meoValues = new double[NumExps];
  SetValues_lambda();
  SetValues_meo();
}

setStudySetStudy::~setStudySetStudy() {
  delete[] lambdaValues;
  delete[] meoValues;
  delete CurrentPVModel;
}

void setStudySetStudy::SetValues_lambda() {
  lambdaValues[0] = 0.1;
  lambdaValues[1] = 0.01;
  lambdaValues[2] = 0.001;
  lambdaValues[3] = 0.001;
  lambdaValues[4] = 0.1;
  lambdaValues[5] = 0.0001;
}

void setStudySetStudy::SetValues_meo() {
  meoValues[0] = 0.1;
  meoValues[1] = 0.01;
  meoValues[2] = 0.001;
  meoValues[3] = 0.1;
  meoValues[4] = 0.001;
  meoValues[5] = 0.0001;
}

PVModel* setStudySetStudy::GetPVModel(bool expandTimes) {
  delete CurrentPVModel;
  CurrentPVModel = new RewardCalcPVModel(expandTimes);
  return CurrentPVModel;
}

void setStudySetStudy::SetGVs(int expNum) {
  lambda = lambdaValues[expNum];
  meo = meoValues[expNum];
}

void setStudySetStudy::PrintGlobalValues(int expNum) {
  if (NumGVs == 0) {
    std::cout << "There are no global variables." << std::endl;
    return;
  }
  SetGVs(expNum);
  std::cout << "The Global Variable values for experiment " << GetExpName(expNum)
            << " are:" << std::endl;
  std::cout << "lambda\tdouble\t" << lambda << std::endl;
  std::cout << "meo\tdouble\t" << meo << std::endl;
}

void* setStudySetStudy::GetGVValue(char* name) {
  if (std::strcmp("lambda", name) == 0)
    return &lambda;
  if (std::strcmp("meo", name) == 0)
    return &meo;
  std::cerr << "!! setStudySetStudy::GetGVValue: Global Variable " << name << " does not exist."
            << std::endl;
  return nullptr;
}

void setStudySetStudy::OverrideGVValue(char* name, void* value) {
  if (std::strcmp("lambda", name) == 0)
    lambda = *static_cast<double*>(value);
  else if (std::strcmp("meo", name) == 0)
    meo = *static_cast<double*>(value);
  else
    std::cerr << "!! setStudySetStudy::OverrideGVValue: Global Variable " << name
              << " does not exist." << std::endl;
}

BaseStudyClass* GenerateStudy() {
  if (GlobalStudyPtr == nullptr)
    GlobalStudyPtr = new setStudySetStudy();
  return GlobalStudyPtr;
}

void DestructStudy() {
  delete GlobalStudyPtr;
  GlobalStudyPtr = nullptr;
}
