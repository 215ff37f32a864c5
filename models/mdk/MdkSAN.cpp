#include "models/mdk/MdkSAN.h"

#include "distributions/DistributionDefinition.h"

#include <cstdlib>
#include <iostream>
#include <limits>

void MdkSAN::QueueActivity::LinkVariables() {
  Queue_Mark = Queue->Mark;
  Queue->RegisterPointer(&Queue_Mark, nullptr);
}

// Arrival

MdkSAN::ArrivalActivity::ArrivalActivity() {
  ActivityInitialize("Arrival", 0, EXPONENTIAL, DEFAULT_POLICY, 1, 2, false);
}

bool MdkSAN::ArrivalActivity::Enabled() {
  return Evaluate(*Queue_Mark < K);
}

double MdkSAN::ArrivalActivity::Rate() {
  return lambda;
}

double* MdkSAN::ArrivalActivity::ReturnDistributionParameters() {
  Parameters[0] = lambda;
  return Parameters;
}

double MdkSAN::ArrivalActivity::SampleDistribution() {
  return TheDistribution->Exponential(lambda);
}

BaseActionClass* MdkSAN::ArrivalActivity::Fire() {
  *Queue_Mark += 1;
  return this;
}

// Service

MdkSAN::ServiceActivity::ServiceActivity() {
  ActivityInitialize("Service", 1, DETERMINISTIC, DEFAULT_POLICY, 1, 2, false);
}

bool MdkSAN::ServiceActivity::Enabled() {
  return Evaluate(*Queue_Mark > 0);
}

double* MdkSAN::ServiceActivity::ReturnDistributionParameters() {
  Parameters[0] = delay;
  return Parameters;
}

double MdkSAN::ServiceActivity::SampleDistribution() {
  return TheDistribution->Deterministic(delay);
}

BaseActionClass* MdkSAN::ServiceActivity::Fire() {
  *Queue_Mark -= 1;
  return this;
}

// The model

MdkSAN::MdkSAN() : Queue(nullptr) {
  // The queue is a 16-bit marking: a capacity beyond what it can count would
  // wrap the marking instead of blocking arrivals.
  if (K > std::numeric_limits<short>::max()) {
    std::cerr << "Mdk: K = " << K << " is out of range: the place Queue holds at most "
              << std::numeric_limits<short>::max() << " tokens, so K must be at most "
              << std::numeric_limits<short>::max() << std::endl;
    std::exit(1);
  }
  Queue = new Place("Queue", 0);
  BaseStateVariableClass* places[NumPlaces] = {Queue};
  Activity* actions[NumActivities] = {&Arrival, &Service};
  BaseGroupClass* groups[NumActivities] = {&Arrival, &Service};
  initializeSANModelNow("Mdk", NumPlaces, places, 0, nullptr, NumActivities, actions, NumActivities,
                        groups);
  assignPlacesToActivitiesTimed();

  AddAffectArc(Queue, &Arrival);
  AddAffectArc(Queue, &Service);
  AddEnableArc(Queue, &Arrival);
  AddEnableArc(Queue, &Service);

  Arrival.LinkVariables();
  Service.LinkVariables();
  CustomInitialization();
}

MdkSAN::~MdkSAN() {
  delete Queue;
}

void MdkSAN::assignPlacesToActivitiesTimed() {
  Arrival.Queue = Queue;
  Service.Queue = Queue;
}
