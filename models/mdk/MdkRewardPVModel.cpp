#include "models/mdk/MdkRewardPVModel.h"

#include "models/mdk/MdkRewardPVNodes.h"
#include "models/mdk/MdkSAN.h"

MdkRewardPVModel::MdkRewardPVModel(bool expandTimes) {
  ChildModel = new MdkSAN;
  DefineName("MdkRewardPVModel");
  CreatePVList(2, expandTimes);
  Initialize();
}

PerformanceVariableNode* MdkRewardPVModel::createPVNode(int pv, int timeIndex) {
  switch (pv) {
  case 0:
    return new MdkRewardPV0(timeIndex);
  case 1:
    return new MdkRewardPV1(timeIndex);
  default:
    return nullptr;
  }
}
