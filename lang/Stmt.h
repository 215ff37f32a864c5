#ifndef LANG_STMT_H
#define LANG_STMT_H

#include <memory>
#include <string>
#include <vector>

#include "lang/Expr.h"
#include "lang/NameTemplate.h"

namespace lang {

enum class StmtKind {
  Assign, // target op value, op one of "=", "+=", "-="
  If,     // if (condition) thenBody else elseBody
  For,    // for variable in from..to { body }, expanded away before checking
  Let,    // let target = value: a local value of the effect
};

// A statement of an activity's effect. Braced blocks are flattened into the
// enclosing list by the parser. The checker sets `place`, the number of the
// assigned place, and for a Let `local`, its number among the effect's local
// values.
struct Stmt {
  StmtKind kind = StmtKind::Assign;
  SourceLocation location;

  NameTemplate target;
  std::string op;
  ExprPtr value;

  ExprPtr condition;
  std::vector<std::unique_ptr<Stmt>> thenBody;
  std::vector<std::unique_ptr<Stmt>> elseBody;

  std::string variable;
  SourceLocation variableLocation;
  ExprPtr from;
  ExprPtr to;
  std::vector<std::unique_ptr<Stmt>> body;

  int place = -1;
  int local = -1;
};

using StmtPtr = std::unique_ptr<Stmt>;

} // namespace lang

#endif
