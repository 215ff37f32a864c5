#include "lang/Parser.h"

#include <algorithm>

#include "lang/Lexer.h"

namespace lang {

namespace {

const char* const DeclarationKeywords[] = {"model",   "global",   "study", "place",
                                           "let",     "activity", "group", "reward",
                                           "require", "for",      "label"};

const char* const TypeNames[] = {"bool", "char", "short", "int", "long", "float", "double"};

const char* const ReservedWords[] = {
    "model",         "global",  "study",         "place",  "let",     "activity", "group",
    "reward",        "require", "for",           "in",     "if",      "else",     "exponential",
    "deterministic", "erlang",  "instantaneous", "weight", "rank",    "when",     "preselect",
    "postselect",    "rate",    "impulse",       "steady", "instant", "at",       "interval",
    "average",       "true",    "false",         "bool",   "char",    "short",    "int",
    "long",          "float",   "double",        "label"};

} // namespace

bool Parser::IsReserved(std::string_view word) {
  return std::find(std::begin(ReservedWords), std::end(ReservedWords), word) !=
         std::end(ReservedWords);
}

Parser::Parser(const SourceFile& file, Diagnostics& diagnostics) : Diags(diagnostics) {
  Lexer lexer(file, diagnostics);
  Tokens = lexer.tokens();
}

const Token& Parser::peek(size_t ahead) const {
  return Tokens[std::min(Pos + ahead, Tokens.size() - 1)];
}

const Token& Parser::next() {
  const Token& t = Tokens[Pos];
  if (Pos + 1 < Tokens.size())
    Pos++;
  return t;
}

bool Parser::acceptSymbol(const char* s) {
  if (!atSymbol(s))
    return false;
  next();
  return true;
}

bool Parser::acceptKeyword(const char* s) {
  if (!atKeyword(s))
    return false;
  next();
  return true;
}

std::string Parser::Describe(const Token& token) {
  if (token.kind == TokenKind::End)
    return "the end of the file";
  return "'" + token.text + "'";
}

void Parser::fail(const Token& at, const std::string& message) {
  SourceLocation location = at.location;
  if (at.kind == TokenKind::End)
    location.length = 1;
  Diags.error(location, message);
  throw SyntaxError{};
}

const Token& Parser::expectSymbol(const char* s, const std::string& context) {
  if (!atSymbol(s))
    fail(peek(), "expected '" + std::string(s) + "' " + context + ", found " + Describe(peek()));
  return next();
}

void Parser::expectKeyword(const char* s, const std::string& context) {
  if (!atKeyword(s))
    fail(peek(), "expected '" + std::string(s) + "' " + context + ", found " + Describe(peek()));
  next();
}

void Parser::enter(const Token& at) {
  if (++Depth > MaxDepth) {
    Depth = 0; // the error unwinds every level
    fail(at, "nested too deeply (more than " + std::to_string(MaxDepth) + " levels)");
  }
}

bool Parser::atDeclarationStart() const {
  if (peek().kind != TokenKind::Name)
    return false;
  for (const char* k : DeclarationKeywords) {
    if (peek().text == k)
      return true;
  }
  return false;
}

// Declarations

std::vector<DeclPtr> Parser::parseModel() {
  std::vector<DeclPtr> out;
  parseDeclarations(out, false);
  return out;
}

void Parser::parseDeclarations(std::vector<DeclPtr>& out, bool insideFor) {
  while (peek().kind != TokenKind::End && !(insideFor && atSymbol("}"))) {
    const size_t start = Pos;
    const int depth = Depth;
    try {
      parseDeclaration(out);
    } catch (const SyntaxError&) {
      Depth = depth;
      if (Diags.errorCount() >= 100)
        return;
      synchronize(insideFor, start);
    }
  }
}

// Skips to the next declaration keyword outside braces (or to the '}' that
// closes the enclosing repetition), always past at least one token.
void Parser::synchronize(bool insideFor, size_t errorPos) {
  int depth = 0;
  if (Pos == errorPos)
    next();
  while (peek().kind != TokenKind::End) {
    if (depth == 0 && atDeclarationStart())
      return;
    if (atSymbol("{")) {
      depth++;
    } else if (atSymbol("}")) {
      if (depth == 0 && insideFor)
        return;
      if (depth > 0)
        depth--;
    }
    next();
  }
}

void Parser::parseDeclaration(std::vector<DeclPtr>& out) {
  const Token& t = peek();
  if (t.isName("model"))
    parseModelDecl(out);
  else if (t.isName("global"))
    parseGlobal(out);
  else if (t.isName("study"))
    parseStudy(out);
  else if (t.isName("place"))
    parsePlace(out);
  else if (t.isName("let"))
    parseLet(out);
  else if (t.isName("activity"))
    parseActivity(out);
  else if (t.isName("group"))
    parseGroup(out);
  else if (t.isName("reward"))
    parseReward(out);
  else if (t.isName("require"))
    parseRequire(out);
  else if (t.isName("for"))
    parseFor(out);
  else if (t.isName("label"))
    parseLabel(out);
  else
    fail(t, "expected a declaration (model, global, study, place, let, activity, group, reward, "
            "require, for or label), found " +
                Describe(t));
}

std::string Parser::parsePlainName(const std::string& what, SourceLocation& location) {
  const Token& t = peek();
  if (t.kind != TokenKind::Name)
    fail(t, "expected " + what + ", found " + Describe(t));
  if (IsReserved(t.text))
    fail(t, "'" + t.text + "' is a reserved word and cannot be used as " + what);
  location = t.location;
  return next().text;
}

NameTemplate Parser::parseName(const std::string& what) {
  NameTemplate name;
  const Token& first = peek();
  if (first.kind != TokenKind::Name)
    fail(first, "expected " + what + ", found " + Describe(first));
  if (IsReserved(first.text))
    fail(first, "'" + first.text + "' is a reserved word and cannot be used as " + what);
  name.location = first.location;
  size_t end = first.end;
  name.parts.push_back({first.text, nullptr});
  next();
  // Index parts: a '{' touching the name, an expression, '}', and possibly
  // more name characters touching the '}'.
  while (atSymbol("{") && peek().begin == end) {
    const Token& open = next();
    ExprPtr index;
    try {
      index = parseExpression();
    } catch (const SyntaxError&) {
      Diags.note(open.location, "a '{' directly after a name starts an index, as in Pm{i}; put a "
                                "space before a '{' that begins a block");
      throw;
    }
    if (!atSymbol("}")) {
      Diags.error(peek().location, "expected '}' to close the index of the name '" +
                                       name.spelling() + "{...}', found " + Describe(peek()));
      Diags.note(open.location, "a '{' directly after a name starts an index, as in Pm{i}; put a "
                                "space before a '{' that begins a block");
      throw SyntaxError{};
    }
    end = next().end;
    name.parts.push_back({"", std::move(index)});
    if ((peek().kind == TokenKind::Name || peek().kind == TokenKind::Integer) &&
        peek().begin == end) {
      name.parts.push_back({peek().text, nullptr});
      end = next().end;
    }
  }
  name.location.length = static_cast<int>(end - first.begin);
  if (name.isPlain()) {
    std::string whole;
    for (const auto& p : name.parts)
      whole += p.text;
    name.resolved = whole;
  }
  return name;
}

void Parser::parseModelDecl(std::vector<DeclPtr>& out) {
  auto d = std::make_unique<Decl>();
  d->kind = DeclKind::Model;
  d->location = next().location;
  SourceLocation location;
  std::string name = parsePlainName("the model's name", location);
  d->name = NameTemplate::Plain(name, location);
  out.push_back(std::move(d));
}

void Parser::parseGlobal(std::vector<DeclPtr>& out) {
  const SourceLocation keyword = next().location;
  const Token& type = peek();
  if (type.kind != TokenKind::Name ||
      std::find_if(std::begin(TypeNames), std::end(TypeNames),
                   [&](const char* n) { return type.text == n; }) == std::end(TypeNames))
    fail(type, "expected a type (bool, char, short, int, long, float or double) after 'global', "
               "found " +
                   Describe(type));
  const std::string typeName = type.text;
  const SourceLocation typeLocation = type.location;
  next();
  do {
    auto d = std::make_unique<Decl>();
    d->kind = DeclKind::Global;
    d->location = keyword;
    d->typeName = typeName;
    d->typeLocation = typeLocation;
    d->name = parseName("the name of a global variable");
    if (acceptSymbol("="))
      d->value = parseExpression();
    out.push_back(std::move(d));
  } while (acceptSymbol(","));
}

void Parser::parseStudy(std::vector<DeclPtr>& out) {
  auto d = std::make_unique<Decl>();
  d->kind = DeclKind::Study;
  d->location = next().location;
  expectSymbol("{", "after 'study'");
  while (!atSymbol("}")) {
    if (peek().kind == TokenKind::End)
      fail(peek(), "expected '}' to close the study, found " + Describe(peek()));
    acceptSymbol(";");
    if (atSymbol("}"))
      break;
    StudyEntry entry;
    entry.variable = parseName("the name of a global variable");
    expectSymbol("=", "after '" + entry.variable.spelling() + "' in the study");
    do {
      StudyItem item;
      item.first = parseExpression();
      if (acceptSymbol(".."))
        item.last = parseExpression();
      entry.items.push_back(std::move(item));
    } while (acceptSymbol(","));
    d->entries.push_back(std::move(entry));
  }
  next();
  out.push_back(std::move(d));
}

void Parser::parsePlace(std::vector<DeclPtr>& out) {
  const SourceLocation keyword = next().location;
  do {
    auto d = std::make_unique<Decl>();
    d->kind = DeclKind::Place;
    d->location = keyword;
    d->name = parseName("the name of a place");
    if (acceptSymbol("="))
      d->value = parseExpression();
    if (acceptKeyword("in")) {
      d->from = parseExpression();
      expectSymbol("..", "in the range of place '" + d->name.spelling() + "' (as in 0..5)");
      d->to = parseExpression();
    }
    out.push_back(std::move(d));
  } while (acceptSymbol(","));
}

void Parser::parseLet(std::vector<DeclPtr>& out) {
  auto d = std::make_unique<Decl>();
  d->location = next().location;
  d->name = parseName("the name of a definition");
  if (acceptSymbol("[")) {
    d->kind = DeclKind::Table;
    d->from = parseExpression();
    expectSymbol("..", "in the index range of table '" + d->name.spelling() + "'");
    d->to = parseExpression();
    expectSymbol("]", "after the index range of table '" + d->name.spelling() + "'");
    expectSymbol("=", "after the index range of table '" + d->name.spelling() + "'");
    do
      d->values.push_back(parseExpression());
    while (acceptSymbol(","));
  } else {
    d->kind = DeclKind::Let;
    expectSymbol("=", "after the name of definition '" + d->name.spelling() + "'");
    d->value = parseExpression();
    if (atSymbol(","))
      fail(peek(), "a definition has one value; for a list of values declare a table, as in "
                   "let T[1..3] = a, b, c");
  }
  out.push_back(std::move(d));
}

void Parser::parseTiming(Decl& d) {
  const Token& t = peek();
  d.timingLocation = t.location;
  const std::string context = "of activity '" + d.name.spelling() + "'";
  if (acceptKeyword("exponential")) {
    d.timing = Timing::Exponential;
    expectSymbol("(", "after 'exponential'");
    d.rate = parseExpression();
    expectSymbol(")", "after the rate " + context);
  } else if (acceptKeyword("deterministic")) {
    d.timing = Timing::Deterministic;
    expectSymbol("(", "after 'deterministic'");
    d.delay = parseExpression();
    expectSymbol(")", "after the delay " + context);
  } else if (acceptKeyword("erlang")) {
    d.timing = Timing::Erlang;
    expectSymbol("(", "after 'erlang'");
    d.rate = parseExpression();
    expectSymbol(",", "between the rate and the number of phases " + context);
    d.phases = parseExpression();
    expectSymbol(")", "after the number of phases " + context);
  } else if (acceptKeyword("instantaneous")) {
    d.timing = Timing::Instantaneous;
  } else {
    fail(t, "expected the distribution " + context +
                ": exponential(rate), deterministic(delay), erlang(rate, phases) or "
                "instantaneous; found " +
                Describe(t));
  }
}

void Parser::parseActivity(std::vector<DeclPtr>& out) {
  auto d = std::make_unique<Decl>();
  d->kind = DeclKind::Activity;
  d->location = next().location;
  d->name = parseName("the name of an activity");
  parseTiming(*d);
  const std::string context = "of activity '" + d->name.spelling() + "'";
  for (;;) {
    ExprPtr* clause = nullptr;
    const Token& t = peek();
    if (t.isName("weight"))
      clause = &d->weight;
    else if (t.isName("rank"))
      clause = &d->rank;
    else if (t.isName("when"))
      clause = &d->when;
    else
      break;
    if (*clause)
      fail(t, "second '" + t.text + "' " + context);
    next();
    *clause = parseExpression();
  }
  if (atSymbol("{")) {
    d->hasEffect = true;
    d->effectLocation = peek().location;
    parseBlock(d->effect, "the effect " + context);
  } else if (!(peek().kind == TokenKind::End || atSymbol("}") || atDeclarationStart())) {
    fail(peek(), "expected '{' to begin the effect " + context +
                     " (or 'weight', 'rank' or "
                     "'when'), found " +
                     Describe(peek()));
  }
  out.push_back(std::move(d));
}

void Parser::parseGroup(std::vector<DeclPtr>& out) {
  auto d = std::make_unique<Decl>();
  d->kind = DeclKind::Group;
  d->location = next().location;
  d->name = parseName("the name of a group");
  if (acceptKeyword("postselect"))
    d->preselect = false;
  else
    acceptKeyword("preselect");
  expectSymbol("{", "before the activities of group '" + d->name.spelling() + "'");
  do {
    if (atSymbol("}"))
      break;
    d->members.push_back(parseName("the name of an activity"));
  } while (acceptSymbol(",") || peek().kind == TokenKind::Name);
  expectSymbol("}", "after the activities of group '" + d->name.spelling() + "'");
  out.push_back(std::move(d));
}

void Parser::parseRewardTime(Decl& d) {
  const Token& t = peek();
  if (acceptKeyword("steady")) {
    d.time = RewardTime::Steady;
  } else if (acceptKeyword("instant")) {
    d.time = RewardTime::Instant;
    expectKeyword("at", "after 'instant'");
    do
      d.times.push_back(parseExpression());
    while (acceptSymbol(","));
  } else if (atKeyword("interval") || atKeyword("average")) {
    d.time = RewardTime::Interval;
    if (acceptKeyword("average")) {
      d.time = RewardTime::AverageInterval;
      expectKeyword("interval", "after 'average'");
    } else {
      next();
    }
    do {
      ExprPtr from = parseExpression();
      expectSymbol("..", "between the start and the end of an interval");
      ExprPtr to = parseExpression();
      d.intervals.emplace_back(std::move(from), std::move(to));
    } while (acceptSymbol(","));
  } else {
    fail(t, "expected the time of reward '" + d.name.spelling() +
                "': steady, instant at <times>, interval <start>..<end> or average interval "
                "<start>..<end>; found " +
                Describe(t));
  }
}

void Parser::parseRewardClause(Decl& d) {
  RewardClause clause;
  clause.location = peek().location;
  if (acceptKeyword("rate")) {
    clause.value = parseExpression();
  } else if (acceptKeyword("impulse")) {
    clause.impulse = true;
    clause.activity = parseName("the name of an activity");
    clause.value = parseExpression();
  } else {
    fail(peek(), "expected 'rate <expression>' or 'impulse <activity> <expression>' in reward '" +
                     d.name.spelling() + "', found " + Describe(peek()));
  }
  d.clauses.push_back(std::move(clause));
}

void Parser::parseReward(std::vector<DeclPtr>& out) {
  auto d = std::make_unique<Decl>();
  d->kind = DeclKind::Reward;
  d->location = next().location;
  d->name = parseName("the name of a reward variable");
  parseRewardTime(*d);
  if (acceptSymbol("{")) {
    while (!acceptSymbol("}")) {
      if (acceptSymbol(";"))
        continue;
      parseRewardClause(*d);
    }
  } else {
    parseRewardClause(*d);
  }
  out.push_back(std::move(d));
}

void Parser::parseRequire(std::vector<DeclPtr>& out) {
  auto d = std::make_unique<Decl>();
  d->kind = DeclKind::Require;
  d->location = next().location;
  d->value = parseExpression();
  out.push_back(std::move(d));
}

void Parser::parseLabel(std::vector<DeclPtr>& out) {
  auto d = std::make_unique<Decl>();
  d->kind = DeclKind::Label;
  d->location = next().location;
  d->name = parseName("the name of a label");
  expectSymbol("=", "after the name of label '" + d->name.spelling() + "' (label " +
                        d->name.spelling() + " = <condition>)");
  d->value = parseExpression();
  out.push_back(std::move(d));
}

void Parser::parseFor(std::vector<DeclPtr>& out) {
  auto d = std::make_unique<Decl>();
  d->kind = DeclKind::For;
  const Token& keyword = next();
  d->location = keyword.location;
  d->variable = parsePlainName("the name of the repetition's variable", d->variableLocation);
  expectKeyword("in", "after the repetition's variable");
  d->from = parseExpression();
  expectSymbol("..", "in the range of the repetition");
  d->to = parseExpression();
  expectSymbol("{", "to begin the body of the repetition");
  enter(keyword);
  parseDeclarations(d->body, true);
  leave();
  expectSymbol("}", "to end the body of the repetition");
  out.push_back(std::move(d));
}

// Statements

void Parser::parseBlock(std::vector<StmtPtr>& out, const std::string& context) {
  const Token& open = expectSymbol("{", "to begin " + context);
  enter(open);
  while (!atSymbol("}")) {
    if (peek().kind == TokenKind::End)
      fail(peek(), "expected '}' to end " + context + ", found " + Describe(peek()));
    parseStatement(out);
  }
  next();
  leave();
}

void Parser::parseStatement(std::vector<StmtPtr>& out) {
  const Token& t = peek();
  if (acceptSymbol(";"))
    return;
  if (atSymbol("{")) {
    parseBlock(out, "a block");
    return;
  }
  if (t.isName("if")) {
    auto s = std::make_unique<Stmt>();
    s->kind = StmtKind::If;
    s->location = next().location;
    enter(t);
    expectSymbol("(", "after 'if'");
    s->condition = parseExpression();
    expectSymbol(")", "after the condition of 'if'");
    parseStatement(s->thenBody);
    if (acceptKeyword("else"))
      parseStatement(s->elseBody);
    leave();
    out.push_back(std::move(s));
    return;
  }
  if (t.isName("for")) {
    auto s = std::make_unique<Stmt>();
    s->kind = StmtKind::For;
    s->location = next().location;
    s->variable = parsePlainName("the name of the repetition's variable", s->variableLocation);
    expectKeyword("in", "after the repetition's variable");
    s->from = parseExpression();
    expectSymbol("..", "in the range of the repetition");
    s->to = parseExpression();
    parseBlock(s->body, "the body of the repetition");
    out.push_back(std::move(s));
    return;
  }
  if (t.isName("let")) {
    auto s = std::make_unique<Stmt>();
    s->kind = StmtKind::Let;
    s->location = next().location;
    s->target = parseName("the name of a local value");
    expectSymbol("=", "after the name of local value '" + s->target.spelling() + "'");
    s->value = parseExpression();
    acceptSymbol(";");
    out.push_back(std::move(s));
    return;
  }
  if (t.kind != TokenKind::Name || IsReserved(t.text))
    fail(t, "expected an assignment to a place (Name = ..., Name += ... or Name -= ...), 'let', "
            "'if' or 'for', found " +
                Describe(t));
  auto s = std::make_unique<Stmt>();
  s->kind = StmtKind::Assign;
  s->location = t.location;
  s->target = parseName("the name of a place");
  const Token& op = peek();
  if (!(op.isSymbol("=") || op.isSymbol("+=") || op.isSymbol("-=")))
    fail(op,
         "expected '=', '+=' or '-=' after '" + s->target.spelling() + "', found " + Describe(op));
  s->op = next().text;
  s->value = parseExpression();
  acceptSymbol(";");
  out.push_back(std::move(s));
}

// Expressions

ExprPtr Parser::parseStandaloneExpression() {
  try {
    ExprPtr e = parseExpression();
    if (peek().kind != TokenKind::End)
      fail(peek(), "unexpected " + Describe(peek()) + " after the expression");
    return e;
  } catch (const SyntaxError&) {
    return nullptr;
  }
}

ExprPtr Parser::measured(ExprPtr e, const Token& at) {
  int height = 0;
  for (const ExprPtr& o : e->operands)
    if (o)
      height = std::max(height, o->height);
  e->height = height + 1;
  if (e->height > MaxHeight)
    fail(at, "expression too long or nested too deeply (more than " + std::to_string(MaxHeight) +
                 " operations in a row)");
  return e;
}

ExprPtr Parser::binary(const Token& op, ExprPtr left, ExprPtr right) {
  auto e = std::make_unique<Expr>();
  e->kind = ExprKind::Binary;
  e->location = op.location;
  e->op = op.text;
  e->operands.push_back(std::move(left));
  e->operands.push_back(std::move(right));
  return measured(std::move(e), op);
}

ExprPtr Parser::parseExpression() {
  const Token& start = peek();
  enter(start);
  ExprPtr condition = parseOr();
  if (atSymbol("?")) {
    auto e = std::make_unique<Expr>();
    e->kind = ExprKind::Conditional;
    e->location = next().location;
    e->operands.push_back(std::move(condition));
    e->operands.push_back(parseExpression());
    expectSymbol(":", "in the conditional expression 'condition ? a : b'");
    e->operands.push_back(parseExpression());
    leave();
    return measured(std::move(e), start);
  }
  leave();
  return condition;
}

ExprPtr Parser::parseOr() {
  ExprPtr left = parseAnd();
  while (atSymbol("||")) {
    const Token& op = next();
    left = binary(op, std::move(left), parseAnd());
  }
  return left;
}

ExprPtr Parser::parseAnd() {
  ExprPtr left = parseEquality();
  while (atSymbol("&&")) {
    const Token& op = next();
    left = binary(op, std::move(left), parseEquality());
  }
  return left;
}

ExprPtr Parser::parseEquality() {
  ExprPtr left = parseComparison();
  while (atSymbol("==") || atSymbol("!=")) {
    const Token& op = next();
    left = binary(op, std::move(left), parseComparison());
  }
  if (atSymbol("="))
    fail(peek(), "'=' assigns; to compare, write '=='");
  return left;
}

ExprPtr Parser::parseComparison() {
  ExprPtr left = parseSum();
  while (atSymbol("<") || atSymbol("<=") || atSymbol(">") || atSymbol(">=")) {
    const Token& op = next();
    left = binary(op, std::move(left), parseSum());
  }
  return left;
}

ExprPtr Parser::parseSum() {
  ExprPtr left = parseProduct();
  while (atSymbol("+") || atSymbol("-")) {
    const Token& op = next();
    left = binary(op, std::move(left), parseProduct());
  }
  return left;
}

ExprPtr Parser::parseProduct() {
  ExprPtr left = parseUnary();
  while (atSymbol("*") || atSymbol("/")) {
    const Token& op = next();
    left = binary(op, std::move(left), parseUnary());
  }
  return left;
}

ExprPtr Parser::parseUnary() {
  if (atSymbol("-") || atSymbol("!")) {
    const Token& op = next();
    enter(op);
    auto e = std::make_unique<Expr>();
    e->kind = ExprKind::Unary;
    e->location = op.location;
    e->op = op.text;
    e->operands.push_back(parseUnary());
    leave();
    return measured(std::move(e), op);
  }
  return parsePrimary();
}

ExprPtr Parser::parsePrimary() {
  const Token& t = peek();
  if (t.kind == TokenKind::Integer) {
    next();
    return MakeLiteral(Value::Int(t.integer), t.location);
  }
  if (t.kind == TokenKind::Real) {
    next();
    return MakeLiteral(Value::Real(t.real), t.location);
  }
  if (t.isName("true") || t.isName("false")) {
    next();
    return MakeLiteral(Value::Bool(t.text == "true"), t.location);
  }
  if (atSymbol("(")) {
    next();
    ExprPtr e = parseExpression();
    expectSymbol(")", "to close the parenthesis");
    return e;
  }
  if (t.kind == TokenKind::Name && (!IsReserved(t.text) || t.text == "rate")) {
    if (peek(1).isSymbol("(")) {
      // A function call: rate(activity), min(a, b), ...
      auto e = std::make_unique<Expr>();
      e->kind = ExprKind::Call;
      e->location = t.location;
      e->name = NameTemplate::Plain(t.text, t.location);
      next();
      next();
      if (!atSymbol(")")) {
        do
          e->operands.push_back(parseExpression());
        while (acceptSymbol(","));
      }
      expectSymbol(")", "after the arguments of '" + t.text + "'");
      return measured(std::move(e), t);
    }
    if (t.text == "rate")
      fail(peek(1), "expected '(' after 'rate': rate(activity) is the activity's rate");
    auto e = std::make_unique<Expr>();
    e->kind = ExprKind::Name;
    e->location = t.location;
    e->name = parseName("a name");
    e->location = e->name.location;
    if (atSymbol("[")) {
      e->kind = ExprKind::Index;
      next();
      e->operands.push_back(parseExpression());
      expectSymbol("]", "after the index of table '" + e->name.spelling() + "'");
      return measured(std::move(e), t);
    }
    return e;
  }
  if (t.kind == TokenKind::Name)
    fail(t, "expected an expression, found the reserved word '" + t.text + "'");
  fail(t, "expected an expression, found " + Describe(t));
}

} // namespace lang
