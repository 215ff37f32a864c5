#include "models/fms/FmsSAN.h"

#include <cstdlib>
#include <initializer_list>
#include <iostream>
#include <limits>

#include "distributions/DistributionDefinition.h"

namespace {

const char* const PlaceNames[FmsSAN::NumPlaces] = {
    "P1",   "P1wM1", "P1M1",  "M1",   "P1d", "P1s", "P1wP2", "P12", "P12wM3", "P12M3", "M3",
    "P12s", "P2",    "P2wM2", "P2M2", "M2",  "P2d", "P2wP1", "P2s", "P3",     "P3M2",  "P3s"};

constexpr double ReturnRate = 1.0 / 60.0;
constexpr double P3ServiceRate = 0.5;

void LinkAll(std::initializer_list<FmsSAN::Slot*> slots) {
  for (FmsSAN::Slot* s : slots)
    s->Link();
}

// Markings are signed 16-bit and no place of the model ever holds more than N
// tokens, so N must lie in 0 .. 32767.
void CheckN(const char* model) {
  if (N < 0 || N > std::numeric_limits<short>::max()) {
    std::cerr << model << ": N = " << N << " is out of range: a place holds at most "
              << std::numeric_limits<short>::max() << " tokens, so N must lie in 0 .. "
              << std::numeric_limits<short>::max() << std::endl;
    std::exit(1);
  }
}

} // namespace

double FmsSAN::ArrivalRate(short tokens, int load) {
  if (tokens <= 0 || load <= 0)
    return 0.0;
  const double np = static_cast<double>((3 * N) / 2);
  const double share = np / load;
  return (share < 1.0 ? share : 1.0) * tokens;
}

int FmsSAN::Load() const {
  return Mark(iP1) + Mark(iP2) + Mark(iP3) + Mark(iP12);
}

double* FmsSAN::TimedActivity::ReturnDistributionParameters() {
  Parameters[0] = Rate();
  return Parameters;
}

double FmsSAN::TimedActivity::SampleDistribution() {
  return TheDistribution->Exponential(Rate());
}

// tP1, tP2, tP3, tP12

bool FmsSAN::ArrivalActivity::Enabled() {
  return Evaluate(*Source.mark > 0);
}

double FmsSAN::ArrivalActivity::Rate() {
  const int load = *Load[0].mark + *Load[1].mark + *Load[2].mark + *Load[3].mark;
  return ArrivalRate(*Source.mark, load);
}

BaseActionClass* FmsSAN::ArrivalActivity::Fire() {
  *Source.mark -= 1;
  *Target.mark += 1;
  return this;
}

void FmsSAN::ArrivalActivity::LinkVariables() {
  LinkAll({&Source, &Target, &Load[0], &Load[1], &Load[2], &Load[3]});
}

// tP1M1, tP2M2, tP12M3

bool FmsSAN::ServiceActivity::Enabled() {
  return Evaluate(*Busy.mark > 0);
}

double FmsSAN::ServiceActivity::Rate() {
  return PerToken ? UnitRate * *Busy.mark : UnitRate;
}

BaseActionClass* FmsSAN::ServiceActivity::Fire() {
  *Busy.mark -= 1;
  *Machine.mark += 1;
  *Done.mark += 1;
  return this;
}

void FmsSAN::ServiceActivity::LinkVariables() {
  LinkAll({&Busy, &Machine, &Done});
}

// tP3M2

bool FmsSAN::ServiceP3Activity::Enabled() {
  return Evaluate(*P3M2.mark > 0 && *M2.mark > 0);
}

double FmsSAN::ServiceP3Activity::Rate() {
  return P3ServiceRate;
}

BaseActionClass* FmsSAN::ServiceP3Activity::Fire() {
  *P3M2.mark -= 1;
  *P3s.mark += 1;
  return this;
}

void FmsSAN::ServiceP3Activity::LinkVariables() {
  LinkAll({&P3M2, &M2, &P3s});
}

// tP1s, tP2s, tP3s

bool FmsSAN::ReturnActivity::Enabled() {
  return Evaluate(*Finished.mark > 0);
}

double FmsSAN::ReturnActivity::Rate() {
  return ReturnRate;
}

BaseActionClass* FmsSAN::ReturnActivity::Fire() {
  *Pallets.mark += *Finished.mark;
  *Finished.mark = 0;
  return this;
}

void FmsSAN::ReturnActivity::LinkVariables() {
  LinkAll({&Finished, &Pallets});
}

// tP12s

bool FmsSAN::ReturnP12Activity::Enabled() {
  return Evaluate(*P12s.mark > 0);
}

double FmsSAN::ReturnP12Activity::Rate() {
  return ReturnRate;
}

BaseActionClass* FmsSAN::ReturnP12Activity::Fire() {
  *P1.mark += *P12s.mark;
  *P2.mark += *P12s.mark;
  *P12s.mark = 0;
  return this;
}

