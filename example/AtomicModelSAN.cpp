#include "example/AtomicModelSAN.h"

#include "model/StandardErrors.h"

#include "distributions/DistributionDefinition.h"

double lambda = 0.0;
double meo = 0.0;

AtomicModelSAN::AtomicModelSAN() {
  PlaceB = new Place("PlaceB", 2);
  B_Failure = new Place("B_Failure", 0);
  PlaceC = new Place("PlaceC", 3);
  C_Failure = new Place("C_Failure", 0);
  FailState = new Place("FailState", 0);
  PlaceA = new Place("PlaceA", 1);
  A_Failure = new Place("A_Failure", 0);
  BCCounter = new Place("BCCounter", 0);
  FirstTimeFailure = new Place("FirstTimeFailure", 0);
  BaseStateVariableClass* places[] = {PlaceB, B_Failure, PlaceC,    C_Failure,       FailState,
                                      PlaceA, A_Failure, BCCounter, FirstTimeFailure};
  Activity* actions[] = {&FailureBC,         &FailureB, &Activity_Repair_B, &FailureC,
                         &Activity_Repair_C, &FailureA, &Activity_Repair_A};
  BaseGroupClass* groups[] = {&FailureB, &Activity_Repair_B, &FailureC, &Activity_Repair_C,
                              &FailureA, &Activity_Repair_A, &FailureBC};
  initializeSANModelNow("AtomicModel", 9, places, 0, nullptr, 7, actions, 7, groups);

  assignPlacesToActivitiesInst();
  assignPlacesToActivitiesTimed();

  // Output arcs: the places each activity changes.
  AddAffectArc(FailState, &FailureBC);
  AddAffectArc(FirstTimeFailure, &FailureBC);
  AddAffectArc(B_Failure, &FailureB);
  AddAffectArc(BCCounter, &FailureB);
  AddAffectArc(PlaceB, &FailureB);
  AddAffectArc(PlaceB, &Activity_Repair_B);
  AddAffectArc(B_Failure, &Activity_Repair_B);
  AddAffectArc(BCCounter, &Activity_Repair_B);
  AddAffectArc(C_Failure, &Activity_Repair_B);
  AddAffectArc(FailState, &Activity_Repair_B);
  AddAffectArc(A_Failure, &Activity_Repair_B);
  AddAffectArc(C_Failure, &FailureC);
  AddAffectArc(BCCounter, &FailureC);
  AddAffectArc(PlaceC, &FailureC);
  AddAffectArc(PlaceC, &Activity_Repair_C);
  AddAffectArc(C_Failure, &Activity_Repair_C);
  AddAffectArc(BCCounter, &Activity_Repair_C);
  AddAffectArc(B_Failure, &Activity_Repair_C);
  AddAffectArc(FailState, &Activity_Repair_C);
  AddAffectArc(A_Failure, &Activity_Repair_C);
  AddAffectArc(FailState, &FailureA);
  AddAffectArc(A_Failure, &FailureA);
  AddAffectArc(PlaceA, &FailureA);
  AddAffectArc(FirstTimeFailure, &FailureA);
  AddAffectArc(PlaceA, &Activity_Repair_A);
  AddAffectArc(A_Failure, &Activity_Repair_A);
  AddAffectArc(B_Failure, &Activity_Repair_A);
  AddAffectArc(C_Failure, &Activity_Repair_A);
  AddAffectArc(FailState, &Activity_Repair_A);

  // Input arcs: the places each activity's enabling reads.
  AddEnableArc(FailState, &FailureBC);
  AddEnableArc(BCCounter, &FailureBC);
  AddEnableArc(FailState, &FailureB);
  AddEnableArc(PlaceB, &FailureB);
  AddEnableArc(B_Failure, &Activity_Repair_B);
  AddEnableArc(FailState, &Activity_Repair_B);
  AddEnableArc(FailState, &FailureC);
  AddEnableArc(PlaceC, &FailureC);
  AddEnableArc(C_Failure, &Activity_Repair_C);
  AddEnableArc(FailState, &Activity_Repair_C);
  AddEnableArc(PlaceA, &FailureA);
  AddEnableArc(FailState, &FailureA);
  AddEnableArc(FailState, &Activity_Repair_A);
  AddEnableArc(A_Failure, &Activity_Repair_A);

  FailureBC.LinkVariables();
  FailureB.LinkVariables();
  Activity_Repair_B.LinkVariables();
  FailureC.LinkVariables();
  Activity_Repair_C.LinkVariables();
  FailureA.LinkVariables();
  Activity_Repair_A.LinkVariables();
}

