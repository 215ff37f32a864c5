#ifndef TESTS_SOLVER_SOLVERTESTFILES_H
#define TESTS_SOLVER_SOLVERTESTFILES_H

// Small chains written as the generator writes them (.arm, .var, .pvtype,
// and the exact rewards .rew and impulses .imp), and solving them through
// the solver library.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "solver/Progress.h"
#include "solver/SolverOptions.h"
#include "solver/io/ChainFiles.h"
#include "solver/numeric/ChainSolver.h"

// A fresh directory removed at the end of the test; path ends in '/'.
struct SolverScratch {
  std::string path;
  SolverScratch() {
    char name[] = "/tmp/ssg_solver_test_XXXXXX";
    char* made = mkdtemp(name);
    EXPECT_NE(made, nullptr);
    path = std::string(made ? made : "/tmp") + "/";
  }
  ~SolverScratch() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
  SolverScratch(const SolverScratch&) = delete;
  SolverScratch& operator=(const SolverScratch&) = delete;
};

inline std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

inline void WriteWhole(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

inline std::string Scientific(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.10e", value);
  return text;
}

inline std::string General(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

struct TestVariable {
  std::string Name;
  int Type = 3;
  std::vector<std::pair<double, double>> Times{{0, 1}};
  std::vector<double> Rate;    // per state, index 0 = state 1
  std::vector<double> Impulse; // per state, or empty for zeros
};

// A chain: states 1..States, transitions (from, to, rate) with 1-based
// numbers, listed in any order (written sorted per state, as the generator
// does, merging nothing).
struct TestChain {
  std::uint32_t States = 0;
  std::vector<std::tuple<std::uint32_t, std::uint32_t, double>> Transitions;
  std::vector<TestVariable> Variables;
  // (from, to, variable, A, L): impulses along the entry from -> to, summed
  // into it like the rates (the .imp file is written when there is one).
  std::vector<std::tuple<std::uint32_t, std::uint32_t, std::size_t, double, double>> Impulses;

  void add(std::uint32_t from, std::uint32_t to, double rate) {
    Transitions.emplace_back(from, to, rate);
  }
  // An activity's firing from -> to at `rate` whose completions earn
  // `all` in total for variable v, `last` by the last one.
  void fire(std::uint32_t from, std::uint32_t to, double rate, std::size_t v, double all,
            double last) {
    add(from, to, rate);
    Impulses.emplace_back(from, to, v, rate * all, rate * last);
  }
};

inline std::string ArmText(const TestChain& chain, int fileType = 1) {
  std::map<std::uint32_t, std::map<std::uint32_t, double>> rows;
  for (auto [from, to, rate] : chain.Transitions)
    rows[from][to] += rate;
  // The generator's header: type, then 63 blanks, then the count written
  // over their start.
  std::string count = std::to_string(chain.States);
  std::string text =
      std::to_string(fileType) + "\n" + count + "\n" + std::string(62 - count.size(), ' ') + "\n";
  for (std::uint32_t s = 1; s <= chain.States; s++) {
    text += std::to_string(s) + "\n";
    for (auto [to, rate] : rows[s])
      text += std::to_string(to) + "\n" + Scientific(rate) + "\n";
    text += "0\n";
  }
  return text;
}

inline std::string PVTypeText(const TestChain& chain) {
  std::string text = "Version:1\nNumPV:" + std::to_string(chain.Variables.size()) + "\n";
  for (const TestVariable& v : chain.Variables) {
    text += "Name:" + v.Name + "\nType:" + std::to_string(v.Type) +
            "\nNumTimes:" + std::to_string(v.Times.size()) + "\n";
    for (auto [start, stop] : v.Times)
      text += "Start:" + General(start) + "\nStop:" + General(stop) + "\n";
  }
  return text;
}

inline std::string VarText(const TestChain& chain) {
  std::string text;
  for (const TestVariable& v : chain.Variables)
    text += v.Name + "\n";
  for (std::uint32_t s = 1; s <= chain.States; s++) {
    text += std::to_string(s) + "\n";
    for (const TestVariable& v : chain.Variables) {
      double impulse = v.Impulse.empty() ? 0.0 : v.Impulse[s - 1];
      text += General(impulse) + "\n" + General(v.Rate[s - 1]) + "\n";
    }
  }
  return text;
}

inline std::string VarBinary(const TestChain& chain) {
  std::string text;
  for (const TestVariable& v : chain.Variables)
    text += v.Name + "\n";
  auto put = [&](const void* bytes, std::size_t n) {
    text.append(static_cast<const char*>(bytes), n); // the test host is little-endian
  };
  for (std::uint32_t s = 1; s <= chain.States; s++) {
    put(&s, 4);
    for (const TestVariable& v : chain.Variables) {
      double impulse = v.Impulse.empty() ? 0.0 : v.Impulse[s - 1];
      put(&impulse, 8);
      put(&v.Rate[s - 1], 8);
    }
  }
  return text;
}

// Little-endian pieces of the binary files (the test host is little-endian).
inline void PutU32(std::string& text, std::uint32_t value) {
  text.append(reinterpret_cast<const char*>(&value), 4);
}
inline void PutDouble(std::string& text, double value) {
  text.append(reinterpret_cast<const char*>(&value), 8);
}

// The .rew file: magic, k, per variable its times, per state its rate
// rewards, the trailer n and "END\n".
inline std::string RewBinary(const TestChain& chain) {
  std::string text = "SSGREW1\n";
  PutU32(text, static_cast<std::uint32_t>(chain.Variables.size()));
  for (const TestVariable& v : chain.Variables) {
    PutU32(text, static_cast<std::uint32_t>(v.Times.size()));
    for (auto [start, stop] : v.Times) {
      PutDouble(text, start);
      PutDouble(text, stop);
    }
  }
  for (std::uint32_t s = 1; s <= chain.States; s++)
    for (const TestVariable& v : chain.Variables)
      PutDouble(text, v.Rate[s - 1]);
  PutU32(text, chain.States);
  return text + "END\n";
}

// The .imp file: magic, k, per state its number, its entries (those of
// ArmText, in its order) and per entry and variable A and L; the trailer.
inline std::string ImpBinary(const TestChain& chain) {
  std::map<std::uint32_t, std::map<std::uint32_t, std::vector<std::pair<double, double>>>> rows;
  const std::size_t k = chain.Variables.size();
  for (auto [from, to, rate] : chain.Transitions)
    rows[from][to].resize(k, {0.0, 0.0});
  for (auto [from, to, v, all, last] : chain.Impulses) {
    rows[from][to].resize(k, {0.0, 0.0});
    rows[from][to][v].first += all;
    rows[from][to][v].second += last;
  }
  std::string text = "SSGIMP1\n";
  PutU32(text, static_cast<std::uint32_t>(k));
  for (std::uint32_t s = 1; s <= chain.States; s++) {
    PutU32(text, s);
    PutU32(text, static_cast<std::uint32_t>(rows[s].size()));
    for (const auto& [to, values] : rows[s])
      for (auto [all, last] : values) {
        PutDouble(text, all);
        PutDouble(text, last);
      }
  }
  PutU32(text, chain.States);
  return text + "END\n";
}

// Writes <dir><name>.arm/.var/.pvtype, the .rew when `exact` (as every
// current run does) and the .imp when the chain has impulses; returns the
// prefix.
inline std::string WriteChain(const SolverScratch& dir, const std::string& name,
                              const TestChain& chain, bool binaryVar = false, bool exact = true) {
  std::string prefix = dir.path + name;
  WriteWhole(prefix + ".arm", ArmText(chain, binaryVar ? 0 : 1));
  WriteWhole(prefix + ".var", binaryVar ? VarBinary(chain) : VarText(chain));
  WriteWhole(prefix + ".pvtype", PVTypeText(chain));
  if (exact)
    WriteWhole(prefix + ".rew", RewBinary(chain));
  if (!chain.Impulses.empty())
    WriteWhole(prefix + ".imp", ImpBinary(chain));
  return prefix;
}

inline SolverOptions MethodOptions(SolverOptions::Method method = SolverOptions::Method::Auto,
                                   double epsilon = 1e-12) {
  SolverOptions options;
  options.SolveMethod = method;
  options.Epsilon = epsilon;
  options.Quiet = true;
  return options;
}

inline ChainSolver::Result SolvePrefix(const std::string& prefix, const SolverOptions& options,
                                       bool curves = false) {
  Progress quiet(false);
  ChainFiles files = ChainFiles::Read(prefix, quiet);
  return ChainSolver::Solve(files.Matrix, ChainSolver::MeasuresOf(files), options, quiet, curves);
}

// The row of `variable` at `start` (any start for steady-state rows).
inline const ChainSolver::Row& RowOf(const ChainSolver::Result& result, const std::string& variable,
                                     double start = -1) {
  for (const ChainSolver::Row& row : result.Rows)
    if (row.Variable == variable && (start < 0 || row.Start == start))
      return row;
  ADD_FAILURE() << "no row for " << variable << " at " << start;
  static ChainSolver::Row none;
  return none;
}

#endif
