// The checker: one test case per error class with its message and position,
// and the description of a correct model (slots, arcs, inlined
// definitions, the places a reward reads).

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LangTestSupport.h"
#include "lang/Evaluator.h"

using namespace lang;

namespace {

struct Case {
  std::string body; // after WithModel's three lines, so it starts on line 4
  std::string message;
  int line, column;
};

void ExpectFirstError(const std::vector<Case>& cases) {
  for (const Case& k : cases) {
    Compiled c = CompileText(WithModel(k.body));
    EXPECT_FALSE(c.ok()) << k.body;
    EXPECT_EQ(c.first(), k.message) << k.body << "\n" << c.rendered();
    EXPECT_EQ(c.line(), k.line) << k.body;
    EXPECT_EQ(c.column(), k.column) << k.body;
  }
}

} // namespace

TEST(CheckerTest, UnknownNamesSuggestTheClosestDeclaredOne) {
  ExpectFirstError({
      {"place Pm4\nactivity B exponential(1) when Pm5 > 0 { Pm4 += 1 }",
       "unknown name 'Pm5'; did you mean 'Pm4'?", 5, 32},
      {"place Pm4\nactivity B exponential(1) { Pm5 += 1 }",
       "unknown place 'Pm5'; did you mean 'Pm4'?", 5, 29},
      {"activity B exponential(1) when Zzz > 0 { P += 1 }", "unknown name 'Zzz'", 4, 32},
      {"activity B exponential(mn(1, 2)) { P += 1 }", "unknown function 'mn'; did you mean 'min'?",
       4, 24},
      {"reward R steady impulse B 1", "unknown activity 'B'; did you mean 'A'?", 4, 25},
      {"group G { A, B }", "unknown activity 'B'; did you mean 'A'?", 4, 14},
      {"let X = Y + 1\nlet Y = 2", "definition 'Y' is used before it is given", 4, 9},
      // A definition cannot use itself: it would have no value.
      {"let X = X + 1", "definition 'X' is used before it is given", 4, 9},
  });
}

TEST(CheckerTest, OnlyPlacesCanBeAssigned) {
  ExpectFirstError({
      {"global int N = 1\nactivity B exponential(1) { N += 1 }",
       "cannot assign to global variable 'N': firing an activity changes places only", 5, 29},
      {"activity B exponential(1) { A = 1 }",
       "cannot assign to 'A': it is an activity, not a place", 4, 29},
  });
}

TEST(CheckerTest, NamesThatAreNotValues) {
  ExpectFirstError({
      {"activity B exponential(A) { P += 1 }",
       "'A' is an activity, not a value; its rate is rate(A)", 4, 24},
      {"let T[1..2] = 1, 2\nactivity B exponential(T) { P += 1 }",
       "'T' is a table; write T[index] for one of its values", 5, 24},
      {"reward R steady rate rate(P)", "rate(...) takes an activity, but 'P' is a place", 4, 27},
      {"group G { P }", "'P' is a place; a group holds activities", 4, 11},
  });
}

TEST(CheckerTest, TypeErrors) {
  ExpectFirstError({
      {"activity B exponential(1) when P { P += 1 }",
       "the enabling condition of activity 'B' must be a condition (true or false), but it is a "
       "whole number",
       4, 32},
      {"activity B exponential(P > 0) { P += 1 }",
       "the rate of activity 'B' must be a number, but it is a condition", 4, 24},
      {"activity B exponential(1) when P > 0 && Q { P += 1 }",
       "'&&' needs conditions on both sides, but the right side is a whole number", 4, 38},
      {"activity B exponential(1) { P = Q / 2 }",
       "the value assigned to place 'P' must be a whole number, since a marking counts tokens, "
       "but it is a real number (use floor, ceil or round)",
       4, 33},
      {"activity B exponential(P > 0 ? 1 : false) { P += 1 }",
       "the two results of '?:' must both be numbers or both be conditions, not a whole number "
       "and a condition",
       4, 30},
      {"activity B exponential(P ? 1 : 2) { P += 1 }",
       "the part before '?' must be a condition, but it is a whole number", 4, 24},
      {"activity B exponential(1) when P == true { P += 1 }",
       "'==' compares two numbers or two conditions, not a whole number with a condition", 4, 34},
      {"activity B exponential(-true) { P += 1 }",
       "'-' needs a number, but its operand is a condition", 4, 24},
      {"activity B exponential(abs(1, 2)) { P += 1 }", "'abs' takes 1 argument, not 2", 4, 24},
      {"place R = 1.5",
       "the initial marking of place 'R' must be a whole number, but it is a real number (use "
       "floor, ceil or round to make it whole)",
       4, 11},
      {"global int N = 1.5",
       "the value of global variable 'N' must be a whole number for int variable, not 1.5", 4, 16},
      {"global bool B = 1", "the value of global variable 'B' must be true or false, not 1", 4, 17},
  });
}

