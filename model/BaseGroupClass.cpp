#include "model/BaseGroupClass.h"

#include <cstdio>
#include <new>
#include <string>

#include "distributions/DistributionDefinition.h"
#include "model/StandardErrors.h"
#include "state/BaseStateVariableClass.h"

namespace {

// The action a group forwards its rate, weight, rank and sampling to. An
// activity selects itself; forwarding to itself would never end, so it gets
// the neutral values of an action instead (as does a group with nothing
// selected).
BaseActionClass* forwardTarget(BaseGroupClass* group) {
  BaseActionClass* selected = group->SelectedAction;
  return selected == group ? nullptr : selected;
}

BaseGroupClass** newMembers(int n) {
  BaseGroupClass** members = new (std::nothrow) BaseGroupClass*[n > 0 ? n : 0]();
  if (members == nullptr)
    MemoryAllocationError();
  return members;
}

BaseGroupClass::WeightTableEntry* newWeightTable(int n) {
  auto* table = new (std::nothrow) BaseGroupClass::WeightTableEntry[n > 0 ? n : 0]();
  if (table == nullptr)
    MemoryAllocationError();
  return table;
}

} // namespace

BaseGroupClass::BaseGroupClass()
    : BaseActionClass(), Members(nullptr), SelectedAction(nullptr), WeightTable(nullptr),
      CurrentRank(0), NumMembers(0), TableSize(0), Capacity(0) {}

BaseGroupClass::BaseGroupClass(const char* name, int groupId, Distribution dist,
                               ExecutionPolicyType policy, int a, int b, bool reactivation)
    : BaseGroupClass() {
  BaseGroupClassInitialize(name, groupId, dist, policy, a, b, reactivation);
}

BaseGroupClass::BaseGroupClass(const char* name, int groupId, Distribution dist,
                               ExecutionPolicyType policy, int a, int b, bool reactivation, int n)
    : BaseGroupClass() {
  enlargeArrays(n);
  BaseGroupClassInitialize(name, groupId, dist, policy, a, b, reactivation);
}

BaseGroupClass::~BaseGroupClass() {
  delete[] Members;
  delete[] WeightTable;
}

bool BaseGroupClass::Enabled() {
  bool enabled = false;
  for (int i = 0; i < NumMembers; i++) {
    if (Members[i]->Enabled())
      enabled = true;
  }
  return enabled;
}

double BaseGroupClass::Weight() {
  BaseActionClass* target = forwardTarget(this);
  return target != nullptr ? target->Weight() : BaseActionClass::Weight();
}

double BaseGroupClass::Rate() {
  BaseActionClass* target = forwardTarget(this);
  return target != nullptr ? target->Rate() : BaseActionClass::Rate();
}

bool BaseGroupClass::ReactivationPredicate() {
  return false;
}

bool BaseGroupClass::ReactivationFunction() {
  return false;
}

double BaseGroupClass::SampleDistribution() {
  BaseActionClass* target = forwardTarget(this);
  return target != nullptr ? target->SampleDistribution() : BaseActionClass::SampleDistribution();
}

BaseActionClass* BaseGroupClass::Fire() {
  BaseActionClass* target = forwardTarget(this);
  BaseActionClass* fired = target != nullptr ? target->Fire() : nullptr;
  SelectedAction = nullptr;
  return fired;
}

int BaseGroupClass::Rank() {
  BaseActionClass* target = forwardTarget(this);
  return target != nullptr ? target->Rank() : BaseActionClass::Rank();
}

bool BaseGroupClass::EnablingChange() {
  bool changed = false;
  for (int i = 0; i < NumMembers; i++) {
    if (Members[i]->EnablingChange())
      changed = true;
  }
  return changed;
}

bool BaseGroupClass::IsAMember(BaseActionClass* a) {
  for (int i = 0; i < NumMembers; i++) {
    if (Members[i] == a)
      return true;
  }
  return false;
}

double BaseGroupClass::Probability(BaseActionClass* a) {
  int maxRank = 0;
  double total = 0.0;
  BaseGroupClass* owner = nullptr;
  for (int i = 0; i < NumMembers; i++) {
    BaseGroupClass* m = Members[i];
    if (m->Enabled()) {
      int rank = m->Rank();
      if (rank > maxRank) {
        maxRank = rank;
        total = 0.0;
      }
      if (rank == maxRank)
        total += m->Weight();
    }
    if (m == a || m->IsAMember(a))
      owner = m;
  }
  if (owner == nullptr)
    return 0.0;
  if (maxRank > owner->Rank())
    return 0.0;
  if (total == 0.0)
    std::printf("BaseGroupClass::Probability() TotalWeight is zero.\n");
  double p = owner->Weight() / total;
  return p * owner->Probability(a);
}

void BaseGroupClass::printEnablingState(std::ostream* os) {
  BaseActionClass* first = NumMembers > 0 ? Members[0] : this;
  for (int i = 0; i < first->EnablingSVs.getNumItems(); i++)
    first->EnablingSVs.getItem(i)->printState(os);
}

BaseActionClass* BaseGroupClass::getPrintedAction() {
  return NumMembers > 0 ? Members[0] : this;
}

