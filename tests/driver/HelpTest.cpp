// --help and --version of every program (model executables, ssg-solve,
// ssg-compile, ssg-study, the benchmark scripts): exit status 0 whatever else is on
// the command line, every option on a line of its own, an example; and the
// single-letter options of a model executable unchanged beside them.

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "driver/CommandLine.h"
#include "tests/driver/Subprocess.h"

namespace {

std::string Binary(const std::string& name) {
  return std::string(SSG_BINARY_DIR) + "/" + name;
}

// The model executables of this build.
std::vector<std::string> ModelExecutables() {
  std::vector<std::string> found;
  for (const char* name : {"gen", "gen-example-san", "gen-kanban", "gen-fms", "gen-mdk",
                           "gen-repairman", "gen-breakdown"})
    if (std::filesystem::exists(Binary(name)))
      found.emplace_back(name);
  return found;
}

// The line of `text` that begins with `start` (after blanks), or "".
std::string LineStarting(const std::string& text, const std::string& start) {
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    const std::size_t first = line.find_first_not_of(' ');
    if (first != std::string::npos && line.compare(first, start.size(), start) == 0)
      return line;
  }
  return "";
}

TEST(HelpTest, ModelExecutablesListEveryOptionWhateverElseIsGiven) {
  const std::vector<std::string> executables = ModelExecutables();
  ASSERT_FALSE(executables.empty());
  for (const std::string& name : executables) {
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"--help"},
          std::vector<std::string>{"-P", "/nonexistent/", "-Nx", "-B99", "--help", "-x"},
          std::vector<std::string>{"-h", "--help"}}) {
      RunResult run = RunProgram(Binary(name), arguments);
      EXPECT_EQ(run.status, 0) << name;
      EXPECT_EQ(run.err, "") << name;
      EXPECT_EQ(run.out.rfind("Usage: " + name + " -P<path> -N<name>", 0), 0u) << run.out;
      for (const char* option :
           {"-P<path>", "-N<name>", "-B<n>", "-O<", "-h<x>", "-a ", "-l<0-4>", "-t<file>", "-F<n>",
            "-s<", "-e<", "--states", "--progress", "--help", "--version"}) {
        const std::string line = LineStarting(run.out, option);
        EXPECT_NE(line, "") << name << " has no line for " << option;
        // Option and explanation on one line.
        EXPECT_GT(line.size(), std::string(option).size() + 10) << line;
      }
      EXPECT_NE(run.out.find("Example:\n  " + name + " -P out/ -Nexp1 -B0"), std::string::npos)
          << run.out;
    }
    RunResult version = RunProgram(Binary(name), {"-Pout/", "--version", "-Nx"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out,
              name + " (state-space generator) " + std::string(GeneratorVersion) + "\n");
  }
}

TEST(HelpTest, TheShortUsageAndUnknownLettersAreAsBefore) {
  RunResult usage = RunProgram(Binary("gen"), {"-P.", "-Nexp1"});
  EXPECT_EQ(usage.status, 0);
  EXPECT_EQ(usage.out.rfind("usage:  gen -Pexperimentfilepath", 0), 0u) << usage.out;
  // An unknown letter is reported and the run goes on; an unknown long
  // option (all of them are ours) ends it first, with status 2.
  const std::string dir = std::filesystem::temp_directory_path() / "ssg_help_test/";
  std::filesystem::create_directories(dir);
  RunResult run = RunProgram(Binary("gen"), {"-P", dir, "-Nexp1", "-x7"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("ERROR: unknown argument: -x7\n"), std::string::npos);
  RunResult longOption = RunProgram(Binary("gen"), {"-P", dir, "-Nexp1", "--frobnicate", "-x7"});
  EXPECT_EQ(longOption.status, 2);
  EXPECT_EQ(longOption.out, "");
  EXPECT_EQ(longOption.err.rfind("gen: unknown option '--frobnicate'; did you mean '--", 0), 0u)
      << longOption.err;
  std::filesystem::remove_all(dir);
}

TEST(HelpTest, SolverCompilerAndStudyRunnerAnswerWhateverElseIsGiven) {
  struct Case {
    std::string program;
    std::vector<std::string> options; // each must begin a line of the help
  };
  const Case cases[] = {
      {"ssg-solve",
       {"--epsilon", "--max-iterations", "--method", "--omega", "--where", "--times", "--export",
        "--csv", "--plot", "--quiet", "--help", "--version"}},
      {"ssg-compile", {"-o, --output", "--check", "--max-errors", "--help", "--version"}},
      {"ssg-study",
       {"--out", "--db", "--experiments", "--jobs", "--plot", "--report", "--study", "--quiet",
        "--help", "--version"}},
  };
  for (const Case& c : cases) {
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"--help"},
          std::vector<std::string>{"--no-such-option", "a", "b", "--help"}}) {
      RunResult run = RunProgram(Binary(c.program), arguments);
      EXPECT_EQ(run.status, 0) << c.program << run.err;
      for (const std::string& option : c.options)
        EXPECT_NE(LineStarting(run.out, option), "") << c.program << " " << option;
      EXPECT_NE(run.out.find("Example"), std::string::npos) << c.program;
    }
    RunResult version = RunProgram(Binary(c.program), {"--bogus", "--version"});
    EXPECT_EQ(version.status, 0) << c.program;
    EXPECT_EQ(version.out.rfind(c.program + " ", 0), 0u) << version.out;
  }
}

// The benchmark scripts answer before they build or run anything.
TEST(HelpTest, BenchmarkScriptsAnswerWhateverElseIsGiven) {
  for (const std::string script : {"bench/run.sh", "bench/solve.sh"}) {
    const std::string path = std::string(SSG_SOURCE_DIR) + "/" + script;
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"--help"},
          std::vector<std::string>{"no-such-case:1", "--repeat", "--help"}}) {
      RunResult run = RunProgram(path, arguments);
      EXPECT_EQ(run.status, 0) << script << run.err;
      EXPECT_NE(run.out.find("\nUsage: " + script + " ["), std::string::npos) << run.out;
      for (const char* option : {"--repeat", "--keep", "--help, --version"})
        EXPECT_NE(LineStarting(run.out, option), "") << script << " " << option;
      EXPECT_EQ(run.out.find("set -u"), std::string::npos) << run.out;
    }
    RunResult version = RunProgram(path, {"no-such-case:1", "--version"});
    EXPECT_EQ(version.status, 0) << script;
    EXPECT_EQ(version.out, script + " 1.0.0\n");
  }
}

} // namespace
