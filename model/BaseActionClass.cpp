#include "model/BaseActionClass.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "model/StandardErrors.h"
#include "state/BaseStateVariableClass.h"

int BaseActionClass::MaxID = 0;

namespace {

char* copyName(const char* name) {
  std::size_t length = std::strlen(name);
  char* copy = new (std::nothrow) char[length + 1];
  if (copy == nullptr)
    MemoryAllocationError();
  std::memcpy(copy, name, length + 1);
  return copy;
}

} // namespace

BaseActionClass::BaseActionClass()
    : GroupID(0), ExecPolicy(DEFAULT_POLICY), Disabled(true), Reactivation(false),
      ActionName(copyName("default")), Fired(false), DistributionType(EXPONENTIAL),
      PVImpulseDS(nullptr), PVImpulseTable(nullptr), PVImpulseValueTable(nullptr),
      PVRateDS(nullptr), CompletedPVCount(0), Phase(1), ActionID(MaxID++), OwningModel(nullptr) {}

BaseActionClass::BaseActionClass(const char* name, int groupId, Distribution dist,
                                 ExecutionPolicyType policy, int a, int b, bool reactivation)
    : BaseActionClass() {
  BaseActionClassInitialize(name, groupId, dist, policy, a, b, reactivation);
}

BaseActionClass::~BaseActionClass() {
  delete[] ActionName;
  // The reward model normally releases its bookkeeping first; whatever is
  // left is released here (the table entries belong to the reward model).
  DeallocatePVRateDS();
  DeallocatePVImpulseDS();
}

bool BaseActionClass::isSync() {
  return false;
}
bool BaseActionClass::Enabled() {
  return false;
}
double BaseActionClass::Weight() {
  return 0.0;
}
double BaseActionClass::Rate() {
  return 0.0;
}
bool BaseActionClass::ReactivationPredicate() {
  return false;
}
bool BaseActionClass::ReactivationFunction() {
  return false;
}
double BaseActionClass::SampleDistribution() {
  return 0.0;
}
double* BaseActionClass::ReturnDistributionParameters() {
  return nullptr;
}
void BaseActionClass::SetFired(int f) {
  Fired = (f != 0);
}
BaseActionClass* BaseActionClass::Fire() {
  return nullptr;
}
int BaseActionClass::Rank() {
  return 0;
}
bool BaseActionClass::EnablingChange() {
  return false;
}
bool BaseActionClass::IsAMember(BaseActionClass* a) {
  return a == this;
}
double BaseActionClass::Probability(BaseActionClass*) {
  return 1.0;
}

void BaseActionClass::printAffectedState(std::ostream* os) {
  for (int i = 0; i < AffectedSVs.getNumItems(); i++)
    AffectedSVs.getItem(i)->printState(os);
}

void BaseActionClass::printEnablingState(std::ostream* os) {
  for (int i = 0; i < EnablingSVs.getNumItems(); i++)
    EnablingSVs.getItem(i)->printState(os);
}

BaseActionClass* BaseActionClass::getPrintedAction() {
  return this;
}
double BaseActionClass::ErlangParamM() {
  return 1.0;
}

void BaseActionClass::BaseActionClassInitialize(const char* name, int groupId, Distribution dist,
                                                ExecutionPolicyType policy, int, int,
                                                bool reactivation) {
  defineName(name);
  GroupID = groupId;
  DistributionType = dist;
  ExecPolicy = policy;
  Reactivation = reactivation;
}

char* BaseActionClass::defineName(const char* name) {
  char* copy = copyName(name);
  delete[] ActionName;
  ActionName = copy;
  return ActionName;
}

void BaseActionClass::addEnablingSV(BaseStateVariableClass* sv) {
  if (sv->isLeafNode())
    EnablingSVs.append(sv);
  else
    sv->addSelfAsEnablingSVToAction(this);
}

void BaseActionClass::addAffectedSV(BaseStateVariableClass* sv) {
  if (sv->isLeafNode())
    AffectedSVs.append(sv);
  else
    sv->addSelfAsAffectedSVToAction(this);
}

void BaseActionClass::removeEnablingSV(BaseStateVariableClass* sv) {
  if (sv->isLeafNode())
    EnablingSVs.remove(sv);
  else
    sv->removeSelfFromEnablingSVOfAction(this);
}

void BaseActionClass::removeAffectedSV(BaseStateVariableClass* sv) {
  if (sv->isLeafNode())
    AffectedSVs.remove(sv);
  else
    sv->removeSelfFromAffectedSVOfAction(this);
}

void BaseActionClass::AllocatePVRateDS(int n) {
  DeallocatePVRateDS();
  PVRateDS = new (std::nothrow) FastSet[n];
  if (PVRateDS == nullptr) {
    std::cerr << "!! Memory allocation error in BaseActionClass::AllocatePVRateDS()" << std::endl;
    std::exit(1);
  }
}

void BaseActionClass::AllocatePVImpulseDS(int n) {
  DeallocatePVImpulseDS();
  PVImpulseDS = new (std::nothrow) FastSet[n];
  PVImpulseTable = new (std::nothrow) int**[n]();
  PVImpulseValueTable = new (std::nothrow) int*[n]();
  if (PVImpulseDS == nullptr || PVImpulseTable == nullptr || PVImpulseValueTable == nullptr) {
    std::cerr << "!! Memory allocation error in BaseActionClass::AllocatePVImpulseDS()"
              << std::endl;
    std::exit(1);
  }
}

void BaseActionClass::DeallocatePVRateDS() {
  delete[] PVRateDS;
  PVRateDS = nullptr;
}

void BaseActionClass::DeallocatePVImpulseDS() {
  delete[] PVImpulseDS;
  PVImpulseDS = nullptr;
  delete[] PVImpulseTable;
  PVImpulseTable = nullptr;
  delete[] PVImpulseValueTable;
  PVImpulseValueTable = nullptr;
}

std::ostream& BaseActionClass::PrintInfo() {
  std::ostream& out = std::cout;
  out << "********* " << ActionName << "**********" << std::endl;
  out << std::endl;
  out << "Enabled by:" << std::endl;
  for (int i = 0; i < EnablingSVs.getNumItems(); i++)
    out << "           " << EnablingSVs.getItem(i)->Name << std::endl;
  out << "Affects:" << std::endl;
  for (int i = 0; i < AffectedSVs.getNumItems(); i++)
    out << "           " << AffectedSVs.getItem(i)->Name << std::endl;
  out << "Group ID = " << GroupID << std::endl;
  out << "Execution Policy = " << ExecPolicy << std::endl;
  out << "Disabled = " << (Disabled ? 1 : 0) << std::endl;
  out << "Reactivation = " << (Reactivation ? 1 : 0) << std::endl;
  out << "DistributionType = " << DistributionType << std::endl;
  return out;
}
