#ifndef MODELS_MDK_MDKSAN_H
#define MODELS_MDK_MDKSAN_H

#include "model/Activity.h"
#include "model/PostselectGroup.h"
#include "model/PreselectGroup.h"
#include "model/SANModel.h"
#include "state/Place.h"

// Global variables of the model, set by the study per experiment.
extern int K;         // capacity of the queue (customers, including the one served)
extern double lambda; // arrival rate
extern double delay;  // the fixed service time

// An M/D/1/K queue as a SAN named "Mdk": customers arrive with exponential
// interarrival times of rate lambda while fewer than K are present, and are
// served one at a time, each service taking exactly `delay`.
//
// Place (state-vector order, 2 bytes): "Queue", initial marking 0.
// Activities, in action order, each its own group (group id = action index):
//   "Arrival", exponential with rate lambda, enabled when Queue < K,
//              fires Queue += 1;
//   "Service", deterministic with delay `delay`, enabled when Queue > 0,
//              fires Queue -= 1.
class MdkSAN : public SANModel {
public:
  // What both activities share: weight 1, rank 1, no reactivation, one
  // distribution parameter, and a cached pointer at the Queue marking.
  class QueueActivity : public Activity {
  public:
    Place* Queue = nullptr;
    short* Queue_Mark = nullptr;
    double Parameters[1] = {0.0};

    double Weight() override { return 1.0; }
    int Rank() override { return 1; }
    bool ReactivationPredicate() override { return false; }
    bool ReactivationFunction() override { return false; }
    void LinkVariables() override;

  protected:
    // Records the predicate's value as the current enabling and returns it.
    bool Evaluate(bool predicate) {
      PreviouslyEnabled = CurrentlyEnabled;
      CurrentlyEnabled = predicate;
      return CurrentlyEnabled;
    }
  };

  class ArrivalActivity : public QueueActivity {
  public:
    ArrivalActivity();
    bool Enabled() override;
    double Rate() override;
    double* ReturnDistributionParameters() override;
    double SampleDistribution() override;
    BaseActionClass* Fire() override;
  };

  class ServiceActivity : public QueueActivity {
  public:
    ServiceActivity();
    bool Enabled() override;
    // A deterministic activity has no rate; its parameter is the delay.
    double Rate() override { return 0.0; }
    double* ReturnDistributionParameters() override;
    double SampleDistribution() override;
    BaseActionClass* Fire() override;
  };

  static constexpr int NumPlaces = 1;
  static constexpr int NumActivities = 2;

  ArrivalActivity Arrival;
  ServiceActivity Service;
  PreselectGroup ImmediateGroup;
  PostselectGroup PostGroup;

  // Owned, deleted with the model.
  Place* Queue;

  MdkSAN();
  ~MdkSAN() override;
  MdkSAN(const MdkSAN&) = delete;
  MdkSAN& operator=(const MdkSAN&) = delete;

  void assignPlacesToActivitiesTimed();
  void CustomInitialization() {}
};

#endif
