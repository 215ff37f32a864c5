#include "model/PostselectGroup.h"

PostselectGroup::PostselectGroup() : BaseGroupClass() {}

PostselectGroup::PostselectGroup(int n) : BaseGroupClass() {
  enlargeArrays(n);
  NumMembers = Capacity;
}

double PostselectGroup::Weight() {
  return 1.0;
}

bool PostselectGroup::ReactivationPredicate() {
  return NumMembers > 0 ? Members[0]->ReactivationPredicate() : false;
}

bool PostselectGroup::ReactivationFunction() {
  return NumMembers > 0 ? Members[0]->ReactivationFunction() : false;
}

double PostselectGroup::SampleDistribution() {
  return NumMembers > 0 ? Members[0]->SampleDistribution() : 0.0;
}

BaseActionClass* PostselectGroup::Fire() {
  SelectAction();
  return BaseGroupClass::Fire();
}

int PostselectGroup::Rank() {
  return 1;
}
