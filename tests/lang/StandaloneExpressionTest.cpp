// An expression given on its own, over the place names of a symbol table:
// what a command-line condition such as --where "Pm1 > 0 && Pout4 == 0"
// needs.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lang/StandaloneExpression.h"

using namespace lang;

namespace {

SymbolTable Places(const std::vector<std::string>& names) {
  SymbolTable table;
  for (size_t i = 0; i < names.size(); i++)
    table.add({names[i], SymbolKind::Place, static_cast<int>(i), ValueType::Int, {}});
  return table;
}

struct Marking : ValueSource {
  std::vector<long long> tokens;
  explicit Marking(std::vector<long long> t) : tokens(std::move(t)) {}
  std::optional<Value> place(int i) const override { return Value::Int(tokens[i]); }
};

} // namespace

TEST(StandaloneExpressionTest, ConditionOverPlacesEvaluatesOnMarkings) {
  const SymbolTable table = Places({"Pm1", "Pback1", "Pout4"});
  SourceFile text("--where", "Pm1 > 0 && Pout4 == 0 || Pback1 >= 2");
  Diagnostics diagnostics(text);
  auto e = StandaloneExpression::Parse(text, table, diagnostics, ValueType::Bool);
  ASSERT_TRUE(e) << diagnostics.render();
  EXPECT_EQ(e->type(), ValueType::Bool);
  EXPECT_EQ(e->placesRead(), (std::vector<int>{0, 2, 1}));
  EXPECT_TRUE(e->evaluate(Marking({1, 0, 0}))->boolean);
  EXPECT_FALSE(e->evaluate(Marking({1, 0, 1}))->boolean);
  EXPECT_TRUE(e->evaluate(Marking({0, 2, 1}))->boolean);
  EXPECT_FALSE(e->evaluate(Marking({0, 1, 0}))->boolean);
}

TEST(StandaloneExpressionTest, ErrorsCarryTheirPositionInTheText) {
  const SymbolTable table = Places({"Pm4", "Queue"});
  struct Case {
    const char* text;
    const char* message;
    int column;
  } cases[] = {
      {"Pm5 > 0", "unknown name 'Pm5'; did you mean 'Pm4'?", 1},
      {"Queue + 1", "the expression must be a condition (true or false), but it is a whole number",
       1},
      {"Queue > 0 &&", "expected an expression, found the end of the file", 13},
      {"Pm{1} > 0",
       "an indexed name such as 'Pm{...}' is only known inside a repetition of a "
       "model file",
       1},
      {"rate(Queue) > 0",
       "rate(...) is only available in reward variables, not in this "
       "expression",
       1},
  };
  for (const Case& c : cases) {
    SourceFile text("--where", c.text);
    Diagnostics diagnostics(text);
    EXPECT_FALSE(StandaloneExpression::Parse(text, table, diagnostics, ValueType::Bool)) << c.text;
    ASSERT_TRUE(diagnostics.hasErrors()) << c.text;
    EXPECT_EQ(diagnostics.sorted()[0].text, c.message) << c.text;
    EXPECT_EQ(diagnostics.sorted()[0].location.column, c.column) << c.text;
  }
}