void FmsSAN::ReturnP12Activity::LinkVariables() {
  LinkAll({&P12s, &P1, &P2});
}

// tM1, tM2, tM3

bool FmsSAN::AcquireActivity::Enabled() {
  return Evaluate(*Waiting.mark > 0 && *Machine.mark > 0);
}

BaseActionClass* FmsSAN::AcquireActivity::Fire() {
  *Waiting.mark -= 1;
  *Machine.mark -= 1;
  *Busy.mark += 1;
  return this;
}

void FmsSAN::AcquireActivity::LinkVariables() {
  LinkAll({&Waiting, &Machine, &Busy});
}

// tP1e, tP1j, tP2e, tP2j

bool FmsSAN::RouteActivity::Enabled() {
  return Evaluate(*From.mark > 0);
}

BaseActionClass* FmsSAN::RouteActivity::Fire() {
  *From.mark -= 1;
  *To.mark += 1;
  return this;
}

void FmsSAN::RouteActivity::LinkVariables() {
  LinkAll({&From, &To});
}

// tx

bool FmsSAN::JoinActivity::Enabled() {
  return Evaluate(*P1wP2.mark > 0 && *P2wP1.mark > 0);
}

BaseActionClass* FmsSAN::JoinActivity::Fire() {
  *P1wP2.mark -= 1;
  *P2wP1.mark -= 1;
  *P12.mark += 1;
  return this;
}

void FmsSAN::JoinActivity::LinkVariables() {
  LinkAll({&P1wP2, &P2wP1, &P12});
}

// The model

FmsSAN::FmsSAN() {
  CheckN("Fms");
  Activity* actions[NumActivities] = {&tP1,    &tP2,  &tP3,  &tP12, &tP1M1, &tP2M2, &tP3M2,
                                      &tP12M3, &tP1s, &tP2s, &tP3s, &tP12s, &tM1,   &tM2,
                                      &tM3,    &tP1e, &tP1j, &tP2e, &tP2j,  &tx};

  // Each activity is its own group, with group id = action index.
  static const char* const ActionNames[NumActivities] = {
      "tP1",  "tP2",   "tP3", "tP12", "tP1M1", "tP2M2", "tP3M2", "tP12M3", "tP1s", "tP2s",
      "tP3s", "tP12s", "tM1", "tM2",  "tM3",   "tP1e",  "tP1j",  "tP2e",   "tP2j", "tx"};
  for (int i = 0; i < NumActivities; i++)
    actions[i]->ActivityInitialize(ActionNames[i], i, i < NumTimed ? EXPONENTIAL : INSTANTANEOUS,
                                   DEFAULT_POLICY, 3, 2, false);

  tP1M1.UnitRate = 0.25;
  tP1M1.PerToken = true;
  tP2M2.UnitRate = 1.0 / 6.0;
  tP2M2.PerToken = false;
  tP12M3.UnitRate = 1.0;
  tP12M3.PerToken = true;

  tP1e.FixedWeight = 80;
  tP1j.FixedWeight = 20;
  tP2e.FixedWeight = 60;
  tP2j.FixedWeight = 40;

  BaseStateVariableClass* places[NumPlaces];
  for (int i = 0; i < NumPlaces; i++) {
    short initial = 0;
    if (i == iP1 || i == iP2 || i == iP3)
      initial = static_cast<short>(N);
    else if (i == iM1)
      initial = 3;
    else if (i == iM3)
      initial = 2;
    else if (i == iM2)
      initial = 1;
    P[i] = new Place(PlaceNames[i], initial);
    places[i] = P[i];
  }

  BaseGroupClass* groups[NumActivities];
  for (int i = 0; i < NumActivities; i++)
    groups[i] = actions[i];

  initializeSANModelNow("Fms", NumPlaces, places, 0, nullptr, NumActivities, actions, NumActivities,
                        groups);
  assignPlacesToActivitiesInst();
  assignPlacesToActivitiesTimed();
  AddArcs();
  for (Activity* a : actions)
    a->LinkVariables();
  CustomInitialization();
}

FmsSAN::~FmsSAN() {
  for (int i = 0; i < numSVs - numReadOnlyPlaces; i++)
    delete Places[i];
}

