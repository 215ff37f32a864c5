#include "lang/Expander.h"

#include <cstddef>

#include "lang/Evaluator.h"

namespace lang {

namespace {

// Why an expression that should be a whole number known when compiling is
// not one.
std::string NotConstant(const Expr& e, const std::optional<Value>& value,
                        const Evaluator& evaluator) {
  std::vector<const Expr*> pending{&e};
  while (!pending.empty()) {
    const Expr* x = pending.back();
    pending.pop_back();
    if (x->kind == ExprKind::Name || x->kind == ExprKind::Index)
      return "'" + x->name.spelling() + "' is not known when compiling";
    for (const ExprPtr& o : x->operands)
      if (o)
        pending.push_back(o.get());
  }
  if (value)
    return std::string("it is ") + TypeWords(value->type);
  return evaluator.error();
}

} // namespace

SourceLocation Expander::mark(SourceLocation location, const Expansion* in) {
  if (in != nullptr)
    location.expansion = in;
  return location;
}

const Expansion* Expander::iteration(const Bindings& bindings, const SourceLocation& loop,
                                     const Expansion* in) {
  std::string text;
  for (const auto& [name, value] : bindings) {
    if (!text.empty())
      text += ", ";
    text += name + " = " + std::to_string(value);
  }
  Expansions->push_back({text, mark(loop, in)});
  return &Expansions->back();
}

void Expander::recordVariable(const std::string& name, const SourceLocation& location) {
  for (const LoopVariable& v : Loops) {
    if (v.location.line == location.line && v.location.column == location.column)
      return;
  }
  Loops.push_back({name, location});
}

std::vector<DeclPtr> Expander::expand(const std::vector<DeclPtr>& declarations) {
  std::vector<DeclPtr> out;
  for (const DeclPtr& d : declarations) {
    try {
      expandInto(*d, {}, nullptr, out);
    } catch (const ExpandError&) {
      if (Declarations > MaxDeclarations || Statements > MaxStatements)
        break;
    }
  }
  return out;
}

void Expander::checkVariable(const std::string& name, const SourceLocation& location,
                             const Bindings& bindings) {
  for (const auto& b : bindings) {
    if (b.first == name) {
      Diags.error(location, "'" + name + "' is already the variable of an enclosing repetition");
      throw ExpandError{};
    }
  }
}

std::pair<long long, long long> Expander::range(const Expr& from, const Expr& to,
                                                const Bindings& bindings, const Expansion* in,
                                                const SourceLocation& at) {
  long long bounds[2];
  const Expr* ends[2] = {&from, &to};
  for (int k = 0; k < 2; k++) {
    ExprPtr e = copy(ends[k], bindings, in);
    ValueSource nothing;
    Evaluator evaluator(nothing);
    std::optional<Value> v = evaluator.evaluate(*e);
    if (!v || v->type != ValueType::Int) {
      const std::string why = NotConstant(*e, v, evaluator);
      Diags.error(mark(ends[k]->start(), in),
                  "the bounds of a repetition must be whole numbers known when compiling (" + why +
                      ")");
      throw ExpandError{};
    }
    bounds[k] = v->integer;
  }
  if (bounds[0] > bounds[1]) {
    Diags.error(mark(at, in), "empty range " + std::to_string(bounds[0]) + ".." +
                                  std::to_string(bounds[1]) +
                                  ": the first value is larger "
                                  "than the last");
    throw ExpandError{};
  }
  const unsigned long long copies =
      static_cast<unsigned long long>(bounds[1]) - static_cast<unsigned long long>(bounds[0]) + 1;
  Iterations += copies;
  // No copies means the range of every 64-bit number, whose count wrapped.
  // cppcheck-suppress knownConditionTrueFalse
  if (copies == 0 || Iterations > static_cast<unsigned long long>(MaxIterations)) {
    Diags.error(mark(at, in),
                "the repetitions make more than " + std::to_string(MaxIterations) + " copies");
    Declarations = MaxDeclarations + 1; // stop expanding
    throw ExpandError{};
  }
  return {bounds[0], bounds[1]};
}

void Expander::expandInto(const Decl& d, const Bindings& bindings, const Expansion* in,
                          std::vector<DeclPtr>& out) {
  if (d.kind != DeclKind::For) {
    if (in != nullptr && (d.kind == DeclKind::Model || d.kind == DeclKind::Study)) {
      Diags.error(mark(d.location, in), std::string("'") +
                                            (d.kind == DeclKind::Model ? "model" : "study") +
                                            "' cannot be inside a repetition");
      throw ExpandError{};
    }
    if (++Declarations > MaxDeclarations) {
      Diags.error(mark(d.location, in), "the repetitions expand to more than " +
                                            std::to_string(MaxDeclarations) + " declarations");
      throw ExpandError{};
    }
    out.push_back(copy(d, bindings, in));
    return;
  }
  checkVariable(d.variable, mark(d.variableLocation, in), bindings);
  recordVariable(d.variable, d.variableLocation);
  auto [first, last] = range(*d.from, *d.to, bindings, in, d.location);
  for (long long v = first;; v++) {
    Bindings inner = bindings;
    inner.emplace_back(d.variable, v);
    const Expansion* here = iteration(inner, d.location, in);
    for (const DeclPtr& b : d.body) {
      try {
        expandInto(*b, inner, here, out);
      } catch (const ExpandError&) {
        if (Declarations > MaxDeclarations || Statements > MaxStatements)
          throw;
      }
    }
    if (v == last)
      break;
  }
}

NameTemplate Expander::resolve(const NameTemplate& name, const Bindings& bindings,
                               const Expansion* in) {
  NameTemplate out;
  out.location = mark(name.location, in);
  std::string text;
  for (const NameTemplate::Part& p : name.parts) {
    if (!p.index) {
      text += p.text;
      continue;
    }
    ExprPtr e = copy(p.index.get(), bindings, in);
    ValueSource nothing;
    Evaluator evaluator(nothing);
    std::optional<Value> v = evaluator.evaluate(*e);
    if (!v || v->type != ValueType::Int) {
      const std::string why = NotConstant(*e, v, evaluator);
      Diags.error(mark(p.index->start(), in),
                  "the index in the name '" + name.spelling() +
                      "' must be a whole number known when compiling (" + why + ")");
      throw ExpandError{};
    }
    if (v->integer < 0) {
      Diags.error(mark(p.index->start(), in), "the index in the name '" + name.spelling() +
                                                  "' is " + std::to_string(v->integer) +
                                                  "; a name cannot hold a negative number");
      throw ExpandError{};
    }
    text += std::to_string(v->integer);
  }
  out.parts.push_back({text, nullptr});
  out.resolved = text;
  return out;
}

ExprPtr Expander::copy(const Expr* e, const Bindings& bindings, const Expansion* in) {
  if (e == nullptr)
    return nullptr;
  if (++Nodes > MaxNodes) {
    Diags.error(mark(e->location, in),
                "the repetitions expand to more than " + std::to_string(MaxNodes) + " terms");
    Declarations = MaxDeclarations + 1; // stop expanding
    throw ExpandError{};
  }
  if (e->kind == ExprKind::Name && e->name.isPlain() && e->name.parts.size() == 1) {
    for (std::size_t i = bindings.size(); i-- > 0;) {
      if (bindings[i].first == e->name.parts[0].text)
        return MakeLiteral(Value::Int(bindings[i].second), mark(e->location, in));
    }
  }
  auto c = std::make_unique<Expr>();
  c->kind = e->kind;
  c->location = mark(e->location, in);
  c->literal = e->literal;
  c->op = e->op;
  c->type = e->type;
  c->height = e->height;
  if (e->kind == ExprKind::Name || e->kind == ExprKind::Index || e->kind == ExprKind::Call)
    c->name = resolve(e->name, bindings, in);
  for (const ExprPtr& o : e->operands)
    c->operands.push_back(copy(o.get(), bindings, in));
  return c;
}

void Expander::copyStatements(const std::vector<StmtPtr>& from, const Bindings& bindings,
                              const Expansion* in, std::vector<StmtPtr>& out) {
  for (const StmtPtr& s : from) {
    if (s->kind == StmtKind::For) {
      checkVariable(s->variable, mark(s->variableLocation, in), bindings);
      recordVariable(s->variable, s->variableLocation);
      auto [first, last] = range(*s->from, *s->to, bindings, in, s->location);
      for (long long v = first;; v++) {
        Bindings inner = bindings;
        inner.emplace_back(s->variable, v);
        const Expansion* here = iteration(inner, s->location, in);
        copyStatements(s->body, inner, here, out);
        if (v == last)
          break;
      }
      continue;
    }
    if (++Statements > MaxStatements) {
      Diags.error(mark(s->location, in), "the repetitions expand to more than " +
                                             std::to_string(MaxStatements) + " statements");
      throw ExpandError{};
    }
    auto c = std::make_unique<Stmt>();
    c->kind = s->kind;
    c->location = mark(s->location, in);
    c->op = s->op;
    if (s->kind == StmtKind::Assign || s->kind == StmtKind::Let)
      c->target = resolve(s->target, bindings, in);
    c->value = copy(s->value.get(), bindings, in);
    c->condition = copy(s->condition.get(), bindings, in);
    copyStatements(s->thenBody, bindings, in, c->thenBody);
    copyStatements(s->elseBody, bindings, in, c->elseBody);
    out.push_back(std::move(c));
  }
}

DeclPtr Expander::copy(const Decl& d, const Bindings& bindings, const Expansion* in) {
  auto c = std::make_unique<Decl>();
  c->kind = d.kind;
  c->location = mark(d.location, in);
  if (!d.name.empty())
    c->name = resolve(d.name, bindings, in);
  c->typeName = d.typeName;
  c->typeLocation = mark(d.typeLocation, in);
  c->value = copy(d.value.get(), bindings, in);
  c->from = copy(d.from.get(), bindings, in);
  c->to = copy(d.to.get(), bindings, in);
  for (const ExprPtr& v : d.values)
    c->values.push_back(copy(v.get(), bindings, in));
  for (const StudyEntry& e : d.entries) {
    StudyEntry entry;
    entry.variable = resolve(e.variable, bindings, in);
    for (const StudyItem& item : e.items)
      entry.items.push_back(
          {copy(item.first.get(), bindings, in), copy(item.last.get(), bindings, in)});
    c->entries.push_back(std::move(entry));
  }
  c->timing = d.timing;
  c->timingLocation = mark(d.timingLocation, in);
  c->rate = copy(d.rate.get(), bindings, in);
  c->delay = copy(d.delay.get(), bindings, in);
  c->phases = copy(d.phases.get(), bindings, in);
  c->weight = copy(d.weight.get(), bindings, in);
  c->rank = copy(d.rank.get(), bindings, in);
  c->when = copy(d.when.get(), bindings, in);
  c->hasEffect = d.hasEffect;
  c->effectLocation = mark(d.effectLocation, in);
  copyStatements(d.effect, bindings, in, c->effect);
  c->preselect = d.preselect;
  for (const NameTemplate& m : d.members)
    c->members.push_back(resolve(m, bindings, in));
  c->time = d.time;
  for (const ExprPtr& t : d.times)
    c->times.push_back(copy(t.get(), bindings, in));
  for (const auto& [a, b] : d.intervals)
    c->intervals.emplace_back(copy(a.get(), bindings, in), copy(b.get(), bindings, in));
  for (const RewardClause& rc : d.clauses) {
    RewardClause clause;
    clause.impulse = rc.impulse;
    clause.location = mark(rc.location, in);
    if (rc.impulse)
      clause.activity = resolve(rc.activity, bindings, in);
    clause.value = copy(rc.value.get(), bindings, in);
    c->clauses.push_back(std::move(clause));
  }
  return c;
}

} // namespace lang
