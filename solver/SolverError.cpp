#include "solver/SolverError.h"

SolverError::SolverError(Status status, const std::string& message)
    : std::runtime_error(message), Code(status) {}

SolverError SolverError::AtLine(const std::string& file, unsigned long long line,
                                const std::string& what) {
  if (line == 0)
    return SolverError(InputError, file + ": " + what);
  return SolverError(InputError, file + ":" + std::to_string(line) + ": " + what);
}