AtomicModelSAN::~AtomicModelSAN() {
  for (int i = 0; i < numSVs - numReadOnlyPlaces; i++)
    delete Places[i];
}

void AtomicModelSAN::CustomInitialization() {}

void AtomicModelSAN::assignPlacesToActivitiesInst() {
  FailureBC.FailState = static_cast<Place*>(Places[4]);
  FailureBC.BCCounter = static_cast<Place*>(Places[7]);
  FailureBC.FirstTimeFailure = static_cast<Place*>(Places[8]);
}

void AtomicModelSAN::assignPlacesToActivitiesTimed() {
  FailureB.FailState = static_cast<Place*>(Places[4]);
  FailureB.PlaceB = static_cast<Place*>(Places[0]);
  FailureB.B_Failure = static_cast<Place*>(Places[1]);
  FailureB.BCCounter = static_cast<Place*>(Places[7]);
  Activity_Repair_B.B_Failure = static_cast<Place*>(Places[1]);
  Activity_Repair_B.FailState = static_cast<Place*>(Places[4]);
  Activity_Repair_B.PlaceB = static_cast<Place*>(Places[0]);
  Activity_Repair_B.BCCounter = static_cast<Place*>(Places[7]);
  Activity_Repair_B.C_Failure = static_cast<Place*>(Places[3]);
  Activity_Repair_B.A_Failure = static_cast<Place*>(Places[6]);
  FailureC.FailState = static_cast<Place*>(Places[4]);
  FailureC.PlaceC = static_cast<Place*>(Places[2]);
  FailureC.C_Failure = static_cast<Place*>(Places[3]);
  FailureC.BCCounter = static_cast<Place*>(Places[7]);
  Activity_Repair_C.C_Failure = static_cast<Place*>(Places[3]);
  Activity_Repair_C.FailState = static_cast<Place*>(Places[4]);
  Activity_Repair_C.PlaceC = static_cast<Place*>(Places[2]);
  Activity_Repair_C.BCCounter = static_cast<Place*>(Places[7]);
  Activity_Repair_C.B_Failure = static_cast<Place*>(Places[1]);
  Activity_Repair_C.A_Failure = static_cast<Place*>(Places[6]);
  FailureA.PlaceA = static_cast<Place*>(Places[5]);
  FailureA.FailState = static_cast<Place*>(Places[4]);
  FailureA.A_Failure = static_cast<Place*>(Places[6]);
  FailureA.FirstTimeFailure = static_cast<Place*>(Places[8]);
  Activity_Repair_A.FailState = static_cast<Place*>(Places[4]);
  Activity_Repair_A.A_Failure = static_cast<Place*>(Places[6]);
  Activity_Repair_A.PlaceA = static_cast<Place*>(Places[5]);
  Activity_Repair_A.B_Failure = static_cast<Place*>(Places[1]);
  Activity_Repair_A.C_Failure = static_cast<Place*>(Places[3]);
}

// FailureBC

AtomicModelSAN::FailureBCActivity::FailureBCActivity()
    : FailState(nullptr), FailState_Mark(nullptr), BCCounter(nullptr), BCCounter_Mark(nullptr),
      FirstTimeFailure(nullptr), FirstTimeFailure_Mark(nullptr) {
  ActivityInitialize("FailureBC", 6, INSTANTANEOUS, DEFAULT_POLICY, 2, 2, false);
}

AtomicModelSAN::FailureBCActivity::~FailureBCActivity() = default;

void AtomicModelSAN::FailureBCActivity::LinkVariables() {
  FailState->RegisterPointer(&FailState_Mark, nullptr);
  BCCounter->RegisterPointer(&BCCounter_Mark, nullptr);
  FirstTimeFailure->RegisterPointer(&FirstTimeFailure_Mark, nullptr);
}

bool AtomicModelSAN::FailureBCActivity::Enabled() {
  PreviouslyEnabled = CurrentlyEnabled;
  CurrentlyEnabled = *BCCounter_Mark == 5 && *FailState_Mark == 0;
  return CurrentlyEnabled;
}

double AtomicModelSAN::FailureBCActivity::Weight() {
  return 1.0;
}

double AtomicModelSAN::FailureBCActivity::Rate() {
  return 0.0;
}

bool AtomicModelSAN::FailureBCActivity::ReactivationPredicate() {
  return false;
}

bool AtomicModelSAN::FailureBCActivity::ReactivationFunction() {
  return false;
}

