#ifndef LANG_EVALUATOR_H
#define LANG_EVALUATOR_H

#include <optional>
#include <string>

#include "lang/Expr.h"
#include "lang/Value.h"

namespace lang {

// Supplies the values of the names an expression reads. The defaults know
// nothing, which is what constant folding wants.
class ValueSource {
public:
  virtual ~ValueSource() = default;
  virtual std::optional<Value> global(int /*index*/) const { return std::nullopt; }
  virtual std::optional<Value> place(int /*index*/) const { return std::nullopt; }
  // rate(activity) in the current marking.
  virtual std::optional<Value> activityRate(int /*index*/) const { return std::nullopt; }
};

// Evaluates expressions with the semantics of the generated code: whole
// numbers in 64-bit arithmetic (an overflow is an error, never a wrapped
// value), '/' and the functions sqrt, exp, log and pow in double precision,
// floor, ceil and round to whole numbers, && and || from left to right,
// evaluating the right side only when needed. Works on checked trees and
// on unchecked ones made only of literals, operators and calls (the types
// come from the values), so that repetitions can be expanded before the
// model is checked.
class Evaluator {
public:
  explicit Evaluator(const ValueSource& source) : Source(source) {}

  // The value, or nothing; then `error()` says why (a name without a value,
  // an overflow, a type mismatch in an unchecked tree).
  std::optional<Value> evaluate(const Expr& e);
  const std::string& error() const { return Error; }

  // The value of an expression made of constants only, or nothing.
  static std::optional<Value> Fold(const Expr& e);

private:
  const ValueSource& Source;
  std::string Error;

  std::optional<Value> fail(std::string why);
  std::optional<Value> unary(const Expr& e);
  std::optional<Value> binary(const Expr& e);
  std::optional<Value> call(const Expr& e);
};

} // namespace lang

#endif
