#include "lang/CodeGenerator.h"

#include <cctype>
#include <climits>

#include "lang/Evaluator.h"

namespace lang {

namespace {

const char* const Helpers =
    "// Helpers of the expressions below (the model language's min, max, abs,\n"
    "// floor, ceil and round).\n"
    "template <class A, class B> [[maybe_unused]] inline auto SanMin(A a, B b) {\n"
    "  return b < a ? b : a;\n"
    "}\n"
    "template <class A, class B> [[maybe_unused]] inline auto SanMax(A a, B b) {\n"
    "  return a < b ? b : a;\n"
    "}\n"
    "template <class A> [[maybe_unused]] inline A SanAbs(A a) {\n"
    "  return a < 0 ? -a : a;\n"
    "}\n"
    "// A whole number from a double that is one; 0 when it is out of range or\n"
    "// not a number.\n"
    "[[maybe_unused]] inline long long SanWhole(double x) {\n"
    "  return x >= -9.2e18 && x <= 9.2e18 ? static_cast<long long>(x) : 0;\n"
    "}\n";

std::string Indent(int n) {
  return std::string(static_cast<size_t>(2 * n), ' ');
}

std::string Quote(const std::string& s) {
  // Names are identifiers and file names are shown as given; escape what a
  // C++ string literal cannot hold as is.
  std::string out = "\"";
  for (char c : s) {
    if (c == '"' || c == '\\')
      out += '\\';
    if (c == '\t') {
      out += "\\t";
      continue;
    }
    if (static_cast<unsigned char>(c) < 0x20) {
      out += '?';
      continue;
    }
    out += c;
  }
  return out + "\"";
}

std::string RealLiteral(double x) {
  std::string s = ShortestReal(x);
  if (s.find_first_of(".e") == std::string::npos)
    s += ".0";
  return s;
}

std::string IntLiteral(long long n) {
  if (n >= INT_MIN && n <= INT_MAX)
    return std::to_string(n);
  if (n == LLONG_MIN)
    return "(-9223372036854775807LL - 1)";
  return std::to_string(n) + "LL";
}

const char* DistributionName(Timing t) {
  switch (t) {
  case Timing::Exponential:
    return "EXPONENTIAL";
  case Timing::Deterministic:
    return "DETERMINISTIC";
  case Timing::Erlang:
    return "ERLANG";
  default:
    return "INSTANTANEOUS";
  }
}

const char* TimingWords(Timing t) {
  switch (t) {
  case Timing::Exponential:
    return "exponential";
  case Timing::Deterministic:
    return "deterministic";
  case Timing::Erlang:
    return "Erlang";
  default:
    return "instantaneous";
  }
}

const char* RewardTypeName(RewardTime t) {
  switch (t) {
  case RewardTime::Instant:
    return "INSTANT_OF_TIME";
  case RewardTime::Interval:
    return "INTERVAL_OF_TIME";
  case RewardTime::AverageInterval:
    return "TIME_AVERAGED_INTERVAL_OF_TIME";
  default:
    return "STEADY_STATE";
  }
}

const char* WorkerBase(RewardTime t) {
  switch (t) {
  case RewardTime::Instant:
    return "InstantOfTime";
  case RewardTime::Interval:
  case RewardTime::AverageInterval:
    return "IntervalOfTime";
  default:
    return "SteadyState";
  }
}

std::string Guard(const std::string& file) {
  std::string g = "SAN_GENERATED_";
  for (char c : file)
    g += c == '.' ? '_' : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return g;
}

// The globals an expression reads, in order.
void GlobalsRead(const Expr& e, std::vector<int>& out) {
  if (e.kind == ExprKind::Name && e.symbol == SymbolKind::Global) {
    bool seen = false;
    for (int g : out)
      seen = seen || g == e.index;
    if (!seen)
      out.push_back(e.index);
  }
  for (const ExprPtr& o : e.operands)
    if (o)
      GlobalsRead(*o, out);
}

bool IsConstant(const Expr& e) {
  if (e.kind == ExprKind::Name || (e.kind == ExprKind::Call && e.name.resolved == "rate"))
    return false;
  for (const ExprPtr& o : e.operands)
    if (o && !IsConstant(*o))
      return false;
  return true;
}

// The text without one pair of parentheses around all of it.
std::string Bare(const std::string& s) {
  if (s.size() < 2 || s.front() != '(' || s.back() != ')')
    return s;
  int depth = 0;
  for (size_t i = 0; i < s.size(); i++) {
    if (s[i] == '(')
      depth++;
    else if (s[i] == ')' && --depth == 0 && i + 1 < s.size())
      return s;
  }
  return s.substr(1, s.size() - 2);
}

std::string BaseName(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

const std::vector<std::string>& CodeGenerator::FileNames() {
  static const std::vector<std::string> names = {
      "SAN.h",           "SAN.cpp",           "RewardPVModel.h", "RewardPVModel.cpp",
      "RewardPVNodes.h", "RewardPVNodes.cpp", "Study.h",         "Study.cpp"};
  return names;
}

std::vector<GeneratedFile> CodeGenerator::generate() {
  return {{"SAN.h", sanHeader()},
          {"SAN.cpp", sanSource()},
          {"RewardPVModel.h", rewardModelHeader()},
          {"RewardPVModel.cpp", rewardModelSource()},
          {"RewardPVNodes.h", nodesHeader()},
          {"RewardPVNodes.cpp", nodesSource()},
          {"Study.h", studyHeader()},
          {"Study.cpp", studySource()}};
}

std::string CodeGenerator::banner(const std::string& what) const {
  return "// Generated by ssg-compile from " + BaseName(Model.sourceName) + ": " + what +
         "\n// of model \"" + Model.name +
         "\". Do not edit: change the model file and compile it again.\n";
}

// Expressions

void CodeGenerator::countDefinitions(const Expr& e, bool throughRates,
                                     std::map<int, std::pair<int, const Expr*>>& counts) const {
  if (e.definition >= 0) {
    auto& c = counts[e.definition];
    c.first++;
    c.second = &e;
  }
  if (throughRates && e.kind == ExprKind::Call && e.name.resolved == "rate") {
    const ActivityDescription& a = Model.activities[e.operands[0]->index];
    if (a.when)
      countDefinitions(*a.when, false, counts);
    countDefinitions(*a.rate, false, counts);
    return;
  }
  for (const ExprPtr& o : e.operands)
    if (o)
      countDefinitions(*o, throughRates, counts);
}

std::string CodeGenerator::emitPure(const Expr& e, const EmitContext& context,
                                    std::string& prelude) const {
  std::map<int, std::pair<int, const Expr*>> counts;
  countDefinitions(e, true, counts);
  std::map<int, std::string> locals;
  EmitContext withLocals = context;
  withLocals.locals = &locals;
  for (const auto& [index, use] : counts) {
    if (use.first < 2)
      continue;
    const std::string name = "L_" + use.second->definitionName;
    prelude +=
        "  const auto " + name + " = " + Bare(emitNode(*use.second, withLocals, false)) + ";\n";
    locals[index] = name;
  }
  return emit(e, withLocals);
}

std::string CodeGenerator::emit(const Expr& e, const EmitContext& context) const {
  return emitNode(e, context, true);
}

std::string CodeGenerator::emitNode(const Expr& e, const EmitContext& context,
                                    bool useLocal) const {
  if (useLocal && e.definition >= 0 && context.locals != nullptr) {
    auto it = context.locals->find(e.definition);
    if (it != context.locals->end())
      return it->second;
  }
  auto sub = [&](size_t i) { return emit(*e.operands[i], context); };
  switch (e.kind) {
  case ExprKind::Literal:
    if (e.literal.type == ValueType::Bool)
      return e.literal.boolean ? "true" : "false";
    if (e.literal.type == ValueType::Int)
      return context.wide && e.literal.integer >= INT_MIN && e.literal.integer <= INT_MAX
                 ? std::to_string(e.literal.integer) + "LL"
                 : IntLiteral(e.literal.integer);
    return RealLiteral(e.literal.real);
  case ExprKind::Name: {
    std::string text = e.symbol == SymbolKind::Place   ? context.place(e.index)
                       : e.symbol == SymbolKind::Local ? "V_" + e.name.resolved
                                                       : "G_" + Model.globals[e.index].name;
    if (context.wide && e.type == ValueType::Int)
      return "static_cast<long long>(" + text + ")";
    return text;
  }
  case ExprKind::Unary:
    return "(" + e.op + sub(0) + ")";
  case ExprKind::Binary:
    if (e.op == "/")
      return "(static_cast<double>(" + Bare(sub(0)) + ") / " + sub(1) + ")";
    return "(" + sub(0) + " " + e.op + " " + sub(1) + ")";
  case ExprKind::Conditional:
    return "(" + sub(0) + " ? " + sub(1) + " : " + sub(2) + ")";
  case ExprKind::Call: {
    const std::string& f = e.name.resolved;
    if (f == "rate")
      return context.rate(e.operands[0]->index, context);
    if (f == "min" || f == "max") {
      std::string s = sub(0);
      for (size_t i = 1; i < e.operands.size(); i++)
        s = std::string(f == "min" ? "SanMin(" : "SanMax(") + Bare(s) + ", " + Bare(sub(i)) + ")";
      return s;
    }
    if (f == "abs")
      return "SanAbs(" + Bare(sub(0)) + ")";
    if (f == "floor" || f == "ceil" || f == "round") {
      if (e.operands[0]->type == ValueType::Int)
        return sub(0);
      return "SanWhole(std::" + f + "(" + Bare(sub(0)) + "))";
    }
    if (f == "pow")
      return "std::pow(static_cast<double>(" + Bare(sub(0)) + "), static_cast<double>(" +
             Bare(sub(1)) + "))";
    return "std::" + f + "(static_cast<double>(" + Bare(sub(0)) + "))";
  }
  case ExprKind::Index:
    break;
  }
  return "0";
}

CodeGenerator::EmitContext CodeGenerator::activityContext() const {
  EmitContext c;
  c.place = [this](int p) { return "*M_" + Model.places[p].name; };
  c.rate = [](int, const EmitContext&) { return std::string("0.0"); };
  return c;
}

CodeGenerator::EmitContext CodeGenerator::rewardContext() const {
  EmitContext c;
  c.place = [this](int p) { return "m->P_" + Model.places[p].name + "->getMark()"; };
  c.rate = [this](int a, const EmitContext& context) {
    const ActivityDescription& act = Model.activities[a];
    std::string rate = "static_cast<double>(" + Bare(emit(*act.rate, context)) + ")";
    if (!act.when)
      return rate;
    return "(" + emit(*act.when, context) + " ? " + rate + " : 0.0)";
  };
  return c;
}

std::string CodeGenerator::constant(const Value& v, const std::string& typeName) const {
  if (typeName == "bool")
    return v.boolean ? "true" : "false";
  if (typeName == "double")
    return RealLiteral(v.asReal());
  if (typeName == "float")
    return "static_cast<float>(" + RealLiteral(v.asReal()) + ")";
  if (typeName == "char")
    return "static_cast<char>(" + std::to_string(v.integer) + ")";
  return IntLiteral(v.integer);
}

// The SAN

std::string CodeGenerator::sanHeader() const {
  const ModelDescription& m = Model;
  std::string h = banner("the stochastic activity network");
  h += "//\n// Places, in state-vector order (2 bytes each):";
  for (const PlaceDescription& p : m.places)
    h += " " + p.name;
  h += ".\n// Activities, in action order:";
  for (const ActivityDescription& a : m.activities)
    h += " " + a.name + " (" + TimingWords(a.timing) + ")";
  h += ".\n// Generated names carry a prefix: G_ global variable, P_ place, M_ the\n"
       "// cached marking of a place in an activity, A_ activity, Grp_ group.\n";
  const std::string guard = Guard("SAN.h");
  h += "#ifndef " + guard + "\n#define " + guard + "\n\n";
  h += "#include \"model/Activity.h\"\n#include \"model/PostselectGroup.h\"\n"
       "#include \"model/PreselectGroup.h\"\n#include \"model/SANModel.h\"\n"
       "#include \"state/Place.h\"\n\n";
  if (!m.globals.empty()) {
    h += "// Global variables, set by the study for each experiment.\n";
    for (const GlobalDescription& g : m.globals)
      h += "extern " + g.typeName + " G_" + g.name + ";\n";
    h += "\n";
  }
  h += "class " + sanClass() + " : public SANModel {\npublic:\n";
  for (const ActivityDescription& a : m.activities) {
    h += "  // " + a.name + ": " + TimingWords(a.timing);
    if (a.when)
      h += ", enabled when the condition of line " + std::to_string(a.location.line) + " holds";
    h += ".\n";
    h += "  class " + a.name + "Activity : public Activity {\n  public:\n";
    for (int p : a.slots) {
      const std::string& n = m.places[p].name;
      h += "    Place* P_" + n + " = nullptr;\n    short* M_" + n + " = nullptr;\n";
    }
    if (a.timing == Timing::Erlang)
      h += "    // The rate of a phase and the number of phases.\n    double Parameters[2] = "
           "{0.0, 0.0};\n";
    else if (a.timing != Timing::Instantaneous)
      h += std::string("    // The ") + (a.timing == Timing::Deterministic ? "delay" : "rate") +
           ", filled by ReturnDistributionParameters.\n    double Parameters[1] = {0.0};\n";
    h += "\n    bool Enabled() override;\n    double Weight() override;\n"
         "    double Rate() override;\n"
         "    bool ReactivationPredicate() override { return false; }\n"
         "    bool ReactivationFunction() override { return false; }\n"
         "    double SampleDistribution() override;\n"
         "    double* ReturnDistributionParameters() override;\n"
         "    int Rank() override;\n    BaseActionClass* Fire() override;\n"
         "    void LinkVariables() override;\n";
    if (a.timing == Timing::Erlang)
      h += "    double ErlangParamM() override;\n";
    h += "  };\n\n";
  }
  for (const ActivityDescription& a : m.activities)
    h += "  " + a.name + "Activity A_" + a.name + ";\n";
  for (const GroupDescription& g : m.groups)
    h += std::string("  ") + (g.preselect ? "PreselectGroup" : "PostselectGroup") + " Grp_" +
         g.name + ";\n";
  h += "\n  // Owned, deleted with the model.\n";
  for (const PlaceDescription& p : m.places)
    h += "  Place* P_" + p.name + " = nullptr;\n";
  h += "\n  // Builds the network from the global variables' current values; ends the\n"
       "  // run with a message when a requirement fails or an initial marking\n"
       "  // does not fit a place.\n";
  h += "  " + sanClass() + "();\n  ~" + sanClass() + "() override;\n";
  if (!m.labels.empty()) {
    h += "  // The labels:";
    for (const LabelDescription& l : m.labels)
      h += " " + l.name;
    h += ".\n  const StateLabels* Labels() const override;\n";
  }
  h += "  " + sanClass() + "(const " + sanClass() + "&) = delete;\n";
  h += "  " + sanClass() + "& operator=(const " + sanClass() + "&) = delete;\n};\n\n#endif\n";
  return h;
}

std::string CodeGenerator::globalChecks() const {
  const ModelDescription& m = Model;
  std::string s;
  EmitContext wide;
  wide.place = [](int) { return std::string("0"); };
  wide.rate = [](int, const EmitContext&) { return std::string("0.0"); };
  wide.wide = true;
  auto valuesOf = [&](std::initializer_list<const Expr*> exprs) {
    std::vector<int> read;
    for (const Expr* e : exprs)
      if (e != nullptr)
        GlobalsRead(*e, read);
    std::string text;
    for (size_t i = 0; i < read.size(); i++) {
      const GlobalDescription& g = m.globals[read[i]];
      text += std::string(i ? " << \", " : " << \"") + g.name + " = \" << ";
      text += g.typeName == "char" ? "static_cast<int>(G_" + g.name + ")" : "G_" + g.name;
    }
    return text;
  };
  auto values = [&](const Expr& e) { return valuesOf({&e}); };
  for (const RequirementDescription& r : m.requirements) {
    if (IsConstant(*r.condition))
      continue;
    s += "  if (!" + emit(*r.condition, wide) + ") {\n";
    s += "    std::cerr << " +
         Quote(m.name + ": requirement '" + r.text + "' (" + BaseName(m.sourceName) + ":" +
               std::to_string(r.location.line) + ") does not hold: ") +
         values(*r.condition) + " << std::endl;\n";
    s += "    std::exit(1);\n  }\n";
  }
  for (const PlaceDescription& p : m.places) {
    if (IsConstant(*p.initial))
      continue;
    s += "  {\n    const long long tokens = " + emit(*p.initial, wide) + ";\n";
    s += "    if (tokens < 0 || tokens > 32767) {\n";
    s += "      std::cerr << " +
         Quote(m.name + ": the initial marking of place " + p.name + " is ") +
         " << tokens << \" (\"" + values(*p.initial) +
         " << \"), but a place holds 0 to 32767 tokens\" << std::endl;\n";
    s += "      std::exit(1);\n    }\n  }\n";
  }
  for (const ActivityDescription& a : m.activities) {
    if (!a.phases || IsConstant(*a.phases))
      continue;
    s += "  {\n    const long long phases = " + emit(*a.phases, wide) + ";\n";
    s += "    if (phases < 1 || phases > 32767) {\n";
    s += "      std::cerr << " + Quote(m.name + ": activity " + a.name + " would have ") +
         " << phases << \" phases (\"" + values(*a.phases) +
         " << \"); an Erlang activity has 1 to 32767\" << std::endl;\n";
    s += "      std::exit(1);\n    }\n  }\n";
  }
  for (const PlaceDescription& p : m.places) {
    if (!p.low || (IsConstant(*p.low) && IsConstant(*p.high) && IsConstant(*p.initial)))
      continue;
    const std::string shown = valuesOf({p.low.get(), p.high.get(), p.initial.get()});
    s += "  {\n    const long long low = " + Bare(emit(*p.low, wide)) + ";\n";
    s += "    const long long high = " + Bare(emit(*p.high, wide)) + ";\n";
    s += "    const long long tokens = " + Bare(emit(*p.initial, wide)) + ";\n";
    s += "    if (low < 0 || high > 32767 || low > high) {\n";
    s += "      std::cerr << " + Quote(m.name + ": the range of place " + p.name + " is ") +
         R"( << low << ".." << high << " (")" + shown +
         R"( << "), " << (low > high ? "which is empty" : "but a place holds 0 to 32767 tokens"))" +
         " << std::endl;\n";
    s += "      std::exit(1);\n    }\n";
    s += "    if (tokens < low || tokens > high) {\n";
    s += "      std::cerr << " +
         Quote(m.name + ": the initial marking of place " + p.name + " is ") +
         " << tokens << \" (\"" + shown +
         " << \"), outside its range \" << low << \"..\" << high << std::endl;\n";
    s += "      std::exit(1);\n    }\n  }\n";
  }
  for (const RewardDescription& r : m.rewards) {
    for (size_t j = 0; j < r.start.size(); j++) {
      const Expr* from = r.startAt[j].get();
      const Expr* to = r.stopAt[j].get();
      if (from == nullptr && to == nullptr)
        continue;
      auto time = [&](const Expr* e, double constant) {
        return e != nullptr ? "static_cast<double>(" + Bare(emit(*e, wide)) + ")"
                            : RealLiteral(constant);
      };
      const std::string shown = valuesOf({from, to});
      if (r.time == RewardTime::Instant) {
        s += "  {\n    const double t = " + time(from, r.start[j]) + ";\n";
        s += "    if (!(std::isfinite(t) && t >= 0)) {\n";
        s += "      std::cerr << " + Quote(m.name + ": time point ") + " << t << " +
             Quote(" of reward " + r.name + " (") + shown +
             " << \") must be 0 or more\" << std::endl;\n";
      } else {
        s += "  {\n    const double start = " + time(from, r.start[j]) + ";\n";
        s += "    const double stop = " + time(to, r.stop[j]) + ";\n";
        s += "    if (!(std::isfinite(start) && std::isfinite(stop) && start >= 0 && start < "
             "stop)) {\n";
        s += "      std::cerr << " + Quote(m.name + ": interval ") +
             " << start << \"..\" << stop << " + Quote(" of reward " + r.name + " (") + shown +
             " << \") must start at 0 or later and end after it starts\" << std::endl;\n";
      }
      s += "      std::exit(1);\n    }\n  }\n";
    }
  }
  return s;
}

std::string CodeGenerator::rangeChecks(const ActivityDescription& a) const {
  EmitContext wide;
  wide.place = [](int) { return std::string("0"); };
  wide.rate = [](int, const EmitContext&) { return std::string("0.0"); };
  wide.wide = true;
  std::string s;
  for (int p : a.affected) {
    const PlaceDescription& place = Model.places[p];
    if (!place.low)
      continue;
    if (s.empty())
      s += "  // The declared ranges of the places the firing changed.\n";
    const std::string low = Bare(emit(*place.low, wide));
    const std::string high = Bare(emit(*place.high, wide));
    const std::string mark = "*M_" + place.name;
    s += "  if (" + mark + " < " + low + " || " + mark + " > " + high + ")\n";
    s += "    MarkingOutsideRange(ActionName, " + Quote(place.name) + ", " + mark + ", " + low +
         ", " + high + ");\n";
  }
  return s;
}

std::string CodeGenerator::labelFunctions() const {
  const ModelDescription& m = Model;
  if (m.labels.empty())
    return "";
  EmitContext c;
  c.place = [](int p) { return "StateLabels::Marking(state, " + std::to_string(p) + ")"; };
  c.rate = [](int, const EmitContext&) { return std::string("0.0"); };
  std::string s = "\n// The labels, on a stored state vector: place i is the 16-bit marking at\n"
                  "// offset 2 * i.\n"
                  "bool LabelHolds(int label, [[maybe_unused]] const char* state) {\n"
                  "  switch (label) {\n";
  for (size_t k = 0; k < m.labels.size(); k++) {
    std::string prelude;
    const std::string value = Bare(emitPure(*m.labels[k].condition, c, prelude));
    s += "  case " + std::to_string(k) + ": { // " + m.labels[k].name + "\n";
    std::string indented;
    for (char ch : prelude) {
      if (indented.empty() || indented.back() == '\n')
        indented += "  ";
      indented += ch;
    }
    s += indented + "    return " + value + ";\n  }\n";
  }
  s += "  default:\n    return false;\n  }\n}\n\n";
  s += "const char* const LabelNames[" + std::to_string(m.labels.size()) + "] = {";
  for (size_t k = 0; k < m.labels.size(); k++)
    s += (k ? ", " : "") + Quote(m.labels[k].name);
  s += "};\n";
  s += "const char* const LabelPlaces[" + std::to_string(m.places.size()) + "] = {";
  for (size_t i = 0; i < m.places.size(); i++)
    s += (i ? ", " : "") + Quote(m.places[i].name);
  s += "};\n";
  return s;
}

void CodeGenerator::emitStatements(std::string& out, const std::vector<StmtPtr>& statements,
                                   const EmitContext& context, int indent) const {
  for (const StmtPtr& st : statements) {
    if (st->kind == StmtKind::Let) {
      // A local value, computed before any place changes; whole numbers in
      // 64 bits.
      EmitContext wide = context;
      wide.wide = true;
      const char* type = st->value->type == ValueType::Bool  ? "bool"
                         : st->value->type == ValueType::Int ? "long long"
                                                             : "double";
      out += Indent(indent) + "[[maybe_unused]] const " + type + " V_" + st->target.resolved +
             " = " + Bare(emit(*st->value, wide)) + ";\n";
      continue;
    }
    if (st->kind == StmtKind::If) {
      out += Indent(indent) + "if (" + Bare(emit(*st->condition, context)) + ") {\n";
      emitStatements(out, st->thenBody, context, indent + 1);
      if (!st->elseBody.empty()) {
        out += Indent(indent) + "} else {\n";
        emitStatements(out, st->elseBody, context, indent + 1);
      }
      out += Indent(indent) + "}\n";
      continue;
    }
    // The marking is computed in 64 bits and checked before it is stored:
    // a place holds 0 to 32767 tokens.
    const std::string& place = Model.places[st->place].name;
    const std::string value = "static_cast<long long>(" + Bare(emit(*st->value, context)) + ")";
    const std::string tokens =
        st->op == "=" ? value : "*M_" + place + " " + st->op.substr(0, 1) + " " + value;
    out += Indent(indent) + "*M_" + place + " = CheckedMarking(" + tokens + ", ActionName, " +
           Quote(place) + ");\n";
  }
}

std::string CodeGenerator::sanSource() const {
  const ModelDescription& m = Model;
  const std::string cls = sanClass();
  const EmitContext ctx = activityContext();
  std::string s = banner("the stochastic activity network");
  s += "#include \"SAN.h\"\n\n#include <cmath>\n#include <cstdlib>\n#include <iostream>\n\n"
       "#include \"model/StandardErrors.h\"\n" +
       std::string(m.labels.empty() ? "" : "#include \"model/StateLabels.h\"\n") +
       "\n#include \"distributions/DistributionDefinition.h\"\n\nnamespace {\n\n";
  s += Helpers;
  s += labelFunctions();
  const std::string checks = globalChecks();
  if (!checks.empty())
    s += "\n// Requirements, initial markings and phases that read global variables,\n"
         "// checked before anything is built.\n"
         "void CheckGlobalVariables() {\n" +
         checks + "}\n";
  s += "\n} // namespace\n";

  for (const ActivityDescription& a : m.activities) {
    const std::string q = cls + "::" + a.name + "Activity::";
    s += "\n// " + a.name + "\n\n";
    std::string prelude;
    const std::string when = a.when ? Bare(emitPure(*a.when, ctx, prelude)) : "true";
    s += "bool " + q + "Enabled() {\n  PreviouslyEnabled = CurrentlyEnabled;\n" + prelude;
    s += "  CurrentlyEnabled = " + when + ";\n";
    s += "  return CurrentlyEnabled;\n}\n\n";
    prelude.clear();
    const std::string weight = a.weight ? Bare(emitPure(*a.weight, ctx, prelude)) : "1.0";
    s += "double " + q + "Weight() {\n" + prelude + "  return " + weight + ";\n}\n\n";
    const bool hasRate = a.timing == Timing::Exponential || a.timing == Timing::Erlang;
    prelude.clear();
    const std::string rate = hasRate ? Bare(emitPure(*a.rate, ctx, prelude)) : "0.0";
    s += "double " + q + "Rate() {\n" + prelude + "  return " + rate + ";\n}\n\n";
    s += "double " + q + "SampleDistribution() {\n";
    switch (a.timing) {
    case Timing::Exponential:
      s += "  return TheDistribution->Exponential(Rate());\n";
      break;
    case Timing::Deterministic:
      s += "  return TheDistribution->Deterministic(" + emit(*a.delay, ctx) + ");\n";
      break;
    case Timing::Erlang:
      s += "  const double phases = ErlangParamM();\n"
           "  return TheDistribution->Erlang(phases, phases / Rate());\n";
      break;
    default:
      s += "  return 0.0;\n";
    }
    s += "}\n\n";
    s += "double* " + q + "ReturnDistributionParameters() {\n";
    switch (a.timing) {
    case Timing::Exponential:
      s += "  Parameters[0] = Rate();\n  return Parameters;\n";
      break;
    case Timing::Deterministic:
      s += "  Parameters[0] = " + emit(*a.delay, ctx) + ";\n  return Parameters;\n";
      break;
    case Timing::Erlang:
      s += "  Parameters[0] = Rate();\n  Parameters[1] = ErlangParamM();\n  return Parameters;\n";
      break;
    default:
      s += "  return nullptr;\n";
    }
    s += "}\n\n";
    s += "int " + q + "Rank() {\n  return " +
         (a.rank ? "static_cast<int>(" + emit(*a.rank, ctx) + ")" : std::string("1")) + ";\n}\n\n";
    if (a.timing == Timing::Erlang)
      s += "double " + q + "ErlangParamM() {\n  return static_cast<double>(" +
           emit(*a.phases, ctx) + ");\n}\n\n";
    s += "BaseActionClass* " + q + "Fire() {\n";
    emitStatements(s, a.effect, ctx, 1);
    s += rangeChecks(a);
    s += "  return this;\n}\n\n";
    s += "void " + q + "LinkVariables() {\n";
    for (int p : a.slots)
      s += "  P_" + m.places[p].name + "->RegisterPointer(&M_" + m.places[p].name + ", nullptr);\n";
    s += "}\n";
  }

  // The constructor.
  s += "\n// The model\n\n" + cls + "::" + cls + "() {\n";
  if (!checks.empty())
    s += "  CheckGlobalVariables();\n";
  // Group ids: an activity outside any group is its own group; a group takes
  // the id of the place where its first member appears.
  std::vector<std::string> groupEntries;
  std::vector<int> groupIds(m.groups.size(), -1);
  std::vector<int> activityGroup(m.activities.size(), -1);
  for (size_t i = 0; i < m.activities.size(); i++) {
    const int g = m.activities[i].group;
    if (g < 0) {
      activityGroup[i] = static_cast<int>(groupEntries.size());
      groupEntries.push_back("&A_" + m.activities[i].name);
      continue;
    }
    if (groupIds[g] < 0) {
      groupIds[g] = static_cast<int>(groupEntries.size());
      groupEntries.push_back("&Grp_" + m.groups[g].name);
    }
    activityGroup[i] = groupIds[g];
  }
  for (size_t i = 0; i < m.activities.size(); i++) {
    const ActivityDescription& a = m.activities[i];
    s += "  A_" + a.name + ".ActivityInitialize(" + Quote(a.name) + ", " +
         std::to_string(activityGroup[i]) + ", " + DistributionName(a.timing) +
         ", DEFAULT_POLICY, " + std::to_string(a.slots.size()) + ", 2, false);\n";
  }
  for (const GroupDescription& g : m.groups) {
    s += "  Grp_" + g.name + ".initialize(" + std::to_string(g.members.size()) + ", " +
         Quote(g.name) + ");\n";
    for (int member : g.members)
      s += "  Grp_" + g.name + ".appendGroup(&A_" + m.activities[member].name + ");\n";
  }
  for (const PlaceDescription& p : m.places) {
    std::string initial;
    if (IsConstant(*p.initial)) {
      std::optional<Value> v = Evaluator::Fold(*p.initial);
      initial = v ? std::to_string(v->integer) : "0";
    } else {
      initial = "static_cast<short>(" + Bare(emit(*p.initial, ctx)) + ")";
    }
    s += "  P_" + p.name + " = new Place(" + Quote(p.name) + ", " + initial + ");\n";
  }
  const std::string numPlaces = std::to_string(m.places.size());
  const std::string numActions = std::to_string(m.activities.size());
  const std::string numGroups = std::to_string(groupEntries.size());
  s += "  BaseStateVariableClass* places[" + numPlaces + "] = {";
  for (size_t i = 0; i < m.places.size(); i++)
    s += (i ? ", P_" : "P_") + m.places[i].name;
  s += "};\n";
  if (!m.activities.empty()) {
    s += "  Activity* actions[" + numActions + "] = {";
    for (size_t i = 0; i < m.activities.size(); i++)
      s += (i ? ", &A_" : "&A_") + m.activities[i].name;
    s += "};\n  BaseGroupClass* groups[" + numGroups + "] = {";
    for (size_t i = 0; i < groupEntries.size(); i++)
      s += (i ? ", " : "") + groupEntries[i];
    s += "};\n";
  }
  s += "  initializeSANModelNow(" + Quote(m.name) + ", " + numPlaces + ", places, 0, nullptr, " +
       numActions + ", " + (m.activities.empty() ? "nullptr" : "actions") + ", " + numGroups +
       ", " + (m.activities.empty() ? "nullptr" : "groups") + ");\n";
  s += "\n  // The places each activity uses.\n";
  for (const ActivityDescription& a : m.activities)
    for (int p : a.slots)
      s += "  A_" + a.name + ".P_" + m.places[p].name + " = P_" + m.places[p].name + ";\n";
  s += "\n  // Output arcs: the places each activity changes.\n";
  for (const ActivityDescription& a : m.activities)
    for (int p : a.affected)
      s += "  AddAffectArc(P_" + m.places[p].name + ", &A_" + a.name + ");\n";
  s += "\n  // Input arcs: the places each activity's condition reads.\n";
  for (const ActivityDescription& a : m.activities)
    for (int p : a.enabling)
      s += "  AddEnableArc(P_" + m.places[p].name + ", &A_" + a.name + ");\n";
  if (!m.activities.empty())
    s += "\n  for (Activity* a : actions)\n    a->LinkVariables();\n";
  s += "}\n\n" + cls + "::~" + cls +
       "() {\n"
       "  for (int i = 0; i < numSVs - numReadOnlyPlaces; i++)\n    delete Places[i];\n}\n";
  if (!m.labels.empty())
    s += "\nconst StateLabels* " + cls + "::Labels() const {\n  static const StateLabels labels(" +
         std::to_string(m.labels.size()) + ", LabelNames, " + std::to_string(m.places.size()) +
         ", LabelPlaces, LabelHolds);\n  return &labels;\n}\n";
  return s;
}

// The reward model

std::string CodeGenerator::rewardModelHeader() const {
  const std::string guard = Guard("RewardPVModel.h");
  std::string h = banner("the reward model");
  h += "#ifndef " + guard + "\n#define " + guard + "\n\n#include \"reward/PVModel.h\"\n\n";
  h += "// The reward model over a new " + sanClass() + ", with the reward variables";
  if (Model.rewards.empty())
    h += " (none)";
  for (size_t i = 0; i < Model.rewards.size(); i++)
    h += std::string(i ? "," : "") + " \"" + Model.rewards[i].name + "\" (PV" + std::to_string(i) +
         ")";
  h += ".\nclass " + Model.name + "RewardPVModel : public PVModel {\npublic:\n";
  h += "  explicit " + Model.name + "RewardPVModel(bool expandTimes);\n";
  h += "  // Variable pv at the given time point; null for any other number.\n";
  h += "  PerformanceVariableNode* createPVNode(int pv, int timeIndex) override;\n};\n\n#endif\n";
  return h;
}

std::string CodeGenerator::rewardModelSource() const {
  const std::string cls = Model.name + "RewardPVModel";
  std::string s = banner("the reward model");
  s += "#include \"RewardPVModel.h\"\n\n#include \"RewardPVNodes.h\"\n#include \"SAN.h\"\n\n";
  s += cls + "::" + cls + "(bool expandTimes) {\n  ChildModel = new " + sanClass() + ";\n";
  s += "  DefineName(" + Quote(cls) + ");\n";
  s += "  CreatePVList(" + std::to_string(Model.rewards.size()) + ", expandTimes);\n";
  s += "  Initialize();\n}\n\n";
  s += "PerformanceVariableNode* " + cls + "::createPVNode(int pv, int timeIndex) {\n";
  if (Model.rewards.empty()) {
    s += "  (void)pv;\n  (void)timeIndex;\n  return nullptr;\n}\n";
    return s;
  }
  s += "  switch (pv) {\n";
  for (size_t i = 0; i < Model.rewards.size(); i++)
    s += "  case " + std::to_string(i) + ":\n    return new " + Model.name + "RewardPV" +
         std::to_string(i) + "(timeIndex);\n";
  s += "  default:\n    return nullptr;\n  }\n}\n";
  return s;
}

std::string CodeGenerator::nodesHeader() const {
  const std::string guard = Guard("RewardPVNodes.h");
  std::string h = banner("the reward variables");
  h += "#ifndef " + guard + "\n#define " + guard + "\n\n";
  h += "#include \"reward/ImpulseNodeClass.h\"\n#include \"reward/InstantOfTime.h\"\n"
       "#include \"reward/IntervalOfTime.h\"\n#include \"reward/PerformanceVariableNode.h\"\n"
       "#include \"reward/SteadyState.h\"\n\n";
  for (size_t i = 0; i < Model.rewards.size(); i++) {
    const RewardDescription& r = Model.rewards[i];
    const std::string pv = Model.name + "RewardPV" + std::to_string(i);
    h += "// PV" + std::to_string(i) + " \"" + r.name + "\".\n\n";
    h += "// Evaluates the rate reward on the \"" + Model.name + "\" instance it reads.\n";
    h += "class " + pv + "Worker : public " + WorkerBase(r.time) + " {\npublic:\n";
    h += "  // Written by the variable when it binds to the model.\n";
    h += "  BaseModelClass* Instance = nullptr;\n\n  " + pv + "Worker();\n";
    h += "  double Reward_Function() override;\n};\n\n";
    for (size_t k = 0; k < r.impulses.size(); k++) {
      const std::string imp = pv + "Impulse" + std::to_string(k);
      h += "// The impulse earned by each firing of " +
           Model.activities[r.impulses[k].activity].name + ".\n";
      h += "class " + imp + " : public ImpulseNodeClass {\npublic:\n";
      h += "  BaseModelClass* Instance = nullptr;\n\n  " + imp + "();\n";
      h += "  void EndImpulse(double) override {}\n  double Impulse_Function() override;\n";
      h += "  void AccumulateImpulse(double) override { Value += Impulse_Function(); }\n";
      h += "  void CurrentImpulse() override;\n  void ResetImpulse() override { Reset(); }\n";
      h += "  ImpulseNodeClass** CreateImpulseWorkers(int n) override;\n};\n\n";
    }
    h += "class " + pv + " : public PerformanceVariableNode {\npublic:\n";
    h += "  BaseModelClass* TheModelPtr = nullptr;\n";
    for (size_t k = 0; k < r.impulses.size(); k++)
      h += "  " + pv + "Impulse" + std::to_string(k) + " Impulse" + std::to_string(k) + ";\n";
    h += "\n  explicit " + pv + "(int timeIndex);\n  void CreateWorkerList() override;\n};\n\n";
  }
  h += "#endif\n";
  return h;
}

std::string CodeGenerator::nodesSource() const {
  const EmitContext ctx = rewardContext();
  std::string s = banner("the reward variables");
  s += "#include \"RewardPVNodes.h\"\n\n#include <cmath>\n\n#include \"SAN.h\"\n\n";
  s += "namespace {\n\n";
  s += Helpers;
  s += "\n} // namespace\n";
  const std::string san = sanClass();
  for (size_t i = 0; i < Model.rewards.size(); i++) {
    const RewardDescription& r = Model.rewards[i];
    const std::string pv = Model.name + "RewardPV" + std::to_string(i);
    s += "\n// " + r.name + "\n\n";
    s += pv + "Worker::" + pv + "Worker()";
    if (r.time == RewardTime::Interval || r.time == RewardTime::AverageInterval)
      s += std::string(" : IntervalOfTime(") +
           (r.time == RewardTime::AverageInterval ? "true" : "false") + ")";
    s += " {\n  NumReferences = 1;\n  References = new BaseModelClass** [1] { &Instance };\n}\n\n";
    s += "double " + pv + "Worker::Reward_Function() {\n";
    if (r.rate) {
      if (!r.placesRead.empty())
        s += "  const " + san + "* m = static_cast<" + san + "*>(Instance);\n";
      std::string prelude;
      const std::string value = Bare(emitPure(*r.rate, ctx, prelude));
      s += prelude + "  return " + value + ";\n}\n\n";
    } else {
      s += "  return 0.0;\n}\n\n";
    }
    for (size_t k = 0; k < r.impulses.size(); k++) {
      const std::string imp = pv + "Impulse" + std::to_string(k);
      s += imp + "::" + imp +
           "() {\n  MaxModels = 1;\n  NumReferences = 1;\n"
           "  References = new BaseModelClass** [1] { &Instance };\n}\n\n";
      std::vector<int> read;
      EmitContext counting = ctx;
      counting.place = [&](int p) {
        read.push_back(p);
        return ctx.place(p);
      };
      std::string prelude;
      const std::string value = emitPure(*r.impulses[k].value, counting, prelude);
      s += "double " + imp + "::Impulse_Function() {\n";
      if (!read.empty() || value.find("m->") != std::string::npos ||
          prelude.find("m->") != std::string::npos)
        s += "  const " + san + "* m = static_cast<" + san + "*>(Instance);\n";
      s += prelude + "  return " + Bare(value) + ";\n}\n\n";
      s += "void " + imp +
           "::CurrentImpulse() {\n  Value = Impulse_Function();\n"
           "  ValueSquared = Value * Value;\n}\n\n";
      s += "ImpulseNodeClass** " + imp +
           "::CreateImpulseWorkers(int n) {\n"
           "  ImpulseNodeClass** workers = new ImpulseNodeClass*[n];\n"
           "  for (int i = 0; i < n; i++)\n    workers[i] = new " +
           imp + ";\n  return workers;\n}\n\n";
    }
    s += pv + "::" + pv + "(int timeIndex) {\n  ModelSlot = &TheModelPtr;\n";
    auto times = [](const std::vector<double>& v) {
      std::string t;
      for (size_t j = 0; j < v.size(); j++)
        t += (j ? ", " : "") + RealLiteral(v[j]);
      return t;
    };
    const std::string count = std::to_string(r.start.size());
    bool perExperiment = false;
    for (size_t j = 0; j < r.start.size(); j++)
      perExperiment = perExperiment || r.startAt[j] || r.stopAt[j];
    if (!perExperiment) {
      s += "  static const double start[" + count + "] = {" + times(r.start) + "};\n";
      s += "  static const double stop[" + count + "] = {" + times(r.stop) + "};\n";
    } else {
      // Times that read global variables, computed for this experiment
      // (the model's constructor has checked them).
      EmitContext wide;
      wide.place = [](int) { return std::string("0"); };
      wide.rate = [](int, const EmitContext&) { return std::string("0.0"); };
      wide.wide = true;
      auto computed = [&](const std::vector<double>& v, const std::vector<ExprPtr>& at) {
        std::string t;
        for (size_t j = 0; j < v.size(); j++)
          t += (j ? ", " : "") + (at[j] ? "static_cast<double>(" + Bare(emit(*at[j], wide)) + ")"
                                        : RealLiteral(v[j]));
        return t;
      };
      s += "  const double start[" + count + "] = {" + computed(r.start, r.startAt) + "};\n";
      s += "  const double stop[" + count + "] = {" + computed(r.stop, r.stopAt) + "};\n";
    }
    s += "  Initialize(" + Quote(r.name) + ", " + RewardTypeName(r.time) + ", " + count +
         ", start, stop, timeIndex, " + std::to_string(r.impulses.size()) + ", 1, " +
         std::to_string(r.placesRead.size()) + ");\n";
    if (r.time == RewardTime::Steady)
      s += "  IsSteadyState = 1;\n";
    for (int p : r.placesRead)
      s += "  AddVariableDependency(" + Quote(Model.places[p].name) + ", " + Quote(Model.name) +
           ");\n";
    if (r.rate && r.placesRead.empty())
      s += "  AddModelDependency(" + Quote(Model.name) + ");\n";
    for (size_t k = 0; k < r.impulses.size(); k++)
      s += "  AddImpulse(" + Quote(Model.activities[r.impulses[k].activity].name) + ", " +
           Quote(Model.name) + ", &Impulse" + std::to_string(k) + ");\n";
    s += "}\n\nvoid " + pv +
         "::CreateWorkerList() {\n  for (int i = 0; i < NumWorkers; i++)\n"
         "    Workers[i] = new " +
         pv + "Worker;\n}\n";
  }
  return s;
}

// The study

std::string CodeGenerator::studyHeader() const {
  const std::string guard = Guard("Study.h");
  const std::string cls = Model.name + "Study";
  std::string h = banner("the study");
  h += "#ifndef " + guard + "\n#define " + guard + "\n\n#include \"driver/BaseStudyClass.h\"\n\n";
  h += "// " + std::to_string(Model.experiments) + " experiment" +
       (Model.experiments == 1 ? "" : "s") + " over the global variables";
  if (Model.globals.empty())
    h += " (none)";
  for (size_t i = 0; i < Model.globals.size(); i++)
    h += std::string(i ? "," : "") + " " + Model.globals[i].name + " (" +
         Model.globals[i].typeName + ")";
  h += ".\nclass " + cls + " : public BaseStudyClass {\npublic:\n";
  h += "  " + cls + "();\n  ~" + cls + "() override;\n\n";
  h += "  // Replaces the reward model made before, if any, by a new one.\n";
  h += "  PVModel* GetPVModel(bool expandTimes) override;\n  void SetGVs(int expNum) override;\n";
  h += "  void PrintGlobalValues(int expNum) override;\n  void* GetGVValue(char* name) override;\n";
  h += "  // value points at a value of the variable's declared type.\n";
  h += "  void OverrideGVValue(char* name, void* value) override;\n};\n\n#endif\n";
  return h;
}

std::string CodeGenerator::studySource() const {
  const std::string cls = Model.name + "Study";
  const auto& globals = Model.globals;
  std::string s = banner("the study");
  s += "#include \"Study.h\"\n\n#include <cstdlib>\n#include <cstring>\n#include <iostream>\n\n"
       "#include \"RewardPVModel.h\"\n#include \"SAN.h\"\n\n";
  for (const GlobalDescription& g : globals)
    s += g.typeName + " G_" + g.name + " = " +
         constant(Value::Int(0), g.typeName == "bool" ? "int" : g.typeName) + ";\n";
  if (!globals.empty()) {
    s += "\nnamespace {\n\n// The values of each global variable per experiment.\n";
    for (const GlobalDescription& g : globals) {
      s += "const " + g.typeName + " " + g.name + "Values[" + std::to_string(g.values.size()) +
           "] = {";
      for (size_t e = 0; e < g.values.size(); e++)
        s += (e ? ", " : "") + constant(g.values[e], g.typeName);
      s += "};\n";
    }
    s += "\n} // namespace\n";
  }
  s += "\n" + cls + "::" + cls + "() {\n";
  s += "  NumGVs = " + std::to_string(globals.size()) + ";\n";
  s += "  NumExps = " + std::to_string(Model.experiments) + ";\n";
  s += "  GVNames = new char*[NumGVs];\n  GVTypes = new char*[NumGVs];\n";
  for (size_t i = 0; i < globals.size(); i++) {
    s += "  GVNames[" + std::to_string(i) + "] = strdup(" + Quote(globals[i].name) + ");\n";
    s += "  GVTypes[" + std::to_string(i) + "] = strdup(" + Quote(globals[i].typeName) + ");\n";
  }
  s += "}\n\n" + cls + "::~" + cls +
       "() {\n  delete CurrentPVModel;\n  CurrentPVModel = nullptr;\n}\n\n";
  s += "PVModel* " + cls +
       "::GetPVModel(bool expandTimes) {\n  delete CurrentPVModel;\n"
       "  CurrentPVModel = nullptr;\n  CurrentPVModel = new " +
       Model.name + "RewardPVModel(expandTimes);\n  return CurrentPVModel;\n}\n\n";
  s += "void " + cls + "::SetGVs(int expNum) {\n  CheckExperimentNumber(expNum);\n";
  for (const GlobalDescription& g : globals)
    s += "  G_" + g.name + " = " + g.name + "Values[expNum];\n";
  s += "}\n\n";
  s += "void " + cls + "::PrintGlobalValues(int expNum) {\n";
  s += "  if (NumGVs == 0) {\n    std::cout << \"There are no global variables.\" << std::endl;\n"
       "    return;\n  }\n  SetGVs(expNum);\n";
  s += "  std::cout << \"The Global Variable values for experiment \" << GetExpName(expNum)\n"
       "            << \" are:\" << std::endl;\n";
  for (const GlobalDescription& g : globals)
    s += "  std::cout << " + Quote(g.name + "\t" + g.typeName + "\t") + " << G_" + g.name +
         " << std::endl;\n";
  s += "}\n\n";
  s += "void* " + cls + "::GetGVValue(char* name) {\n";
  for (const GlobalDescription& g : globals)
    s += "  if (std::strcmp(name, " + Quote(g.name) + ") == 0)\n    return &G_" + g.name + ";\n";
  s += "  std::cerr << \"!! " + cls +
       "::GetGVValue: Global Variable \" << name << \" does not "
       "exist.\"\n            << std::endl;\n  return nullptr;\n}\n\n";
  s += "void " + cls + "::OverrideGVValue(char* name, void* value) {\n";
  for (const GlobalDescription& g : globals)
    s += "  if (std::strcmp(name, " + Quote(g.name) + ") == 0) {\n    G_" + g.name +
         " = *static_cast<" + g.typeName + "*>(value);\n    return;\n  }\n";
  if (globals.empty())
    s += "  (void)value;\n";
  s += "  std::cerr << \"!! " + cls +
       "::OverrideGVValue: Global Variable \" << name\n"
       "            << \" does not exist.\" << std::endl;\n}\n\n";
  s += "BaseStudyClass* GenerateStudy() {\n  if (GlobalStudyPtr == nullptr)\n"
       "    GlobalStudyPtr = new " +
       cls + ";\n  return GlobalStudyPtr;\n}\n\n";
  s += "void DestructStudy() {\n  delete GlobalStudyPtr;\n  GlobalStudyPtr = nullptr;\n}\n";
  return s;
}

} // namespace lang