void FmsSAN::assignPlacesToActivitiesTimed() {
  const PlaceIndex arrivals[4][2] = {{iP1, iP1wM1}, {iP2, iP2wM2}, {iP3, iP3M2}, {iP12, iP12wM3}};
  ArrivalActivity* arrival[4] = {&tP1, &tP2, &tP3, &tP12};
  for (int k = 0; k < 4; k++) {
    arrival[k]->Source.Assign(P[arrivals[k][0]]);
    arrival[k]->Target.Assign(P[arrivals[k][1]]);
    arrival[k]->Load[0].Assign(P[iP1]);
    arrival[k]->Load[1].Assign(P[iP2]);
    arrival[k]->Load[2].Assign(P[iP3]);
    arrival[k]->Load[3].Assign(P[iP12]);
  }

  tP1M1.Busy.Assign(P[iP1M1]);
  tP1M1.Machine.Assign(P[iM1]);
  tP1M1.Done.Assign(P[iP1d]);
  tP2M2.Busy.Assign(P[iP2M2]);
  tP2M2.Machine.Assign(P[iM2]);
  tP2M2.Done.Assign(P[iP2d]);
  tP12M3.Busy.Assign(P[iP12M3]);
  tP12M3.Machine.Assign(P[iM3]);
  tP12M3.Done.Assign(P[iP12s]);

  tP3M2.P3M2.Assign(P[iP3M2]);
  tP3M2.M2.Assign(P[iM2]);
  tP3M2.P3s.Assign(P[iP3s]);

  tP1s.Finished.Assign(P[iP1s]);
  tP1s.Pallets.Assign(P[iP1]);
  tP2s.Finished.Assign(P[iP2s]);
  tP2s.Pallets.Assign(P[iP2]);
  tP3s.Finished.Assign(P[iP3s]);
  tP3s.Pallets.Assign(P[iP3]);

  tP12s.P12s.Assign(P[iP12s]);
  tP12s.P1.Assign(P[iP1]);
  tP12s.P2.Assign(P[iP2]);
}

void FmsSAN::assignPlacesToActivitiesInst() {
  tM1.Waiting.Assign(P[iP1wM1]);
  tM1.Machine.Assign(P[iM1]);
  tM1.Busy.Assign(P[iP1M1]);
  tM2.Waiting.Assign(P[iP2wM2]);
  tM2.Machine.Assign(P[iM2]);
  tM2.Busy.Assign(P[iP2M2]);
  tM3.Waiting.Assign(P[iP12wM3]);
  tM3.Machine.Assign(P[iM3]);
  tM3.Busy.Assign(P[iP12M3]);

  tP1e.From.Assign(P[iP1d]);
  tP1e.To.Assign(P[iP1s]);
  tP1j.From.Assign(P[iP1d]);
  tP1j.To.Assign(P[iP1wP2]);
  tP2e.From.Assign(P[iP2d]);
  tP2e.To.Assign(P[iP2s]);
  tP2j.From.Assign(P[iP2d]);
  tP2j.To.Assign(P[iP2wP1]);

  tx.P1wP2.Assign(P[iP1wP2]);
  tx.P2wP1.Assign(P[iP2wP1]);
  tx.P12.Assign(P[iP12]);
}

void FmsSAN::AddArcs() {
  auto affects = [this](Activity& a, std::initializer_list<PlaceIndex> ps) {
    for (PlaceIndex i : ps)
      AddAffectArc(P[i], &a);
  };
  auto enables = [this](Activity& a, std::initializer_list<PlaceIndex> ps) {
    for (PlaceIndex i : ps)
      AddEnableArc(P[i], &a);
  };

  // Output arcs: the places each activity changes.
  affects(tP1, {iP1, iP1wM1});
  affects(tP2, {iP2, iP2wM2});
  affects(tP3, {iP3, iP3M2});
  affects(tP12, {iP12, iP12wM3});
  affects(tP1M1, {iP1M1, iM1, iP1d});
  affects(tP2M2, {iP2M2, iM2, iP2d});
  affects(tP3M2, {iP3M2, iP3s});
  affects(tP12M3, {iP12M3, iM3, iP12s});
  affects(tP1s, {iP1s, iP1});
  affects(tP2s, {iP2s, iP2});
  affects(tP3s, {iP3s, iP3});
  affects(tP12s, {iP12s, iP1, iP2});
  affects(tM1, {iP1wM1, iM1, iP1M1});
  affects(tM2, {iP2wM2, iM2, iP2M2});
  affects(tM3, {iP12wM3, iM3, iP12M3});
  affects(tP1e, {iP1d, iP1s});
  affects(tP1j, {iP1d, iP1wP2});
  affects(tP2e, {iP2d, iP2s});
  affects(tP2j, {iP2d, iP2wP1});
  affects(tx, {iP1wP2, iP2wP1, iP12});

  // Input arcs: the places each activity's predicate reads.
  enables(tP1, {iP1});
  enables(tP2, {iP2});
  enables(tP3, {iP3});
  enables(tP12, {iP12});
  enables(tP1M1, {iP1M1});
  enables(tP2M2, {iP2M2});
  enables(tP3M2, {iP3M2, iM2});
  enables(tP12M3, {iP12M3});
  enables(tP1s, {iP1s});
  enables(tP2s, {iP2s});
  enables(tP3s, {iP3s});
  enables(tP12s, {iP12s});
  enables(tM1, {iP1wM1, iM1});
  enables(tM2, {iP2wM2, iM2});
  enables(tM3, {iP12wM3, iM3});
  enables(tP1e, {iP1d});
  enables(tP1j, {iP1d});
  enables(tP2e, {iP2d});
  enables(tP2j, {iP2d});
  enables(tx, {iP1wP2, iP2wP1});
}