TEST(CheckerTest, ActivityWithoutEffect) {
  const std::string message = "activity 'B' has no effect: firing it would change no place";
  ExpectFirstError({
      {"activity B exponential(1) when P > 0 { }", message, 4, 10},
      {"activity B exponential(1) when P > 0", message, 4, 10},
      {"activity B exponential(1) { if (P > 0) { } else { } }", message, 4, 10},
  });
}

TEST(CheckerTest, DuplicateNamesPointAtTheFirstDeclaration) {
  ExpectFirstError({
      {"place P", "'P' is already declared, as a place", 4, 7},
      {"reward A steady rate 1", "'A' is already declared, as an activity", 4, 8},
      {"global int P = 1", "'P' is already declared, as a place", 4, 12},
  });
  Compiled c = CompileText(WithModel("place P"));
  ASSERT_EQ(c.errors.size(), 1u);
  ASSERT_EQ(c.errors[0].notes.size(), 1u);
  EXPECT_EQ(c.errors[0].notes[0].text, "'P' is first declared here");
  EXPECT_EQ(c.errors[0].notes[0].location.line, 2);
  EXPECT_EQ(c.errors[0].notes[0].location.column, 7);
}

TEST(CheckerTest, DeterministicAndErlangActivitiesCannotBeCombined) {
  ExpectFirstError({
      {"activity D deterministic(1) { P += 1 }\nactivity E erlang(1, 2) { P += 1 }",
       "activity 'E' is Erlang, but activity 'D' is deterministic: the generator explores "
       "models with deterministic activities or with Erlang activities, not both",
       5, 10},
      {"activity E erlang(1, 2) { P += 1 }\nactivity D deterministic(1) { P += 1 }",
       "activity 'D' is deterministic, but activity 'E' is Erlang: the generator explores "
       "models with deterministic activities or with Erlang activities, not both",
       5, 10},
  });
}

TEST(CheckerTest, ValuesThatDoNotFitAPlace) {
  ExpectFirstError({
      {"place R = 40000",
       "the initial marking of place 'R' is 40000, which does not fit a place: a place holds 0 "
       "to 32767 tokens",
       4, 11},
      {"place R = 0 - 1",
       "the initial marking of place 'R' is -1, which does not fit a place: a place holds 0 to "
       "32767 tokens",
       4, 11},
      {"activity B exponential(1) { P = 32768 }",
       "the value assigned to place 'P' is 32768, which does not fit a place: a place holds 0 to "
       "32767 tokens",
       4, 33},
      {"activity B exponential(1) { P += 40000 }",
       "the value added to place 'P' is 40000, which does not fit a place: a place holds 0 to "
       "32767 tokens",
       4, 34},
      {"place R = P", "the initial marking of place 'R' cannot read place 'P'", 4, 11},
      {"let S = P + Q\nplace R = S",
       "definition 'S' reads place 'P'; the initial marking of place 'R' cannot read places", 5,
       11},
  });
}

