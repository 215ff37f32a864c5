#include "lang/StandaloneExpression.h"

#include <algorithm>
#include <cstddef>

#include "lang/ExpressionChecker.h"
#include "lang/Parser.h"

namespace lang {

std::optional<StandaloneExpression> StandaloneExpression::Parse(const SourceFile& source,
                                                                const SymbolTable& symbols,
                                                                Diagnostics& diagnostics,
                                                                ValueType expected) {
  Parser parser(source, diagnostics);
  ExprPtr root = parser.parseStandaloneExpression();
  if (!root || diagnostics.hasErrors())
    return std::nullopt;
  std::vector<const Expr*> pending{root.get()};
  while (!pending.empty()) {
    const Expr* e = pending.back();
    pending.pop_back();
    if ((e->kind == ExprKind::Name || e->kind == ExprKind::Index) && !e->name.isPlain()) {
      diagnostics.error(e->location, "an indexed name such as '" + e->name.spelling() +
                                         "' is only known inside a repetition of a model file");
      return std::nullopt;
    }
    for (const ExprPtr& o : e->operands)
      if (o)
        pending.push_back(o.get());
  }
  ExpressionChecker checker(symbols, diagnostics);
  ExpressionContext context{"this expression", true, true, false};
  bool ok;
  if (expected == ValueType::Bool)
    ok = checker.expectCondition(*root, context, "the expression");
  else if (expected == ValueType::Int || expected == ValueType::Real)
    ok = checker.expectNumber(*root, context, "the expression");
  else
    ok = checker.check(*root, context) != ValueType::Error;
  if (!ok || diagnostics.hasErrors())
    return std::nullopt;
  return StandaloneExpression(std::move(root));
}

std::optional<Value> StandaloneExpression::evaluate(const ValueSource& values) const {
  Evaluator evaluator(values);
  return evaluator.evaluate(*Root);
}

std::vector<int> StandaloneExpression::placesRead() const {
  std::vector<int> out;
  std::vector<const Expr*> pending{Root.get()};
  // Depth-first, left to right.
  while (!pending.empty()) {
    const Expr* e = pending.back();
    pending.pop_back();
    if (e->kind == ExprKind::Name && e->symbol == SymbolKind::Place &&
        std::find(out.begin(), out.end(), e->index) == out.end())
      out.push_back(e->index);
    for (std::size_t i = e->operands.size(); i-- > 0;)
      if (e->operands[i])
        pending.push_back(e->operands[i].get());
  }
  return out;
}

} // namespace lang
