#ifndef MODEL_BASEGROUPCLASS_H
#define MODEL_BASEGROUPCLASS_H

#include "model/BaseActionClass.h"

// A group of actions competing for one firing: when the group fires, one of
// its enabled members of highest rank is chosen with probability
// proportional to its weight. A group is itself an action: it is enabled when
// any member is, and its rate, weight, rank and distribution are those of its
// currently selected member (neutral values while none is selected).
//
// Members and WeightTable are owned arrays of Capacity entries each; the
// members themselves are not owned. Copying is not allowed.
class BaseGroupClass : public BaseActionClass {
public:
  // One row of the selection table: the cumulative weight up to and
  // including Member.
  struct WeightTableEntry {
    double CumulativeWeight;
    BaseGroupClass* Member;
  };

  BaseGroupClass** Members;
  // The member action chosen by the last selection, or null.
  BaseActionClass* SelectedAction;
  WeightTableEntry* WeightTable;
  // Highest rank among the enabled members at the last table build.
  int CurrentRank;
  int NumMembers;
  // Rows of WeightTable in use.
  int TableSize;
  // Allocated entries of Members and of WeightTable.
  int Capacity;

  BaseGroupClass();
  // Default construction, then BaseGroupClassInitialize.
  BaseGroupClass(const char* name, int groupId, Distribution dist, ExecutionPolicyType policy,
                 int a, int b, bool reactivation);
  // As the previous one, with room for n members.
  BaseGroupClass(const char* name, int groupId, Distribution dist, ExecutionPolicyType policy,
                 int a, int b, bool reactivation, int n);
  ~BaseGroupClass() override;

  // True when any member is enabled; every member is asked, in order.
  bool Enabled() override;
  double Weight() override;
  double Rate() override;
  bool ReactivationPredicate() override;
  bool ReactivationFunction() override;
  double SampleDistribution() override;
  // Fires the selected action and clears the selection; returns what the
  // selected action's Fire returned (null when nothing was selected).
  BaseActionClass* Fire() override;
  int Rank() override;
  // True when any member's enabling changed; every member is asked.
  bool EnablingChange() override;
  // True when a is one of Members.
  bool IsAMember(BaseActionClass* a) override;
  // Probability that firing this group fires a: the weight share of the
  // member holding a among the enabled members of top rank, times that
  // member's own Probability(a); 0.0 when a lies below the top rank or in
  // no member.
  double Probability(BaseActionClass* a) override;
  // Enabling state of the first member (of the group itself when empty).
  void printEnablingState(std::ostream* os) override;
  // The first member, or the group itself when it has no members.
  BaseActionClass* getPrintedAction() override;
  // Draws a uniform number and chooses an enabled top-rank member by weight;
  // the chosen member selects in turn. False (selection unchanged) when no
  // member is enabled.
  virtual bool SelectAction();
  // Passes id to every member; the group's own GroupID is unchanged.
  virtual void setGroupId(int id);

  void BaseGroupClassInitialize(const char* name, int groupId, Distribution dist,
                                ExecutionPolicyType policy, int a, int b, bool reactivation);
  // Fresh member and weight arrays of n entries; names the group.
  void initialize(int n, const char* name);
  // Appends g; a full group grows by one entry (the weight table is rebuilt
  // empty at the new size).
  void appendGroup(BaseGroupClass* g);
  // Appends every member of g, in order, growing to exactly the needed size.
  void appendMembers(BaseGroupClass* g);
  // Stores g at position i < NumMembers; otherwise reports the bad index.
  void setMember(BaseGroupClass* g, int i);
  void replaceMember(BaseActionClass* old, BaseActionClass* newAction);
  // Members and WeightTable become arrays of n entries (members kept).
  void enlargeArrays(int n);
  void Check() {}

  std::ostream& PrintInfo();
  void printGroup();
  void printGroup(const char* prefix, int indent);

  // Builds the selection table over the enabled members of top rank,
  // marking the others Disabled; returns their total weight, or -1.0 when
  // no member is enabled.
  double CalculateWeightDistribution();
};

#endif