TEST(CheckerTest, GlobalVariablesAndStudy) {
  ExpectFirstError({
      {"global short S = 40000",
       "the value of global variable 'S' is 40000, which does not fit a short (-32768 to 32767)", 4,
       18},
      {"global int N",
       "global variable 'N' has no value: give it one (global int N = ...) or list its values in "
       "the study",
       4, 12},
      {"global int N\nstudy { N = 1, 2\n M = 3 }", "unknown global variable 'M'; did you mean 'N'?",
       6, 2},
      {"global int N\nglobal double x\nstudy { N = 1..3  x = 0.1, 0.2 }",
       "'x' has 2 values, but 'N' has 3: each variable of the study needs one value per "
       "experiment",
       6, 19},
      {"study { P = 1 }", "'P' is a place; the study gives values to global variables only", 4, 9},
      {"global int N\nstudy { N = 1  N = 2 }",
       "'N' appears twice in the study; give all its values in one line", 5, 16},
      {"global int N\nstudy { N = 5..1 }",
       "empty range 5..1: the first value is larger than the last", 5, 13},
      {"global int N = 1\nstudy { }\nstudy { }",
       "a second 'study'; give all experiments in one study", 6, 1},
      {"global int N = 1\nstudy { N = 1..200000 }", "the study has more than 100000 experiments", 5,
       13},
  });
}

TEST(CheckerTest, Tables) {
  ExpectFirstError({
      {"let T[1..3] = 1, 2", "table 'T' has indices 1..3 but 2 values; give one value per index", 4,
       5},
      {"let T[1..2] = 1, 2\nactivity B exponential(T[3]) { P += 1 }",
       "index 3 is outside table 'T', which has indices 1..2", 5, 26},
      {"let T[1..2] = 1, 2\nactivity B exponential(T[P]) { P += 1 }",
       "the index of table 'T' cannot read place 'P'", 5, 26},
  });
}

TEST(CheckerTest, RewardVariables) {
  ExpectFirstError({
      {"reward R steady { }", "reward 'R' has neither a rate nor an impulse", 4, 8},
      {"reward R steady { rate P rate Q }",
       "a second 'rate' of reward 'R'; add the two expressions instead", 4, 26},
      {"reward R steady { impulse A 1 impulse A 2 }",
       "a second impulse for activity 'A' of reward 'R'; add the two expressions instead", 4, 39},
      {"activity D deterministic(1) { P += 1 }\nreward R steady rate rate(D)",
       "rate(D): activity 'D' is deterministic and has no rate", 5, 27},
      {"activity B exponential(rate(A)) { P += 1 }",
       "rate(...) is only available in reward variables, not in the rate of activity 'B'", 4, 24},
      {"reward R instant at 0 - 1 rate P", "time point -1 of reward 'R' must be 0 or more", 4, 21},
      {"reward R interval 5..2 rate P",
       "interval 5..2 of reward 'R' must start at 0 or later and end after it starts", 4, 19},
      {"reward R instant at 1, P rate P", "a time point of reward 'R' cannot read place 'P'", 4,
       24},
  });
}

TEST(CheckerTest, Groups) {
  ExpectFirstError({
      {"activity B exponential(1) { P += 1 }\ngroup G { A, B }\ngroup H { B }",
       "activity 'B' is already in group 'G'; an activity belongs to one group at most", 6, 11},
      {"activity B instantaneous { P += 1 }\ngroup G { A, B }",
       "group 'G' mixes instantaneous and timed activities; a group's activities compete for one "
       "firing, so they must be all instantaneous or all timed",
       5, 7},
  });
}

TEST(CheckerTest, ConstantParametersMustBePositive) {
  ExpectFirstError({
      {"activity B exponential(0) { P += 1 }", "the rate of activity 'B' is 0; it must be positive",
       4, 24},
      {"activity B instantaneous weight -2 { P += 1 }",
       "the weight of activity 'B' is -2; it must be positive", 4, 33},
      {"activity B instantaneous rank 0 - 1 { P += 1 }",
       "the rank of activity 'B' is -1; it must be 0 or more", 4, 31},
      {"activity B erlang(1, 0) { P += 1 }",
       "the number of phases of activity 'B' is 0; it must lie in 1..32767", 4, 22},
      {"activity B erlang(1, P) { P += 1 }",
       "the number of phases of activity 'B' cannot read place 'P'", 4, 22},
      {"activity B deterministic(0.0) { P += 1 }",
       "the delay of activity 'B' is 0; it must be positive", 4, 26},
  });
}

TEST(CheckerTest, Requirements) {
  ExpectFirstError({
      {"require P > 0", "a requirement cannot read place 'P'", 4, 9},
      {"require 1 > 2", "requirement '1 > 2' never holds", 4, 9},
  });
}

