// Labels: the .sta file's label(Name) columns, "init" and "deadlock", in
// --where, in properties and in the prism and drn exports (read back).

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/solver/property/PropertyTestFiles.h"

namespace {

// State 1 goes to 2 (rate 2) or to the trap 3 (rate 1); 2 goes to the
// target 4 (rate 1) or back to 1 (rate 3); 3 and 4 have no transitions.
// Labels: Target (state 4), Trap (3), Moving (1 and 2).
TestChain Chain() {
  TestChain chain;
  chain.States = 4;
  chain.add(1, 2, 2);
  chain.add(1, 3, 1);
  chain.add(2, 4, 1);
  chain.add(2, 1, 3);
  chain.Variables = {TestVariable{"Cost", 3, {{0, 1}}, {1, 2, 0, 0}, {}}};
  return chain;
}
const char* const ChainSta = "(X,label(Target),label(Trap),label(Moving))\n"
                             "1:(1,0,0,1)\n2:(2,0,0,1)\n3:(3,0,1,0)\n4:(4,1,0,0)\n";
// The labels of each state (0-based), as the .sta above and the chain say.
const std::vector<std::set<std::string>> Expected = {
    {"init", "Moving"}, {"Moving"}, {"deadlock", "Trap"}, {"deadlock", "Target"}};

} // namespace

TEST(LabelTest, LabelsAreConditionsInWhereAndInProperties) {
  SolverScratch dir;
  const std::string prefix = WriteChain(dir, "labels", Chain());
  WriteWhole(prefix + ".sta", ChainSta);
  // Probability of the target: p1 = 2/3 p2, p2 = 1/4 + 3/4 p1, so p1 = 1/3.
  const auto rows = SolveProperties(
      dir, prefix,
      {"--where", R"("Target")", "--where", "X == 4", "--where", R"("deadlock" && !"Trap")",
       "--property", R"(P=? [ F "Target" ])", "--property", R"(P=? [ "Moving" U "Trap" ])",
       "--property", R"(R=? [ F "deadlock" ])", "--property", R"(R{"Cost"}=? [ F "deadlock" ])",
       "--property", "S=? [ \"init\" ]", "--epsilon", "1e-12"});
  ASSERT_EQ(rows.size(), 8u);
  EXPECT_EQ(rows[0].Name, "P(\"Target\")");
  EXPECT_NEAR(ValueOf(rows[0]), 1.0 / 3, 1e-12);
  EXPECT_EQ(ValueOf(rows[0]), ValueOf(rows[1]));
  EXPECT_EQ(ValueOf(rows[0]), ValueOf(rows[2]));
  EXPECT_NEAR(ValueOf(rows[3]), 1.0 / 3, 1e-15);
  EXPECT_NEAR(ValueOf(rows[4]), 2.0 / 3, 1e-15);
  // Expected time to a deadlock: T1 = 1/3 + 2/3 T2, T2 = 1/4 + 3/4 T1, so
  // T1 = (1/3 + 1/6) / (1 - 1/2) = 1; the cost earns 1 in state 1 and 2 in
  // state 2: C1 = 1/3 + 2/3 C2, C2 = 2/4 + 3/4 C1, so C1 = (1/3 + 1/3) * 2.
  EXPECT_NEAR(ValueOf(rows[5]), 1.0, 1e-15);
  EXPECT_NEAR(ValueOf(rows[6]), 4.0 / 3, 1e-15);
  EXPECT_EQ(ValueOf(rows[7]), 0.0); // state 1 is left for good

  // --where alone (no property): the long run ends in a deadlock, the
  // target with probability 1/3.
  const auto where = SolveProperties(dir, prefix,
                                     {"--where", R"("deadlock")", "--where",
                                      R"("Target" && "deadlock" && !"init")", "--times", "0"});
  ASSERT_EQ(where.size(), 4u);
  EXPECT_EQ(ValueOf(where[0]), 0.0); // at t = 0, state 1
  EXPECT_NEAR(ValueOf(where[1]), 1.0, 1e-12);
  EXPECT_NEAR(ValueOf(where[3]), 1.0 / 3, 1e-12);
}

TEST(LabelTest, UnknownLabelsSuggestTheNearestAndListTheLabels) {
  SolverScratch dir;
  const std::string prefix = WriteChain(dir, "labels", Chain());
  WriteWhole(prefix + ".sta", ChainSta);
  RunResult run = RunProgram(SolverProgram(), {prefix, "--where", "X > 1 && \"Targt\"", "-q"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("--where:1:10: error: unknown label \"Targt\"; did you mean \"Target\"? "
                         "(the labels of this chain: \"Target\", \"Trap\", \"Moving\", \"init\", "
                         "\"deadlock\")\n   1 | X > 1 && \"Targt\"\n     |          ^~~~~~~"),
            std::string::npos)
      << run.err;
  run = RunProgram(SolverProgram(), {prefix, "--property", "P=? [ F \"Trap\" + 1 ]", "-q"});
  EXPECT_EQ(run.status, 1);
  // The language's message names the label as written, on the line as
  // written.
  EXPECT_NE(run.err.find("--property:1:"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("| P=? [ F \"Trap\" + 1 ]"), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("_Trap"), std::string::npos) << run.err;
  run = RunProgram(SolverProgram(), {prefix, "--where", "\"Trap", "-q"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("--where:1:1: error: a label's name has no closing '\"'"),
            std::string::npos)
      << run.err;
}

TEST(LabelTest, PrismAndDrnExportsCarryTheLabels) {
  SolverScratch dir;
  const std::string prefix = WriteChain(dir, "labels", Chain());
  WriteWhole(prefix + ".sta", ChainSta);
  RunResult run = RunProgram(SolverProgram(), {prefix, "--export", "prism", dir.path + "p",
                                               "--export", "drn", dir.path + "d", "-q"});
  ASSERT_EQ(run.status, 0) << run.err;

  // .lab: a header of index="name" pairs, then "state: index index ...".
  std::istringstream lab(ReadWhole(dir.path + "p.lab"));
  std::string header;
  std::getline(lab, header);
  std::map<int, std::string> names;
  std::istringstream pairs(header);
  std::string pair;
  while (pairs >> pair) {
    const std::size_t eq = pair.find('=');
    ASSERT_NE(eq, std::string::npos) << header;
    names[std::stoi(pair.substr(0, eq))] = pair.substr(eq + 2, pair.size() - eq - 3);
  }
  std::vector<std::set<std::string>> prism(4);
  std::string line;
  while (std::getline(lab, line)) {
    std::istringstream items(line);
    std::string state;
    items >> state;
    int index = 0;
    while (items >> index)
      prism[std::size_t(std::stoi(state))].insert(names.at(index));
  }
  EXPECT_EQ(prism, Expected);
  // The exported .sta has the places, not the label columns.
  EXPECT_EQ(ReadWhole(dir.path + "p.sta"), "(X)\n0:(1)\n1:(2)\n2:(3)\n3:(4)\n");

  // .drn: "state i [rewards] label label ..." lines.
  std::istringstream drn(ReadWhole(dir.path + "d.drn"));
  std::vector<std::set<std::string>> explicitLabels(4);
  while (std::getline(drn, line)) {
    if (line.rfind("state ", 0) != 0)
      continue;
    std::istringstream items(line.substr(6));
    int state = 0;
    items >> state;
    std::string word;
    while (items >> word)
      if (word.front() != '[' && word.back() != ']')
        explicitLabels[std::size_t(state)].insert(word);
  }
  EXPECT_EQ(explicitLabels, Expected);
}
