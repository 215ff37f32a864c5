#ifndef LANG_STANDALONEEXPRESSION_H
#define LANG_STANDALONEEXPRESSION_H

#include <optional>
#include <vector>

#include "lang/Diagnostics.h"
#include "lang/Evaluator.h"
#include "lang/Expr.h"
#include "lang/SourceFile.h"
#include "lang/SymbolTable.h"

namespace lang {

// An expression given on its own, for instance a condition over place names
// on a command line ("Pm1 > 0 && Pout4 == 0"): parsed with the model
// language's grammar, checked against the names of a symbol table (usually
// places, numbered in state-vector order) and evaluated on given values.
class StandaloneExpression {
public:
  // Parses and checks the whole text of `source`. With `expected` Bool or a
  // number type (Int or Real, either accepted), an expression of another
  // type is an error; with Error any type is accepted. Nothing after errors,
  // which are in `diagnostics` with their positions in the text.
  static std::optional<StandaloneExpression> Parse(const SourceFile& source,
                                                   const SymbolTable& symbols,
                                                   Diagnostics& diagnostics,
                                                   ValueType expected = ValueType::Error);

  ValueType type() const { return Root->type; }
  // The value with the places, globals and rates that `values` gives.
  std::optional<Value> evaluate(const ValueSource& values) const;
  // The places the expression reads, by number, in order of appearance.
  std::vector<int> placesRead() const;
  const Expr& expression() const { return *Root; }

private:
  explicit StandaloneExpression(ExprPtr root) : Root(std::move(root)) {}
  ExprPtr Root;
};

} // namespace lang

#endif
