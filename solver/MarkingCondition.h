#ifndef SOLVER_MARKINGCONDITION_H
#define SOLVER_MARKINGCONDITION_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "solver/io/CompactColumn.h"

class Progress;

namespace lang {
class StandaloneExpression;
class SourceFile;
} // namespace lang

// A condition over the markings of a chain's states (--where "Pm1 > 0 &&
// Pout4 == 0"), written in the model language's expression syntax and
// checked against the column names of the state-marking file (.sta): places
// are whole numbers, the condition must be true or false.
//
// Indicators() turns conditions into reward vectors, 1 in the states whose
// marking satisfies the condition and 0 elsewhere, in one pass over the .sta
// file; the probability that the condition holds (in the long run, or at a
// time t) is then the expected value of that reward, which the chain solver
// computes like any reward variable's.
class MarkingCondition {
public:
  // Parses `text` over `names` (the .sta columns; a name that is not an
  // identifier of the language cannot be used). An error is a SolverError
  // InputError carrying the language's message with its position.
  MarkingCondition(const std::string& text, const std::vector<std::string>& names);
  ~MarkingCondition();
  MarkingCondition(MarkingCondition&&) noexcept;
  MarkingCondition(const MarkingCondition&) = delete;
  MarkingCondition& operator=(const MarkingCondition&) = delete;

  const std::string& text() const { return Text; }
  // Whether the marking `values` (one per name) satisfies the condition; an
  // evaluation error (an overflow, say) is a SolverError that names `state`.
  bool holds(const std::int64_t* values, std::uint32_t state) const;

  // The indicator vector of each condition over the states 1..states of
  // `staFile`, read once.
  static std::vector<CompactColumn> Indicators(const std::string& staFile,
                                               const std::vector<std::string>& conditions,
                                               std::uint32_t states, Progress& progress);

private:
  std::string Text;
  std::vector<std::string> Names;
  std::unique_ptr<lang::SourceFile> Source;
  std::unique_ptr<lang::StandaloneExpression> Expression;
};

#endif
