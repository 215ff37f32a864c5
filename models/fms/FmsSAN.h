#ifndef MODELS_FMS_FMSSAN_H
#define MODELS_FMS_FMSSAN_H

#include "model/Activity.h"
#include "model/PostselectGroup.h"
#include "model/PreselectGroup.h"
#include "model/SANModel.h"
#include "state/Place.h"

// The number of pallets of each part type; set by the study per experiment.
extern int N;

// A flexible manufacturing system as a SAN named "Fms".
//
// Three part types circulate on N pallets each (P1, P2, P3). Type 1 is
// machined on M1 (3 machines), type 2 on M2 (1 machine), type 3 on M2 as
// well (it only needs M2 to be free). After machining a part of type 1 or 2
// either leaves (P1s, P2s) or waits to be joined with a part of the other
// type (P1wP2, P2wP1); a joined part P12 is machined on M3 (2 machines).
// Finished parts return to their pallets in batches (tP1s, tP2s, tP3s,
// tP12s, which free one pallet of type 1 and one of type 2 per joined part).
// The load of the shop throttles the arrivals: each of tP1, tP2, tP3, tP12
// fires at min(1, Np / S) times its place's marking, with Np = floor(3N/2)
// and S = P1 + P2 + P3 + P12.
//
// Places, in state-vector order (2 bytes each, 44 bytes in all):
//   P1 [N], P1wM1, P1M1, M1 [3], P1d, P1s, P1wP2, P12, P12wM3, P12M3,
//   M3 [2], P12s, P2 [N], P2wM2, P2M2, M2 [1], P2d, P2wP1, P2s, P3 [N],
//   P3M2, P3s (initial marking in brackets, 0 otherwise).
// Activities, each its own group, in action order: the twelve timed ones
//   tP1, tP2, tP3, tP12, tP1M1, tP2M2, tP3M2, tP12M3, tP1s, tP2s, tP3s, tP12s
// then the eight instantaneous ones (rank 1, weight in brackets)
//   tM1 (1), tM2 (1), tM3 (1), tP1e (80), tP1j (20), tP2e (60), tP2j (40),
//   tx (1).
class FmsSAN : public SANModel {
public:
  // Place indices in the state vector.
  enum PlaceIndex {
    iP1,
    iP1wM1,
    iP1M1,
    iM1,
    iP1d,
    iP1s,
    iP1wP2,
    iP12,
    iP12wM3,
    iP12M3,
    iM3,
    iP12s,
    iP2,
    iP2wM2,
    iP2M2,
    iM2,
    iP2d,
    iP2wP1,
    iP2s,
    iP3,
    iP3M2,
    iP3s,
    NumPlaces
  };
  static constexpr int NumTimed = 12;
  static constexpr int NumInstant = 8;
  static constexpr int NumActivities = NumTimed + NumInstant;

  // Rate of an arrival activity whose place holds `tokens` when the four
  // arrival places hold `load` tokens in all: tokens * min(1, Np / load).
  static double ArrivalRate(short tokens, int load);

  // A place used by an activity, with the activity's cached pointer at the
  // place's marking storage (registered with the place).
  struct Slot {
    Place* place = nullptr;
    short* mark = nullptr;

    void Assign(Place* p) {
      place = p;
      mark = p->Mark;
    }
    void Link() { place->RegisterPointer(&mark, nullptr); }
  };

  // Common part of every activity: rank 1, no reactivation, and the
  // bookkeeping of the enabling flags.
  class FmsActivity : public Activity {
  public:
    int Rank() override { return 1; }
    bool ReactivationPredicate() override { return false; }
    bool ReactivationFunction() override { return false; }

  protected:
    bool Evaluate(bool predicate) {
      PreviouslyEnabled = CurrentlyEnabled;
      CurrentlyEnabled = predicate;
      return CurrentlyEnabled;
    }
  };

  // Exponential activities: weight 1, one distribution parameter (the rate).
  class TimedActivity : public FmsActivity {
  public:
    double Parameters[1] = {0.0};

    double Weight() override { return 1.0; }
    double* ReturnDistributionParameters() override;
    double SampleDistribution() override;
  };

  // Instantaneous activities: rate 0, a fixed weight, nothing to sample.
  class InstantActivity : public FmsActivity {
  public:
    double FixedWeight = 1.0;

    double Weight() override { return FixedWeight; }
    double Rate() override { return 0.0; }
    double* ReturnDistributionParameters() override { return nullptr; }
    double SampleDistribution() override { return 0.0; }
  };

