#include "example/RewardCalcPVNodes.h"

// Reliability

RewardCalcPV0Worker::RewardCalcPV0Worker() : AtomicModel(nullptr) {
  NumReferences = 1;
  References = new BaseModelClass**[1];
  References[0] = &AtomicModel;
}

RewardCalcPV0Worker::~RewardCalcPV0Worker() {
  delete[] References;
  References = nullptr;
}

double RewardCalcPV0Worker::Reward_Function() {
  return 1 - static_cast<AtomicModelSAN*>(AtomicModel)->FirstTimeFailure->getMark();
}

RewardCalcPV0::RewardCalcPV0(int timeIndex) : TheModelPtr(nullptr) {
  ModelSlot = &TheModelPtr;
  double startTimes[6] = {24, 360, 1080, 2520, 5400, 11160};
  double stopTimes[6] = {24, 360, 1080, 2520, 5400, 11160};
  Initialize("Reliability", INSTANT_OF_TIME, 6, startTimes, stopTimes, timeIndex, 0, 1, 1);
  AddVariableDependency("FirstTimeFailure", "AtomicModel");
}

RewardCalcPV0::~RewardCalcPV0() {
  for (int i = 0; Workers != nullptr && i < NumWorkers; i++) {
    if (Workers[i] == nullptr)
      continue;
    delete[] Workers[i]->Name;
    Workers[i]->Name = nullptr;
    delete Workers[i];
    Workers[i] = nullptr;
  }
}

void RewardCalcPV0::CreateWorkerList() {
  for (int i = 0; i < NumWorkers; i++)
    Workers[i] = new RewardCalcPV0Worker;
}

// Availibility

RewardCalcPV1Worker::RewardCalcPV1Worker() : AtomicModel(nullptr) {
  NumReferences = 1;
  References = new BaseModelClass**[1];
  References[0] = &AtomicModel;
}

RewardCalcPV1Worker::~RewardCalcPV1Worker() {
  delete[] References;
  References = nullptr;
}

double RewardCalcPV1Worker::Reward_Function() {
  return 1 - static_cast<AtomicModelSAN*>(AtomicModel)->FailState->getMark();
}

RewardCalcPV1::RewardCalcPV1(int timeIndex) : TheModelPtr(nullptr) {
  ModelSlot = &TheModelPtr;
  double startTimes[1] = {0.0};
  double stopTimes[1] = {1.0};
  Initialize("Availibility", STEADY_STATE, 1, startTimes, stopTimes, timeIndex, 0, 1, 1);
  IsSteadyState = 1;
  AddVariableDependency("FailState", "AtomicModel");
}

RewardCalcPV1::~RewardCalcPV1() {
  for (int i = 0; Workers != nullptr && i < NumWorkers; i++) {
    if (Workers[i] == nullptr)
      continue;
    delete[] Workers[i]->Name;
    Workers[i]->Name = nullptr;
    delete Workers[i];
    Workers[i] = nullptr;
  }
}

void RewardCalcPV1::CreateWorkerList() {
  for (int i = 0; i < NumWorkers; i++)
    Workers[i] = new RewardCalcPV1Worker;
}
