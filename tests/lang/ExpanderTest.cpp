// Repetitions and indexed names are expanded at compile time: copies in
// order, names built from the indices, errors once per position with the
// iteration named.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LangTestSupport.h"
#include "lang/Evaluator.h"

using namespace lang;

namespace {

std::vector<std::string> PlaceNames(const ModelDescription& m) {
  std::vector<std::string> names;
  for (const PlaceDescription& p : m.places)
    names.push_back(p.name);
  return names;
}

long long Initial(const ModelDescription& m, size_t place) {
  std::optional<Value> v = Evaluator::Fold(*m.places[place].initial);
  return v ? v->integer : -1;
}

} // namespace

TEST(ExpanderTest, RepetitionCopiesDeclarationsInOrderWithTheIndex) {
  Compiled c = CompileText("model M\n"
                           "for i in 1..3 {\n  place P{i} = i * 10, Q{i}\n}\n"
                           "activity A exponential(1) { P1 += 1 }\n");
  ASSERT_TRUE(c.ok()) << c.rendered();
  EXPECT_EQ(PlaceNames(*c.model), (std::vector<std::string>{"P1", "Q1", "P2", "Q2", "P3", "Q3"}));
  EXPECT_EQ(Initial(*c.model, 0), 10);
  EXPECT_EQ(Initial(*c.model, 4), 30);
}

TEST(ExpanderTest, NestedRepetitionsBuildNamesFromSeveralIndices) {
  Compiled c = CompileText("model M\n"
                           "for i in 1..2 {\n  for j in i..2 {\n    place X{i}_{j}, Y{i + j}z\n"
                           "  }\n}\n"
                           "activity A exponential(1) { X1_1 += 1 }\n");
  ASSERT_TRUE(c.ok()) << c.rendered();
  EXPECT_EQ(PlaceNames(*c.model),
            (std::vector<std::string>{"X1_1", "Y2z", "X1_2", "Y3z", "X2_2", "Y4z"}));
}

TEST(ExpanderTest, RepetitionInsideAnEffectRepeatsStatements) {
  Compiled c = CompileText("model M\n"
                           "for k in 1..3 { place Q{k} }\n"
                           "let Step[1..3] = 5, 6, 7\n"
                           "activity A exponential(1) { for k in 1..3 { Q{k} += Step[k] } }\n");
  ASSERT_TRUE(c.ok()) << c.rendered();
  const ActivityDescription& a = c.model->activities[0];
  ASSERT_EQ(a.effect.size(), 3u);
  for (int k = 0; k < 3; k++) {
    EXPECT_EQ(a.effect[k]->place, k);
    std::optional<Value> v = Evaluator::Fold(*a.effect[k]->value);
    ASSERT_TRUE(v);
    EXPECT_EQ(v->integer, 5 + k);
  }
  EXPECT_EQ(a.affected, (std::vector<int>{0, 1, 2}));
}

// An error in a repeated declaration is reported once, with the iteration
// it first occurs in.
TEST(ExpanderTest, ErrorInARepetitionIsReportedOnceWithItsIteration) {
  Compiled c = CompileText("model M\n"
                           "place P\n"
                           "for i in 1..4 {\n"
                           "  activity A{i} exponential(1) when Pm{i} > 0 { P += 1 }\n"
                           "}\n");
  ASSERT_EQ(c.errors.size(), 1u) << c.rendered();
  EXPECT_EQ(c.first(), "unknown name 'Pm1'");
  EXPECT_EQ(c.line(), 4);
  EXPECT_EQ(c.column(), 37);
  ASSERT_EQ(c.errors[0].notes.size(), 1u);
  EXPECT_EQ(c.errors[0].notes[0].text, "in the repetition with i = 1");
  EXPECT_EQ(c.errors[0].notes[0].location.line, 3);
  EXPECT_NE(c.rendered().find("test.san:3:1: note: in the repetition with i = 1\n"),
            std::string::npos)
      << c.rendered();
}

TEST(ExpanderTest, BoundsAndIndicesMustBeKnownWholeNumbers) {
  struct Case {
    std::string body;
    std::string message;
    int line, column;
  } cases[] = {
      {"global int N = 2\nfor i in 1..N { place X{i} }\n",
       "the bounds of a repetition must be whole numbers known when compiling ('N' is not known "
       "when compiling)",
       5, 13},
      {"for i in 1..2.5 { place X{i} }\n",
       "the bounds of a repetition must be whole numbers known when compiling (it is a real "
       "number)",
       4, 13},
      {"for i in 3..1 { place X{i} }\n",
       "empty range 3..1: the first value is larger than the last", 4, 1},
      {"for i in 0..1 { place X{i - 1} }\n",
       "the index in the name 'X{...}' is -1; a name cannot hold a negative number", 4, 25},
      {"place X{1 / 2}\n",
       "the index in the name 'X{...}' must be a whole number known when compiling (it is a "
       "real number)",
       4, 9},
      {"for i in 1..2 { for i in 1..2 { place X{i} } }\n",
       "'i' is already the variable of an enclosing repetition", 4, 21},
      {"for i in 1..2000000 { }\n", "the repetitions make more than 1000000 copies", 4, 1},
      {"place i\nfor i in 1..2 { place X{i} }\n",
       "the repetition's variable 'i' has the name of a place; inside the repetition 'i' would "
       "mean the number, so choose another name",
       5, 5},
      {"for i in 1..2 { study { } }\n", "'study' cannot be inside a repetition", 4, 17},
  };
  for (const Case& k : cases) {
    Compiled c = CompileText(WithModel(k.body));
    EXPECT_EQ(c.first(), k.message) << k.body << c.rendered();
    EXPECT_EQ(c.line(), k.line) << k.body;
    EXPECT_EQ(c.column(), k.column) << k.body;
  }
}
