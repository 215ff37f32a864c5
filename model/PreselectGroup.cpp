#include "model/PreselectGroup.h"

PreselectGroup::PreselectGroup() : BaseGroupClass(), NeedsSelection(true) {}

PreselectGroup::PreselectGroup(int n) : BaseGroupClass(), NeedsSelection(true) {
  enlargeArrays(n);
}

bool PreselectGroup::Enabled() {
  if (NeedsSelection)
    SelectAction();
  return BaseGroupClass::Enabled();
}

bool PreselectGroup::ReactivationPredicate() {
  if (NeedsSelection)
    SelectAction();
  return SelectedAction != nullptr ? SelectedAction->ReactivationPredicate() : false;
}

bool PreselectGroup::ReactivationFunction() {
  if (NeedsSelection)
    SelectAction();
  return SelectedAction != nullptr ? SelectedAction->ReactivationFunction() : false;
}

double PreselectGroup::SampleDistribution() {
  if (NeedsSelection)
    SelectAction();
  return BaseGroupClass::SampleDistribution();
}

BaseActionClass* PreselectGroup::Fire() {
  NeedsSelection = true;
  return SelectedAction != nullptr && SelectedAction != this ? SelectedAction->Fire() : nullptr;
}

int PreselectGroup::Rank() {
  if (NeedsSelection)
    SelectAction();
  return BaseGroupClass::Rank();
}

bool PreselectGroup::SelectAction() {
  bool selected = BaseGroupClass::SelectAction();
  NeedsSelection = !selected;
  return selected;
}
