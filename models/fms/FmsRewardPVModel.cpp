#include "models/fms/FmsRewardPVModel.h"

#include "models/fms/FmsRewardPVNodes.h"
#include "models/fms/FmsSAN.h"

FmsRewardPVModel::FmsRewardPVModel(bool expandTimes) {
  ChildModel = new FmsSAN;
  DefineName("FmsRewardPVModel");
  CreatePVList(1, expandTimes);
  Initialize();
}

PerformanceVariableNode* FmsRewardPVModel::createPVNode(int pv, int timeIndex) {
  if (pv == 0)
    return new FmsRewardPV0(timeIndex);
  return nullptr;
}
