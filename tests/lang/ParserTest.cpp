// The parser: operator precedence and associativity, the shape of
// declarations, syntax errors (one per declaration, at the right place) and
// the nesting limit.

#include <gtest/gtest.h>

#include <string>

#include "LangTestSupport.h"
#include "lang/Parser.h"

using namespace lang;

namespace {

// The tree with every operation in parentheses.
std::string Shape(const Expr& e) {
  switch (e.kind) {
  case ExprKind::Literal:
    return e.literal.toString();
  case ExprKind::Name:
    return e.name.spelling();
  case ExprKind::Index:
    return e.name.spelling() + "[" + Shape(*e.operands[0]) + "]";
  case ExprKind::Unary:
    return "(" + e.op + Shape(*e.operands[0]) + ")";
  case ExprKind::Binary:
    return "(" + Shape(*e.operands[0]) + " " + e.op + " " + Shape(*e.operands[1]) + ")";
  case ExprKind::Conditional:
    return "(" + Shape(*e.operands[0]) + " ? " + Shape(*e.operands[1]) + " : " +
           Shape(*e.operands[2]) + ")";
  case ExprKind::Call: {
    std::string s = e.name.spelling() + "(";
    for (size_t i = 0; i < e.operands.size(); i++)
      s += (i ? ", " : "") + Shape(*e.operands[i]);
    return s + ")";
  }
  }
  return "?";
}

std::string ParseShape(const std::string& text) {
  SourceFile file("e", text);
  Diagnostics diagnostics(file);
  Parser parser(file, diagnostics);
  ExprPtr e = parser.parseStandaloneExpression();
  if (!e)
    return "error: " + diagnostics.sorted()[0].text;
  return Shape(*e);
}

} // namespace

TEST(ParserTest, OperatorsBindByPrecedenceAndFromTheLeft) {
  EXPECT_EQ(ParseShape("1 + 2 * 3"), "(1 + (2 * 3))");
  EXPECT_EQ(ParseShape("a - b - c"), "((a - b) - c)");
  EXPECT_EQ(ParseShape("a / b * c"), "((a / b) * c)");
  EXPECT_EQ(ParseShape("-a * b"), "((-a) * b)");
  EXPECT_EQ(ParseShape("- - a"), "(-(-a))");
  EXPECT_EQ(ParseShape("a + b < c * d"), "((a + b) < (c * d))");
  EXPECT_EQ(ParseShape("a < b == c > d"), "((a < b) == (c > d))");
  EXPECT_EQ(ParseShape("a || b && !c"), "(a || (b && (!c)))");
  EXPECT_EQ(ParseShape("a == 1 && b != 2 || c"), "(((a == 1) && (b != 2)) || c)");
  EXPECT_EQ(ParseShape("a ? b : c ? d : e"), "(a ? b : (c ? d : e))");
  EXPECT_EQ(ParseShape("a > 0 ? x + 1 : y"), "((a > 0) ? (x + 1) : y)");
  EXPECT_EQ(ParseShape("(a + b) * c"), "((a + b) * c)");
  EXPECT_EQ(ParseShape("min(a, b + 1) * T[i + 1]"), "(min(a, (b + 1)) * T[(i + 1)])");
  EXPECT_EQ(ParseShape("rate(Serve) / 2"), "(rate(Serve) / 2)");
  EXPECT_EQ(ParseShape("P{i}_{j + 1} + 1"), "(P{...}_{...} + 1)");
}

TEST(ParserTest, ExpressionErrorsNameWhatWasFound) {
  EXPECT_EQ(ParseShape("a +"), "error: expected an expression, found the end of the file");
  EXPECT_EQ(ParseShape("(a + b"), "error: expected ')' to close the parenthesis, found the end of "
                                  "the file");
  EXPECT_EQ(ParseShape("a b"), "error: unexpected 'b' after the expression");
  EXPECT_EQ(ParseShape("a = b"), "error: '=' assigns; to compare, write '=='");
  EXPECT_EQ(ParseShape("place + 1"), "error: expected an expression, found the reserved word "
                                     "'place'");
  EXPECT_EQ(ParseShape("rate + 1"), "error: expected '(' after 'rate': rate(activity) is the "
                                    "activity's rate");
}

