#ifndef SOLVER_MARKINGCONDITION_H
#define SOLVER_MARKINGCONDITION_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "solver/SolverError.h"
#include "solver/io/CompactColumn.h"

class Progress;
class RateMatrix;

namespace lang {
class StandaloneExpression;
class SourceFile;
} // namespace lang

// A condition over the markings of a chain's states (--where "Pm1 > 0 &&
// Pout4 == 0"), written in the model language's expression syntax and
// checked against the column names of the state-marking file (.sta): places
// are whole numbers, the condition must be true or false.
//
// Labels are written by their quoted name ("Failed"): the .sta columns
// `label(Name)` (0 or 1, written for the model's label declarations), and
// always "init" (state 1) and "deadlock" (a state without a transition to
// another state). A quoted name that is no label is an error with the
// nearest label's name. Inside, a label is read as a boolean global of the
// language under a name of the quoted text's length, so that every position
// in a message is a position in the text as written.
//
// Indicators() turns conditions into reward vectors, 1 in the states whose
// marking satisfies the condition and 0 elsewhere, in one pass over the .sta
// file; the probability that the condition holds (in the long run, or at a
// time t) is then the expected value of that reward, which the chain solver
// computes like any reward variable's.
class MarkingCondition {
public:
  // Where a condition is written, for messages: the name before ":line:col"
  // ("--where", "--property", a file name) and the line.
  struct Origin {
    std::string Source = "--where";
    int Line = 1;
  };

  // Parses `text` over `names` (the .sta columns; a name that is not an
  // identifier of the language cannot be used). An error is a SolverError
  // InputError carrying the language's message with its position.
  MarkingCondition(const std::string& text, const std::vector<std::string>& names);
  // Parses the part [begin, end) of `line` (a property, say); messages show
  // the whole line with positions in it.
  MarkingCondition(const std::string& line, std::size_t begin, std::size_t end,
                   const std::vector<std::string>& names, const Origin& origin);
  ~MarkingCondition();
  MarkingCondition(MarkingCondition&&) noexcept;
  MarkingCondition(const MarkingCondition&) = delete;
  MarkingCondition& operator=(const MarkingCondition&) = delete;

  const std::string& text() const { return Text; }
  // Whether the marking `values` (one per name) of `state` (1 = the initial
  // state) satisfies the condition; `deadlock`: the state has no transition
  // to another state. An evaluation error (an overflow, say) is a
  // SolverError that names `state`.
  bool holds(const std::int64_t* values, std::uint32_t state, bool deadlock = false) const;
  // Whether the condition reads "deadlock" (holds() then needs it).
  bool readsDeadlock() const { return ReadsDeadlock; }
  // Whether it reads a place or a label of the .sta file (not only "init"
  // and "deadlock").
  bool readsMarking() const { return ReadsMarking; }

  // The indicator vector of each condition over the states 1..states of
  // `staFile`, read once. `matrix` (may be null when no condition reads
  // "deadlock") tells which states are deadlocks.
  static std::vector<CompactColumn> Indicators(const std::string& staFile,
                                               const std::vector<std::string>& conditions,
                                               std::uint32_t states, Progress& progress,
                                               const RateMatrix* matrix = nullptr);

  // The names of the labels among the .sta columns `names` (the Name of
  // each `label(Name)` column), in column order.
  static std::vector<std::string> LabelNames(const std::vector<std::string>& names);

  // The error (InputError) about the characters [at, at + length) of `line`,
  // in the language's form: "<source>:<line>:<column>: error: <message>",
  // the line, and a caret under the column.
  static SolverError PositionError(const std::string& line, const Origin& origin, std::size_t at,
                                   std::size_t length, const std::string& message);

private:
  std::string Text;
  std::vector<std::string> Names;
  // Per label read: its .sta column, or InitLabel / DeadlockLabel.
  std::vector<int> LabelColumns;
  bool ReadsDeadlock = false;
  bool ReadsMarking = false;
  std::unique_ptr<lang::SourceFile> Source;
  std::unique_ptr<lang::StandaloneExpression> Expression;

  static constexpr int InitLabel = -1;
  static constexpr int DeadlockLabel = -2;
};

#endif
