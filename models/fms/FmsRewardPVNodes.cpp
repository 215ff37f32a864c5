#include "models/fms/FmsRewardPVNodes.h"

#include "models/fms/FmsSAN.h"

namespace {

const double SteadyStart[] = {0.0};
const double SteadyStop[] = {1.0};

} // namespace

FmsRewardPV0Worker::FmsRewardPV0Worker() {
  NumReferences = 1;
  References = new BaseModelClass** [1] { &Fms };
}

double FmsRewardPV0Worker::Reward_Function() {
  const FmsSAN* m = static_cast<FmsSAN*>(Fms);
  const int load = m->Load();
  return 400.0 * FmsSAN::ArrivalRate(m->Mark(FmsSAN::iP1), load) +
         600.0 * FmsSAN::ArrivalRate(m->Mark(FmsSAN::iP2), load) +
         100.0 * FmsSAN::ArrivalRate(m->Mark(FmsSAN::iP3), load) +
         1100.0 * FmsSAN::ArrivalRate(m->Mark(FmsSAN::iP12), load);
}

FmsRewardPV0::FmsRewardPV0(int timeIndex) {
  ModelSlot = &TheModelPtr;
  Initialize("Productivity", STEADY_STATE, 1, SteadyStart, SteadyStop, timeIndex, 0, 1, 4);
  IsSteadyState = 1;
  AddVariableDependency("P1", "Fms");
  AddVariableDependency("P2", "Fms");
  AddVariableDependency("P3", "Fms");
  AddVariableDependency("P12", "Fms");
}

void FmsRewardPV0::CreateWorkerList() {
  for (int i = 0; i < NumWorkers; i++)
    Workers[i] = new FmsRewardPV0Worker;
}