TEST(ParserTest, DeeplyNestedInputIsRefusedNotOverflowingTheStack) {
  const std::string deep = std::string(100000, '(') + "1" + std::string(100000, ')');
  EXPECT_EQ(ParseShape(deep), "error: nested too deeply (more than 200 levels)");
  EXPECT_EQ(ParseShape(std::string(100000, '-') + "1"),
            "error: nested too deeply (more than 200 levels)");
  std::string sum = "1";
  for (int i = 0; i < 1500; i++)
    sum += " + 1";
  EXPECT_EQ(ParseShape(sum),
            "error: expression too long or nested too deeply (more than 1000 operations in a row)");
  std::string ifs = "model M\nplace P\nactivity A exponential(1) {\n";
  for (int i = 0; i < 300; i++)
    ifs += "if (P > 0)\n";
  Compiled c = CompileText(ifs + "P -= 1 }\n");
  EXPECT_EQ(c.first(), "nested too deeply (more than 200 levels)");
  std::string loops = "model M\nplace P\n";
  for (int i = 0; i < 300; i++)
    loops += "for i" + std::to_string(i) + " in 1..1 {\n";
  c = CompileText(loops);
  EXPECT_EQ(c.first(), "nested too deeply (more than 200 levels)");
}

TEST(ParserTest, SyntaxErrorsAreReportedOncePerDeclaration) {
  Compiled c = CompileText("model M\n"
                           "plce P\n"                                          // line 2
                           "place Q = 1\n"                                     // fine
                           "activity A when Q > 0 { Q -= 1 }\n"                // line 4
                           "activity B exponential(1) when Q = 0 { Q += 1 }\n" // line 5
                           "activity C exponential(1) when Q > 0 Q -= 1\n"     // line 6
                           "place rate\n");                                    // line 7
  ASSERT_EQ(c.errors.size(), 5u) << c.rendered();
  EXPECT_EQ(c.errors[0].text, "expected a declaration (model, global, study, place, let, "
                              "activity, group, reward, require, for or label), found 'plce'");
  EXPECT_EQ(c.errors[0].location.line, 2);
  EXPECT_EQ(c.errors[0].location.column, 1);
  EXPECT_EQ(c.errors[1].text, "expected the distribution of activity 'A': exponential(rate), "
                              "deterministic(delay), erlang(rate, phases) or instantaneous; found "
                              "'when'");
  EXPECT_EQ(c.errors[1].location.line, 4);
  EXPECT_EQ(c.errors[1].location.column, 12);
  EXPECT_EQ(c.errors[2].text, "'=' assigns; to compare, write '=='");
  EXPECT_EQ(c.errors[2].location.line, 5);
  EXPECT_EQ(c.errors[2].location.column, 34);
  EXPECT_EQ(c.errors[3].text, "expected '{' to begin the effect of activity 'C' (or 'weight', "
                              "'rank' or 'when'), found 'Q'");
  EXPECT_EQ(c.errors[3].location.line, 6);
  EXPECT_EQ(c.errors[4].text,
            "'rate' is a reserved word and cannot be used as the name of a place");
  EXPECT_EQ(c.errors[4].location.line, 7);
  EXPECT_EQ(c.errors[4].location.column, 7);
}