bool BaseGroupClass::SelectAction() {
  double u = TheDistribution->Generator->rnd();
  double total = CalculateWeightDistribution();
  if (total < 0.0)
    return false;
  double x = total * u;

  // The first entry whose cumulative weight exceeds x (the last if none does).
  int lo = 0;
  int hi = TableSize - 1;
  while (lo < hi) {
    int mid = (lo + hi) / 2;
    if (WeightTable[mid].CumulativeWeight > x)
      hi = mid;
    else
      lo = mid + 1;
  }
  BaseGroupClass* chosen = WeightTable[lo].Member;
  chosen->SelectAction();
  SelectedAction = chosen->SelectedAction;
  return true;
}

void BaseGroupClass::setGroupId(int id) {
  for (int i = 0; i < NumMembers; i++)
    Members[i]->setGroupId(id);
}

void BaseGroupClass::BaseGroupClassInitialize(const char* name, int groupId, Distribution dist,
                                              ExecutionPolicyType policy, int a, int b,
                                              bool reactivation) {
  BaseActionClassInitialize(name, groupId, dist, policy, a, b, reactivation);
}

void BaseGroupClass::initialize(int n, const char* name) {
  BaseGroupClass** members = newMembers(n);
  WeightTableEntry* table = newWeightTable(n);
  delete[] Members;
  delete[] WeightTable;
  Members = members;
  WeightTable = table;
  Capacity = n > 0 ? n : 0;
  NumMembers = 0;
  defineName(name);
  SelectedAction = nullptr;
  CurrentRank = 0;
  TableSize = 0;
}

void BaseGroupClass::appendGroup(BaseGroupClass* g) {
  if (NumMembers >= Capacity)
    enlargeArrays(NumMembers + 1);
  Members[NumMembers++] = g;
}

void BaseGroupClass::appendMembers(BaseGroupClass* g) {
  int count = g->NumMembers;
  if (NumMembers + count > Capacity)
    enlargeArrays(NumMembers + count);
  // g may be this group: its member array is read after any growth.
  for (int i = 0; i < count; i++)
    Members[NumMembers + i] = g->Members[i];
  NumMembers += count;
}

void BaseGroupClass::setMember(BaseGroupClass* g, int i) {
  if (i < 0 || i >= NumMembers) {
    ArrayOutOfBoundsError("Array out of bounds (BaseGroupClass::setMember()");
    return;
  }
  Members[i] = g;
}

void BaseGroupClass::replaceMember(BaseActionClass* old, BaseActionClass* newAction) {
  if (SelectedAction == old)
    SelectedAction = newAction;
  // Members are groups; an action that is not one cannot take a member slot.
  BaseGroupClass* newMember = dynamic_cast<BaseGroupClass*>(newAction);
  if (newMember == nullptr)
    return;
  for (int i = 0; i < NumMembers; i++) {
    if (Members[i] == old)
      Members[i] = newMember;
  }
}

void BaseGroupClass::enlargeArrays(int n) {
  if (n < 0)
    n = 0;
  BaseGroupClass** members = newMembers(n);
  WeightTableEntry* table = newWeightTable(n);
  if (NumMembers > n)
    NumMembers = n;
  for (int i = 0; i < NumMembers; i++)
    members[i] = Members[i];
  delete[] Members;
  delete[] WeightTable;
  Members = members;
  WeightTable = table;
  TableSize = 0;
  Capacity = n;
}

std::ostream& BaseGroupClass::PrintInfo() {
  std::ostream& out = std::cout;
  out << "************ Group: " << ActionName << " ****************" << std::endl;
  out << "Contains the following actions:" << std::endl;
  for (int i = 0; i < NumMembers; i++)
    out << "  " << Members[i]->ActionName << std::endl;
  out << "Selected Action = " << (SelectedAction != nullptr ? SelectedAction->ActionName : "")
      << std::endl;
  return out;
}

void BaseGroupClass::printGroup() {
  std::cout << "** Members of Group " << ActionName << std::endl;
  printGroup("", 0);
}

void BaseGroupClass::printGroup(const char* prefix, int indent) {
  for (int i = 0; i < NumMembers; i++) {
    BaseGroupClass* m = Members[i];
    std::cout << std::string(indent > 0 ? indent : 0, ' ') << "[" << prefix << i << "] "
              << m->ActionName << std::endl;
    if (m->NumMembers > 1) {
      std::string nested = std::string(prefix) + std::to_string(i) + ".";
      m->printGroup(nested.c_str(), indent + 2);
    }
  }
}

double BaseGroupClass::CalculateWeightDistribution() {
  // Skip to the first enabled member.
  int i = 0;
  while (i < NumMembers && !Members[i]->Enabled()) {
    Members[i]->Disabled = true;
    i++;
  }
  if (i == NumMembers)
    return -1.0;

  BaseGroupClass* first = Members[i];
  CurrentRank = first->Rank();
  first->Disabled = false;
  WeightTable[0] = {first->Weight(), first};
  int n = 0;

  // Table the enabled members of the highest rank seen so far.
  for (i++; i < NumMembers; i++) {
    BaseGroupClass* m = Members[i];
    if (!m->Enabled()) {
      m->Disabled = true;
      continue;
    }
    int rank = m->Rank();
    if (rank < CurrentRank) {
      m->Disabled = true;
    } else if (rank == CurrentRank) {
      n++;
      WeightTable[n] = {WeightTable[n - 1].CumulativeWeight + m->Weight(), m};
      m->Disabled = false;
    } else {
      CurrentRank = rank;
      WeightTable[0] = {m->Weight(), m};
      n = 0;
      m->Disabled = false;
    }
  }
  TableSize = n + 1;
  return WeightTable[n].CumulativeWeight;
}
