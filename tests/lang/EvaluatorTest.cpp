// The evaluator against values worked out by hand: precedence, whole-number
// versus real arithmetic, short-circuit logic, functions, and the cases
// that have no value (overflow, names without values).

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>

#include "lang/Evaluator.h"
#include "lang/Parser.h"

using namespace lang;

namespace {

// The value of a constant expression, or nothing.
std::optional<Value> Eval(const std::string& text) {
  SourceFile file("e", text);
  Diagnostics diagnostics(file);
  Parser parser(file, diagnostics);
  ExprPtr e = parser.parseStandaloneExpression();
  if (!e)
    return std::nullopt;
  return Evaluator::Fold(*e);
}

long long Int(const std::string& text) {
  std::optional<Value> v = Eval(text);
  EXPECT_TRUE(v && v->type == ValueType::Int) << text;
  return v ? v->integer : 0;
}

double Real(const std::string& text) {
  std::optional<Value> v = Eval(text);
  EXPECT_TRUE(v && v->type == ValueType::Real) << text;
  return v ? v->real : 0.0;
}

bool Bool(const std::string& text) {
  std::optional<Value> v = Eval(text);
  EXPECT_TRUE(v && v->type == ValueType::Bool) << text;
  return v && v->boolean;
}

} // namespace

TEST(EvaluatorTest, PrecedenceAndAssociativity) {
  EXPECT_EQ(Int("2 + 3 * 4"), 14);
  EXPECT_EQ(Int("(2 + 3) * 4"), 20);
  EXPECT_EQ(Int("10 - 4 - 3"), 3);
  EXPECT_EQ(Int("-2 * -3"), 6);
  EXPECT_EQ(Real("8 / 2 / 2"), 2.0);
  EXPECT_EQ(Real("1 / 4 * 2"), 0.5);
  EXPECT_TRUE(Bool("1 + 1 == 2"));
  EXPECT_TRUE(Bool("1 < 2 == 3 < 4"));
  EXPECT_FALSE(Bool("false || true && false"));
  EXPECT_TRUE(Bool("true || true && false"));
  EXPECT_TRUE(Bool("!false && !(1 > 2)"));
  EXPECT_EQ(Int("true ? 1 : false ? 2 : 3"), 1);
  EXPECT_EQ(Int("false ? 1 : false ? 2 : 3"), 3);
}

// Whole numbers stay whole under + - * and become real under '/', as in the
// generated C++.
TEST(EvaluatorTest, WholeAndRealArithmetic) {
  EXPECT_EQ(Eval("7 * 3")->type, ValueType::Int);
  EXPECT_EQ(Real("7 / 2"), 3.5);
  EXPECT_EQ(Real("7 * 0.5"), 3.5);
  EXPECT_EQ(Int("floor(3 * 5 / 2)"), 7);
  EXPECT_EQ(Int("ceil(7 / 2)"), 4);
  EXPECT_EQ(Int("round(2.5)"), 3);
  EXPECT_EQ(Int("round(-2.5)"), -3);
  EXPECT_EQ(Int("floor(-0.5)"), -1);
  EXPECT_EQ(Int("min(4, 2, 3)"), 2);
  EXPECT_EQ(Real("min(1, 6 / 4)"), 1.0);
  EXPECT_EQ(Real("max(1, 6 / 4)"), 1.5);
  EXPECT_EQ(Int("abs(0 - 5)"), 5);
  EXPECT_EQ(Real("abs(0.0 - 2.5)"), 2.5);
  EXPECT_EQ(Real("pow(2, 10)"), 1024.0);
  EXPECT_EQ(Real("sqrt(2.25)"), 1.5);
  EXPECT_DOUBLE_EQ(Real("exp(log(3))"), 3.0);
  EXPECT_TRUE(Bool("1 == 1.0"));
  EXPECT_TRUE(Bool("0.1 + 0.2 != 0.3")); // double arithmetic, as in C++
}

TEST(EvaluatorTest, NoValueInsteadOfAWrongOne) {
  EXPECT_FALSE(Eval("9223372036854775807 + 1"));
  EXPECT_FALSE(Eval("-9223372036854775807 - 2"));
  EXPECT_FALSE(Eval("4294967296 * 4294967296"));
  EXPECT_FALSE(Eval("floor(1e300)"));
  EXPECT_FALSE(Eval("x + 1"));
  EXPECT_FALSE(Eval("nosuch(1)"));
  // The right side of && and || is evaluated only when needed.
  EXPECT_FALSE(Bool("false && x > 0"));
  EXPECT_TRUE(Bool("true || x > 0"));
  EXPECT_TRUE(std::isinf(Real("1 / 0")));
}
