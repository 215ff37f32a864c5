#ifndef MODEL_STANDARDERRORS_H
#define MODEL_STANDARDERRORS_H

#include <string>

// The framework's standard error reports. Each writes one fixed message to
// standard error, every line ended and flushed. MemoryAllocationError and
// InvalidStructType end the program; the others return to the caller, which
// goes on. The string arguments must not be null.

// Called by every allocation-failure path: two lines, then exit status 1.
[[noreturn]] void MemoryAllocationError();
void MemoryError();
// "<name>: Parameter was an empty reference".
void ErrorEmptyParameter(const char* name);

namespace SyncError {
void WrongDistributionType();
void NoAction();
} // namespace SyncError

void InconsistantState();
void UserError();
// The message, then each name on its own line indented by two blanks.
void ArrayTypeMismatchError(const char* sv1, const char* sv2);
void StructTypeMismatchError(const char* sv1, const char* sv2);
void InvalidArrayType();
// Two lines, then the program aborts (SIGABRT).
[[noreturn]] void InvalidStructType();
void InvalidUnorderedType();
// "Array out of bounds error at <where>".
void ArrayOutOfBoundsError(const char* where);

// The end of the run for a model fault whose message is on standard error:
// exit status 1. While faults are caught (a worker of a distributed run
// explores its part of a level), ModelFault is thrown instead, so that the
// run can report the fault of the state a one-process run meets first.
struct ModelFault {};
[[noreturn]] void EndForModelFault();
void CatchModelFaults(bool caught);

// Model faults found while a model is explored. The generator names the
// state whose firings it explores (the number pointed at, read when a fault
// is reported); null outside exploration.
void SetFaultState(const unsigned int* stateNumber);
// " in a firing from state <n>", or "" outside exploration.
std::string FaultStateText();
// A firing of `activity` would give `place` the marking `tokens`, which a
// place cannot hold (0 to 32767 tokens): the message on standard error
// naming both and the state, then exit status 1.
[[noreturn]] void MarkingOutOfRange(const char* activity, const char* place, long long tokens);
// A firing of `activity` left `place`, declared with the range low..high,
// at the marking `tokens` outside it: the message on standard error naming
// the activity, the place, the marking, the state and the range, then exit
// status 1.
[[noreturn]] void MarkingOutsideRange(const char* activity, const char* place, long long tokens,
                                      long long low, long long high);
// The marking `tokens`, when a place can hold it; MarkingOutOfRange
// otherwise. Generated effects assign every computed marking through it,
// so a marking never wraps around.
inline short CheckedMarking(long long tokens, const char* activity, const char* place) {
  if (static_cast<unsigned long long>(tokens) > 32767) [[unlikely]]
    MarkingOutOfRange(activity, place, tokens);
  return static_cast<short>(tokens);
}

#endif