TEST(ParserTest, MissingOrWrongPartsNameWhatWasExpected) {
  struct Case {
    const char* text;
    const char* message;
    int line, column;
  } cases[] = {
      {"model M\nglobal integer N",
       "expected a type (bool, char, short, int, long, float or double) after 'global', found "
       "'integer'",
       2, 8},
      {"model M\nplace P\nactivity A exponential(1) when P > 0 when P > 1 { P -= 1 }",
       "second 'when' of activity 'A'", 3, 38},
      {"model M\nlet X = 1, 2",
       "a definition has one value; for a list of values declare a table, as in let T[1..3] = "
       "a, b, c",
       2, 10},
      {"model M\nreward R sometimes rate 1",
       "expected the time of reward 'R': steady, instant at <times>, interval <start>..<end> or "
       "average interval <start>..<end>; found 'sometimes'",
       2, 10},
      {"model M\nreward R steady 1",
       "expected 'rate <expression>' or 'impulse <activity> <expression>' in reward 'R', found "
       "'1'",
       2, 17},
      {"model M\nplace P\nactivity A exponential(1) { P *= 2 }",
       "expected '=', '+=' or '-=' after 'P', found '*'", 3, 31},
      {"model M\nplace P\nactivity A exponential(1) { 3 }",
       "expected an assignment to a place (Name = ..., Name += ... or Name -= ...), 'let', "
       "'if' or 'for', found '3'",
       3, 29},
      {"model M\nstudy { N = 1", "expected '}' to close the study, found the end of the file", 2,
       14},
  };
  for (const Case& k : cases) {
    Compiled c = CompileText(k.text);
    EXPECT_EQ(c.first(), k.message) << k.text;
    EXPECT_EQ(c.line(), k.line) << k.text;
    EXPECT_EQ(c.column(), k.column) << k.text;
  }
}

// A '{' glued to a name starts an index; the message says how to start a
// block instead.
TEST(ParserTest, BraceGluedToANameIsAnIndexWithAHint) {
  Compiled c = CompileText("model M\nplace P, Q\n"
                           "activity A exponential(1) when P > Q{ P -= 1 }\n");
  ASSERT_EQ(c.errors.size(), 1u) << c.rendered();
  EXPECT_EQ(c.first(), "expected '}' to close the index of the name 'Q{...}', found '-='");
  ASSERT_EQ(c.errors[0].notes.size(), 1u);
  EXPECT_EQ(c.errors[0].notes[0].text, "a '{' directly after a name starts an index, as in "
                                       "Pm{i}; put a space before a '{' that begins a block");
}

TEST(ParserTest, DeclarationsKeepTheirParts) {
  Compiled c =
      CompileText("model M\nglobal double a = 1.5, b\nstudy { b = 1, 2..4 }\n"
                  "place P = 2, Q\n"
                  "activity A instantaneous rank 2 weight 0.5 when P > 0 { P -= 1; Q += 1 }\n"
                  "activity B erlang(2, 3) when Q > 0 { Q -= 1; P += 1 }\n"
                  "group G postselect { A }\n"
                  "reward R average interval 0..1, 2.5..4 { rate P  impulse A 2 }\n");
  ASSERT_TRUE(c.ok()) << c.rendered();
  const ModelDescription& m = *c.model;
  EXPECT_EQ(m.name, "M");
  ASSERT_EQ(m.globals.size(), 2u);
  EXPECT_EQ(m.experiments, 4);
  EXPECT_EQ(m.globals[0].values.size(), 4u);
  EXPECT_EQ(m.globals[0].values[3].real, 1.5);
  EXPECT_EQ(m.globals[1].values[0].real, 1.0);
  EXPECT_EQ(m.globals[1].values[3].real, 4.0);
  ASSERT_EQ(m.activities.size(), 2u);
  EXPECT_EQ(m.activities[0].timing, Timing::Instantaneous);
  EXPECT_EQ(m.activities[0].group, 0);
  EXPECT_EQ(m.activities[1].timing, Timing::Erlang);
  EXPECT_EQ(m.activities[1].group, -1);
  ASSERT_EQ(m.groups.size(), 1u);
  EXPECT_FALSE(m.groups[0].preselect);
  ASSERT_EQ(m.rewards.size(), 1u);
  EXPECT_EQ(m.rewards[0].time, RewardTime::AverageInterval);
  EXPECT_EQ(m.rewards[0].start, (std::vector<double>{0.0, 2.5}));
  EXPECT_EQ(m.rewards[0].stop, (std::vector<double>{1.0, 4.0}));
  ASSERT_EQ(m.rewards[0].impulses.size(), 1u);
  EXPECT_EQ(m.rewards[0].impulses[0].activity, 0);
}

