#ifndef EXAMPLE_ATOMICMODELSAN_H
#define EXAMPLE_ATOMICMODELSAN_H

#include "model/Activity.h"
#include "model/PostselectGroup.h"
#include "model/PreselectGroup.h"
#include "model/SANModel.h"
#include "state/Place.h"

// The model's global variables: failure and repair rates, set by the study
// for each experiment.
extern double lambda, meo;

// The atomic model "AtomicModel": components A (1 unit), B (2 units) and C
// (3 units) that fail and are repaired. The system fails when A fails or
// when the fifth B or C unit has failed while A is up (the instantaneous
// FailureBC); a repair that leaves nothing failed brings it back up.
//
// Places (state vector order, 2 bytes each): PlaceB, B_Failure, PlaceC,
// C_Failure, FailState, PlaceA, A_Failure, BCCounter, FirstTimeFailure.
// Actions: FailureBC, FailureB, Activity_Repair_B, FailureC,
// Activity_Repair_C, FailureA, Activity_Repair_A; each is its own group.
//
// Every activity keeps, for each place it uses, the Place and a cached
// pointer to its marking; LinkVariables registers the cached pointers with
// the places so that sharing would redirect them.
class AtomicModelSAN : public SANModel {
public:
  class FailureBCActivity : public Activity {
  public:
    Place* FailState;
    short* FailState_Mark;
    Place* BCCounter;
    short* BCCounter_Mark;
    Place* FirstTimeFailure;
    short* FirstTimeFailure_Mark;

    FailureBCActivity();
    ~FailureBCActivity() override;
    void LinkVariables() override;
    bool Enabled() override;
    double Weight() override;
    double Rate() override;
    bool ReactivationPredicate() override;
    bool ReactivationFunction() override;
    double SampleDistribution() override;
    double* ReturnDistributionParameters() override;
    int Rank() override;
    BaseActionClass* Fire() override;
  };

  class FailureBActivity : public Activity {
  public:
    Place* FailState;
    short* FailState_Mark;
    Place* PlaceB;
    short* PlaceB_Mark;
    Place* B_Failure;
    short* B_Failure_Mark;
    Place* BCCounter;
    short* BCCounter_Mark;
    // The exponential rate, filled by ReturnDistributionParameters.
    double* TheDistributionParameters;

    FailureBActivity();
    ~FailureBActivity() override;
    void LinkVariables() override;
    bool Enabled() override;
    double Weight() override;
    double Rate() override;
    bool ReactivationPredicate() override;
    bool ReactivationFunction() override;
    double SampleDistribution() override;
    double* ReturnDistributionParameters() override;
    int Rank() override;
    BaseActionClass* Fire() override;
  };

  class Activity_Repair_BActivity : public Activity {
  public:
    Place* B_Failure;
    short* B_Failure_Mark;
    Place* FailState;
    short* FailState_Mark;
    Place* PlaceB;
    short* PlaceB_Mark;
    Place* BCCounter;
    short* BCCounter_Mark;
    Place* C_Failure;
    short* C_Failure_Mark;
    Place* A_Failure;
    short* A_Failure_Mark;
    // The exponential rate, filled by ReturnDistributionParameters.
    double* TheDistributionParameters;

    Activity_Repair_BActivity();
    ~Activity_Repair_BActivity() override;
    void LinkVariables() override;
    bool Enabled() override;
    double Weight() override;
    double Rate() override;
    bool ReactivationPredicate() override;
    bool ReactivationFunction() override;
    double SampleDistribution() override;
    double* ReturnDistributionParameters() override;
    int Rank() override;
    BaseActionClass* Fire() override;
  };

  class FailureCActivity : public Activity {
  public:
    Place* FailState;
    short* FailState_Mark;
    Place* PlaceC;
    short* PlaceC_Mark;
    Place* C_Failure;
    short* C_Failure_Mark;
    Place* BCCounter;
    short* BCCounter_Mark;
    // The exponential rate, filled by ReturnDistributionParameters.
    double* TheDistributionParameters;

