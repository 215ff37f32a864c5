#ifndef LANG_EXPR_H
#define LANG_EXPR_H

#include <memory>
#include <string>
#include <vector>

#include "lang/NameTemplate.h"
#include "lang/SourceLocation.h"
#include "lang/Symbol.h"
#include "lang/Value.h"

namespace lang {

enum class ExprKind {
  Literal,     // a number, true or false: `literal`
  Name,        // a name: `name`
  Index,       // an entry of a table, name[operands[0]]
  Unary,       // `op` operands[0]; op is "-" or "!"
  Binary,      // operands[0] `op` operands[1]
  Conditional, // operands[0] ? operands[1] : operands[2]
  Call,        // function `name.resolved` applied to the operands
};

// An expression node. The parser fills kind, location, literal, name, op and
// operands; the checker sets `type`, and for a Name the symbol it stands
// for (`symbol`, `index`). A name of a definition (let) or an entry of a
// table is replaced by a copy of the definition's checked expression, so a
// checked tree holds only literals, globals, places and, inside rate(...),
// activities.
struct Expr {
  ExprKind kind = ExprKind::Literal;
  SourceLocation location;
  Value literal;
  NameTemplate name;
  std::string op;
  std::vector<std::unique_ptr<Expr>> operands;

  ValueType type = ValueType::Error;
  SymbolKind symbol = SymbolKind::None;
  int index = -1;
  // Nodes on the longest path down from this one (a literal has 1); the
  // parser bounds it so that walking a tree cannot exhaust the stack.
  int height = 1;
  // Set on the copy of a definition (let) where it is used: the
  // definition's number and name, so that generated code can compute a
  // definition used several times in one function once.
  int definition = -1;
  std::string definitionName;

  std::unique_ptr<Expr> clone() const;
  // Number of nodes of the tree.
  long long size() const;
  // Where the expression begins (its leftmost token).
  SourceLocation start() const;
};

using ExprPtr = std::unique_ptr<Expr>;

ExprPtr MakeLiteral(Value value, const SourceLocation& location);

// The expression as it would be written, with only the parentheses it needs
// ("K <= 32767", "(a + b) * c").
std::string Unparse(const Expr& e);

} // namespace lang

#endif
