#include "lang/ExpressionChecker.h"

#include <algorithm>

#include "lang/Evaluator.h"

namespace lang {

namespace {

const std::vector<std::string> FunctionNames = {"min",  "max", "abs", "floor", "ceil", "round",
                                                "sqrt", "exp", "log", "pow",   "rate"};

bool IsNumber(ValueType t) {
  return t == ValueType::Int || t == ValueType::Real;
}

// "a whole number" / "a real number" / "a condition" for the operand's type.
std::string Is(ValueType t) {
  return std::string(TypeWords(t));
}

} // namespace

ExpressionChecker::ExpressionChecker(const SymbolTable& symbols, Diagnostics& diagnostics)
    : Symbols(symbols), Diags(diagnostics) {}

void ExpressionChecker::defineLet(ExprPtr value, bool ok) {
  const long long size = value ? value->size() : 0;
  Lets.push_back({std::move(value), size, ok});
}

void ExpressionChecker::defineTable(long long first, std::vector<ExprPtr> values, bool ok) {
  std::vector<long long> sizes;
  sizes.reserve(values.size());
  for (const ExprPtr& v : values)
    sizes.push_back(v ? v->size() : 0);
  Tables.push_back({first, std::move(values), std::move(sizes), ok});
}

int ExpressionChecker::Height(const Expr& e) {
  int h = 0;
  for (const ExprPtr& o : e.operands)
    if (o)
      h = std::max(h, Height(*o));
  return h + 1;
}

std::string ExpressionChecker::didYouMean(const std::string& name,
                                          std::initializer_list<SymbolKind> kinds) const {
  if (Diags.errorCount() >= 50)
    return {};
  std::string close = Symbols.suggest(name, kinds);
  return close.empty() ? std::string() : "; did you mean '" + close + "'?";
}

const Expr* ExpressionChecker::FirstRead(const Expr& e, SymbolKind kind) {
  if (e.kind == ExprKind::Name && e.symbol == kind)
    return &e;
  for (const ExprPtr& o : e.operands) {
    if (o) {
      if (const Expr* found = FirstRead(*o, kind))
        return found;
    }
  }
  return nullptr;
}

const Expr* ExpressionChecker::FirstRateCall(const Expr& e) {
  if (e.kind == ExprKind::Call && e.name.resolved == "rate")
    return &e;
  for (const ExprPtr& o : e.operands) {
    if (o) {
      if (const Expr* found = FirstRateCall(*o))
        return found;
    }
  }
  return nullptr;
}

ValueType ExpressionChecker::check(Expr& e, const ExpressionContext& context) {
  switch (e.kind) {
  case ExprKind::Literal:
    e.type = e.literal.type;
    break;
  case ExprKind::Name:
    e.type = name(e, context);
    break;
  case ExprKind::Index:
    e.type = index(e, context);
    break;
  case ExprKind::Call:
    e.type = call(e, context);
    break;
  case ExprKind::Unary:
    e.type = unary(e, context);
    break;
  case ExprKind::Binary:
    e.type = binary(e, context);
    break;
  case ExprKind::Conditional:
    e.type = conditional(e, context);
    break;
  }
  return e.type;
}

bool ExpressionChecker::inlineDefinition(Expr& e, const Expr& definition, long long size,
                                         const ExpressionContext& context,
                                         const std::string& described) {
  InlinedNodes += size;
  if (InlinedNodes > MaxInlinedNodes) {
    if (!TooLargeReported)
      Diags.error(e.location, "the definitions make the model too large once written out where "
                              "they are used (more than " +
                                  std::to_string(MaxInlinedNodes) + " terms)");
    TooLargeReported = true;
    return false;
  }
  if (!context.places) {
    if (const Expr* p = FirstRead(definition, SymbolKind::Place)) {
      Diags.error(e.location, described + " reads place '" + p->name.spelling() + "'; " +
                                  context.what + " cannot read places");
      return false;
    }
  }
  if (!context.globals) {
    if (const Expr* g = FirstRead(definition, SymbolKind::Global)) {
      Diags.error(e.location, described + " reads global variable '" + g->name.spelling() + "'; " +
                                  context.what + " cannot read global variables");
      return false;
    }
  }
  if (!context.rates && FirstRateCall(definition) != nullptr) {
    Diags.error(e.location, described + " uses rate(...), which only reward variables may use");
    return false;
  }
  const SourceLocation use = e.location;
  ExprPtr copy = definition.clone();
  e = std::move(*copy);
  e.location = use;
  return true;
}

ValueType ExpressionChecker::name(Expr& e, const ExpressionContext& context) {
  const std::string n = e.name.resolved;
  const Symbol* s = Symbols.find(n);
  if (s == nullptr && Locals != nullptr) {
    for (std::size_t i = 0; i < Locals->size(); i++) {
      if ((*Locals)[i].name != n)
        continue;
      e.symbol = SymbolKind::Local;
      e.index = static_cast<int>(i);
      return (*Locals)[i].type; // Error after its own message
    }
  }
  if (s == nullptr) {
    std::string suggestion =
        didYouMean(n, {SymbolKind::Global, SymbolKind::Place, SymbolKind::Let, SymbolKind::Table});
    if (Locals != nullptr && !Locals->empty() && Diags.errorCount() < 50) {
      // The closest of the declared name suggested and the local values.
      std::vector<std::string> names;
      if (!suggestion.empty())
        names.push_back(Symbols.suggest(
            n, {SymbolKind::Global, SymbolKind::Place, SymbolKind::Let, SymbolKind::Table}));
      for (const LocalValue& v : *Locals)
        names.push_back(v.name);
      std::string close = SymbolTable::Closest(n, names);
      if (!close.empty())
        suggestion = "; did you mean '" + close + "'?";
    }
    Diags.error(e.location, "unknown name '" + n + "'" + suggestion);
    return ValueType::Error;
  }
  switch (s->kind) {
  case SymbolKind::Global:
    if (!context.globals) {
      Diags.error(e.location, context.what + " cannot read global variable '" + n + "'");
      return ValueType::Error;
    }
    e.symbol = SymbolKind::Global;
    e.index = s->index;
    return s->type;
  case SymbolKind::Place:
    if (!context.places) {
      Diags.error(e.location, context.what + " cannot read place '" + n + "'");
      return ValueType::Error;
    }
    e.symbol = SymbolKind::Place;
    e.index = s->index;
    return ValueType::Int;
  case SymbolKind::Let: {
    if (s->index >= static_cast<int>(Lets.size())) {
      Diags.error(e.location, "definition '" + n + "' is used before it is given");
      Diags.note(s->location, "'" + n + "' is defined here");
      return ValueType::Error;
    }
    const LetDefinition& d = Lets[s->index];
    if (!d.ok || !d.value)
      return ValueType::Error;
    if (!inlineDefinition(e, *d.value, d.size, context, "definition '" + n + "'"))
      return ValueType::Error;
    e.definition = s->index;
    e.definitionName = n;
    return e.type;
  }
  case SymbolKind::Table:
    Diags.error(e.location, "'" + n + "' is a table; write " + n + "[index] for one of its values");
    return ValueType::Error;
  case SymbolKind::Activity:
    Diags.error(e.location, "'" + n + "' is an activity, not a value; its rate is rate(" + n + ")");
    return ValueType::Error;
  default:
    Diags.error(e.location, "'" + n + "' is " + SymbolWords(s->kind) + ", not a value");
    return ValueType::Error;
  }
}

ValueType ExpressionChecker::index(Expr& e, const ExpressionContext& context) {
  const std::string n = e.name.resolved;
  const Symbol* s = Symbols.find(n);
  if (s == nullptr) {
    Diags.error(e.location, "unknown table '" + n + "'" + didYouMean(n, {SymbolKind::Table}));
    return ValueType::Error;
  }
  if (s->kind != SymbolKind::Table) {
    Diags.error(e.location, "'" + n + "' is " + SymbolWords(s->kind) +
                                ", not a table; only tables take an index in '[...]'");
    return ValueType::Error;
  }
  Expr& at = *e.operands[0];
  ExpressionContext indexContext{"the index of table '" + n + "'", false, false, false};
  const ValueType t = check(at, indexContext);
  if (t == ValueType::Error)
    return ValueType::Error;
  std::optional<Value> v = Evaluator::Fold(at);
  if (t != ValueType::Int || !v || v->type != ValueType::Int) {
    Diags.error(at.start(), "the index of table '" + n +
                                "' must be a whole number known when compiling, but it is " +
                                Is(t));
    return ValueType::Error;
  }
  if (s->index >= static_cast<int>(Tables.size())) {
    Diags.error(e.location, "table '" + n + "' is used before it is given");
    Diags.note(s->location, "'" + n + "' is defined here");
    return ValueType::Error;
  }
  const TableDefinition& table = Tables[s->index];
  if (!table.ok)
    return ValueType::Error;
  const long long last = table.first + static_cast<long long>(table.values.size()) - 1;
  if (v->integer < table.first || v->integer > last) {
    Diags.error(at.start(), "index " + std::to_string(v->integer) + " is outside table '" + n +
                                "', which has indices " + std::to_string(table.first) + ".." +
                                std::to_string(last));
    return ValueType::Error;
  }
  const size_t entry = static_cast<size_t>(v->integer - table.first);
  if (!inlineDefinition(e, *table.values[entry], table.sizes[entry], context, "table '" + n + "'"))
    return ValueType::Error;
  return e.type;
}

ValueType ExpressionChecker::call(Expr& e, const ExpressionContext& context) {
  const std::string& f = e.name.resolved;
  const size_t n = e.operands.size();
  auto arity = [&](size_t want, bool atLeast) {
    if (atLeast ? n >= want : n == want)
      return true;
    Diags.error(e.location, "'" + f + "' takes " + (atLeast ? "at least " : "") +
                                std::to_string(want) + " argument" + (want == 1 ? "" : "s") +
                                ", not " + std::to_string(n));
    return false;
  };

  if (f == "rate") {
    if (!arity(1, false))
      return ValueType::Error;
    if (!context.rates) {
      Diags.error(e.location,
                  "rate(...) is only available in reward variables, not in " + context.what);
      return ValueType::Error;
    }
    Expr& a = *e.operands[0];
    if (a.kind != ExprKind::Name) {
      Diags.error(a.start(), "rate(...) takes the name of an activity");
      return ValueType::Error;
    }
    const Symbol* s = Symbols.find(a.name.resolved);
    if (s == nullptr) {
      Diags.error(a.location, "unknown activity '" + a.name.resolved + "'" +
                                  didYouMean(a.name.resolved, {SymbolKind::Activity}));
      return ValueType::Error;
    }
    if (s->kind != SymbolKind::Activity) {
      Diags.error(a.location, "rate(...) takes an activity, but '" + a.name.resolved + "' is " +
                                  SymbolWords(s->kind));
      return ValueType::Error;
    }
    a.symbol = SymbolKind::Activity;
    a.index = s->index;
    a.type = ValueType::Real;
    return ValueType::Real;
  }

  const bool known =
      std::find(FunctionNames.begin(), FunctionNames.end(), f) != FunctionNames.end();
  if (!known) {
    std::string close = SymbolTable::Closest(f, FunctionNames);
    Diags.error(e.location,
                "unknown function '" + f + "'" +
                    (close.empty() ? std::string(" (the functions are min, max, abs, floor, "
                                                 "ceil, round, sqrt, exp, log, pow and rate)")
                                   : "; did you mean '" + close + "'?"));
    for (const ExprPtr& o : e.operands)
      check(*o, context);
    return ValueType::Error;
  }
  bool ok = true;
  bool allInt = true;
  for (const ExprPtr& o : e.operands) {
    ValueType t = check(*o, context);
    if (t == ValueType::Error) {
      ok = false;
    } else if (!IsNumber(t)) {
      Diags.error(o->start(), "'" + f + "' needs numbers, but this argument is " + Is(t));
      ok = false;
    } else if (t != ValueType::Int) {
      allInt = false;
    }
  }
  if (f == "min" || f == "max") {
    if (!arity(2, true) || !ok)
      return ValueType::Error;
    return allInt ? ValueType::Int : ValueType::Real;
  }
  if (f == "pow") {
    if (!arity(2, false) || !ok)
      return ValueType::Error;
    return ValueType::Real;
  }
  if (!arity(1, false) || !ok)
    return ValueType::Error;
  if (f == "abs")
    return e.operands[0]->type;
  if (f == "floor" || f == "ceil" || f == "round")
    return ValueType::Int;
  return ValueType::Real;
}

ValueType ExpressionChecker::unary(Expr& e, const ExpressionContext& context) {
  ValueType t = check(*e.operands[0], context);
  if (t == ValueType::Error)
    return t;
  if (e.op == "!") {
    if (t != ValueType::Bool) {
      Diags.error(e.location, "'!' needs a condition, but its operand is " + Is(t));
      return ValueType::Error;
    }
    return t;
  }
  if (!IsNumber(t)) {
    Diags.error(e.location, "'-' needs a number, but its operand is " + Is(t));
    return ValueType::Error;
  }
  return t;
}

ValueType ExpressionChecker::binary(Expr& e, const ExpressionContext& context) {
  const ValueType a = check(*e.operands[0], context);
  const ValueType b = check(*e.operands[1], context);
  if (a == ValueType::Error || b == ValueType::Error)
    return ValueType::Error;
  const std::string& op = e.op;
  if (op == "&&" || op == "||") {
    if (a != ValueType::Bool || b != ValueType::Bool) {
      Diags.error(e.location, "'" + op + "' needs conditions on both sides, but the " +
                                  (a != ValueType::Bool ? "left" : "right") + " side is " +
                                  Is(a != ValueType::Bool ? a : b));
      return ValueType::Error;
    }
    return ValueType::Bool;
  }
  if (op == "==" || op == "!=") {
    if ((a == ValueType::Bool) != (b == ValueType::Bool)) {
      Diags.error(e.location, "'" + op + "' compares two numbers or two conditions, not " + Is(a) +
                                  " with " + Is(b));
      return ValueType::Error;
    }
    return ValueType::Bool;
  }
  if (!IsNumber(a) || !IsNumber(b)) {
    Diags.error(e.location, "'" + op + "' needs numbers, but the " +
                                (!IsNumber(a) ? "left" : "right") + " side is " +
                                Is(!IsNumber(a) ? a : b));
    return ValueType::Error;
  }
  if (op == "<" || op == "<=" || op == ">" || op == ">=")
    return ValueType::Bool;
  if (op == "/")
    return ValueType::Real;
  return a == ValueType::Int && b == ValueType::Int ? ValueType::Int : ValueType::Real;
}

ValueType ExpressionChecker::conditional(Expr& e, const ExpressionContext& context) {
  const ValueType c = check(*e.operands[0], context);
  const ValueType a = check(*e.operands[1], context);
  const ValueType b = check(*e.operands[2], context);
  if (c == ValueType::Error || a == ValueType::Error || b == ValueType::Error)
    return ValueType::Error;
  if (c != ValueType::Bool) {
    Diags.error(e.operands[0]->start(),
                "the part before '?' must be a condition, but it is " + Is(c));
    return ValueType::Error;
  }
  if (IsNumber(a) && IsNumber(b))
    return a == ValueType::Int && b == ValueType::Int ? ValueType::Int : ValueType::Real;
  if (a == ValueType::Bool && b == ValueType::Bool)
    return ValueType::Bool;
  Diags.error(e.location, "the two results of '?:' must both be numbers or both be conditions, "
                          "not " +
                              Is(a) + " and " + Is(b));
  return ValueType::Error;
}

bool ExpressionChecker::expectCondition(Expr& e, const ExpressionContext& context,
                                        const std::string& role) {
  const ValueType t = check(e, context);
  if (t == ValueType::Error)
    return false;
  if (t != ValueType::Bool) {
    Diags.error(e.start(), role + " must be a condition (true or false), but it is " + Is(t));
    return false;
  }
  return true;
}

bool ExpressionChecker::expectNumber(Expr& e, const ExpressionContext& context,
                                     const std::string& role, bool wholeNumber) {
  const ValueType t = check(e, context);
  if (t == ValueType::Error)
    return false;
  if (wholeNumber ? t != ValueType::Int : !IsNumber(t)) {
    Diags.error(e.start(), role + " must be " +
                               (wholeNumber ? std::string("a whole number") : "a number") +
                               ", but it is " + Is(t) +
                               (wholeNumber && t == ValueType::Real
                                    ? " (use floor, ceil or round to make it whole)"
                                    : ""));
    return false;
  }
  return true;
}

} // namespace lang
