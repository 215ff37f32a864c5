#ifndef MODEL_STANDARDERRORS_H
#define MODEL_STANDARDERRORS_H

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

#endif
