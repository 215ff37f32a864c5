#include "model/Activity.h"

Activity::Activity() : BaseGroupClass(), CurrentlyEnabled(false), PreviouslyEnabled(false) {
  Disabled = true;
  Reactivation = false;
  SelectedAction = this;
}

Activity::Activity(const char* name, int groupId, Distribution dist, ExecutionPolicyType policy,
                   int a, int b, bool reactivation)
    : Activity() {
  ActivityInitialize(name, groupId, dist, policy, a, b, reactivation);
}

Activity::~Activity() = default;

bool Activity::EnablingChange() {
  Enabled();
  return CurrentlyEnabled != PreviouslyEnabled;
}

double Activity::Probability(BaseActionClass* a) {
  return a == this ? 1.0 : 0.0;
}

bool Activity::SelectAction() {
  return Enabled();
}

void Activity::setGroupId(int id) {
  GroupID = id;
}

void Activity::ActivityInitialize(const char* name, int groupId, Distribution dist,
                                  ExecutionPolicyType policy, int a, int b, bool reactivation) {
  BaseGroupClassInitialize(name, groupId, dist, policy, a, b, reactivation);
}

bool Activity::IsAnAffectingStateVariable(BaseStateVariableClass* sv) {
  return AffectedSVs.contains(sv);
}