double AtomicModelSAN::FailureBCActivity::SampleDistribution() {
  return 0.0;
}

double* AtomicModelSAN::FailureBCActivity::ReturnDistributionParameters() {
  return nullptr;
}

int AtomicModelSAN::FailureBCActivity::Rank() {
  return 1;
}

BaseActionClass* AtomicModelSAN::FailureBCActivity::Fire() {
  *FirstTimeFailure_Mark = 1;
  *FailState_Mark = CheckedMarking(*FailState_Mark + 1, ActionName, "FailState");
  return this;
}

// FailureB

AtomicModelSAN::FailureBActivity::FailureBActivity()
    : FailState(nullptr), FailState_Mark(nullptr), PlaceB(nullptr), PlaceB_Mark(nullptr),
      B_Failure(nullptr), B_Failure_Mark(nullptr), BCCounter(nullptr), BCCounter_Mark(nullptr),
      TheDistributionParameters(new double[1]()) {
  ActivityInitialize("FailureB", 0, EXPONENTIAL, DEFAULT_POLICY, 3, 2, false);
}

AtomicModelSAN::FailureBActivity::~FailureBActivity() {
  delete[] TheDistributionParameters;
}

void AtomicModelSAN::FailureBActivity::LinkVariables() {
  FailState->RegisterPointer(&FailState_Mark, nullptr);
  PlaceB->RegisterPointer(&PlaceB_Mark, nullptr);
  B_Failure->RegisterPointer(&B_Failure_Mark, nullptr);
  BCCounter->RegisterPointer(&BCCounter_Mark, nullptr);
}

bool AtomicModelSAN::FailureBActivity::Enabled() {
  PreviouslyEnabled = CurrentlyEnabled;
  CurrentlyEnabled = *PlaceB_Mark > 0 && *FailState_Mark == 0;
  return CurrentlyEnabled;
}

double AtomicModelSAN::FailureBActivity::Weight() {
  return 1.0;
}

double AtomicModelSAN::FailureBActivity::Rate() {
  return *PlaceB_Mark * (0.5 * lambda);
}

bool AtomicModelSAN::FailureBActivity::ReactivationPredicate() {
  return false;
}

bool AtomicModelSAN::FailureBActivity::ReactivationFunction() {
  return false;
}

double AtomicModelSAN::FailureBActivity::SampleDistribution() {
  return TheDistribution->Exponential(*PlaceB_Mark * (0.5 * lambda));
}

double* AtomicModelSAN::FailureBActivity::ReturnDistributionParameters() {
  TheDistributionParameters[0] = Rate();
  return TheDistributionParameters;
}

int AtomicModelSAN::FailureBActivity::Rank() {
  return 1;
}

BaseActionClass* AtomicModelSAN::FailureBActivity::Fire() {
  *PlaceB_Mark = CheckedMarking(*PlaceB_Mark - 1, ActionName, "PlaceB");
  *B_Failure_Mark = CheckedMarking(*B_Failure_Mark + 1, ActionName, "B_Failure");
  *BCCounter_Mark = CheckedMarking(*BCCounter_Mark + 1, ActionName, "BCCounter");
  return this;
}

// Activity_Repair_B

AtomicModelSAN::Activity_Repair_BActivity::Activity_Repair_BActivity()
    : B_Failure(nullptr), B_Failure_Mark(nullptr), FailState(nullptr), FailState_Mark(nullptr),
      PlaceB(nullptr), PlaceB_Mark(nullptr), BCCounter(nullptr), BCCounter_Mark(nullptr),
      C_Failure(nullptr), C_Failure_Mark(nullptr), A_Failure(nullptr), A_Failure_Mark(nullptr),
      TheDistributionParameters(new double[1]()) {
  ActivityInitialize("Activity_Repair_B", 1, EXPONENTIAL, DEFAULT_POLICY, 6, 2, false);
}

AtomicModelSAN::Activity_Repair_BActivity::~Activity_Repair_BActivity() {
  delete[] TheDistributionParameters;
}

void AtomicModelSAN::Activity_Repair_BActivity::LinkVariables() {
  B_Failure->RegisterPointer(&B_Failure_Mark, nullptr);
  FailState->RegisterPointer(&FailState_Mark, nullptr);
  PlaceB->RegisterPointer(&PlaceB_Mark, nullptr);
  BCCounter->RegisterPointer(&BCCounter_Mark, nullptr);
  C_Failure->RegisterPointer(&C_Failure_Mark, nullptr);
  A_Failure->RegisterPointer(&A_Failure_Mark, nullptr);
}

