#include "example/RewardCalcPVModel.h"

#include "example/AtomicModelSAN.h"
#include "example/RewardCalcPVNodes.h"

RewardCalcPVModel::RewardCalcPVModel(bool expandTimes) {
  ChildModel = new AtomicModelSAN();
  DefineName("RewardCalcPVModel");
  CreatePVList(2, expandTimes);
  Initialize();
}

RewardCalcPVModel::~RewardCalcPVModel() = default;

PerformanceVariableNode* RewardCalcPVModel::createPVNode(int pv, int timeIndex) {
  switch (pv) {
  case 0:
    return new RewardCalcPV0(timeIndex);
  case 1:
    return new RewardCalcPV1(timeIndex);
  default:
    return nullptr;
  }
}
