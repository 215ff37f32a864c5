#ifndef SOLVER_SOLVERERROR_H
#define SOLVER_SOLVERERROR_H

#include <stdexcept>
#include <string>

// What stops a solve, with the exit status the program ends with.
//
// - InputError (1): a file is missing, unreadable or malformed, or the files
//   disagree with each other; the message names the file and, where one
//   exists, the line ("out/exp1.arm:17: ...").
// - Unsupported (2): the chain has deterministic delays, which a continuous-
//   time Markov chain solver cannot answer.
// - NotConverged (3): an iterative method reached its iteration limit; the
//   message gives the residual reached.
class SolverError : public std::runtime_error {
public:
  enum Status { InputError = 1, Unsupported = 2, NotConverged = 3 };

  SolverError(Status status, const std::string& message);

  // "<file>:<line>: <what>" (line 0: "<file>: <what>").
  static SolverError AtLine(const std::string& file, unsigned long long line,
                            const std::string& what);

  Status status() const { return Code; }
  int exitStatus() const { return static_cast<int>(Code); }

private:
  Status Code;
};

#endif