// Labels, place ranges and local values of effects: their syntax errors,
// and the parts they keep.
TEST(ParserTest, LabelsRangesAndLocalValues) {
  struct Case {
    const char* text;
    const char* message;
    int line, column;
  } cases[] = {
      {"model M\nplace P\nlabel L P == 0",
       "expected '=' after the name of label 'L' (label L = <condition>), found 'P'", 3, 9},
      {"model M\nplace P\nlabel = P == 0", "expected the name of a label, found '='", 3, 7},
      {"model M\nplace label",
       "'label' is a reserved word and cannot be used as the name of a place", 2, 7},
      {"model M\nplace P in 0 5", "expected '..' in the range of place 'P' (as in 0..5), found '5'",
       2, 14},
      {"model M\nplace P = 1 in", "expected an expression, found the end of the file", 2, 15},
      {"model M\nplace P\nactivity A exponential(1) { let n P }",
       "expected '=' after the name of local value 'n', found 'P'", 3, 35},
      {"model M\nplace P\nactivity A exponential(1) { let rate = 1 }",
       "'rate' is a reserved word and cannot be used as the name of a local value", 3, 33},
  };
  for (const Case& k : cases) {
    Compiled c = CompileText(k.text);
    EXPECT_EQ(c.first(), k.message) << k.text;
    EXPECT_EQ(c.line(), k.line) << k.text;
    EXPECT_EQ(c.column(), k.column) << k.text;
  }

  Compiled c = CompileText("model M\nglobal int K = 4\n"
                           "place P = 2 in 0..K, Q in 1 - 1..3, R\n"
                           "activity A exponential(1) when P > 0 { let n = P; let h = n / 2\n"
                           "  P -= n; Q = floor(h) }\n"
                           "label Empty = P == 0\nlabel Full = P == K && Q > 0\n");
  ASSERT_TRUE(c.ok()) << c.rendered();
  const ModelDescription& m = *c.model;
  ASSERT_EQ(m.places.size(), 3u);
  ASSERT_TRUE(m.places[0].low && m.places[0].high);
  EXPECT_EQ(Unparse(*m.places[0].low), "0");
  EXPECT_EQ(Unparse(*m.places[0].high), "K");
  EXPECT_EQ(Unparse(*m.places[1].low), "1 - 1");
  EXPECT_FALSE(m.places[2].low || m.places[2].high);
  ASSERT_EQ(m.labels.size(), 2u);
  EXPECT_EQ(m.labels[0].name, "Empty");
  EXPECT_EQ(Unparse(*m.labels[1].condition), "P == K && Q > 0");
  const std::vector<StmtPtr>& effect = m.activities[0].effect;
  ASSERT_EQ(effect.size(), 4u);
  EXPECT_EQ(effect[0]->kind, StmtKind::Let);
  EXPECT_EQ(effect[0]->local, 0);
  EXPECT_EQ(effect[1]->kind, StmtKind::Let);
  EXPECT_EQ(effect[1]->local, 1);
  EXPECT_EQ(effect[1]->value->type, ValueType::Real);
  EXPECT_EQ(effect[2]->kind, StmtKind::Assign);
  // The local value stands for itself: it is not replaced by its expression.
  EXPECT_EQ(effect[2]->value->symbol, SymbolKind::Local);
  EXPECT_EQ(effect[2]->value->index, 0);
}
