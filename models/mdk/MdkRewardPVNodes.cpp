#include "models/mdk/MdkRewardPVNodes.h"

#include "models/mdk/MdkSAN.h"

namespace {

const double SteadyStart[] = {0.0};
const double SteadyStop[] = {1.0};

short QueueMarking(BaseModelClass* m) {
  return static_cast<MdkSAN*>(m)->Queue->getMark();
}

} // namespace

MdkRewardPV0Worker::MdkRewardPV0Worker() {
  NumReferences = 1;
  References = new BaseModelClass** [1] { &Mdk };
}

double MdkRewardPV0Worker::Reward_Function() {
  return static_cast<double>(QueueMarking(Mdk));
}

MdkRewardPV0::MdkRewardPV0(int timeIndex) {
  ModelSlot = &TheModelPtr;
  Initialize("QueueLength", STEADY_STATE, 1, SteadyStart, SteadyStop, timeIndex, 0, 1, 1);
  IsSteadyState = 1;
  AddVariableDependency("Queue", "Mdk");
}

void MdkRewardPV0::CreateWorkerList() {
  for (int i = 0; i < NumWorkers; i++)
    Workers[i] = new MdkRewardPV0Worker;
}

MdkRewardPV1Worker::MdkRewardPV1Worker() {
  NumReferences = 1;
  References = new BaseModelClass** [1] { &Mdk };
}

double MdkRewardPV1Worker::Reward_Function() {
  return QueueMarking(Mdk) > 0 ? 1.0 : 0.0;
}

MdkRewardPV1::MdkRewardPV1(int timeIndex) {
  ModelSlot = &TheModelPtr;
  Initialize("Busy", STEADY_STATE, 1, SteadyStart, SteadyStop, timeIndex, 0, 1, 1);
  IsSteadyState = 1;
  AddVariableDependency("Queue", "Mdk");
}

void MdkRewardPV1::CreateWorkerList() {
  for (int i = 0; i < NumWorkers; i++)
    Workers[i] = new MdkRewardPV1Worker;
}
