// The ssg-solve program: options, exit statuses and messages, CSV and plot
// output, and deterministic models (answered with their .det file).

#include <gtest/gtest.h>

#include "solver/SolverError.h"
#include "solver/SolverOptions.h"
#include "tests/driver/Subprocess.h"
#include "tests/solver/SolverTestFiles.h"

namespace {

std::string Solver() {
  return std::string(SSG_BINARY_DIR) + "/ssg-solve";
}

TestChain Unit() {
  TestChain chain;
  chain.States = 2;
  chain.add(1, 2, 1.0);
  chain.add(2, 1, 3.0);
  chain.Variables = {TestVariable{"Up", 3, {{0, 1}}, {1, 0}, {}},
                     TestVariable{"UpAt", 0, {{0.5, 0.5}, {2, 2}}, {1, 0}, {}}};
  return chain;
}

TEST(SolverOptionsTest, ValuesAfterASpaceOrAnEqualsSign) {
  SolverOptions a =
      SolverOptions::Parse({"out/exp1", "--epsilon", "1e-8", "--method=sor", "--omega", "1.1",
                            "--csv=r.csv", "--max-iterations", "7", "--plot", "p.svg", "-q"});
  EXPECT_EQ(a.Prefix, "out/exp1");
  EXPECT_EQ(a.Epsilon, 1e-8);
  EXPECT_EQ(a.SolveMethod, SolverOptions::Method::SOR);
  EXPECT_EQ(a.Omega, 1.1);
  EXPECT_EQ(a.CsvFile, "r.csv");
  EXPECT_EQ(a.MaxIterations, 7u);
  EXPECT_EQ(a.PlotFile, "p.svg");
  EXPECT_TRUE(a.Quiet);
  EXPECT_EQ(SolverOptions::Parse({"out/exp1.arm"}).Prefix, "out/exp1");
  EXPECT_TRUE(SolverOptions::Parse({"--help"}).Help);
  EXPECT_TRUE(SolverOptions::Parse({"--version"}).Version);
}

TEST(SolverOptionsTest, BadCommandLinesSayWhatIsWrong) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{}, "missing the files' prefix"},
      {{"a", "b"}, "more than one prefix"},
      {{"a", "--frobnicate"}, "unknown option '--frobnicate'"},
      {{"a", "--epsilon"}, "--epsilon needs a value"},
      {{"a", "--epsilon=abc"}, "'abc' is not a number"},
      {{"a", "--epsilon", "2"}, "strictly between 0 and 1"},
      {{"a", "--method", "lu"}, "'lu' is not one of"},
      {{"a", "--omega=2.5"}, "strictly between 0 and 2"},
      {{"a", "--max-iterations", "0"}, "at least 1"},
      {{"a", "--plot", "x.pdf"}, "must end in .png or .svg"},
      {{"a", "--quiet=yes"}, "takes no value"},
  };
  for (const auto& [arguments, message] : cases) {
    try {
      SolverOptions::Parse(arguments);
      ADD_FAILURE() << "accepted: " << message;
    } catch (const SolverError& e) {
      EXPECT_EQ(e.exitStatus(), 1);
      EXPECT_NE(std::string(e.what()).find(message), std::string::npos) << e.what();
    }
  }
}