  // tP1, tP2, tP3, tP12: Source > 0; a part is loaded on a pallet,
  // Source -= 1, Target += 1, at ArrivalRate(Source, P1 + P2 + P3 + P12).
  class ArrivalActivity : public TimedActivity {
  public:
    Slot Source, Target;
    Slot Load[4];
    bool Enabled() override;
    double Rate() override;
    BaseActionClass* Fire() override;
    void LinkVariables() override;
  };

  // tP1M1, tP2M2, tP12M3: Busy > 0; machining ends, Busy -= 1, Machine += 1,
  // Done += 1. The rate is UnitRate, times Busy when PerToken is set.
  class ServiceActivity : public TimedActivity {
  public:
    Slot Busy, Machine, Done;
    double UnitRate = 0.0;
    bool PerToken = false;
    bool Enabled() override;
    double Rate() override;
    BaseActionClass* Fire() override;
    void LinkVariables() override;
  };

  // tP3M2: P3M2 > 0 and M2 > 0 (M2 is only tested); rate 1/2;
  // P3M2 -= 1, P3s += 1.
  class ServiceP3Activity : public TimedActivity {
  public:
    Slot P3M2, M2, P3s;
    bool Enabled() override;
    double Rate() override;
    BaseActionClass* Fire() override;
    void LinkVariables() override;
  };

  // tP1s, tP2s, tP3s: Finished > 0; rate 1/60; every finished part returns
  // at once: Pallets += Finished, Finished = 0.
  class ReturnActivity : public TimedActivity {
  public:
    Slot Finished, Pallets;
    bool Enabled() override;
    double Rate() override;
    BaseActionClass* Fire() override;
    void LinkVariables() override;
  };

  // tP12s: P12s > 0; rate 1/60; P1 += P12s, P2 += P12s, P12s = 0.
  class ReturnP12Activity : public TimedActivity {
  public:
    Slot P12s, P1, P2;
    bool Enabled() override;
    double Rate() override;
    BaseActionClass* Fire() override;
    void LinkVariables() override;
  };

  // tM1, tM2, tM3: Waiting > 0 and Machine > 0; a machine is taken,
  // Waiting -= 1, Machine -= 1, Busy += 1.
  class AcquireActivity : public InstantActivity {
  public:
    Slot Waiting, Machine, Busy;
    bool Enabled() override;
    BaseActionClass* Fire() override;
    void LinkVariables() override;
  };

  // tP1e, tP1j, tP2e, tP2j: From > 0; From -= 1, To += 1.
  class RouteActivity : public InstantActivity {
  public:
    Slot From, To;
    bool Enabled() override;
    BaseActionClass* Fire() override;
    void LinkVariables() override;
  };

  // tx: P1wP2 > 0 and P2wP1 > 0; two parts are joined,
  // P1wP2 -= 1, P2wP1 -= 1, P12 += 1.
  class JoinActivity : public InstantActivity {
  public:
    Slot P1wP2, P2wP1, P12;
    bool Enabled() override;
    BaseActionClass* Fire() override;
    void LinkVariables() override;
  };

  ArrivalActivity tP1, tP2, tP3, tP12;
  ServiceActivity tP1M1, tP2M2;
  ServiceP3Activity tP3M2;
  ServiceActivity tP12M3;
  ReturnActivity tP1s, tP2s, tP3s;
  ReturnP12Activity tP12s;
  AcquireActivity tM1, tM2, tM3;
  RouteActivity tP1e, tP1j, tP2e, tP2j;
  JoinActivity tx;

  // The two group members every generated SAN carries; no activity is in
  // them and they are not in the Groups table.
  PreselectGroup ImmediateGroup;
  PostselectGroup PostGroup;

  // The places by PlaceIndex; owned, deleted with the model.
  Place* P[NumPlaces];

  // Builds the network with N pallets per part type (N read now).
  FmsSAN();
  ~FmsSAN() override;
  FmsSAN(const FmsSAN&) = delete;
  FmsSAN& operator=(const FmsSAN&) = delete;

  short Mark(PlaceIndex i) const { return *P[i]->Mark; }
  // P1 + P2 + P3 + P12 in the current marking.
  int Load() const;

  void CustomInitialization() {}

private:
  void assignPlacesToActivitiesTimed();
  void assignPlacesToActivitiesInst();
  void AddArcs();
};

#endif