    FailureCActivity();
    ~FailureCActivity() override;
    void LinkVariables() override;
    bool Enabled() override;
    double Weight() override;
    double Rate() override;
    bool ReactivationPredicate() override;
    bool ReactivationFunction() override;
    double SampleDistribution() override;
    double* ReturnDistributionParameters() override;
    int Rank() override;
    BaseActionClass* Fire() override;
  };

  class Activity_Repair_CActivity : public Activity {
  public:
    Place* C_Failure;
    short* C_Failure_Mark;
    Place* FailState;
    short* FailState_Mark;
    Place* PlaceC;
    short* PlaceC_Mark;
    Place* BCCounter;
    short* BCCounter_Mark;
    Place* B_Failure;
    short* B_Failure_Mark;
    Place* A_Failure;
    short* A_Failure_Mark;
    // The exponential rate, filled by ReturnDistributionParameters.
    double* TheDistributionParameters;

    Activity_Repair_CActivity();
    ~Activity_Repair_CActivity() override;
    void LinkVariables() override;
    bool Enabled() override;
    double Weight() override;
    double Rate() override;
    bool ReactivationPredicate() override;
    bool ReactivationFunction() override;
    double SampleDistribution() override;
    double* ReturnDistributionParameters() override;
    int Rank() override;
    BaseActionClass* Fire() override;
  };

  class FailureAActivity : public Activity {
  public:
    Place* PlaceA;
    short* PlaceA_Mark;
    Place* FailState;
    short* FailState_Mark;
    Place* A_Failure;
    short* A_Failure_Mark;
    Place* FirstTimeFailure;
    short* FirstTimeFailure_Mark;
    // The exponential rate, filled by ReturnDistributionParameters.
    double* TheDistributionParameters;

    FailureAActivity();
    ~FailureAActivity() override;
    void LinkVariables() override;
    bool Enabled() override;
    double Weight() override;
    double Rate() override;
    bool ReactivationPredicate() override;
    bool ReactivationFunction() override;
    double SampleDistribution() override;
    double* ReturnDistributionParameters() override;
    int Rank() override;
    BaseActionClass* Fire() override;
  };

  class Activity_Repair_AActivity : public Activity {
  public:
    Place* FailState;
    short* FailState_Mark;
    Place* A_Failure;
    short* A_Failure_Mark;
    Place* PlaceA;
    short* PlaceA_Mark;
    Place* B_Failure;
    short* B_Failure_Mark;
    Place* C_Failure;
    short* C_Failure_Mark;
    // The exponential rate, filled by ReturnDistributionParameters.
    double* TheDistributionParameters;

    Activity_Repair_AActivity();
    ~Activity_Repair_AActivity() override;
    void LinkVariables() override;
    bool Enabled() override;
    double Weight() override;
    double Rate() override;
    bool ReactivationPredicate() override;
    bool ReactivationFunction() override;
    double SampleDistribution() override;
    double* ReturnDistributionParameters() override;
    int Rank() override;
    BaseActionClass* Fire() override;
  };

  FailureBCActivity FailureBC;
  FailureBActivity FailureB;
  Activity_Repair_BActivity Activity_Repair_B;
  FailureCActivity FailureC;
  Activity_Repair_CActivity Activity_Repair_C;
  FailureAActivity FailureA;
  Activity_Repair_AActivity Activity_Repair_A;

  // Present for the generated layout; they hold no actions and are not in
  // the group table.
  PreselectGroup ImmediateGroup;
  PostselectGroup TimedGroup;

  Place* PlaceB;
  Place* B_Failure;
  Place* PlaceC;
  Place* C_Failure;
  Place* FailState;
  Place* PlaceA;
  Place* A_Failure;
  Place* BCCounter;
  Place* FirstTimeFailure;

  AtomicModelSAN();
  ~AtomicModelSAN() override;
  AtomicModelSAN(const AtomicModelSAN&) = delete;
  AtomicModelSAN& operator=(const AtomicModelSAN&) = delete;

  void CustomInitialization();
  void assignPlacesToActivitiesInst();
  void assignPlacesToActivitiesTimed();
};

#endif
