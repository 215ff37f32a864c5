#ifndef MODELS_KANBAN_KANBANREWARDPVMODEL_H
#define MODELS_KANBAN_KANBANREWARDPVMODEL_H

#include "reward/PVModel.h"

// The reward model "KanbanRewardPVModel" over a new KanbanSAN: the variables
// "Throughput" (PV0) and "WipCell1" (PV1).
class KanbanRewardPVModel : public PVModel {
public:
  explicit KanbanRewardPVModel(bool expandTimes);
  // PV0 or PV1 at the given time point; null for any other number.
  PerformanceVariableNode* createPVNode(int pv, int timeIndex) override;
};

#endif
