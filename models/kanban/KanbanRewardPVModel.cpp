#include "models/kanban/KanbanRewardPVModel.h"

#include "models/kanban/KanbanRewardPVNodes.h"
#include "models/kanban/KanbanSAN.h"

KanbanRewardPVModel::KanbanRewardPVModel(bool expandTimes) {
  ChildModel = new KanbanSAN;
  DefineName("KanbanRewardPVModel");
  CreatePVList(2, expandTimes);
  Initialize();
}

PerformanceVariableNode* KanbanRewardPVModel::createPVNode(int pv, int timeIndex) {
  switch (pv) {
  case 0:
    return new KanbanRewardPV0(timeIndex);
  case 1:
    return new KanbanRewardPV1(timeIndex);
  default:
    return nullptr;
  }
}