TEST(SsgSolveTest, HelpVersionAndUsageErrors) {
  RunResult help = RunProgram(Solver(), {"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Usage: ssg-solve <path><name>"), std::string::npos);
  EXPECT_NE(help.out.find("--epsilon"), std::string::npos);
  RunResult version = RunProgram(Solver(), {"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "ssg-solve " + std::string(SolverOptions::VersionText) + "\n");
  RunResult none = RunProgram(Solver(), {});
  EXPECT_EQ(none.status, 1);
  EXPECT_NE(none.err.find("missing the files' prefix"), std::string::npos) << none.err;
}

TEST(SsgSolveTest, MissingAndMalformedFilesExitOneNamingTheFile) {
  SolverScratch dir;
  RunResult missing = RunProgram(Solver(), {dir.path + "nothing"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("nothing.pvtype: cannot open"), std::string::npos) << missing.err;
  EXPECT_EQ(missing.out, "");

  const std::string prefix = WriteChain(dir, "unit", Unit());
  std::string arm = ReadWhole(prefix + ".arm");
  arm.replace(arm.find("3.0000000000e+00"), 16, "3.0000000000e+0q");
  WriteWhole(prefix + ".arm", arm);
  RunResult bad = RunProgram(Solver(), {prefix});
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.err.find("unit.arm:10: expected a rate"), std::string::npos) << bad.err;
  EXPECT_EQ(bad.out, "");
}

TEST(SsgSolveTest, DeterministicModelIsAnsweredWithItsDetFileOnly) {
  SolverScratch dir;
  RunResult gen =
      RunProgram(std::string(SSG_BINARY_DIR) + "/gen-mdk", {"-P" + dir.path, "-Nmdk0", "-B0"});
  ASSERT_EQ(gen.status, 0) << gen.err;
  RunResult withDet = RunProgram(Solver(), {dir.path + "mdk0", "-q"});
  EXPECT_EQ(withDet.status, 0) << withDet.err;
  EXPECT_EQ(withDet.err, "");
  EXPECT_NE(withDet.out.find("\nBusy         steady-state            -     0."), std::string::npos)
      << withDet.out;
  // Without the .det file the negative entries are refused: nothing says
  // which delay they have.
  std::remove((dir.path + "mdk0.det").c_str());
  RunResult negative = RunProgram(Solver(), {dir.path + "mdk0"});
  EXPECT_EQ(negative.status, 2);
  EXPECT_NE(negative.err.find("mdk0.arm:"), std::string::npos) << negative.err;
  EXPECT_NE(negative.err.find("Markov regenerative solver"), std::string::npos);
}

TEST(SsgSolveTest, NonConvergenceExitsThreeWithTheResidualAndNoNumber) {
  SolverScratch dir;
  const std::string prefix = WriteChain(dir, "unit", Unit());
  RunResult run =
      RunProgram(Solver(), {prefix, "--method=jacobi", "--omega=1", "--max-iterations=50"});
  EXPECT_EQ(run.status, 3);
  EXPECT_NE(run.err.find("residual"), std::string::npos) << run.err;
  EXPECT_NE(run.out.find("not converged"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find(" 0.75\n"), std::string::npos) << run.out;
  // The time-dependent rows are still there.
  EXPECT_NE(run.out.find("UpAt"), std::string::npos);
}

TEST(SsgSolveTest, CsvHasEveryRow) {
  SolverScratch dir;
  const std::string prefix = WriteChain(dir, "unit", Unit());
  RunResult run = RunProgram(Solver(), {prefix, "--csv", dir.path + "unit.csv", "-q"});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string csv = ReadWhole(dir.path + "unit.csv");
  EXPECT_EQ(csv.substr(0, csv.find('\n')), "variable,type,start,stop,value,note");
  EXPECT_NE(csv.find("\nUp,steady-state,,,0.75,\n"), std::string::npos) << csv;
  EXPECT_NE(csv.find("\nUpAt,instant-of-time,0.5,0.5,"), std::string::npos) << csv;
  EXPECT_NE(csv.find("\nUpAt,instant-of-time,2,2,"), std::string::npos) << csv;

  RunResult unwritable = RunProgram(Solver(), {prefix, "--csv", dir.path + "no/such/dir.csv"});
  EXPECT_EQ(unwritable.status, 1);
  EXPECT_NE(unwritable.err.find("cannot create the CSV file"), std::string::npos);
}

TEST(SsgSolveTest, PlotWithAndWithoutGnuplot) {
  SolverScratch dir;
  const std::string prefix = WriteChain(dir, "unit", Unit());
  const std::string svg = dir.path + "unit.svg";
  RunResult drawn = RunProgram(Solver(), {prefix, "--plot", svg, "-q"});
  if (access("/usr/bin/gnuplot", X_OK) == 0) {
    EXPECT_EQ(drawn.status, 0) << drawn.err;
    EXPECT_NE(ReadWhole(svg).find("<svg"), std::string::npos);
  }

  RunResult without = RunProgram(
      "/usr/bin/env", {"PATH=/nonexistent", Solver(), prefix, "--plot", dir.path + "other.png"});
  EXPECT_EQ(without.status, 4);
  EXPECT_NE(without.err.find("apt-get install gnuplot-nox"), std::string::npos) << without.err;
  EXPECT_NE(without.out.find("UpAt"), std::string::npos); // the table is still printed

  // Nothing to draw when no variable is instant-of-time.
  TestChain steadyOnly = Unit();
  steadyOnly.Variables.pop_back();
  RunResult nothing = RunProgram(Solver(), {WriteChain(dir, "steady", steadyOnly), "--plot", svg});
  EXPECT_EQ(nothing.status, 4);
  EXPECT_NE(nothing.err.find("no instant-of-time variable"), std::string::npos) << nothing.err;
}

} // namespace
