#ifndef MODEL_ACTIVITY_H
#define MODEL_ACTIVITY_H

#include "model/BaseGroupClass.h"

// The action of a stochastic activity network. An activity is a group of its
// own that always selects itself, so it can stand wherever a group is
// expected. Generated code derives one class per activity and overrides
// Enabled, Weight, Rate, ReactivationPredicate, ReactivationFunction,
// SampleDistribution, ReturnDistributionParameters, Fire, Rank and
// LinkVariables.
//
// A concrete Enabled() copies CurrentlyEnabled into PreviouslyEnabled, then
// stores its predicate's value in CurrentlyEnabled and returns it; every call
// counts as one evaluation for EnablingChange().
class Activity : public BaseGroupClass {
public:
  bool CurrentlyEnabled;
  bool PreviouslyEnabled;

  // Disabled, no reactivation, selected action = this activity.
  Activity();
  // Default construction, then ActivityInitialize.
  Activity(const char* name, int groupId, Distribution dist, ExecutionPolicyType policy, int a,
           int b, bool reactivation);
  ~Activity() override;

  // Applies the output function to the places and returns this activity.
  BaseActionClass* Fire() override = 0;
  // Calls Enabled(); true when the enabling flag changed since the previous
  // evaluation.
  bool EnablingChange() override;
  // 1.0 for this activity, 0.0 for any other action.
  double Probability(BaseActionClass* a) override;
  // Enabled(); the activity stays its own selected action.
  bool SelectAction() override;
  // Sets GroupID.
  void setGroupId(int id) override;
  // Registers the activity's cached marking pointers with its places.
  virtual void LinkVariables() = 0;

  void ActivityInitialize(const char* name, int groupId, Distribution dist,
                          ExecutionPolicyType policy, int a, int b, bool reactivation);
  // True when sv is in AffectedSVs.
  bool IsAnAffectingStateVariable(BaseStateVariableClass* sv);
};

#endif
