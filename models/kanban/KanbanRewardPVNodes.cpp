#include "models/kanban/KanbanRewardPVNodes.h"

#include "models/kanban/KanbanSAN.h"

namespace {

const double SteadyStart[] = {0.0};
const double SteadyStop[] = {1.0};

KanbanSAN* AsKanban(BaseModelClass* m) {
  return static_cast<KanbanSAN*>(m);
}

} // namespace

KanbanRewardPV0Worker::KanbanRewardPV0Worker() {
  NumReferences = 1;
  References = new BaseModelClass** [1] { &Kanban };
}

double KanbanRewardPV0Worker::Reward_Function() {
  return AsKanban(Kanban)->Pkan[0]->getMark() > 0 ? 1.0 : 0.0;
}

KanbanRewardPV0::KanbanRewardPV0(int timeIndex) {
  ModelSlot = &TheModelPtr;
  Initialize("Throughput", STEADY_STATE, 1, SteadyStart, SteadyStop, timeIndex, 0, 1, 1);
  IsSteadyState = 1;
  AddVariableDependency("Pkan1", "Kanban");
}

void KanbanRewardPV0::CreateWorkerList() {
  for (int i = 0; i < NumWorkers; i++)
    Workers[i] = new KanbanRewardPV0Worker;
}

KanbanRewardPV1Worker::KanbanRewardPV1Worker() {
  NumReferences = 1;
  References = new BaseModelClass** [1] { &Kanban };
}

double KanbanRewardPV1Worker::Reward_Function() {
  KanbanSAN* m = AsKanban(Kanban);
  return static_cast<double>(m->Pm[0]->getMark()) + m->Pback[0]->getMark() + m->Pout[0]->getMark();
}

KanbanRewardPV1::KanbanRewardPV1(int timeIndex) {
  ModelSlot = &TheModelPtr;
  Initialize("WipCell1", STEADY_STATE, 1, SteadyStart, SteadyStop, timeIndex, 0, 1, 3);
  IsSteadyState = 1;
  AddVariableDependency("Pm1", "Kanban");
  AddVariableDependency("Pback1", "Kanban");
  AddVariableDependency("Pout1", "Kanban");
}

void KanbanRewardPV1::CreateWorkerList() {
  for (int i = 0; i < NumWorkers; i++)
    Workers[i] = new KanbanRewardPV1Worker;
}
