#include "models/kanban/KanbanSAN.h"

#include <cstdlib>
#include <iostream>
#include <limits>
#include <string>

#include "distributions/DistributionDefinition.h"

namespace {

// Per-cell rates of the machining outcomes, cells 1..4.
constexpr double RedoRates[KanbanSAN::NumCells] = {0.36, 0.42, 0.39, 0.33};
constexpr double OkRates[KanbanSAN::NumCells] = {0.84, 0.98, 0.91, 0.77};
constexpr double BackRate = 0.3;
constexpr double In1Rate = 1.0;
constexpr double Synch1_23Rate = 0.4;
constexpr double Synch23_4Rate = 0.5;
constexpr double Out4Rate = 0.9;

std::string CellName(const char* stem, int cell) {
  return stem + std::to_string(cell + 1);
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

double* KanbanSAN::TimedActivity::ReturnDistributionParameters() {
  Parameters[0] = Rate();
  return Parameters;
}

double KanbanSAN::TimedActivity::SampleDistribution() {
  return TheDistribution->Exponential(Rate());
}

// In1

bool KanbanSAN::In1Activity::Enabled() {
  return Evaluate(*Pkan1.mark > 0);
}

double KanbanSAN::In1Activity::Rate() {
  return In1Rate;
}

BaseActionClass* KanbanSAN::In1Activity::Fire() {
  *Pkan1.mark -= 1;
  *Pm1.mark += 1;
  return this;
}

void KanbanSAN::In1Activity::LinkVariables() {
  Pkan1.Link();
  Pm1.Link();
}

// Redo{i}

bool KanbanSAN::RedoActivity::Enabled() {
  return Evaluate(*Pm.mark > 0);
}

double KanbanSAN::RedoActivity::Rate() {
  return CellRate;
}

BaseActionClass* KanbanSAN::RedoActivity::Fire() {
  *Pm.mark -= 1;
  *Pback.mark += 1;
  return this;
}

void KanbanSAN::RedoActivity::LinkVariables() {
  Pm.Link();
  Pback.Link();
}

// Ok{i}

bool KanbanSAN::OkActivity::Enabled() {
  return Evaluate(*Pm.mark > 0);
}

double KanbanSAN::OkActivity::Rate() {
  return CellRate;
}

BaseActionClass* KanbanSAN::OkActivity::Fire() {
  *Pm.mark -= 1;
  *Pout.mark += 1;
  return this;
}

void KanbanSAN::OkActivity::LinkVariables() {
  Pm.Link();
  Pout.Link();
}

// Back{i}

bool KanbanSAN::BackActivity::Enabled() {
  return Evaluate(*Pback.mark > 0);
}

double KanbanSAN::BackActivity::Rate() {
  return BackRate;
}

BaseActionClass* KanbanSAN::BackActivity::Fire() {
  *Pback.mark -= 1;
  *Pm.mark += 1;
  return this;
}

void KanbanSAN::BackActivity::LinkVariables() {
  Pback.Link();
  Pm.Link();
}

// Synch1_23

bool KanbanSAN::Synch1_23Activity::Enabled() {
  return Evaluate(*Pout1.mark > 0 && *Pkan2.mark > 0 && *Pkan3.mark > 0);
}

double KanbanSAN::Synch1_23Activity::Rate() {
  return Synch1_23Rate;
}

BaseActionClass* KanbanSAN::Synch1_23Activity::Fire() {
  *Pout1.mark -= 1;
  *Pkan1.mark += 1;
  *Pkan2.mark -= 1;
  *Pm2.mark += 1;
  *Pkan3.mark -= 1;
  *Pm3.mark += 1;
  return this;
}

void KanbanSAN::Synch1_23Activity::LinkVariables() {
  for (Slot* s : {&Pout1, &Pkan1, &Pkan2, &Pm2, &Pkan3, &Pm3})
    s->Link();
}

// Synch23_4

bool KanbanSAN::Synch23_4Activity::Enabled() {
  return Evaluate(*Pout2.mark > 0 && *Pout3.mark > 0 && *Pkan4.mark > 0);
}

double KanbanSAN::Synch23_4Activity::Rate() {
  return Synch23_4Rate;
}

BaseActionClass* KanbanSAN::Synch23_4Activity::Fire() {
  *Pout2.mark -= 1;
  *Pkan2.mark += 1;
  *Pout3.mark -= 1;
  *Pkan3.mark += 1;
  *Pkan4.mark -= 1;
  *Pm4.mark += 1;
  return this;
}

void KanbanSAN::Synch23_4Activity::LinkVariables() {
  for (Slot* s : {&Pout2, &Pkan2, &Pout3, &Pkan3, &Pkan4, &Pm4})
    s->Link();
}

// Out4

bool KanbanSAN::Out4Activity::Enabled() {
  return Evaluate(*Pout4.mark > 0);
}

double KanbanSAN::Out4Activity::Rate() {
  return Out4Rate;
}

BaseActionClass* KanbanSAN::Out4Activity::Fire() {
  *Pout4.mark -= 1;
  *Pkan4.mark += 1;
  return this;
}

void KanbanSAN::Out4Activity::LinkVariables() {
  Pout4.Link();
  Pkan4.Link();
}

// The model

KanbanSAN::KanbanSAN() {
  CheckN("Kanban");
  // Activities: group id = action index, each its own group.
  int group = 0;
  In1.ActivityInitialize("In1", group++, EXPONENTIAL, DEFAULT_POLICY, 2, 2, false);
  for (int c = 0; c < NumCells; c++) {
    Redo[c].CellRate = RedoRates[c];
    Redo[c].ActivityInitialize(CellName("Redo", c).c_str(), group++, EXPONENTIAL, DEFAULT_POLICY, 2,
                               2, false);
    Ok[c].CellRate = OkRates[c];
    Ok[c].ActivityInitialize(CellName("Ok", c).c_str(), group++, EXPONENTIAL, DEFAULT_POLICY, 2, 2,
                             false);
    Back[c].ActivityInitialize(CellName("Back", c).c_str(), group++, EXPONENTIAL, DEFAULT_POLICY, 2,
                               2, false);
  }
  Synch1_23.ActivityInitialize("Synch1_23", group++, EXPONENTIAL, DEFAULT_POLICY, 6, 2, false);
  Synch23_4.ActivityInitialize("Synch23_4", group++, EXPONENTIAL, DEFAULT_POLICY, 6, 2, false);
  Out4.ActivityInitialize("Out4", group++, EXPONENTIAL, DEFAULT_POLICY, 2, 2, false);

  // Places, cell by cell.
  BaseStateVariableClass* places[NumPlaces];
  for (int c = 0; c < NumCells; c++) {
    Pkan[c] = new Place(CellName("Pkan", c).c_str(), static_cast<short>(N));
    Pm[c] = new Place(CellName("Pm", c).c_str(), 0);
    Pback[c] = new Place(CellName("Pback", c).c_str(), 0);
    Pout[c] = new Place(CellName("Pout", c).c_str(), 0);
    places[4 * c] = Pkan[c];
    places[4 * c + 1] = Pm[c];
    places[4 * c + 2] = Pback[c];
    places[4 * c + 3] = Pout[c];
  }

  Activity* actions[NumActivities];
  int a = 0;
  actions[a++] = &In1;
  for (int c = 0; c < NumCells; c++) {
    actions[a++] = &Redo[c];
    actions[a++] = &Ok[c];
    actions[a++] = &Back[c];
  }
  actions[a++] = &Synch1_23;
  actions[a++] = &Synch23_4;
  actions[a++] = &Out4;

  // Every activity is its own group, and group id = action index.
  BaseGroupClass* groups[NumActivities];
  for (int i = 0; i < NumActivities; i++)
    groups[i] = actions[i];

  initializeSANModelNow("Kanban", NumPlaces, places, 0, nullptr, NumActivities, actions,
                        NumActivities, groups);
  assignPlacesToActivitiesTimed();
  AddArcs();
  for (Activity* act : actions)
    act->LinkVariables();
  CustomInitialization();
}

KanbanSAN::~KanbanSAN() {
  for (int i = 0; i < numSVs - numReadOnlyPlaces; i++)
    delete Places[i];
}

void KanbanSAN::assignPlacesToActivitiesTimed() {
  In1.Pkan1.Assign(Pkan[0]);
  In1.Pm1.Assign(Pm[0]);
  for (int c = 0; c < NumCells; c++) {
    Redo[c].Pm.Assign(Pm[c]);
    Redo[c].Pback.Assign(Pback[c]);
    Ok[c].Pm.Assign(Pm[c]);
    Ok[c].Pout.Assign(Pout[c]);
    Back[c].Pback.Assign(Pback[c]);
    Back[c].Pm.Assign(Pm[c]);
  }
  Synch1_23.Pout1.Assign(Pout[0]);
  Synch1_23.Pkan1.Assign(Pkan[0]);
  Synch1_23.Pkan2.Assign(Pkan[1]);
  Synch1_23.Pm2.Assign(Pm[1]);
  Synch1_23.Pkan3.Assign(Pkan[2]);
  Synch1_23.Pm3.Assign(Pm[2]);
  Synch23_4.Pout2.Assign(Pout[1]);
  Synch23_4.Pkan2.Assign(Pkan[1]);
  Synch23_4.Pout3.Assign(Pout[2]);
  Synch23_4.Pkan3.Assign(Pkan[2]);
  Synch23_4.Pkan4.Assign(Pkan[3]);
  Synch23_4.Pm4.Assign(Pm[3]);
  Out4.Pout4.Assign(Pout[3]);
  Out4.Pkan4.Assign(Pkan[3]);
}

void KanbanSAN::AddArcs() {
  // Output arcs: every place an activity changes.
  AddAffectArc(Pkan[0], &In1);
  AddAffectArc(Pm[0], &In1);
  for (int c = 0; c < NumCells; c++) {
    AddAffectArc(Pm[c], &Redo[c]);
    AddAffectArc(Pback[c], &Redo[c]);
    AddAffectArc(Pm[c], &Ok[c]);
    AddAffectArc(Pout[c], &Ok[c]);
    AddAffectArc(Pback[c], &Back[c]);
    AddAffectArc(Pm[c], &Back[c]);
  }
  for (Place* p : {Pout[0], Pkan[0], Pkan[1], Pm[1], Pkan[2], Pm[2]})
    AddAffectArc(p, &Synch1_23);
  for (Place* p : {Pout[1], Pkan[1], Pout[2], Pkan[2], Pkan[3], Pm[3]})
    AddAffectArc(p, &Synch23_4);
  AddAffectArc(Pout[3], &Out4);
  AddAffectArc(Pkan[3], &Out4);

  // Input arcs: every place an activity's predicate reads.
  AddEnableArc(Pkan[0], &In1);
  for (int c = 0; c < NumCells; c++) {
    AddEnableArc(Pm[c], &Redo[c]);
    AddEnableArc(Pm[c], &Ok[c]);
    AddEnableArc(Pback[c], &Back[c]);
  }
  for (Place* p : {Pout[0], Pkan[1], Pkan[2]})
    AddEnableArc(p, &Synch1_23);
  for (Place* p : {Pout[1], Pout[2], Pkan[3]})
    AddEnableArc(p, &Synch23_4);
  AddEnableArc(Pout[3], &Out4);
}
