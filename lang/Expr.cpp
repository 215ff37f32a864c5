#include "lang/Expr.h"

namespace lang {

ExprPtr Expr::clone() const {
  auto e = std::make_unique<Expr>();
  e->kind = kind;
  e->location = location;
  e->literal = literal;
  e->name = name.clone();
  e->op = op;
  for (const ExprPtr& o : operands)
    e->operands.push_back(o ? o->clone() : nullptr);
  e->type = type;
  e->symbol = symbol;
  e->index = index;
  e->height = height;
  return e;
}

long long Expr::size() const {
  long long n = 1;
  for (const ExprPtr& o : operands)
    if (o)
      n += o->size();
  return n;
}

SourceLocation Expr::start() const {
  const Expr* p = this;
  while ((p->kind == ExprKind::Binary || p->kind == ExprKind::Conditional) && p->operands[0])
    p = p->operands[0].get();
  return p->location;
}

ExprPtr MakeLiteral(Value value, SourceLocation location) {
  auto e = std::make_unique<Expr>();
  e->kind = ExprKind::Literal;
  e->literal = value;
  e->type = value.type;
  e->location = location;
  return e;
}

} // namespace lang
