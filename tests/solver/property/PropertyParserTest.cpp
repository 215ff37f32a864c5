// The property syntax: what each form means, and the messages that point at
// what is wrong.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "solver/SolverError.h"
#include "solver/SolverOptions.h"
#include "solver/property/PropertyParser.h"

namespace {

Property Parse(const std::string& text) {
  return PropertyParser::Parse(text, {"--property", 1});
}

std::string Part(const Property& p, const Property::Range& r) {
  return p.Line.substr(r.Begin, r.End - r.Begin);
}

} // namespace

TEST(PropertyParserTest, EveryFormGivesItsKindBoundsAndConditions) {
  Property p = Parse("  P=? [ F<=100 \"Failed\" ]  ");
  EXPECT_EQ(p.Text, "P=? [ F<=100 \"Failed\" ]");
  EXPECT_EQ(p.What, Property::Kind::Until);
  EXPECT_TRUE(p.Phi.empty());
  EXPECT_EQ(Part(p, p.Psi), "\"Failed\"");
  EXPECT_TRUE(p.HasBound);
  EXPECT_EQ(p.Lower.Value, 0);
  EXPECT_EQ(p.Upper.Value, 100);

  p = Parse("P=?[F[2.5,1e3] Up==0]");
  EXPECT_EQ(p.Lower.Value, 2.5);
  EXPECT_EQ(p.Upper.Value, 1000);
  EXPECT_EQ(Part(p, p.Psi), "Up==0");

  p = Parse("P=? [ (U > 0) && Up > 1 U<=T Up == 0 ]");
  EXPECT_EQ(Part(p, p.Phi), "(U > 0) && Up > 1");
  EXPECT_EQ(Part(p, p.Psi), "Up == 0");
  EXPECT_TRUE(p.Upper.Grid);

  p = Parse("P=? [ Up > 0 U \"a U b\" ]");
  EXPECT_FALSE(p.HasBound);
  EXPECT_EQ(Part(p, p.Phi), "Up > 0");
  EXPECT_EQ(Part(p, p.Psi), "\"a U b\"");

  p = Parse("R=? [ F \"Failed\" ]");
  EXPECT_EQ(p.What, Property::Kind::ReachReward);
  EXPECT_TRUE(p.Variable.empty());

  p = Parse("R{\"Cost\"}=? [ F Down == 2 ]");
  EXPECT_EQ(p.What, Property::Kind::ReachReward);
  EXPECT_EQ(p.Variable, "Cost");
  EXPECT_EQ(p.VariableAt, 2u);

  p = Parse("R{\"Cost\"}=? [ C<=24 ]");
  EXPECT_EQ(p.What, Property::Kind::Cumulative);
  EXPECT_EQ(p.Upper.Value, 24);
  EXPECT_EQ(Parse("R{\"Cost\"}=? [ I=0.5 ]").What, Property::Kind::Instant);
  EXPECT_EQ(Parse("R{\"Cost\"}=? [ S ]").What, Property::Kind::LongRun);

  p = Parse("S=? [ Up > 0 || \"deadlock\" ]");
  EXPECT_EQ(p.What, Property::Kind::SteadyState);
  EXPECT_EQ(Part(p, p.Psi), "Up > 0 || \"deadlock\"");
}

TEST(PropertyParserTest, ErrorsPointAtTheColumnAndSayWhatWasExpected) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"Q=? [ F x ]", "--property:1:1: error: expected a property: P=? [ ... ], R=? [ ... ] or "
                      "S=? [ ... ]\n   1 | Q=? [ F x ]\n     | ^"},
      {"P>=0.9 [ F x ]", "--property:1:2: error: expected '=?': only the value is computed"},
      {"P=? F x", "--property:1:5: error: expected '[' before the path formula"},
      {"P=? [ G x ]", "--property:1:7: error: expected 'F' (eventually) or a condition followed "
                      "by 'U' (until)\n   1 | P=? [ G x ]\n     |       ^"},
      {"P=? [ F x", "--property:1:10: error: expected ']' at the end of the property"},
      {"P=? [ F<= ]", "--property:1:11: error: expected the time bound after '<='"},
      {"P=? [ F<=-1 x ]", "--property:1:10: error: the time -1 is not allowed (times are finite "
                          "and not negative)\n   1 | P=? [ F<=-1 x ]\n     |          ^~"},
      {"P=? [ F[5,2] x ]", "--property:1:9: error: the interval ends before it starts"},
      {"P=? [ F[1 2] x ]", "--property:1:11: error: expected ',' between the interval's start"},
      {"P=? [ F ]", "--property:1:9: error: expected a condition after 'F'"},
      {"P=? [ x U ]", "--property:1:11: error: expected a condition after 'U'"},
      {"P=? [ U x ]", "--property:1:7: error: expected a condition before 'U'"},
      {"R=? [ C<=5 ]", "--property:1:1: error: this reward needs a reward variable"},
      {"R{\"v\"}=? [ F<=5 x ]", "--property:1:13: error: expected a condition: a reward until"},
      {"R{\"v\"}=? [ X ]", "--property:1:12: error: expected 'F' and a condition, 'C<=t', 'I=t' "
                           "or 'S'"},
      {"R{\"v\"}=? [ C<=5 x ]", "--property:1:17: error: expected ']' closing the property"},
      {"R{v}=? [ S ]", "--property:1:3: error: expected '\"' and the name of a reward variable"},
      {"S=? [ ]", "--property:1:7: error: expected a condition"},
  };
  for (const auto& [text, message] : cases) {
    try {
      Parse(text);
      ADD_FAILURE() << "accepted: " << text;
    } catch (const SolverError& e) {
      EXPECT_NE(std::string(e.what()).find(message), std::string::npos) << text << "\n" << e.what();
      EXPECT_EQ(e.exitStatus(), 1);
    }
  }
}

TEST(PropertyOptionsTest, TimesGridExpandsAndBadGridsSayWhy) {
  SolverOptions options = SolverOptions::Parse(
      {"out/rep", "--property", "P=? [ F<=T \"init\" ]", "--times", "0:1:0.25,3", "--times=5:6:2"});
  EXPECT_EQ(options.Times, (std::vector<double>{0, 0.25, 0.5, 0.75, 1, 3, 5}));
  EXPECT_EQ(options.Properties.size(), 1u);
  // 0.1 steps are not exact in binary: the grid still ends at its last time.
  options = SolverOptions::Parse({"out/rep", "--property", "S=? [ x ]", "--times", "0:0.3:0.1"});
  ASSERT_EQ(options.Times.size(), 4u);
  EXPECT_EQ(options.Times.back(), 0.3);
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"p", "--property", "S=? [ x ]", "--times", "0:10"}, "is not a grid first:last:step"},
      {{"p", "--property", "S=? [ x ]", "--times", "0:10:0"}, "needs a positive step"},
      {{"p", "--property", "S=? [ x ]", "--times", "5:1:1"}, "needs a positive step"},
      {{"p", "--property", "S=? [ x ]", "--times", "0:1e9:1"}, "a grid has at most 100000"},
      {{"p", "--property", " "}, "--property needs a property"},
      {{"p", "--times", "1"}, "--times gives the times of --where conditions"},
  };
  for (const auto& [arguments, message] : cases) {
    try {
      SolverOptions::Parse(arguments);
      ADD_FAILURE() << "accepted: " << arguments.back();
    } catch (const SolverError& e) {
      EXPECT_NE(std::string(e.what()).find(message), std::string::npos) << e.what();
    }
  }
}
