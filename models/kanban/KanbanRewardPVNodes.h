#ifndef MODELS_KANBAN_KANBANREWARDPVNODES_H
#define MODELS_KANBAN_KANBANREWARDPVNODES_H

#include "reward/PerformanceVariableNode.h"
#include "reward/SteadyState.h"

// The performance variables of the kanban reward model, both steady-state
// over the window (0, 1) and both reading the one "Kanban" model instance:
//   PV0 "Throughput": 1 while Pkan1 holds a card (the rate of In1), else 0;
//   PV1 "WipCell1":   parts in cell 1, Pm1 + Pback1 + Pout1.

class KanbanRewardPV0Worker : public SteadyState {
public:
  // The "Kanban" instance read; written by the variable when binding.
  BaseModelClass* Kanban = nullptr;

  KanbanRewardPV0Worker();
  double Reward_Function() override;
};

class KanbanRewardPV0 : public PerformanceVariableNode {
public:
  BaseModelClass* TheModelPtr = nullptr;

  explicit KanbanRewardPV0(int timeIndex);
  void CreateWorkerList() override;
};

class KanbanRewardPV1Worker : public SteadyState {
public:
  BaseModelClass* Kanban = nullptr;

  KanbanRewardPV1Worker();
  double Reward_Function() override;
};

class KanbanRewardPV1 : public PerformanceVariableNode {
public:
  BaseModelClass* TheModelPtr = nullptr;

  explicit KanbanRewardPV1(int timeIndex);
  void CreateWorkerList() override;
};

#endif
