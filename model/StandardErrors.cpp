#include "model/StandardErrors.h"

#include <cstdlib>
#include <iostream>

void MemoryAllocationError() {
  std::cerr << "Insufficient Memory to allocate dynamic data structures from heap memory"
            << std::endl;
  std::cerr << "Exiting program..." << std::endl;
  std::exit(1);
}

void MemoryError() {
  std::cerr << "Memory Error" << std::endl;
}

void ErrorEmptyParameter(const char* name) {
  std::cerr << name << ": Parameter was an empty reference" << std::endl;
}

namespace SyncError {
void WrongDistributionType() {
  std::cerr << "You can only synchronize actions from one type,"
            << "either exponential or instantenous" << std::endl;
}

void NoAction() {
  std::cerr << " no Action found in model" << std::endl;
}
} // namespace SyncError

void InconsistantState() {
  std::cerr << "This program has entered into an inconsistant state. Please report this bug."
            << std::endl;
}

void UserError() {
  std::cerr << "A user error has been detected" << std::endl;
}

void ArrayTypeMismatchError(const char* sv1, const char* sv2) {
  std::cerr << "Array types for equivalence sharing do not match for state variables: "
            << std::endl;
  std::cerr << "  " << sv1 << std::endl;
  std::cerr << "  " << sv2 << std::endl;
}

void StructTypeMismatchError(const char* sv1, const char* sv2) {
  std::cerr << "Struct types for equivalence sharing do not match for state variables: "
            << std::endl;
  std::cerr << "  " << sv1 << std::endl;
  std::cerr << "  " << sv2 << std::endl;
}

void InvalidArrayType() {
  std::cerr << "ArrayType is not valid" << std::endl;
}

void InvalidStructType() {
  std::cerr << "ArrayType is invalid for struct element" << std::endl;
  std::cerr << "preparing to segfault" << std::endl;
  std::abort();
}

void InvalidUnorderedType() {
  std::cerr << "ArrayType is invalid for unordered element" << std::endl;
}

void ArrayOutOfBoundsError(const char* where) {
  std::cerr << "Array out of bounds error at " << where << std::endl;
}

namespace {
const unsigned int* FaultState = nullptr;
bool FaultsCaught = false;
} // namespace

void CatchModelFaults(bool caught) {
  FaultsCaught = caught;
}

void EndForModelFault() {
  if (FaultsCaught)
    throw ModelFault{};
  std::exit(1);
}

void SetFaultState(const unsigned int* stateNumber) {
  FaultState = stateNumber;
}

std::string FaultStateText() {
  if (FaultState == nullptr)
    return "";
  return " in a firing from state " + std::to_string(*FaultState);
}

void MarkingOutOfRange(const char* activity, const char* place, long long tokens) {
  std::cerr << "Error: activity " << activity << " would set place " << place << " to " << tokens
            << FaultStateText() << "; a place holds 0 to 32767 tokens" << std::endl;
  EndForModelFault();
}

void MarkingOutsideRange(const char* activity, const char* place, long long tokens, long long low,
                         long long high) {
  std::cerr << "Error: activity " << activity << " leaves place " << place << " at " << tokens
            << FaultStateText() << ", outside its range " << low << ".." << high << std::endl;
  EndForModelFault();
}