bool AtomicModelSAN::Activity_Repair_BActivity::Enabled() {
  PreviouslyEnabled = CurrentlyEnabled;
  CurrentlyEnabled = *B_Failure_Mark > 0 && *FailState_Mark > 0;
  return CurrentlyEnabled;
}

double AtomicModelSAN::Activity_Repair_BActivity::Weight() {
  return 1.0;
}

double AtomicModelSAN::Activity_Repair_BActivity::Rate() {
  return *B_Failure_Mark * (0.5 * meo);
}

bool AtomicModelSAN::Activity_Repair_BActivity::ReactivationPredicate() {
  return false;
}

bool AtomicModelSAN::Activity_Repair_BActivity::ReactivationFunction() {
  return false;
}

double AtomicModelSAN::Activity_Repair_BActivity::SampleDistribution() {
  return TheDistribution->Exponential(*B_Failure_Mark * (0.5 * meo));
}

double* AtomicModelSAN::Activity_Repair_BActivity::ReturnDistributionParameters() {
  TheDistributionParameters[0] = Rate();
  return TheDistributionParameters;
}

int AtomicModelSAN::Activity_Repair_BActivity::Rank() {
  return 1;
}

BaseActionClass* AtomicModelSAN::Activity_Repair_BActivity::Fire() {
  *B_Failure_Mark = CheckedMarking(*B_Failure_Mark - 1, ActionName, "B_Failure");
  *BCCounter_Mark = CheckedMarking(*BCCounter_Mark - 1, ActionName, "BCCounter");
  // A repair that leaves nothing failed brings the system back up.
  if (*FailState_Mark == 1 && *A_Failure_Mark == 0 && *B_Failure_Mark == 0 && *C_Failure_Mark == 0)
    *FailState_Mark = 0;
  *PlaceB_Mark = CheckedMarking(*PlaceB_Mark + 1, ActionName, "PlaceB");
  return this;
}

// FailureC

AtomicModelSAN::FailureCActivity::FailureCActivity()
    : FailState(nullptr), FailState_Mark(nullptr), PlaceC(nullptr), PlaceC_Mark(nullptr),
      C_Failure(nullptr), C_Failure_Mark(nullptr), BCCounter(nullptr), BCCounter_Mark(nullptr),
      TheDistributionParameters(new double[1]()) {
  ActivityInitialize("FailureC", 2, EXPONENTIAL, DEFAULT_POLICY, 3, 2, false);
}

AtomicModelSAN::FailureCActivity::~FailureCActivity() {
  delete[] TheDistributionParameters;
}

void AtomicModelSAN::FailureCActivity::LinkVariables() {
  FailState->RegisterPointer(&FailState_Mark, nullptr);
  PlaceC->RegisterPointer(&PlaceC_Mark, nullptr);
  C_Failure->RegisterPointer(&C_Failure_Mark, nullptr);
  BCCounter->RegisterPointer(&BCCounter_Mark, nullptr);
}

bool AtomicModelSAN::FailureCActivity::Enabled() {
  PreviouslyEnabled = CurrentlyEnabled;
  CurrentlyEnabled = *PlaceC_Mark > 0 && *FailState_Mark == 0;
  return CurrentlyEnabled;
}

double AtomicModelSAN::FailureCActivity::Weight() {
  return 1.0;
}

double AtomicModelSAN::FailureCActivity::Rate() {
  return *PlaceC_Mark * lambda;
}

bool AtomicModelSAN::FailureCActivity::ReactivationPredicate() {
  return false;
}

bool AtomicModelSAN::FailureCActivity::ReactivationFunction() {
  return false;
}

double AtomicModelSAN::FailureCActivity::SampleDistribution() {
  return TheDistribution->Exponential(*PlaceC_Mark * lambda);
}

double* AtomicModelSAN::FailureCActivity::ReturnDistributionParameters() {
  TheDistributionParameters[0] = Rate();
  return TheDistributionParameters;
}

int AtomicModelSAN::FailureCActivity::Rank() {
  return 1;
}

BaseActionClass* AtomicModelSAN::FailureCActivity::Fire() {
  *PlaceC_Mark = CheckedMarking(*PlaceC_Mark - 1, ActionName, "PlaceC");
  *C_Failure_Mark = CheckedMarking(*C_Failure_Mark + 1, ActionName, "C_Failure");
  *BCCounter_Mark = CheckedMarking(*BCCounter_Mark + 1, ActionName, "BCCounter");
  return this;
}

