#include "lang/Expr.h"

namespace lang {

namespace {

int Precedence(const Expr& e) {
  if (e.kind == ExprKind::Conditional)
    return 1;
  if (e.kind == ExprKind::Unary)
    return 8;
  if (e.kind != ExprKind::Binary)
    return 9;
  const std::string& op = e.op;
  if (op == "||")
    return 2;
  if (op == "&&")
    return 3;
  if (op == "==" || op == "!=")
    return 4;
  if (op == "<" || op == "<=" || op == ">" || op == ">=")
    return 5;
  if (op == "+" || op == "-")
    return 6;
  return 7;
}

std::string Wrapped(const Expr& e, int atLeast) {
  std::string s = Unparse(e);
  return Precedence(e) < atLeast ? "(" + s + ")" : s;
}

} // namespace

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
  e->definition = definition;
  e->definitionName = definitionName;
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

ExprPtr MakeLiteral(Value value, const SourceLocation& location) {
  auto e = std::make_unique<Expr>();
  e->kind = ExprKind::Literal;
  e->literal = value;
  e->type = value.type;
  e->location = location;
  return e;
}

std::string Unparse(const Expr& e) {
  switch (e.kind) {
  case ExprKind::Literal:
    return e.literal.toString();
  case ExprKind::Name:
    return e.name.spelling();
  case ExprKind::Index:
    return e.name.spelling() + "[" + Unparse(*e.operands[0]) + "]";
  case ExprKind::Call: {
    std::string s = e.name.spelling() + "(";
    for (size_t i = 0; i < e.operands.size(); i++)
      s += (i ? ", " : "") + Unparse(*e.operands[i]);
    return s + ")";
  }
  case ExprKind::Unary:
    return e.op + Wrapped(*e.operands[0], 8);
  case ExprKind::Binary: {
    const int p = Precedence(e);
    return Wrapped(*e.operands[0], p) + " " + e.op + " " + Wrapped(*e.operands[1], p + 1);
  }
  case ExprKind::Conditional:
    return Wrapped(*e.operands[0], 2) + " ? " + Wrapped(*e.operands[1], 1) + " : " +
           Wrapped(*e.operands[2], 1);
  }
  return "";
}

} // namespace lang
