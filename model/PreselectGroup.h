#ifndef MODEL_PRESELECTGROUP_H
#define MODEL_PRESELECTGROUP_H

#include "model/BaseGroupClass.h"

// A group that chooses its member before it is used and keeps the choice
// until it fires; firing marks that a new choice is due, which the next
// Enabled, Rank, SampleDistribution or reactivation query makes.
class PreselectGroup : public BaseGroupClass {
public:
  // A new selection is due.
  bool NeedsSelection;

  PreselectGroup();
  // Empty, with room for n members.
  explicit PreselectGroup(int n);

  bool Enabled() override;
  bool ReactivationPredicate() override;
  bool ReactivationFunction() override;
  double SampleDistribution() override;
  // Marks a new selection due, then fires the kept selection.
  BaseActionClass* Fire() override;
  int Rank() override;
  bool SelectAction() override;
};

#endif
