#ifndef LANG_EXPRESSIONCHECKER_H
#define LANG_EXPRESSIONCHECKER_H

#include <string>
#include <vector>

#include "lang/Diagnostics.h"
#include "lang/Expr.h"
#include "lang/SymbolTable.h"

namespace lang {

// Where an expression stands, for the names it may read and for messages:
// `what` completes sentences such as "<what> cannot read places" ("the
// initial marking of place 'P1'").
struct ExpressionContext {
  std::string what;
  bool places = true;
  bool globals = true;
  bool rates = false; // rate(activity) is allowed
};

// Resolves the names of an expression against a symbol table and computes
// its type, reporting each problem once at its position:
//  - unknown names and functions (with the closest declared name), names
//    that are not values (activities, groups, rewards), definitions used
//    before they are given;
//  - names the context may not read (places in an initial marking, ...);
//  - operands of the wrong type: arithmetic and comparisons need numbers,
//    && || ! need conditions, == and != two numbers or two conditions, the
//    two results of ?: must agree;
//  - table indices that are not whole numbers known when compiling, or lie
//    outside the table.
// Types: + - * of two whole numbers give a whole number, otherwise a real;
// '/' always gives a real; floor, ceil and round give whole numbers.
//
// Definitions (let) and table entries are inlined: their names are replaced
// by copies of their checked expressions, so a checked tree holds only
// literals, globals, places and rate(activity) calls.
class ExpressionChecker {
public:
  // Definitions are copied where they are used; these bounds keep a chain of
  // definitions that each use the previous one twice from growing the
  // model exponentially.
  static constexpr long long MaxInlinedNodes = 500000; // over all expressions
  static constexpr int MaxDefinitionHeight = 1000;

  // A local value of an effect (let inside an activity's braces).
  struct LocalValue {
    std::string name;
    ValueType type = ValueType::Error; // Error: its expression had an error
    SourceLocation location;
  };

  ExpressionChecker(const SymbolTable& symbols, Diagnostics& diagnostics);

  // The local values a name may also stand for (those of the effect being
  // checked, in order: a name resolves to its number in the list), or null
  // outside an effect. A local value's name is never a declared name.
  void setLocals(const std::vector<LocalValue>* locals) { Locals = locals; }

  // Records the checked expression of the next definition (let) in
  // declaration order; `ok` is false when it had errors (its uses then give
  // no further messages).
  void defineLet(ExprPtr value, bool ok);
  // Records the next table: its first index and its checked entries.
  void defineTable(long long first, std::vector<ExprPtr> values, bool ok);

  // Resolves and types `e` in place; returns its type (Error after an
  // error).
  ValueType check(Expr& e, const ExpressionContext& context);
  // check(), then requires a condition (Bool) or a number (Int or Real, or
  // Int only when `wholeNumber`); `role` names the expression in the message
  // ("the enabling condition of activity 'A'"). False after any error.
  bool expectCondition(Expr& e, const ExpressionContext& context, const std::string& role);
  bool expectNumber(Expr& e, const ExpressionContext& context, const std::string& role,
                    bool wholeNumber = false);

  // The first place, global or rate(...) call an expression reads, or null.
  static const Expr* FirstRead(const Expr& e, SymbolKind kind);
  static const Expr* FirstRateCall(const Expr& e);
  // The longest path down the tree, counting nodes.
  static int Height(const Expr& e);

private:
  struct TableDefinition {
    long long first = 0;
    std::vector<ExprPtr> values;
    std::vector<long long> sizes;
    bool ok = false;
  };
  struct LetDefinition {
    ExprPtr value;
    long long size = 0;
    bool ok = false;
  };

  const SymbolTable& Symbols;
  Diagnostics& Diags;
  const std::vector<LocalValue>* Locals = nullptr;
  std::vector<LetDefinition> Lets;
  std::vector<TableDefinition> Tables;
  long long InlinedNodes = 0;
  bool TooLargeReported = false;

  ValueType name(Expr& e, const ExpressionContext& context);
  ValueType index(Expr& e, const ExpressionContext& context);
  ValueType call(Expr& e, const ExpressionContext& context);
  ValueType unary(Expr& e, const ExpressionContext& context);
  ValueType binary(Expr& e, const ExpressionContext& context);
  ValueType conditional(Expr& e, const ExpressionContext& context);
  bool inlineDefinition(Expr& e, const Expr& definition, long long size,
                        const ExpressionContext& context, const std::string& described);
  std::string didYouMean(const std::string& name, std::initializer_list<SymbolKind> kinds) const;
};

} // namespace lang

#endif