TEST(CheckerTest, TheModelDeclaration) {
  Compiled c = CompileText("");
  EXPECT_EQ(c.first(), "a model file begins with 'model <Name>'");
  EXPECT_EQ(c.line(), 1);
  c = CompileText("place P\nmodel M");
  EXPECT_EQ(c.first(), "'model M' must be the first declaration of the file");
  EXPECT_EQ(c.line(), 2);
  c = CompileText("model M");
  EXPECT_EQ(c.first(), "model 'M' has no places; declare its places with 'place'");
  EXPECT_EQ(c.column(), 7);
  c = CompileText("model M\nplace P\nmodel N");
  EXPECT_EQ(c.first(), "a second 'model' declaration; a file describes one model");
  EXPECT_EQ(c.line(), 3);
}

// Slots: every place the activity reads or writes, in order of first use;
// enabling arcs: the places of its condition; affecting arcs: the places it
// assigns.
TEST(CheckerTest, ActivitiesRegisterExactlyThePlacesTheyUse) {
  Compiled c = CompileText("model M\nplace P = 1, Q, R, S, Unused\n"
                           "activity B exponential(0.5 * R) when P > 0 && Q < 3 {\n"
                           "  P -= 1\n  if (R > 0) S += R else Q = 0\n}\n"
                           "reward Load steady rate 2 * rate(B) + S\n");
  ASSERT_TRUE(c.ok()) << c.rendered();
  const ActivityDescription& b = c.model->activities[0];
  EXPECT_EQ(b.slots, (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(b.enabling, (std::vector<int>{0, 1}));
  EXPECT_EQ(b.affected, (std::vector<int>{0, 3, 1}));
  // The reward reads B's condition and rate, then S.
  EXPECT_EQ(c.model->rewards[0].placesRead, (std::vector<int>{0, 1, 2, 3}));
}

namespace {

// Place markings for evaluating checked expressions.
struct Markings : ValueSource {
  std::vector<long long> m;
  std::optional<Value> place(int i) const override { return Value::Int(m[i]); }
};

} // namespace

// Definitions and table entries are copied into the expressions that use
// them, with their meaning intact.
TEST(CheckerTest, DefinitionsAreInlined) {
  Compiled c =
      CompileText("model M\nglobal int N = 4\nplace P1 = N, P2\n"
                  "let Np = floor(3 * N / 2)\nlet S = P1 + P2\nlet Share = min(1, Np / S)\n"
                  "let W[0..1] = 7, S * 2\n"
                  "activity T exponential(Share * P1) weight W[1] when P1 > 0 { P1 -= 1 }\n");
  ASSERT_TRUE(c.ok()) << c.rendered();
  const ActivityDescription& t = c.model->activities[0];
  EXPECT_EQ(t.slots, (std::vector<int>{0, 1}));
  struct Values : Markings {
    std::optional<Value> global(int) const override { return Value::Int(4); }
  } values;
  values.m = {3, 1};
  // Np = 6, S = 4, Share = min(1, 1.5) = 1: rate 1 * 3.
  std::optional<Value> rate = Evaluator(values).evaluate(*t.rate);
  ASSERT_TRUE(rate);
  EXPECT_EQ(rate->type, ValueType::Real);
  EXPECT_EQ(rate->real, 3.0);
  values.m = {5, 5}; // S = 10: Share = 0.6
  EXPECT_DOUBLE_EQ(Evaluator(values).evaluate(*t.rate)->real, 0.6 * 5);
  EXPECT_EQ(Evaluator(values).evaluate(*t.weight)->integer, 20);
}

// Definitions are copied where they are used: a chain of definitions that
// each use the previous one twice would grow the model exponentially, and a
// long chain would make a tree too deep to walk. Both are refused.
TEST(CheckerTest, DefinitionsCannotGrowWithoutBound) {
  std::string doubling = "model M\nplace P\nlet L0 = P\n";
  for (int k = 1; k <= 40; k++)
    doubling += "let L" + std::to_string(k) + " = L" + std::to_string(k - 1) + " + L" +
                std::to_string(k - 1) + "\n";
  Compiled c = CompileText(doubling);
  ASSERT_FALSE(c.ok());
  EXPECT_EQ(c.first(), "the definitions make the model too large once written out where they "
                       "are used (more than 500000 terms)");

  // Each definition negates the previous one ten times: ten levels deeper.
  std::string chain = "model M\nplace P\nlet L0 = P\n";
  for (int k = 1; k <= 105; k++)
    chain +=
        "let L" + std::to_string(k) + " = - - - - - - - - - - L" + std::to_string(k - 1) + "\n";
  c = CompileText(chain);
  ASSERT_FALSE(c.ok());
  EXPECT_EQ(c.first(), "definition 'L100' is nested too deeply once the definitions it uses are "
                       "written out (more than 1000 levels)");
  EXPECT_EQ(c.line(), 103);

  std::string copies = "model M\nplace P\nfor i in 1..100000 { let X{i} = 1";
  for (int k = 0; k < 30; k++)
    copies += " + 1";
  c = CompileText(copies + " }\n");
  EXPECT_EQ(c.first(), "the repetitions expand to more than 500000 terms");
}

TEST(CheckerTest, Labels) {
  ExpectFirstError({
      {"label L = P",
       "the condition of label 'L' must be a condition (true or false), but it is a whole number",
       4, 11},
      {"label L = Pp > 0", "unknown name 'Pp'; did you mean 'P'?", 4, 11},
      {"label L = rate(A) > 0", "rate(...) is only available in reward variables, not in label 'L'",
       4, 11},
      {"label A = P > 0", "'A' is already declared, as an activity", 4, 7},
      {"label L = P > 0\nlabel L = Q > 0", "'L' is already declared, as a label", 5, 7},
      {"label L = P > 0\nactivity B exponential(1) when L { P += 1 }",
       "'L' is a label, not a value", 5, 32},
      {"label init = P > 0",
       "every chain has a label 'init' (the initial state); give this label another name", 4, 7},
      {"label deadlock = P == 0",
       "every chain has a label 'deadlock' (the states without a transition to another state); "
       "give this label another name",
       4, 7},
  });
  // Labels may read globals and definitions; repeated ones get their index.
  Compiled c = CompileText(WithModel("global int K = 1\nlet Total = P + Q\n"
                                     "label Full = Total == K\n"
                                     "for i in 1..2 { label Over{i} = Q > i }\n"));
  ASSERT_TRUE(c.ok()) << c.rendered();
  ASSERT_EQ(c.model->labels.size(), 3u);
  EXPECT_EQ(c.model->labels[2].name, "Over2");
  // The message shows the line with a caret under the label's name.
  Compiled twice = CompileText(WithModel("label Busy = P > 0\nlabel Busy = Q > 0"));
  EXPECT_EQ(twice.rendered(), "test.san:5:7: error: 'Busy' is already declared, as a label\n"
                              "   5 | label Busy = Q > 0\n"
                              "     |       ^~~~\n"
                              "test.san:4:7: note: 'Busy' is first declared here\n"
                              "   4 | label Busy = P > 0\n"
                              "     |       ^~~~\n");
}

TEST(CheckerTest, LocalValuesOfEffects) {
  ExpectFirstError({
      {"activity B exponential(1) { P -= 1; let n = P; Q += n }",
       "local value 'n' is defined after a statement of the effect; write every 'let' first: "
       "local values are computed from the marking before the firing",
       4, 37},
      {"activity B exponential(1) { if (P > 0) { let n = P; Q += n } }",
       "a local value ('let n') cannot be inside 'if': write it before the effect's statements, "
       "where it is computed from the marking before the firing",
       4, 42},
      {"activity B exponential(1) { let Q = P; P -= Q }", "'Q' is already declared, as a place", 4,
       33},
      {"activity B exponential(1) { let n = P; let n = Q; P -= n }",
       "local value 'n' is already defined in the effect of activity 'B'", 4, 44},
      {"activity B exponential(1) { let n = P; n -= 1; P -= 1 }",
       "cannot assign to local value 'n': it keeps the value computed before the firing; only "
       "places can be assigned",
       4, 40},
      {"activity B exponential(1) { let count = P; P -= cuont }",
       "unknown name 'cuont'; did you mean 'count'?", 4, 49},
      // A local value belongs to its own effect.
      {"activity B exponential(1) { let num = P; P -= num }\nactivity C exponential(1) { Q += num "
       "}",
       "unknown name 'num'", 5, 34},
      {"activity B exponential(1) { let h = P / 2; P -= h }",
       "the value taken from place 'P' must be a whole number, since a marking counts tokens, but "
       "it is a real number (use floor, ceil or round)",
       4, 49},
      {"activity B exponential(1) { let r = rate(A); P -= 1 }",
       "rate(...) is only available in reward variables, not in local value 'r' of activity 'B'", 4,
       37},
  });
  Compiled c = CompileText(WithModel("activity B exponential(1) { let n = P; P -= 1 }"));
  ASSERT_EQ(c.errors.size(), 0u) << c.rendered();
  c = CompileText(WithModel("activity B exponential(1) { P -= 1; let n = P; Q += n }"));
  ASSERT_FALSE(c.errors.empty());
  ASSERT_EQ(c.errors[0].notes.size(), 1u);
  EXPECT_EQ(c.errors[0].notes[0].text, "the effect's first statement is here");
  EXPECT_EQ(c.errors[0].notes[0].location.column, 29);
  // Local values made by a repetition; the places they read are slots but
  // not affected places.
  c = CompileText("model M\nplace P = 1, Q, R, S\n"
                  "activity B exponential(1) when P > 0 {\n"
                  "  for k in 1..2 { let v{k} = R + k }\n  P = v1; Q = v2 + S\n}\n");
  ASSERT_TRUE(c.ok()) << c.rendered();
  const ActivityDescription& b = c.model->activities[0];
  EXPECT_EQ(b.slots, (std::vector<int>{0, 2, 1, 3}));
  EXPECT_EQ(b.affected, (std::vector<int>{0, 1}));
}

TEST(CheckerTest, PlaceRanges) {
  ExpectFirstError({
      {"place R in 0..P", "the range of place 'R' cannot read place 'P'", 4, 15},
      {"place R in 0..1.5",
       "the range of place 'R' must be a whole number, but it is a real number (use floor, ceil "
       "or round to make it whole)",
       4, 15},
      {"place R in 0..40000",
       "the range of place 'R' is 0..40000, but a place holds 0 to 32767 tokens", 4, 15},
      {"place R in 0 - 1..4",
       "the range of place 'R' is -1..4, but a place holds 0 to 32767 tokens", 4, 12},
      {"place R in 5..2",
       "the range of place 'R' is 5..2, which is empty: its first value is larger than its last", 4,
       12},
      {"place R = 7 in 0..5", "the initial marking of place 'R' is 7, outside its range 0..5", 4,
       11},
      {"place R in 1..5", "the initial marking of place 'R' is 0, outside its range 1..5", 4, 7},
  });
  // Bounds that read globals are checked by the model executable.
  Compiled c = CompileText(WithModel("global int K = 1\nplace R = 3 in 0..K"));
  EXPECT_TRUE(c.ok()) << c.rendered();
}

TEST(CheckerTest, RewardTimesMayReadGlobalVariables) {
  ExpectFirstError({
      {"global double T = 1\nreward R interval T..0 rate P",
       "interval T..0 of reward 'R' must start at 0 or later and end after it starts", 5, 19},
      {"global bool T = true\nreward R instant at T rate P",
       "a time point of reward 'R' must be a number, but it is a condition", 5, 21},
  });
  Compiled c = CompileText(WithModel("global double T = 2\nglobal int H = 3\n"
                                     "reward R instant at 1, T * 3600 rate P\n"
                                     "reward S interval 0..H, H..2 * H rate P\n"));
  ASSERT_TRUE(c.ok()) << c.rendered();
  const RewardDescription& r = c.model->rewards[0];
  ASSERT_EQ(r.start.size(), 2u);
  EXPECT_EQ(r.start[0], 1.0);
  EXPECT_FALSE(r.startAt[0]);
  ASSERT_TRUE(r.startAt[1] && r.stopAt[1]);
  EXPECT_EQ(Unparse(*r.startAt[1]), "T * 3600");
  const RewardDescription& s = c.model->rewards[1];
  EXPECT_FALSE(s.startAt[0]);
  EXPECT_EQ(Unparse(*s.stopAt[0]), "H");
  EXPECT_EQ(Unparse(*s.stopAt[1]), "2 * H");
}
