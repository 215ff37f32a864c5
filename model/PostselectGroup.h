#ifndef MODEL_POSTSELECTGROUP_H
#define MODEL_POSTSELECTGROUP_H

#include "model/BaseGroupClass.h"

// A group that chooses its member at the moment it fires. Its weight is 1.0
// and its rank 1; reactivation and sampling are those of its first member.
class PostselectGroup : public BaseGroupClass {
public:
  PostselectGroup();
  // n member slots (NumMembers = n), to be filled with setMember.
  explicit PostselectGroup(int n);

  double Weight() override;
  bool ReactivationPredicate() override;
  bool ReactivationFunction() override;
  double SampleDistribution() override;
  // Selects, fires the selection, clears it.
  BaseActionClass* Fire() override;
  int Rank() override;
};

#endif
