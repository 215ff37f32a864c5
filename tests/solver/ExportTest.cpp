// Exports of a chain to other tools' formats (ssg-solve --export), each read
// back by a parser of its own (Eigen's Matrix Market reader for mtx) and
// compared with the chain read from the generator's files by DenseChain,
// which shares no code with the solver.

#include <gtest/gtest.h>

#include <Eigen/Sparse>
#include <unsupported/Eigen/SparseExtra>

#include <algorithm>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "solver/results/ChainExport.h"
#include "tests/driver/Subprocess.h"
#include "tests/solver/DenseChain.h"
#include "tests/solver/SolverTestFiles.h"

namespace {

std::string Solver() {
  return std::string(SSG_BINARY_DIR) + "/ssg-solve";
}

// The off-diagonal part of a generator matrix.
Eigen::MatrixXd OffDiagonal(const Eigen::MatrixXd& q) {
  Eigen::MatrixXd r = q;
  r.diagonal().setZero();
  return r;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}

// A chain with an absorbing state (4) and two reward variables, one of them
// with an impulse reward, and its markings.
TestChain Absorbing() {
  TestChain chain;
  chain.States = 4;
  chain.add(1, 2, 0.5);
  chain.add(1, 3, 0.25);
  chain.add(2, 1, 3.0);
  chain.add(3, 4, 1e-5);
  chain.add(3, 1, 0.1);
  chain.Variables = {TestVariable{"Up time", 3, {{0, 1}}, {1, 0.5, 0, 0}, {}},
                     TestVariable{"Repairs", 3, {{0, 1}}, {0, 2, 0, 0}, {0, 1, 0, 0}}};
  return chain;
}
const char* const AbsorbingSta = "(Ok,Queue,phase(Repair))\n1:(1,0,1)\n2:(0,2,1)\n3:(0,0,2)\n"
                                 "4:(0,-1,1)\n";

// The chain of the example (its first experiment) and of Absorbing(), as the
// generator's files, with DenseChain's reading of them.
struct Chains {
  SolverScratch dir;
  std::string example, absorbing;
  DenseChain exampleDense, absorbingDense;
  Chains() {
    RunResult gen =
        RunProgram(std::string(SSG_BINARY_DIR) + "/gen", {"-P" + dir.path, "-Nexp1", "-B0"});
    EXPECT_EQ(gen.status, 0) << gen.err;
    example = dir.path + "exp1";
    exampleDense = DenseChain::Parse(ReadWhole(example + ".arm"), ReadWhole(example + ".var"), 2);
    absorbing = WriteChain(dir, "absorbing", Absorbing());
    WriteWhole(absorbing + ".sta", AbsorbingSta);
    absorbingDense =
        DenseChain::Parse(ReadWhole(absorbing + ".arm"), ReadWhole(absorbing + ".var"), 2);
  }
};

RunResult Export(const std::string& prefix, const std::string& format, const std::string& out) {
  return RunProgram(Solver(), {prefix, "--export", format, out});
}

TEST(ExportTest, PrismFilesHoldTheChainItsLabelsRewardsAndMarkings) {
  Chains chains;
  for (const auto& [prefix, dense] : {std::make_pair(chains.example, &chains.exampleDense),
                                      std::make_pair(chains.absorbing, &chains.absorbingDense)}) {
    const std::string out = prefix + "-prism";
    RunResult run = Export(prefix, "prism", out);
    ASSERT_EQ(run.status, 0) << run.err;
    const long n = dense->Q.rows();

    // .tra: "states transitions", then "i j rate" in order from 0.
    std::istringstream tra(ReadWhole(out + ".tra"));
    long states = 0, transitions = 0;
    tra >> states >> transitions;
    EXPECT_EQ(states, n);
    Eigen::MatrixXd rates = Eigen::MatrixXd::Zero(n, n);
    long count = 0, lastRow = -1, lastColumn = -1;
    for (long i, j; tra >> i >> j;) {
      double rate = 0;
      tra >> rate;
      EXPECT_TRUE(i > lastRow || (i == lastRow && j > lastColumn)) << i << " " << j;
      lastRow = i;
      lastColumn = j;
      rates(i, j) = rate;
      count++;
    }
    EXPECT_EQ(count, transitions);
    EXPECT_EQ(rates, OffDiagonal(dense->Q)) << prefix;

    // .lab: init is state 0; deadlock the states without transitions.
    std::vector<std::string> lab = Lines(ReadWhole(out + ".lab"));
    ASSERT_FALSE(lab.empty());
    EXPECT_EQ(lab[0], "0=\"init\" 1=\"deadlock\"");
    std::set<std::string> expectedLab = {"0: 0"};
    for (long i = 0; i < n; i++)
      if (rates.row(i).sum() == 0)
        expectedLab.insert(std::to_string(i) + ": 1");
    EXPECT_EQ(std::set<std::string>(lab.begin() + 1, lab.end()), expectedLab);

    // One .srew per variable: "states non-zero", then "i reward".
    const std::vector<std::string> files =
        prefix == chains.example ? std::vector<std::string>{"Reliability", "Availibility"}
                                 : std::vector<std::string>{"Up_time", "Repairs"};
    for (int v = 0; v < 2; v++) {
      std::istringstream srew(ReadWhole(out + "." + files[v] + ".srew"));
      long srewStates = 0, nonZero = 0;
      srew >> srewStates >> nonZero;
      EXPECT_EQ(srewStates, n);
      Eigen::VectorXd reward = Eigen::VectorXd::Zero(n);
      long entries = 0;
      for (long i; srew >> i; entries++)
        srew >> reward(i);
      EXPECT_EQ(entries, nonZero);
      EXPECT_EQ(reward, dense->Rewards[v]) << files[v];
    }
  }
  // The impulse reward that is not exported is mentioned.
  RunResult again = Export(chains.absorbing, "prism", chains.absorbing + "-prism");
  EXPECT_NE(again.err.find("Repairs has impulse rewards"), std::string::npos) << again.err;
}

TEST(ExportTest, PrismMarkingsAreOursNumberedFromZeroWithIdentifiers) {
  Chains chains;
  ASSERT_EQ(Export(chains.absorbing, "prism", chains.dir.path + "p").status, 0);
  EXPECT_EQ(ReadWhole(chains.dir.path + "p.sta"),
            "(Ok,Queue,phase_Repair_)\n0:(1,0,1)\n1:(0,2,1)\n2:(0,0,2)\n3:(0,-1,1)\n");
  // Without our .sta there is none, and the message says how to get one.
  RunResult run = Export(chains.example, "prism", chains.dir.path + "q");
  EXPECT_EQ(run.status, 0);
  EXPECT_FALSE(std::filesystem::exists(chains.dir.path + "q.sta"));
  EXPECT_NE(run.err.find("--states"), std::string::npos) << run.err;
}

TEST(ExportTest, DrnHoldsRatesRewardsAndLabels) {
  Chains chains;
  for (const auto& [prefix, dense] : {std::make_pair(chains.example, &chains.exampleDense),
                                      std::make_pair(chains.absorbing, &chains.absorbingDense)}) {
    ASSERT_EQ(Export(prefix, "drn", prefix + "-x").status, 0);
    std::vector<std::string> lines = Lines(ReadWhole(prefix + "-x.drn"));
    const long n = dense->Q.rows();
    auto after = [&](const std::string& key) {
      for (std::size_t i = 0; i + 1 < lines.size(); i++)
        if (lines[i] == key)
          return lines[i + 1];
      ADD_FAILURE() << "no " << key;
      return std::string();
    };
    EXPECT_NE(std::find(lines.begin(), lines.end(), "@type: CTMC"), lines.end());
    EXPECT_EQ(after("@nr_states"), std::to_string(n));
    EXPECT_EQ(after("@nr_choices"), std::to_string(n));
    std::istringstream names(after("@reward_models"));
    std::vector<std::string> rewardModels;
    for (std::string name; names >> name;)
      rewardModels.push_back(name);
    EXPECT_EQ(rewardModels.size(), 2u);

    Eigen::MatrixXd rates = Eigen::MatrixXd::Zero(n, n);
    std::vector<Eigen::VectorXd> rewards(2, Eigen::VectorXd::Zero(n));
    std::map<long, std::string> labels;
    long current = -1, states = 0;
    std::size_t model = 0;
    while (model < lines.size() && lines[model] != "@model")
      model++;
    for (std::size_t i = model + 1; i < lines.size(); i++) {
      const std::string& line = lines[i];
      if (line.rfind("state ", 0) == 0) {
        // state <i> [<r1>, <r2>]<labels>
        std::istringstream in(line.substr(6));
        char open = 0, comma = 0;
        in >> current;
        ASSERT_TRUE(current >= 0 && current < n) << line;
        in >> open >> rewards[0](current) >> comma >> rewards[1](current);
        EXPECT_EQ(open, '[');
        EXPECT_EQ(comma, ',');
        EXPECT_EQ(current, states++);
        labels[current] = line.substr(line.find(']') + 1);
      } else if (line.rfind("\t\t", 0) == 0) {
        // <target> : <rate>
        ASSERT_GE(current, 0);
        std::istringstream in(line.substr(2));
        long to = -1;
        char colon = 0;
        double rate = 0;
        in >> to >> colon >> rate;
        EXPECT_EQ(colon, ':');
        if (to != current)
          rates(current, to) = rate;
      } else {
        EXPECT_EQ(line, "\taction 0");
      }
    }
    EXPECT_EQ(states, n);
    EXPECT_EQ(rates, OffDiagonal(dense->Q));
    EXPECT_EQ(rewards[0], dense->Rewards[0]);
    EXPECT_EQ(rewards[1], dense->Rewards[1]);
    for (long i = 0; i < n; i++) {
      std::string expected = i == 0 ? " init" : "";
      if (rates.row(i).sum() == 0)
        expected += " deadlock";
      EXPECT_EQ(labels[i], expected) << i;
    }
  }
}

TEST(ExportTest, MatrixMarketReadByEigenIsTheGeneratorMatrix) {
  Chains chains;
  for (const auto& [prefix, dense] : {std::make_pair(chains.example, &chains.exampleDense),
                                      std::make_pair(chains.absorbing, &chains.absorbingDense)}) {
    ASSERT_EQ(Export(prefix, "mtx", prefix + "-m").status, 0);
    Eigen::SparseMatrix<double> q;
    ASSERT_TRUE(Eigen::loadMarket(q, prefix + "-m.mtx"));
    EXPECT_EQ(Eigen::MatrixXd(q), dense->Q) << prefix;
    for (long i = 0; i < dense->Q.rows(); i++)
      EXPECT_NEAR(Eigen::MatrixXd(q).row(i).sum(), 0.0, 1e-15);
  }
}

TEST(ExportTest, DotDrawsEveryTransitionWithMarkingsAsLabels) {
  Chains chains;
  for (const auto& [prefix, dense] : {std::make_pair(chains.example, &chains.exampleDense),
                                      std::make_pair(chains.absorbing, &chains.absorbingDense)}) {
    ASSERT_EQ(Export(prefix, "dot", prefix + "-d").status, 0);
    const std::string dot = ReadWhole(prefix + "-d.dot");
    EXPECT_EQ(dot.rfind("digraph ", 0), 0u);
    const long n = dense->Q.rows();
    Eigen::MatrixXd rates = Eigen::MatrixXd::Zero(n, n);
    // Edges: "  <from> -> <to> [label="<rate>"];"
    for (const std::string& line : Lines(dot)) {
      const std::size_t arrow = line.find(" -> ");
      if (arrow == std::string::npos)
        continue;
      const std::size_t label = line.find("[label=\"");
      ASSERT_NE(label, std::string::npos) << line;
      const long from = std::stol(line.substr(0, arrow));
      const long to = std::stol(line.substr(arrow + 4));
      rates(from - 1, to - 1) = std::stod(line.substr(label + 8));
    }
    EXPECT_EQ(rates, OffDiagonal(dense->Q)) << prefix;
  }
  // Labels: the number, then the places with a non-zero marking.
  const std::string dot = ReadWhole(chains.absorbing + "-d.dot");
  EXPECT_NE(dot.find("  1 [label=\"1\\nOk=1 phase(Repair)=1\"];"), std::string::npos) << dot;
  EXPECT_NE(dot.find("  4 [label=\"4\\nQueue=-1 phase(Repair)=1\"];"), std::string::npos);
  EXPECT_NE(ReadWhole(chains.example + "-d.dot").find("  44 [label=\"44\"];"), std::string::npos);
}

TEST(ExportTest, LargeDrawingsAndUnwritableFilesAreRefused) {
  SolverScratch dir;
  TestChain ring;
  ring.States = ChainExport::MaxDotStates + 1;
  for (std::uint32_t s = 1; s <= ring.States; s++)
    ring.add(s, s % ring.States + 1, 1.0);
  const std::string prefix = WriteChain(dir, "ring", ring);
  RunResult big = Export(prefix, "dot", dir.path + "ring");
  EXPECT_EQ(big.status, 1);
  EXPECT_NE(big.err.find("the chain has 2001 states; a drawing is made of at most 2000"),
            std::string::npos)
      << big.err;
  EXPECT_FALSE(std::filesystem::exists(dir.path + "ring.dot"));
  ASSERT_EQ(Export(prefix, "mtx", dir.path + "ring").status, 0);

  RunResult missing = Export(prefix, "prism", dir.path + "no/such/dir/x");
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find(dir.path + "no/such/dir/x.tra: cannot create the file"),
            std::string::npos)
      << missing.err;
  std::filesystem::create_symlink("/dev/full", dir.path + "full.mtx");
  RunResult full = Export(prefix, "mtx", dir.path + "full");
  EXPECT_EQ(full.status, 1);
  EXPECT_NE(full.err.find(dir.path + "full.mtx: cannot write the file: No space left"),
            std::string::npos)
      << full.err;

  RunResult unknown = RunProgram(Solver(), {prefix, "--export", "csv", "x"});
  EXPECT_EQ(unknown.status, 1);
  EXPECT_NE(unknown.err.find("'csv' is not one of prism, drn, mtx, dot"), std::string::npos);
  RunResult noPrefix = RunProgram(Solver(), {prefix, "--export", "mtx"});
  EXPECT_EQ(noPrefix.status, 1);
  EXPECT_NE(noPrefix.err.find("--export mtx needs the prefix"), std::string::npos);
}

} // namespace