// Activity_Repair_C

AtomicModelSAN::Activity_Repair_CActivity::Activity_Repair_CActivity()
    : C_Failure(nullptr), C_Failure_Mark(nullptr), FailState(nullptr), FailState_Mark(nullptr),
      PlaceC(nullptr), PlaceC_Mark(nullptr), BCCounter(nullptr), BCCounter_Mark(nullptr),
      B_Failure(nullptr), B_Failure_Mark(nullptr), A_Failure(nullptr), A_Failure_Mark(nullptr),
      TheDistributionParameters(new double[1]()) {
  ActivityInitialize("Activity_Repair_C", 3, EXPONENTIAL, DEFAULT_POLICY, 6, 2, false);
}

AtomicModelSAN::Activity_Repair_CActivity::~Activity_Repair_CActivity() {
  delete[] TheDistributionParameters;
}

void AtomicModelSAN::Activity_Repair_CActivity::LinkVariables() {
  C_Failure->RegisterPointer(&C_Failure_Mark, nullptr);
  FailState->RegisterPointer(&FailState_Mark, nullptr);
  PlaceC->RegisterPointer(&PlaceC_Mark, nullptr);
  BCCounter->RegisterPointer(&BCCounter_Mark, nullptr);
  B_Failure->RegisterPointer(&B_Failure_Mark, nullptr);
  A_Failure->RegisterPointer(&A_Failure_Mark, nullptr);
}

bool AtomicModelSAN::Activity_Repair_CActivity::Enabled() {
  PreviouslyEnabled = CurrentlyEnabled;
  CurrentlyEnabled = *C_Failure_Mark > 0 && *FailState_Mark > 0;
  return CurrentlyEnabled;
}

double AtomicModelSAN::Activity_Repair_CActivity::Weight() {
  return 1.0;
}

double AtomicModelSAN::Activity_Repair_CActivity::Rate() {
  return *C_Failure_Mark * meo;
}

bool AtomicModelSAN::Activity_Repair_CActivity::ReactivationPredicate() {
  return false;
}

bool AtomicModelSAN::Activity_Repair_CActivity::ReactivationFunction() {
  return false;
}

double AtomicModelSAN::Activity_Repair_CActivity::SampleDistribution() {
  return TheDistribution->Exponential(*C_Failure_Mark * meo);
}

double* AtomicModelSAN::Activity_Repair_CActivity::ReturnDistributionParameters() {
  TheDistributionParameters[0] = Rate();
  return TheDistributionParameters;
}

int AtomicModelSAN::Activity_Repair_CActivity::Rank() {
  return 1;
}

BaseActionClass* AtomicModelSAN::Activity_Repair_CActivity::Fire() {
  *C_Failure_Mark = CheckedMarking(*C_Failure_Mark - 1, ActionName, "C_Failure");
  *BCCounter_Mark = CheckedMarking(*BCCounter_Mark - 1, ActionName, "BCCounter");
  // A repair that leaves nothing failed brings the system back up.
  if (*FailState_Mark == 1 && *A_Failure_Mark == 0 && *B_Failure_Mark == 0 && *C_Failure_Mark == 0)
    *FailState_Mark = 0;
  *PlaceC_Mark = CheckedMarking(*PlaceC_Mark + 1, ActionName, "PlaceC");
  return this;
}

// FailureA

AtomicModelSAN::FailureAActivity::FailureAActivity()
    : PlaceA(nullptr), PlaceA_Mark(nullptr), FailState(nullptr), FailState_Mark(nullptr),
      A_Failure(nullptr), A_Failure_Mark(nullptr), FirstTimeFailure(nullptr),
      FirstTimeFailure_Mark(nullptr), TheDistributionParameters(new double[1]()) {
  ActivityInitialize("FailureA", 4, EXPONENTIAL, DEFAULT_POLICY, 4, 2, false);
}

AtomicModelSAN::FailureAActivity::~FailureAActivity() {
  delete[] TheDistributionParameters;
}

void AtomicModelSAN::FailureAActivity::LinkVariables() {
  PlaceA->RegisterPointer(&PlaceA_Mark, nullptr);
  FailState->RegisterPointer(&FailState_Mark, nullptr);
  A_Failure->RegisterPointer(&A_Failure_Mark, nullptr);
  FirstTimeFailure->RegisterPointer(&FirstTimeFailure_Mark, nullptr);
}

bool AtomicModelSAN::FailureAActivity::Enabled() {
  PreviouslyEnabled = CurrentlyEnabled;
  CurrentlyEnabled = *PlaceA_Mark > 0 && *FailState_Mark == 0;
  return CurrentlyEnabled;
}

