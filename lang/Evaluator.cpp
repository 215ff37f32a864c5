#include "lang/Evaluator.h"

#include <climits>
#include <cmath>

namespace lang {

namespace {

// A whole number from a double, when it is one that fits.
std::optional<long long> ToInteger(double x) {
  if (!(x >= -9.2e18 && x <= 9.2e18))
    return std::nullopt;
  return static_cast<long long>(x);
}

} // namespace

std::optional<Value> Evaluator::fail(std::string why) {
  if (Error.empty())
    Error = std::move(why);
  return std::nullopt;
}

std::optional<Value> Evaluator::Fold(const Expr& e) {
  ValueSource nothing;
  Evaluator evaluator(nothing);
  return evaluator.evaluate(e);
}

std::optional<Value> Evaluator::evaluate(const Expr& e) {
  switch (e.kind) {
  case ExprKind::Literal:
    return e.literal;
  case ExprKind::Name: {
    std::optional<Value> v;
    if (e.symbol == SymbolKind::Global)
      v = Source.global(e.index);
    else if (e.symbol == SymbolKind::Place)
      v = Source.place(e.index);
    if (!v)
      return fail("'" + e.name.spelling() + "' has no value here");
    return v;
  }
  case ExprKind::Index:
    return fail("'" + e.name.spelling() + "[...]' has no value here");
  case ExprKind::Unary:
    return unary(e);
  case ExprKind::Binary:
    return binary(e);
  case ExprKind::Conditional: {
    std::optional<Value> c = evaluate(*e.operands[0]);
    if (!c)
      return c;
    if (c->type != ValueType::Bool)
      return fail("the condition before '?' is not a condition");
    return evaluate(*e.operands[c->boolean ? 1 : 2]);
  }
  case ExprKind::Call:
    return call(e);
  }
  return fail("unknown expression");
}

std::optional<Value> Evaluator::unary(const Expr& e) {
  std::optional<Value> v = evaluate(*e.operands[0]);
  if (!v)
    return v;
  if (e.op == "!") {
    if (v->type != ValueType::Bool)
      return fail("'!' needs a condition");
    return Value::Bool(!v->boolean);
  }
  if (v->type == ValueType::Int) {
    if (v->integer == LLONG_MIN)
      return fail("whole-number overflow");
    return Value::Int(-v->integer);
  }
  if (v->type == ValueType::Real)
    return Value::Real(-v->real);
  return fail("'-' needs a number");
}

std::optional<Value> Evaluator::binary(const Expr& e) {
  const std::string& op = e.op;
  std::optional<Value> a = evaluate(*e.operands[0]);
  if (!a)
    return a;
  if (op == "&&" || op == "||") {
    if (a->type != ValueType::Bool)
      return fail("'" + op + "' needs conditions");
    if (a->boolean == (op == "||"))
      return a;
    std::optional<Value> b = evaluate(*e.operands[1]);
    if (b && b->type != ValueType::Bool)
      return fail("'" + op + "' needs conditions");
    return b;
  }
  std::optional<Value> b = evaluate(*e.operands[1]);
  if (!b)
    return b;
  if (op == "==" || op == "!=") {
    bool equal;
    if (a->type == ValueType::Bool && b->type == ValueType::Bool)
      equal = a->boolean == b->boolean;
    else if (a->type == ValueType::Int && b->type == ValueType::Int)
      equal = a->integer == b->integer;
    else if (a->isNumber() && b->isNumber())
      equal = a->asReal() == b->asReal();
    else
      return fail("'" + op + "' compares two numbers or two conditions");
    return Value::Bool(op == "==" ? equal : !equal);
  }
  if (!a->isNumber() || !b->isNumber())
    return fail("'" + op + "' needs numbers");
  const bool integers = a->type == ValueType::Int && b->type == ValueType::Int;
  if (op == "<" || op == "<=" || op == ">" || op == ">=") {
    int order;
    if (integers)
      order = (a->integer > b->integer) - (a->integer < b->integer);
    else {
      double x = a->asReal(), y = b->asReal();
      if (std::isnan(x) || std::isnan(y))
        return Value::Bool(false);
      order = (x > y) - (x < y);
    }
    if (op == "<")
      return Value::Bool(order < 0);
    if (op == "<=")
      return Value::Bool(order <= 0);
    if (op == ">")
      return Value::Bool(order > 0);
    return Value::Bool(order >= 0);
  }
  if (op == "/")
    return Value::Real(a->asReal() / b->asReal());
  if (integers) {
    long long r;
    bool overflow;
    if (op == "+")
      overflow = __builtin_add_overflow(a->integer, b->integer, &r);
    else if (op == "-")
      overflow = __builtin_sub_overflow(a->integer, b->integer, &r);
    else
      overflow = __builtin_mul_overflow(a->integer, b->integer, &r);
    if (overflow)
      return fail("whole-number overflow");
    return Value::Int(r);
  }
  const double x = a->asReal(), y = b->asReal();
  if (op == "+")
    return Value::Real(x + y);
  if (op == "-")
    return Value::Real(x - y);
  return Value::Real(x * y);
}

std::optional<Value> Evaluator::call(const Expr& e) {
  const std::string& f = e.name.resolved;
  if (f == "rate") {
    if (e.operands.size() == 1 && e.operands[0]->symbol == SymbolKind::Activity) {
      std::optional<Value> v = Source.activityRate(e.operands[0]->index);
      if (!v)
        return fail("rate(" + e.operands[0]->name.spelling() + ") has no value here");
      return v;
    }
    return fail("rate(...) needs an activity");
  }
  std::vector<Value> args;
  for (const ExprPtr& o : e.operands) {
    std::optional<Value> v = evaluate(*o);
    if (!v)
      return v;
    if (!v->isNumber())
      return fail("'" + f + "' needs numbers");
    args.push_back(*v);
  }
  if ((f == "min" || f == "max") && args.size() >= 2) {
    Value best = args[0];
    for (size_t i = 1; i < args.size(); i++) {
      const Value& v = args[i];
      bool integers = best.type == ValueType::Int && v.type == ValueType::Int;
      bool better = integers
                        ? (f == "min" ? v.integer < best.integer : v.integer > best.integer)
                        : (f == "min" ? v.asReal() < best.asReal() : v.asReal() > best.asReal());
      Value chosen = better ? v : best;
      best = integers ? chosen : Value::Real(chosen.asReal());
    }
    return best;
  }
  if (args.size() == 1) {
    const Value& v = args[0];
    if (f == "abs") {
      if (v.type == ValueType::Int) {
        if (v.integer == LLONG_MIN)
          return fail("whole-number overflow");
        return Value::Int(v.integer < 0 ? -v.integer : v.integer);
      }
      return Value::Real(std::fabs(v.real));
    }
    if (f == "floor" || f == "ceil" || f == "round") {
      if (v.type == ValueType::Int)
        return v;
      double r = f == "floor"  ? std::floor(v.real)
                 : f == "ceil" ? std::ceil(v.real)
                               : std::round(v.real);
      std::optional<long long> n = ToInteger(r);
      if (!n)
        return fail(f + " of " + ShortestReal(v.real) + " is not a whole number that fits");
      return Value::Int(*n);
    }
    if (f == "sqrt")
      return Value::Real(std::sqrt(v.asReal()));
    if (f == "exp")
      return Value::Real(std::exp(v.asReal()));
    if (f == "log")
      return Value::Real(std::log(v.asReal()));
  }
  if (f == "pow" && args.size() == 2)
    return Value::Real(std::pow(args[0].asReal(), args[1].asReal()));
  return fail("unknown function '" + f + "'");
}

} // namespace lang
