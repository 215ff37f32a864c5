#ifndef MODELS_KANBAN_KANBANSAN_H
#define MODELS_KANBAN_KANBANSAN_H

#include "model/Activity.h"
#include "model/PostselectGroup.h"
#include "model/PreselectGroup.h"
#include "model/SANModel.h"
#include "state/Place.h"

// The number of kanban cards per cell; set by the study per experiment.
extern int N;

// A four-cell kanban manufacturing line as a SAN named "Kanban".
//
// Each cell i holds N cards in Pkan{i}. A part entering cell i takes a card
// and is machined (Pm{i}); it is then either good (Pout{i}) or must be
// redone (Pback{i}, from where it returns to the machine). Cell 1 is fed by
// In1; a good part of cell 1 is forked into cells 2 and 3 (Synch1_23, which
// returns cell 1's card); good parts of cells 2 and 3 are joined into cell 4
// (Synch23_4); Out4 ships a good part of cell 4 and frees its card.
//
// Places, in state-vector order (2 bytes each, 32 bytes in all): for cells
// 1..4 in turn Pkan{i} (initial N), Pm{i}, Pback{i}, Pout{i} (initial 0).
// Activities, all exponential and each its own group, in action order: In1;
// per cell Redo{i}, Ok{i}, Back{i}; Synch1_23, Synch23_4, Out4.
class KanbanSAN : public SANModel {
public:
  static constexpr int NumCells = 4;
  static constexpr int NumPlaces = 4 * NumCells;
  static constexpr int NumActivities = 1 + 3 * NumCells + 3;

  // A place used by an activity, with the activity's cached pointer at the
  // place's marking storage (registered with the place, so sharing would
  // redirect it).
  struct Slot {
    Place* place = nullptr;
    short* mark = nullptr;

    void Assign(Place* p) {
      place = p;
      mark = p->Mark;
    }
    void Link() { place->RegisterPointer(&mark, nullptr); }
  };

  // What every activity of this model has in common: exponential with
  // weight 1 and rank 1, no reactivation, and one distribution parameter
  // (its current rate).
  class TimedActivity : public Activity {
  public:
    double Parameters[1] = {0.0};

    double Weight() override { return 1.0; }
    int Rank() override { return 1; }
    bool ReactivationPredicate() override { return false; }
    bool ReactivationFunction() override { return false; }
    double* ReturnDistributionParameters() override;
    double SampleDistribution() override;

  protected:
    // Records the predicate's value as the current enabling and returns it.
    bool Evaluate(bool predicate) {
      PreviouslyEnabled = CurrentlyEnabled;
      CurrentlyEnabled = predicate;
      return CurrentlyEnabled;
    }
  };

  // Pkan1 > 0: a part enters cell 1 (rate 1).
  class In1Activity : public TimedActivity {
  public:
    Slot Pkan1, Pm1;
    bool Enabled() override;
    double Rate() override;
    BaseActionClass* Fire() override;
    void LinkVariables() override;
  };

  // Pm{i} > 0: the machined part must be redone.
  class RedoActivity : public TimedActivity {
  public:
    Slot Pm, Pback;
    double CellRate = 0.0;
    bool Enabled() override;
    double Rate() override;
    BaseActionClass* Fire() override;
    void LinkVariables() override;
  };

  // Pm{i} > 0: the machined part is good.
  class OkActivity : public TimedActivity {
  public:
    Slot Pm, Pout;
    double CellRate = 0.0;
    bool Enabled() override;
    double Rate() override;
    BaseActionClass* Fire() override;
    void LinkVariables() override;
  };

  // Pback{i} > 0: a part to be redone returns to the machine (rate 0.3).
  class BackActivity : public TimedActivity {
  public:
    Slot Pback, Pm;
    bool Enabled() override;
    double Rate() override;
    BaseActionClass* Fire() override;
    void LinkVariables() override;
  };

  // Pout1, Pkan2, Pkan3 > 0: a good part of cell 1 forks into cells 2 and 3.
  class Synch1_23Activity : public TimedActivity {
  public:
    Slot Pout1, Pkan1, Pkan2, Pm2, Pkan3, Pm3;
    bool Enabled() override;
    double Rate() override;
    BaseActionClass* Fire() override;
    void LinkVariables() override;
  };

  // Pout2, Pout3, Pkan4 > 0: good parts of cells 2 and 3 join into cell 4.
  class Synch23_4Activity : public TimedActivity {
  public:
    Slot Pout2, Pkan2, Pout3, Pkan3, Pkan4, Pm4;
    bool Enabled() override;
    double Rate() override;
    BaseActionClass* Fire() override;
    void LinkVariables() override;
  };

  // Pout4 > 0: a good part leaves cell 4 (rate 0.9).
  class Out4Activity : public TimedActivity {
  public:
    Slot Pout4, Pkan4;
    bool Enabled() override;
    double Rate() override;
    BaseActionClass* Fire() override;
    void LinkVariables() override;
  };

  In1Activity In1;
  RedoActivity Redo[NumCells];
  OkActivity Ok[NumCells];
  BackActivity Back[NumCells];
  Synch1_23Activity Synch1_23;
  Synch23_4Activity Synch23_4;
  Out4Activity Out4;

  // The two group members every generated SAN carries; no activity is in
  // them and they are not in the Groups table.
  PreselectGroup ImmediateGroup;
  PostselectGroup PostGroup;

  // Cell c (0-based) places; owned, deleted with the model.
  Place* Pkan[NumCells];
  Place* Pm[NumCells];
  Place* Pback[NumCells];
  Place* Pout[NumCells];

  // Builds the network with N cards per cell (N read now).
  KanbanSAN();
  ~KanbanSAN() override;
  KanbanSAN(const KanbanSAN&) = delete;
  KanbanSAN& operator=(const KanbanSAN&) = delete;

  void CustomInitialization() {}

private:
  void assignPlacesToActivitiesTimed();
  void AddArcs();
};

#endif