double AtomicModelSAN::FailureAActivity::Weight() {
  return 1.0;
}

double AtomicModelSAN::FailureAActivity::Rate() {
  return *PlaceA_Mark * (0.25 * lambda);
}

bool AtomicModelSAN::FailureAActivity::ReactivationPredicate() {
  return false;
}

bool AtomicModelSAN::FailureAActivity::ReactivationFunction() {
  return false;
}

double AtomicModelSAN::FailureAActivity::SampleDistribution() {
  return TheDistribution->Exponential(*PlaceA_Mark * (0.25 * lambda));
}

double* AtomicModelSAN::FailureAActivity::ReturnDistributionParameters() {
  TheDistributionParameters[0] = Rate();
  return TheDistributionParameters;
}

int AtomicModelSAN::FailureAActivity::Rank() {
  return 1;
}

BaseActionClass* AtomicModelSAN::FailureAActivity::Fire() {
  *PlaceA_Mark = CheckedMarking(*PlaceA_Mark - 1, ActionName, "PlaceA");
  *FirstTimeFailure_Mark = 1;
  *FailState_Mark = CheckedMarking(*FailState_Mark + 1, ActionName, "FailState");
  *A_Failure_Mark = CheckedMarking(*A_Failure_Mark + 1, ActionName, "A_Failure");
  return this;
}

// Activity_Repair_A

AtomicModelSAN::Activity_Repair_AActivity::Activity_Repair_AActivity()
    : FailState(nullptr), FailState_Mark(nullptr), A_Failure(nullptr), A_Failure_Mark(nullptr),
      PlaceA(nullptr), PlaceA_Mark(nullptr), B_Failure(nullptr), B_Failure_Mark(nullptr),
      C_Failure(nullptr), C_Failure_Mark(nullptr), TheDistributionParameters(new double[1]()) {
  ActivityInitialize("Activity_Repair_A", 5, EXPONENTIAL, DEFAULT_POLICY, 5, 2, false);
}

AtomicModelSAN::Activity_Repair_AActivity::~Activity_Repair_AActivity() {
  delete[] TheDistributionParameters;
}

void AtomicModelSAN::Activity_Repair_AActivity::LinkVariables() {
  FailState->RegisterPointer(&FailState_Mark, nullptr);
  A_Failure->RegisterPointer(&A_Failure_Mark, nullptr);
  PlaceA->RegisterPointer(&PlaceA_Mark, nullptr);
  B_Failure->RegisterPointer(&B_Failure_Mark, nullptr);
  C_Failure->RegisterPointer(&C_Failure_Mark, nullptr);
}

bool AtomicModelSAN::Activity_Repair_AActivity::Enabled() {
  PreviouslyEnabled = CurrentlyEnabled;
  CurrentlyEnabled = *A_Failure_Mark > 0 && *FailState_Mark > 0;
  return CurrentlyEnabled;
}

double AtomicModelSAN::Activity_Repair_AActivity::Weight() {
  return 1.0;
}

double AtomicModelSAN::Activity_Repair_AActivity::Rate() {
  return *A_Failure_Mark * (0.25 * meo);
}

bool AtomicModelSAN::Activity_Repair_AActivity::ReactivationPredicate() {
  return false;
}

bool AtomicModelSAN::Activity_Repair_AActivity::ReactivationFunction() {
  return false;
}

double AtomicModelSAN::Activity_Repair_AActivity::SampleDistribution() {
  return TheDistribution->Exponential(*A_Failure_Mark * (0.25 * meo));
}

double* AtomicModelSAN::Activity_Repair_AActivity::ReturnDistributionParameters() {
  TheDistributionParameters[0] = Rate();
  return TheDistributionParameters;
}

int AtomicModelSAN::Activity_Repair_AActivity::Rank() {
  return 1;
}

BaseActionClass* AtomicModelSAN::Activity_Repair_AActivity::Fire() {
  *A_Failure_Mark = CheckedMarking(*A_Failure_Mark - 1, ActionName, "A_Failure");
  // A repair that leaves nothing failed brings the system back up.
  if (*FailState_Mark == 1 && *A_Failure_Mark == 0 && *B_Failure_Mark == 0 && *C_Failure_Mark == 0)
    *FailState_Mark = 0;
  *PlaceA_Mark = CheckedMarking(*PlaceA_Mark + 1, ActionName, "PlaceA");
  return this;
}
