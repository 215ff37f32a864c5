#include "lang/Checker.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <functional>

#include "lang/Evaluator.h"

namespace lang {

namespace {

ValueType TypeOf(const std::string& typeName) {
  if (typeName == "bool")
    return ValueType::Bool;
  if (typeName == "float" || typeName == "double")
    return ValueType::Real;
  return ValueType::Int;
}

void AddOnce(std::vector<int>& list, int value) {
  if (std::find(list.begin(), list.end(), value) == list.end())
    list.push_back(value);
}

// Appends the places `e` reads, in order of first appearance.
void PlacesRead(const Expr* e, std::vector<int>& out) {
  if (e == nullptr)
    return;
  if (e->kind == ExprKind::Name && e->symbol == SymbolKind::Place)
    AddOnce(out, e->index);
  for (const ExprPtr& o : e->operands)
    PlacesRead(o.get(), out);
}

void StatementPlaces(const std::vector<StmtPtr>& statements, std::vector<int>& slots,
                     std::vector<int>& affected) {
  for (const StmtPtr& s : statements) {
    if (s->kind == StmtKind::Assign) {
      AddOnce(slots, s->place);
      AddOnce(affected, s->place);
      PlacesRead(s->value.get(), slots);
    } else if (s->kind == StmtKind::Let) {
      PlacesRead(s->value.get(), slots);
    } else {
      PlacesRead(s->condition.get(), slots);
      StatementPlaces(s->thenBody, slots, affected);
      StatementPlaces(s->elseBody, slots, affected);
    }
  }
}

bool Assigns(const std::vector<StmtPtr>& statements) {
  for (const StmtPtr& s : statements) {
    if (s->kind == StmtKind::Assign || Assigns(s->thenBody) || Assigns(s->elseBody))
      return true;
  }
  return false;
}

} // namespace

Checker::Checker(const SourceFile& file, Diagnostics& diagnostics)
    : File(file), Diags(diagnostics), Expressions(Symbols, diagnostics) {}

std::optional<ModelDescription> Checker::check(const std::vector<DeclPtr>& declarations,
                                               const std::vector<Expander::LoopVariable>& loops) {
  Model.sourceName = File.name();
  if (!checkModelDeclaration(declarations))
    return std::nullopt;
  declareNames(declarations);
  checkLoopVariables(loops);
  checkGlobals();
  checkStudy(declarations);
  checkDefinitions(declarations);
  checkPlaces();
  checkActivities();
  checkGroups();
  checkDistributions();
  checkRewards();
  checkLabels();
  checkRequirements(declarations);
  if (Diags.hasErrors())
    return std::nullopt;
  return std::move(Model);
}

bool Checker::checkModelDeclaration(const std::vector<DeclPtr>& declarations) {
  const Decl* model = nullptr;
  for (const DeclPtr& d : declarations) {
    if (d->kind != DeclKind::Model)
      continue;
    if (model != nullptr) {
      Diags.error(d->location, "a second 'model' declaration; a file describes one model");
      Diags.note(model->location, "the model is declared here");
      continue;
    }
    model = d.get();
  }
  if (model == nullptr) {
    SourceLocation start;
    start.line = 1;
    start.column = 1;
    Diags.error(declarations.empty() ? start : declarations.front()->location,
                "a model file begins with 'model <Name>'");
    return false;
  }
  if (declarations.front().get() != model)
    Diags.error(model->location,
                "'model " + model->name.resolved + "' must be the first declaration of the file");
  Model.name = model->name.resolved;
  return true;
}

void Checker::declareNames(const std::vector<DeclPtr>& declarations) {
  int lets = 0, tables = 0;
  for (const DeclPtr& d : declarations) {
    Symbol s;
    s.name = d->name.resolved;
    s.location = d->name.location;
    switch (d->kind) {
    case DeclKind::Global:
      s.kind = SymbolKind::Global;
      s.index = static_cast<int>(Globals.size());
      s.type = TypeOf(d->typeName);
      break;
    case DeclKind::Place:
      s.kind = SymbolKind::Place;
      s.index = static_cast<int>(Places.size());
      s.type = ValueType::Int;
      break;
    case DeclKind::Let:
      s.kind = SymbolKind::Let;
      s.index = lets;
      break;
    case DeclKind::Table:
      s.kind = SymbolKind::Table;
      s.index = tables;
      break;
    case DeclKind::Activity:
      s.kind = SymbolKind::Activity;
      s.index = static_cast<int>(Activities.size());
      break;
    case DeclKind::Group:
      s.kind = SymbolKind::Group;
      s.index = static_cast<int>(Groups.size());
      break;
    case DeclKind::Reward:
      s.kind = SymbolKind::Reward;
      s.index = static_cast<int>(Rewards.size());
      break;
    case DeclKind::Label:
      s.kind = SymbolKind::Label;
      s.index = static_cast<int>(Labels.size());
      break;
    default:
      continue;
    }
    if (const Symbol* previous = Symbols.add(s)) {
      Diags.error(d->name.location,
                  "'" + s.name + "' is already declared, as " + SymbolWords(previous->kind));
      Diags.note(previous->location, "'" + s.name + "' is first declared here");
      continue;
    }
    switch (d->kind) {
    case DeclKind::Global:
      Globals.push_back(d.get());
      break;
    case DeclKind::Place:
      Places.push_back(d.get());
      break;
    case DeclKind::Let:
      lets++;
      break;
    case DeclKind::Table:
      tables++;
      break;
    case DeclKind::Activity:
      Activities.push_back(d.get());
      break;
    case DeclKind::Group:
      Groups.push_back(d.get());
      break;
    case DeclKind::Reward:
      Rewards.push_back(d.get());
      break;
    case DeclKind::Label:
      Labels.push_back(d.get());
      break;
    default:
      break;
    }
  }
}

void Checker::checkLoopVariables(const std::vector<Expander::LoopVariable>& loops) {
  for (const Expander::LoopVariable& v : loops) {
    if (const Symbol* s = Symbols.find(v.name)) {
      Diags.error(v.location, "the repetition's variable '" + v.name + "' has the name of " +
                                  SymbolWords(s->kind) + "; inside the repetition '" + v.name +
                                  "' would mean the number, so choose another name");
      Diags.note(s->location, "'" + v.name + "' is declared here");
    }
  }
}

std::optional<Value> Checker::constant(Expr& e, const std::string& role, ValueType wanted) {
  ExpressionContext context{role, false, false, false};
  const ValueType t = Expressions.check(e, context);
  if (t == ValueType::Error)
    return std::nullopt;
  if (wanted != ValueType::Error &&
      (wanted == ValueType::Bool ? t != ValueType::Bool : t == ValueType::Bool)) {
    Diags.error(e.start(), role + " must be " +
                               (wanted == ValueType::Bool ? "a condition" : "a number") +
                               ", but it is " + TypeWords(t));
    return std::nullopt;
  }
  ValueSource nothing;
  Evaluator evaluator(nothing);
  std::optional<Value> v = evaluator.evaluate(e);
  if (!v)
    Diags.error(e.start(), role + " cannot be computed: " + evaluator.error());
  return v;
}

std::optional<Value> Checker::convert(const Value& v, const std::string& typeName,
                                      const SourceLocation& at, const std::string& role) {
  if (typeName == "bool") {
    if (v.type != ValueType::Bool) {
      Diags.error(at, role + " must be true or false, not " + v.toString());
      return std::nullopt;
    }
    return v;
  }
  if (typeName == "float" || typeName == "double") {
    if (!v.isNumber()) {
      Diags.error(at, role + " must be a number, not " + v.toString());
      return std::nullopt;
    }
    const double x = v.asReal();
    if (!std::isfinite(x) || (typeName == "float" && std::fabs(x) > FLT_MAX)) {
      Diags.error(at, role + " is " + ShortestReal(x) + ", which a " + typeName + " cannot hold");
      return std::nullopt;
    }
    return Value::Real(x);
  }
  if (v.type != ValueType::Int) {
    Diags.error(at, role + " must be a whole number for " + typeName + " variable, not " +
                        v.toString());
    return std::nullopt;
  }
  long long lo = LLONG_MIN, hi = LLONG_MAX;
  if (typeName == "char")
    lo = SCHAR_MIN, hi = SCHAR_MAX;
  else if (typeName == "short")
    lo = SHRT_MIN, hi = SHRT_MAX;
  else if (typeName == "int")
    lo = INT_MIN, hi = INT_MAX;
  if (v.integer < lo || v.integer > hi) {
    Diags.error(at, role + " is " + v.toString() + ", which does not fit a " + typeName + " (" +
                        std::to_string(lo) + " to " + std::to_string(hi) + ")");
    return std::nullopt;
  }
  return v;
}

void Checker::checkGlobals() {
  for (Decl* d : Globals) {
    GlobalDescription g;
    g.name = d->name.resolved;
    g.typeName = d->typeName;
    g.type = TypeOf(d->typeName);
    g.location = d->name.location;
    std::optional<Value> value;
    if (d->value) {
      const std::string role = "the value of global variable '" + g.name + "'";
      if (std::optional<Value> v = constant(*d->value, role, ValueType::Error))
        value = convert(*v, g.typeName, d->value->start(), role);
    }
    Defaults.push_back(value);
    Model.globals.push_back(std::move(g));
  }
}

void Checker::checkStudy(const std::vector<DeclPtr>& declarations) {
  const Decl* study = nullptr;
  std::vector<std::vector<Value>> values(Model.globals.size());
  std::vector<bool> listed(Model.globals.size(), false);
  const StudyEntry* firstEntry = nullptr;
  size_t experiments = 0;
  for (const DeclPtr& d : declarations) {
    if (d->kind != DeclKind::Study)
      continue;
    if (study != nullptr) {
      Diags.error(d->location, "a second 'study'; give all experiments in one study");
      Diags.note(study->location, "the study is declared here");
      continue;
    }
    study = d.get();
    for (const StudyEntry& entry : d->entries) {
      const std::string& name = entry.variable.resolved;
      const Symbol* s = Symbols.find(name);
      if (s == nullptr || s->kind != SymbolKind::Global) {
        if (s == nullptr) {
          std::string close = Symbols.suggest(name, {SymbolKind::Global});
          Diags.error(entry.variable.location,
                      "unknown global variable '" + name + "'" +
                          (close.empty() ? std::string() : "; did you mean '" + close + "'?"));
        } else {
          Diags.error(entry.variable.location, "'" + name + "' is " + SymbolWords(s->kind) +
                                                   "; the study gives values to global "
                                                   "variables only");
        }
        continue;
      }
      if (listed[s->index]) {
        Diags.error(entry.variable.location,
                    "'" + name + "' appears twice in the study; give all its values in one line");
        continue;
      }
      listed[s->index] = true;
      const GlobalDescription& g = Model.globals[s->index];
      const std::string role = "a value of '" + name + "'";
      std::vector<Value>& out = values[s->index];
      bool ok = true;
      for (const StudyItem& item : entry.items) {
        std::optional<Value> first = constant(*item.first, role, ValueType::Error);
        if (!first) {
          ok = false;
          continue;
        }
        if (!item.last) {
          std::optional<Value> v = convert(*first, g.typeName, item.first->start(), role);
          if (v)
            out.push_back(*v);
          else
            ok = false;
          continue;
        }
        std::optional<Value> last = constant(*item.last, role, ValueType::Error);
        if (!last) {
          ok = false;
          continue;
        }
        if (first->type != ValueType::Int || last->type != ValueType::Int) {
          Diags.error(item.first->start(), "a range a..b in the study needs whole numbers");
          ok = false;
          continue;
        }
        if (first->integer > last->integer) {
          Diags.error(item.first->start(), "empty range " + first->toString() + ".." +
                                               last->toString() +
                                               ": the first value is larger than the last");
          ok = false;
          continue;
        }
        const unsigned long long count = static_cast<unsigned long long>(last->integer) -
                                         static_cast<unsigned long long>(first->integer) + 1;
        // A count of 0 is the range of every 64-bit number, which wrapped.
        // cppcheck-suppress knownConditionTrueFalse
        if (count == 0 || out.size() + count > static_cast<unsigned long long>(MaxExperiments)) {
          Diags.error(item.first->start(),
                      "the study has more than " + std::to_string(MaxExperiments) + " experiments");
          ok = false;
          break;
        }
        for (long long n = first->integer;; n++) {
          std::optional<Value> v = convert(Value::Int(n), g.typeName, item.first->start(), role);
          if (!v) {
            ok = false;
            break;
          }
          out.push_back(*v);
          if (n == last->integer)
            break;
        }
      }
      if (!ok)
        continue;
      if (out.size() > static_cast<size_t>(MaxExperiments)) {
        Diags.error(entry.variable.location,
                    "the study has more than " + std::to_string(MaxExperiments) + " experiments");
        continue;
      }
      if (firstEntry == nullptr) {
        firstEntry = &entry;
        experiments = out.size();
      } else if (out.size() != experiments) {
        Diags.error(entry.variable.location,
                    "'" + name + "' has " + std::to_string(out.size()) + " value" +
                        (out.size() == 1 ? "" : "s") + ", but '" + firstEntry->variable.resolved +
                        "' has " + std::to_string(experiments) +
                        ": each variable of the study needs one value per experiment");
      }
    }
  }
  Model.experiments = firstEntry != nullptr ? static_cast<int>(experiments) : 1;
  for (size_t i = 0; i < Model.globals.size(); i++) {
    GlobalDescription& g = Model.globals[i];
    if (listed[i]) {
      g.values = values[i];
      continue;
    }
    if (Defaults[i]) {
      g.values.assign(static_cast<size_t>(Model.experiments), *Defaults[i]);
      continue;
    }
    if (!Globals[i]->value)
      Diags.error(g.location, "global variable '" + g.name +
                                  "' has no value: give it one (global " + g.typeName + " " +
                                  g.name + " = ...) or list its values in the study");
  }
}

void Checker::checkDefinitions(const std::vector<DeclPtr>& declarations) {
  for (const DeclPtr& d : declarations) {
    const std::string& name = d->name.resolved;
    const Symbol* s =
        d->kind == DeclKind::Let || d->kind == DeclKind::Table ? Symbols.find(name) : nullptr;
    // A duplicate's second declaration is not a definition of its own.
    if (s == nullptr || s->location.line != d->name.location.line ||
        s->location.column != d->name.location.column)
      continue;
    if (d->kind == DeclKind::Let) {
      ExpressionContext context{"definition '" + name + "'", true, true, true};
      bool ok = Expressions.check(*d->value, context) != ValueType::Error;
      if (ok && ExpressionChecker::Height(*d->value) > ExpressionChecker::MaxDefinitionHeight) {
        Diags.error(d->name.location, "definition '" + name +
                                          "' is nested too deeply once the definitions it uses "
                                          "are written out (more than " +
                                          std::to_string(ExpressionChecker::MaxDefinitionHeight) +
                                          " levels)");
        ok = false;
      }
      Expressions.defineLet(ok ? d->value->clone() : nullptr, ok);
      continue;
    }
    // A table: constant index range, one value per index.
    const std::string role = "the index range of table '" + name + "'";
    std::optional<Value> from = constant(*d->from, role, ValueType::Int);
    std::optional<Value> to = constant(*d->to, role, ValueType::Int);
    bool ok = from && to;
    if (ok && (from->type != ValueType::Int || to->type != ValueType::Int)) {
      Diags.error(d->from->start(), role + " must be whole numbers");
      ok = false;
    }
    if (ok) {
      const long long want =
          to->integer >= from->integer
              ? static_cast<long long>(static_cast<unsigned long long>(to->integer) -
                                       static_cast<unsigned long long>(from->integer)) +
                    1
              : 0;
      if (want <= 0 || want != static_cast<long long>(d->values.size())) {
        Diags.error(d->name.location,
                    "table '" + name + "' has indices " + from->toString() + ".." + to->toString() +
                        " but " + std::to_string(d->values.size()) + " value" +
                        (d->values.size() == 1 ? "" : "s") + "; give one value per index");
        ok = false;
      }
    }
    std::vector<ExprPtr> values;
    ExpressionContext context{"table '" + name + "'", true, true, true};
    for (const ExprPtr& v : d->values) {
      if (Expressions.check(*v, context) == ValueType::Error)
        ok = false;
      else if (ExpressionChecker::Height(*v) > ExpressionChecker::MaxDefinitionHeight) {
        Diags.error(v->start(), "an entry of table '" + name +
                                    "' is nested too deeply once the definitions it uses are "
                                    "written out (more than " +
                                    std::to_string(ExpressionChecker::MaxDefinitionHeight) +
                                    " levels)");
        ok = false;
      }
      values.push_back(ok ? v->clone() : nullptr);
    }
    Expressions.defineTable(ok ? from->integer : 0, std::move(values), ok);
  }
}

void Checker::checkMarking(const Expr& e, const std::string& role, bool increment) {
  std::optional<Value> v = Evaluator::Fold(e);
  if (!v || v->type != ValueType::Int)
    return;
  const bool fits = increment ? (v->integer >= -MaxMarking && v->integer <= MaxMarking)
                              : (v->integer >= 0 && v->integer <= MaxMarking);
  if (!fits)
    Diags.error(e.start(), role + " is " + v->toString() +
                               ", which does not fit a place: a place holds 0 "
                               "to " +
                               std::to_string(MaxMarking) + " tokens");
}

void Checker::checkPlaces() {
  for (Decl* d : Places) {
    PlaceDescription p;
    p.name = d->name.resolved;
    p.location = d->name.location;
    if (d->value) {
      const std::string role = "the initial marking of place '" + p.name + "'";
      ExpressionContext context{role, false, true, false};
      if (Expressions.expectNumber(*d->value, context, role, true))
        checkMarking(*d->value, role, false);
      p.initial = d->value->clone();
    } else {
      p.initial = MakeLiteral(Value::Int(0), d->name.location);
    }
    if (d->from && d->to)
      checkPlaceRange(*d, p);
    Model.places.push_back(std::move(p));
  }
}

void Checker::checkPlaceRange(Decl& d, PlaceDescription& p) {
  const std::string role = "the range of place '" + p.name + "'";
  ExpressionContext context{role, false, true, false};
  bool ok = Expressions.expectNumber(*d.from, context, role, true);
  ok = Expressions.expectNumber(*d.to, context, role, true) && ok;
  p.low = d.from->clone();
  p.high = d.to->clone();
  if (!ok)
    return;
  // Bounds known when compiling are checked now, the others by the model
  // executable before it explores anything.
  const std::optional<Value> low = Evaluator::Fold(*p.low);
  const std::optional<Value> high = Evaluator::Fold(*p.high);
  const std::string shown = (low ? low->toString() : Unparse(*p.low)) + ".." +
                            (high ? high->toString() : Unparse(*p.high));
  for (const auto& [bound, e] : {std::pair{low, p.low.get()}, std::pair{high, p.high.get()}}) {
    if (bound && (bound->integer < 0 || bound->integer > MaxMarking)) {
      Diags.error(e->start(), role + " is " + shown + ", but a place holds 0 to " +
                                  std::to_string(MaxMarking) + " tokens");
      return;
    }
  }
  if (low && high && low->integer > high->integer) {
    Diags.error(p.low->start(), role + " is " + shown +
                                    ", which is empty: its first value is larger than its last");
    return;
  }
  const std::optional<Value> initial = Evaluator::Fold(*p.initial);
  if (!initial || initial->type != ValueType::Int)
    return;
  if ((low && initial->integer < low->integer) || (high && initial->integer > high->integer))
    Diags.error(d.value ? d.value->start() : d.name.location,
                "the initial marking of place '" + p.name + "' is " + initial->toString() +
                    ", outside its range " + shown);
}

void Checker::checkPositive(const Expr& e, const std::string& role, bool allowZero) {
  std::optional<Value> v = Evaluator::Fold(e);
  if (!v || !v->isNumber())
    return;
  const double x = v->asReal();
  if (!std::isfinite(x) || x < 0 || (!allowZero && x == 0))
    Diags.error(e.start(), role + " is " + v->toString() + "; it must be " +
                               (allowZero ? "0 or more" : "positive"));
}

void Checker::checkLocal(Stmt& s, const std::string& activity,
                         std::vector<ExpressionChecker::LocalValue>& locals) {
  const std::string& name = s.target.resolved;
  ExpressionChecker::LocalValue local;
  local.name = name;
  local.location = s.target.location;
  const std::string role = "local value '" + name + "' of activity '" + activity + "'";
  ExpressionContext context{role, true, true, false};
  local.type = Expressions.check(*s.value, context);
  if (const Symbol* sym = Symbols.find(name)) {
    Diags.error(s.target.location,
                "'" + name + "' is already declared, as " + SymbolWords(sym->kind));
    Diags.note(sym->location, "'" + name + "' is first declared here");
    return;
  }
  for (const ExpressionChecker::LocalValue& other : locals) {
    if (other.name == name) {
      Diags.error(s.target.location, "local value '" + name +
                                         "' is already defined in the effect of activity '" +
                                         activity + "'");
      Diags.note(other.location, "'" + name + "' is first defined here");
      return;
    }
  }
  s.local = static_cast<int>(locals.size());
  locals.push_back(std::move(local));
}

void Checker::checkEffect(std::vector<StmtPtr>& statements, const std::string& activity,
                          std::vector<ExpressionChecker::LocalValue>& locals, bool topLevel) {
  const Stmt* firstStatement = nullptr;
  for (StmtPtr& s : statements) {
    if (s->kind == StmtKind::Let) {
      if (!topLevel) {
        Diags.error(s->location, "a local value ('let " + s->target.resolved +
                                     "') cannot be inside 'if': write it before the effect's "
                                     "statements, where it is computed from the marking before "
                                     "the firing");
      } else if (firstStatement != nullptr) {
        Diags.error(s->location, "local value '" + s->target.resolved +
                                     "' is defined after a statement of the effect; write every "
                                     "'let' first: local values are computed from the marking "
                                     "before the firing");
        Diags.note(firstStatement->location, "the effect's first statement is here");
      }
      checkLocal(*s, activity, locals);
      continue;
    }
    if (firstStatement == nullptr)
      firstStatement = s.get();
    if (s->kind == StmtKind::If) {
      ExpressionContext context{"the condition of an 'if' in activity '" + activity + "'", true,
                                true, false};
      Expressions.expectCondition(*s->condition, context, "the condition of 'if'");
      checkEffect(s->thenBody, activity, locals, false);
      checkEffect(s->elseBody, activity, locals, false);
      continue;
    }
    const std::string& target = s->target.resolved;
    const Symbol* sym = Symbols.find(target);
    const bool local =
        sym == nullptr &&
        std::any_of(locals.begin(), locals.end(), [&](const auto& v) { return v.name == target; });
    if (local) {
      Diags.error(s->target.location, "cannot assign to local value '" + target +
                                          "': it keeps the value computed before the firing; "
                                          "only places can be assigned");
    } else if (sym == nullptr) {
      std::string close = Symbols.suggest(target, {SymbolKind::Place});
      Diags.error(s->target.location,
                  "unknown place '" + target + "'" +
                      (close.empty() ? std::string() : "; did you mean '" + close + "'?"));
    } else if (sym->kind == SymbolKind::Global) {
      Diags.error(s->target.location, "cannot assign to global variable '" + target +
                                          "': firing an activity changes places only");
    } else if (sym->kind != SymbolKind::Place) {
      Diags.error(s->target.location, "cannot assign to '" + target + "': it is " +
                                          SymbolWords(sym->kind) + ", not a place");
    } else {
      s->place = sym->index;
    }
    const std::string role = "the value " +
                             std::string(s->op == "="    ? "assigned to"
                                         : s->op == "+=" ? "added to"
                                                         : "taken from") +
                             " place '" + target + "'";
    ExpressionContext context{role, true, true, false};
    if (Expressions.check(*s->value, context) == ValueType::Real) {
      Diags.error(s->value->start(),
                  role + " must be a whole number, since a marking counts tokens, but it is a "
                         "real number (use floor, ceil or round)");
    } else if (s->value->type == ValueType::Bool) {
      Diags.error(s->value->start(), role + " must be a whole number, but it is a condition");
    } else if (s->value->type == ValueType::Int) {
      checkMarking(*s->value, role, s->op != "=");
    }
  }
}

void Checker::collectSlots(ActivityDescription& a) {
  PlacesRead(a.when.get(), a.enabling);
  PlacesRead(a.when.get(), a.slots);
  PlacesRead(a.rate.get(), a.slots);
  PlacesRead(a.delay.get(), a.slots);
  PlacesRead(a.weight.get(), a.slots);
  PlacesRead(a.rank.get(), a.slots);
  StatementPlaces(a.effect, a.slots, a.affected);
}

void Checker::checkActivities() {
  for (Decl* d : Activities) {
    ActivityDescription a;
    a.name = d->name.resolved;
    a.location = d->name.location;
    a.timing = d->timing;
    const std::string of = " of activity '" + a.name + "'";
    auto context = [&](const std::string& role, bool places) {
      return ExpressionContext{role, places, true, false};
    };
    if (d->rate) {
      a.rate = d->rate->clone();
      if (Expressions.expectNumber(*a.rate, context("the rate" + of, true), "the rate" + of))
        checkPositive(*a.rate, "the rate" + of, false);
    }
    if (d->delay) {
      a.delay = d->delay->clone();
      if (Expressions.expectNumber(*a.delay, context("the delay" + of, true), "the delay" + of))
        checkPositive(*a.delay, "the delay" + of, false);
    }
    if (d->phases) {
      a.phases = d->phases->clone();
      const std::string role = "the number of phases" + of;
      if (Expressions.expectNumber(*a.phases, context(role, false), role, true)) {
        std::optional<Value> v = Evaluator::Fold(*a.phases);
        if (v && (v->integer < 1 || v->integer > MaxMarking))
          Diags.error(a.phases->start(), role + " is " + v->toString() + "; it must lie in 1.." +
                                             std::to_string(MaxMarking));
      }
    }
    if (d->weight) {
      a.weight = d->weight->clone();
      if (Expressions.expectNumber(*a.weight, context("the weight" + of, true), "the weight" + of))
        checkPositive(*a.weight, "the weight" + of, false);
    }
    if (d->rank) {
      a.rank = d->rank->clone();
      if (Expressions.expectNumber(*a.rank, context("the rank" + of, true), "the rank" + of, true))
        checkPositive(*a.rank, "the rank" + of, true);
    }
    if (d->when) {
      a.when = d->when->clone();
      Expressions.expectCondition(*a.when, context("the enabling condition" + of, true),
                                  "the enabling condition" + of);
    }
    Model.activities.push_back(std::move(a));
  }
  // The effects: checked on the declarations' own statements, then moved
  // into the description (a declaration is not needed after checking).
  for (size_t i = 0; i < Activities.size(); i++) {
    Decl* d = Activities[i];
    ActivityDescription& a = Model.activities[i];
    std::vector<ExpressionChecker::LocalValue> locals;
    Expressions.setLocals(&locals);
    checkEffect(d->effect, a.name, locals, true);
    Expressions.setLocals(nullptr);
    if (!d->hasEffect || !Assigns(d->effect)) {
      Diags.error(d->name.location,
                  "activity '" + a.name + "' has no effect: firing it would change no place");
      Diags.note(d->name.location,
                 "give the places it changes in braces, as in { P -= 1; Q += 1 }");
    }
    a.effect = std::move(d->effect);
    collectSlots(a);
  }
}

void Checker::checkDistributions() {
  const ActivityDescription* deterministic = nullptr;
  const ActivityDescription* erlang = nullptr;
  for (const ActivityDescription& a : Model.activities) {
    if (a.timing == Timing::Deterministic && deterministic == nullptr)
      deterministic = &a;
    if (a.timing == Timing::Erlang && erlang == nullptr)
      erlang = &a;
  }
  if (deterministic == nullptr || erlang == nullptr)
    return;
  const bool erlangLater = deterministic->location < erlang->location;
  const ActivityDescription* later = erlangLater ? erlang : deterministic;
  const ActivityDescription* earlier = erlangLater ? deterministic : erlang;
  Diags.error(later->location,
              "activity '" + later->name + "' is " +
                  (erlangLater ? "Erlang, but activity '" : "deterministic, but activity '") +
                  earlier->name + "' is " + (erlangLater ? "deterministic" : "Erlang") +
                  ": the generator explores models with deterministic activities or with "
                  "Erlang activities, not both");
  Diags.note(earlier->location, "'" + earlier->name + "' is declared here");
}

void Checker::checkGroups() {
  std::vector<const Decl*> owner(Model.activities.size(), nullptr);
  for (Decl* d : Groups) {
    GroupDescription g;
    g.name = d->name.resolved;
    g.preselect = d->preselect;
    if (d->members.empty())
      Diags.error(d->name.location, "group '" + g.name + "' has no activities");
    for (const NameTemplate& m : d->members) {
      const Symbol* s = Symbols.find(m.resolved);
      if (s == nullptr) {
        std::string close = Symbols.suggest(m.resolved, {SymbolKind::Activity});
        Diags.error(m.location,
                    "unknown activity '" + m.resolved + "'" +
                        (close.empty() ? std::string() : "; did you mean '" + close + "'?"));
        continue;
      }
      if (s->kind != SymbolKind::Activity) {
        Diags.error(m.location, "'" + m.resolved + "' is " + SymbolWords(s->kind) +
                                    "; a group holds activities");
        continue;
      }
      if (owner[s->index] != nullptr) {
        const bool same = owner[s->index] == d;
        Diags.error(m.location, "activity '" + m.resolved + "' is already in group '" +
                                    owner[s->index]->name.resolved + "'" +
                                    (same ? "" : "; an activity belongs to one group at most"));
        if (!same)
          Diags.note(owner[s->index]->name.location,
                     "group '" + owner[s->index]->name.resolved + "' is declared here");
        continue;
      }
      owner[s->index] = d;
      g.members.push_back(s->index);
    }
    bool instant = false, timed = false;
    for (int m : g.members)
      (Model.activities[m].timing == Timing::Instantaneous ? instant : timed) = true;
    if (instant && timed)
      Diags.error(d->name.location, "group '" + g.name +
                                        "' mixes instantaneous and timed activities; a group's "
                                        "activities compete for one firing, so they must be "
                                        "all instantaneous or all timed");
    for (int m : g.members)
      Model.activities[m].group = static_cast<int>(Model.groups.size());
    Model.groups.push_back(std::move(g));
  }
}

void Checker::checkRewards() {
  for (Decl* d : Rewards) {
    RewardDescription r;
    r.name = d->name.resolved;
    r.time = d->time;
    const std::string of = " of reward '" + r.name + "'";
    switch (d->time) {
    case RewardTime::Steady:
      r.start.push_back(0.0);
      r.stop.push_back(1.0);
      r.startAt.push_back(nullptr);
      r.stopAt.push_back(nullptr);
      break;
    case RewardTime::Instant:
      for (const ExprPtr& t : d->times) {
        ExprPtr runtime;
        bool ok = true;
        std::optional<double> x = checkTime(*t, "a time point" + of, runtime, ok);
        if (!ok)
          continue;
        if (x && (!std::isfinite(*x) || *x < 0)) {
          Diags.error(t->start(),
                      "time point " + Evaluator::Fold(*t)->toString() + of + " must be 0 or more");
          continue;
        }
        r.start.push_back(x.value_or(0.0));
        r.stop.push_back(x.value_or(0.0));
        r.startAt.push_back(runtime ? runtime->clone() : nullptr);
        r.stopAt.push_back(std::move(runtime));
      }
      break;
    case RewardTime::Interval:
    case RewardTime::AverageInterval:
      for (const auto& [from, to] : d->intervals) {
        ExprPtr runtimeFrom, runtimeTo;
        bool ok = true;
        std::optional<double> x =
            checkTime(*from, "the start of an interval" + of, runtimeFrom, ok);
        std::optional<double> y = checkTime(*to, "the end of an interval" + of, runtimeTo, ok);
        if (!ok)
          continue;
        if ((x && (!std::isfinite(*x) || *x < 0)) || (y && !(std::isfinite(*y) && *y > 0)) ||
            (x && y && !(*x < *y))) {
          const std::string a = x ? Evaluator::Fold(*from)->toString() : Unparse(*from);
          const std::string b = y ? Evaluator::Fold(*to)->toString() : Unparse(*to);
          Diags.error(from->start(), "interval " + a + ".." + b + of +
                                         " must start at 0 or later and end after it starts");
          continue;
        }
        r.start.push_back(x.value_or(0.0));
        r.stop.push_back(y.value_or(0.0));
        r.startAt.push_back(std::move(runtimeFrom));
        r.stopAt.push_back(std::move(runtimeTo));
      }
      break;
    }

    const RewardClause* rateClause = nullptr;
    std::vector<const RewardClause*> impulseClauses;
    for (const RewardClause& c : d->clauses) {
      if (!c.impulse) {
        if (rateClause != nullptr) {
          Diags.error(c.location, "a second 'rate'" + of + "; add the two expressions instead");
          continue;
        }
        rateClause = &c;
        r.rate = c.value->clone();
        ExpressionContext context{"the rate reward" + of, true, true, true};
        Expressions.expectNumber(*r.rate, context, "the rate reward" + of);
        continue;
      }
      const std::string& act = c.activity.resolved;
      const Symbol* s = Symbols.find(act);
      if (s == nullptr || s->kind != SymbolKind::Activity) {
        std::string close = Symbols.suggest(act, {SymbolKind::Activity});
        Diags.error(c.activity.location,
                    s == nullptr
                        ? "unknown activity '" + act + "'" +
                              (close.empty() ? std::string() : "; did you mean '" + close + "'?")
                        : "'" + act + "' is " + SymbolWords(s->kind) +
                              "; an impulse reward is earned by an activity's firing");
        continue;
      }
      bool twice = false;
      for (const ImpulseDescription& i : r.impulses)
        twice = twice || i.activity == s->index;
      if (twice) {
        Diags.error(c.activity.location, "a second impulse for activity '" + act + "'" + of +
                                             "; add the two expressions instead");
        continue;
      }
      ImpulseDescription impulse;
      impulse.activity = s->index;
      impulse.value = c.value->clone();
      const std::string role = "the impulse reward" + of + " for activity '" + act + "'";
      ExpressionContext context{role, true, true, true};
      Expressions.expectNumber(*impulse.value, context, role);
      r.impulses.push_back(std::move(impulse));
    }
    if (d->clauses.empty())
      Diags.error(d->name.location, "reward '" + r.name + "' has neither a rate nor an impulse");

    // rate(A) needs an activity with a rate.
    std::vector<const Expr*> calls;
    std::vector<const Expr*> pending;
    if (r.rate)
      pending.push_back(r.rate.get());
    for (const ImpulseDescription& i : r.impulses)
      pending.push_back(i.value.get());
    while (!pending.empty()) {
      const Expr* e = pending.back();
      pending.pop_back();
      if (e->kind == ExprKind::Call && e->name.resolved == "rate" && e->operands.size() == 1 &&
          e->operands[0]->symbol == SymbolKind::Activity)
        calls.push_back(e);
      for (const ExprPtr& o : e->operands)
        if (o)
          pending.push_back(o.get());
    }
    for (const Expr* call : calls) {
      const ActivityDescription& a = Model.activities[call->operands[0]->index];
      if (a.timing == Timing::Deterministic || a.timing == Timing::Instantaneous)
        Diags.error(call->operands[0]->location,
                    "rate(" + a.name + "): activity '" + a.name + "' is " +
                        (a.timing == Timing::Deterministic ? "deterministic" : "instantaneous") +
                        " and has no rate");
    }

    // The places the rate reward reads, also through rate(A).
    if (r.rate) {
      // Depth-first, left to right, so that places keep their order of
      // appearance.
      std::function<void(const Expr*)> walk = [&](const Expr* e) {
        if (e->kind == ExprKind::Name && e->symbol == SymbolKind::Place)
          AddOnce(r.placesRead, e->index);
        if (e->kind == ExprKind::Call && e->name.resolved == "rate" && e->operands.size() == 1 &&
            e->operands[0]->symbol == SymbolKind::Activity) {
          const ActivityDescription& a = Model.activities[e->operands[0]->index];
          PlacesRead(a.when.get(), r.placesRead);
          PlacesRead(a.rate.get(), r.placesRead);
          return;
        }
        for (const ExprPtr& o : e->operands)
          if (o)
            walk(o.get());
      };
      walk(r.rate.get());
    }
    Model.rewards.push_back(std::move(r));
  }
}

std::optional<double> Checker::checkTime(Expr& e, const std::string& role, ExprPtr& runtime,
                                         bool& ok) {
  ExpressionContext context{role, false, true, false};
  if (!Expressions.expectNumber(e, context, role)) {
    ok = false;
    return std::nullopt;
  }
  if (ExpressionChecker::FirstRead(e, SymbolKind::Global) != nullptr) {
    runtime = e.clone();
    return std::nullopt;
  }
  ValueSource nothing;
  Evaluator evaluator(nothing);
  std::optional<Value> v = evaluator.evaluate(e);
  if (!v) {
    Diags.error(e.start(), role + " cannot be computed: " + evaluator.error());
    ok = false;
    return std::nullopt;
  }
  return v->asReal();
}

void Checker::checkLabels() {
  for (Decl* d : Labels) {
    LabelDescription l;
    l.name = d->name.resolved;
    l.location = d->name.location;
    if (l.name == "init" || l.name == "deadlock")
      Diags.error(d->name.location,
                  "every chain has a label '" + l.name + "' (" +
                      (l.name == "init" ? "the initial state"
                                        : "the states without a transition to another state") +
                      "); give this label another name");
    l.condition = d->value->clone();
    const std::string role = "label '" + l.name + "'";
    ExpressionContext context{role, true, true, false};
    Expressions.expectCondition(*l.condition, context, "the condition of " + role);
    Model.labels.push_back(std::move(l));
  }
}

void Checker::checkRequirements(const std::vector<DeclPtr>& declarations) {
  for (const DeclPtr& d : declarations) {
    if (d->kind != DeclKind::Require)
      continue;
    RequirementDescription r;
    r.text = Unparse(*d->value);
    r.location = d->value->start();
    r.condition = d->value->clone();
    ExpressionContext context{"a requirement", false, true, false};
    if (Expressions.expectCondition(*r.condition, context, "a requirement")) {
      std::optional<Value> v = Evaluator::Fold(*r.condition);
      if (v && v->type == ValueType::Bool && !v->boolean)
        Diags.error(r.location, "requirement '" + r.text + "' never holds");
    }
    Model.requirements.push_back(std::move(r));
  }
  // A model with nothing to explore.
  if (Model.places.empty()) {
    for (const DeclPtr& d : declarations) {
      if (d->kind == DeclKind::Model) {
        Diags.error(d->name.location,
                    "model '" + Model.name + "' has no places; declare its places with 'place'");
        break;
      }
    }
  }
}

} // namespace lang
