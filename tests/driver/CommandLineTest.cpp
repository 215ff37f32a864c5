#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "driver/CommandLine.h"

namespace {

// Parses the arguments (after the program name) into the settings; returns
// standard output.
struct Parsed {
  int fileType = 1;
  char* traceFileName = nullptr;
  std::string out;
  ~Parsed() { free(traceFileName); }
};

// The argument vector of `gen arguments...`, pointing into `arguments`
// (the program name is inserted first), after the settings are reset.
std::vector<char*> ArgumentVector(std::vector<std::string>& arguments) {
  ResetCommandLineSettings();
  arguments.insert(arguments.begin(), "gen");
  std::vector<char*> argv;
  argv.reserve(arguments.size());
  for (std::string& a : arguments)
    argv.push_back(a.data());
  return argv;
}

void Parse(Parsed& p, std::vector<std::string> arguments) {
  std::vector<char*> argv = ArgumentVector(arguments);
  testing::internal::CaptureStdout();
  commandline(static_cast<int>(argv.size()), argv.data(), p.fileType, p.traceFileName);
  p.out = testing::internal::GetCapturedStdout();
}

class CommandLineTest : public testing::Test {
protected:
  void TearDown() override { ResetCommandLineSettings(); }
};

TEST_F(CommandLineTest, JoinedAndSeparateValuesAreTheSame) {
  Parsed joined, separate;
  Parse(joined, {"-Pout/", "-Nexp1", "-B2"});
  std::string path = gExperimentPath, name = gExperimentName;
  int exp = ExpNum;
  Parse(separate, {"-P", "out/", "-N", "exp1", "-B", "2"});
  EXPECT_EQ(path, "out/");
  EXPECT_EQ(name, "exp1");
  EXPECT_EQ(exp, 2);
  EXPECT_EQ(gExperimentPath, path);
  EXPECT_EQ(gExperimentName, name);
  EXPECT_EQ(ExpNum, exp);
  EXPECT_EQ(joined.out, "path=[out/]\n");
  EXPECT_EQ(separate.out, joined.out);
}

TEST_F(CommandLineTest, EverySettingIsRead) {
  Parsed p;
  Parse(p, {"-P", "a/", "-Nx", "-B5", "-h0.25", "-F", "3", "-l4", "-ttrace.txt", "-shost", "-e",
            "entity", "-Od:meo:0.5", "-a"});
  EXPECT_EQ(gExperimentPath, "a/");
  EXPECT_EQ(gExperimentName, "x");
  EXPECT_EQ(ExpNum, 5);
  EXPECT_EQ(hash_value, 0.25);
  EXPECT_EQ(p.fileType, 3);
  EXPECT_EQ(TempTraceLevel, 4);
  EXPECT_STREQ(p.traceFileName, "trace.txt");
  EXPECT_STREQ(db_host, "host");
  EXPECT_STREQ(db_entity, "entity");
  EXPECT_STREQ(OverrideString, "d:meo:0.5");
  EXPECT_EQ(flagAbsorb, 1);
  EXPECT_EQ(p.out, "path=[a/]\nTraceLevel=4\nOverrideString is d:meo:0.5\n");
}

TEST_F(CommandLineTest, DefaultsHoldWhenOptionsAreAbsent) {
  Parsed p;
  Parse(p, {"-Pout/", "-Nexp1", "stray"});
  EXPECT_EQ(ExpNum, 0);
  EXPECT_EQ(hash_value, 0.5);
  EXPECT_EQ(flagAbsorb, 0);
  EXPECT_EQ(TempTraceLevel, 0);
  EXPECT_EQ(p.fileType, 1);
  EXPECT_EQ(p.traceFileName, nullptr);
  EXPECT_EQ(OverrideString, nullptr);
  EXPECT_EQ(db_host, nullptr);
  EXPECT_EQ(db_entity, nullptr);
}

TEST_F(CommandLineTest, UnknownOptionIsReportedWithTheArgumentLastConsumed) {
  Parsed separate;
  Parse(separate, {"-Pout/", "-Nexp1", "-x", "7", "-B1"});
  EXPECT_EQ(separate.out, "path=[out/]\nERROR: unknown argument: 7\n");
  EXPECT_EQ(ExpNum, 1); // parsing went on
  Parsed joined;
  Parse(joined, {"-Pout/", "-Nexp1", "-x7"});
  EXPECT_EQ(joined.out, "path=[out/]\nERROR: unknown argument: -x7\n");
}

TEST_F(CommandLineTest, LoneDashIsAnUnknownArgumentThatTakesNoValue) {
  Parsed last;
  Parse(last, {"-Pout/", "-Nexp1", "-"});
  EXPECT_EQ(last.out, "path=[out/]\nERROR: unknown argument: -\n");

  // Only a two-character option takes the next word as its value; the word
  // after a lone '-' is an ordinary argument, skipped.
  Parsed followed;
  Parse(followed, {"-Pout/", "-", "word", "-Nexp1"});
  EXPECT_EQ(followed.out, "path=[out/]\nERROR: unknown argument: -\n");
  EXPECT_EQ(gExperimentName, "exp1");
}

TEST_F(CommandLineTest, AbsorbFlagTakesNoValueButSwallowsAWord) {
  Parsed last;
  Parse(last, {"-Pout/", "-Nexp1", "-a"});
  EXPECT_EQ(flagAbsorb, 1);
  Parsed swallowing;
  Parse(swallowing, {"-Pout/", "-a", "word", "-Nexp1"});
  EXPECT_EQ(flagAbsorb, 1);
  EXPECT_EQ(gExperimentName, "exp1");
  EXPECT_EQ(swallowing.out, "path=[out/]\n");
}

TEST_F(CommandLineTest, OptionFollowedByAnotherOptionDoesNotSwallowIt) {
  // -a takes no value: the option after it is read as an option.
  Parsed absorb;
  Parse(absorb, {"-Pout/", "-a", "-Nexp1", "-B", "2"});
  EXPECT_EQ(flagAbsorb, 1);
  EXPECT_EQ(gExperimentName, "exp1");
  EXPECT_EQ(ExpNum, 2);
}

TEST_F(CommandLineTest, LoadFactorThatDoesNotParseKeepsTheDefault) {
  Parsed p;
  Parse(p, {"-Pout/", "-Nexp1", "-hfast"});
  EXPECT_EQ(hash_value, 0.5);
  Parse(p, {"-Pout/", "-Nexp1", "-h", "1"});
  EXPECT_EQ(hash_value, 1.0);
}

TEST_F(CommandLineTest, NumbersThatDoNotParseAreZero) {
  Parsed p;
  Parse(p, {"-Pout/", "-Bx", "-Fy", "-lz"});
  EXPECT_EQ(ExpNum, 0);
  EXPECT_EQ(p.fileType, 0);
  EXPECT_EQ(TempTraceLevel, 0);
}

TEST_F(CommandLineTest, LastOfARepeatedOptionWins) {
  Parsed p;
  Parse(p, {"-sone", "-stwo", "-Oa", "-Ob", "-tx", "-ty"});
  EXPECT_STREQ(db_host, "two");
  EXPECT_STREQ(OverrideString, "b");
  EXPECT_STREQ(p.traceFileName, "y");
}

using CommandLineDeathTest = CommandLineTest;

TEST_F(CommandLineDeathTest, LoadFactorOutsideZeroToOneIsRejected) {
  for (const char* value : {"1.5", "0", "-0.5", "nan"}) {
    Parsed p;
    EXPECT_EXIT(Parse(p, {"-Pout/", "-Nexp1", std::string("-h") + value}),
                testing::ExitedWithCode(1),
                std::string("-h ") + value + ": hash load factor out of range");
  }
}

TEST_F(CommandLineDeathTest, OptionWithoutValueBeforeAnotherOptionStops) {
  // -N has no value of its own; -B0 is the next option, not the name.
  Parsed p;
  EXPECT_EXIT(Parse(p, {"-Pout/", "-N", "-B0", "-l1"}), testing::ExitedWithCode(1),
              "^-N: this option needs a value");
}

// The parser without exiting: the same messages, and the status the
// program would end with.
int ParseStatus(Parsed& p, std::vector<std::string> arguments, std::string& err) {
  std::vector<char*> argv = ArgumentVector(arguments);
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  const int status =
      ParseCommandLine(static_cast<int>(argv.size()), argv.data(), p.fileType, p.traceFileName);
  err = testing::internal::GetCapturedStderr();
  p.out = testing::internal::GetCapturedStdout();
  return status;
}

TEST_F(CommandLineTest, ParseReturnsTheStatusTheProgramEndsWith) {
  std::string err;
  {
    Parsed p;
    EXPECT_EQ(ParseStatus(p, {"-Pout/", "-Nexp1", "-B2"}, err), ContinueRun);
    EXPECT_EQ(ExpNum, 2);
    EXPECT_EQ(err, "");
  }
  {
    Parsed p;
    EXPECT_EQ(ParseStatus(p, {"-Pout/", "-Nexp1", "-h2"}, err), 1);
    EXPECT_EQ(err.rfind("-h 2: hash load factor out of range", 0), 0U) << err;
  }
  {
    // The trace file name read before the error is handed back to be freed.
    Parsed p;
    EXPECT_EQ(ParseStatus(p, {"-tt.txt", "-Nexp1", "-B"}, err), 1);
    EXPECT_EQ(err.rfind("-B: this option needs a value", 0), 0U) << err;
    EXPECT_STREQ(p.traceFileName, "t.txt");
  }
  {
    Parsed p;
    EXPECT_EQ(ParseStatus(p, {"-Pout/"}, err), 0);
    EXPECT_EQ(p.out.rfind("usage:  gen ", 0), 0U) << p.out;
  }
  {
    Parsed p;
    EXPECT_EQ(ParseStatus(p, {"-Pout/", "-Nexp1", "-B", "--version"}, err), 0);
    EXPECT_EQ(p.out, "gen (state-space generator) 1.0.0\n");
    EXPECT_EQ(err, "");
  }
}

TEST_F(CommandLineTest, UnknownLongOptionEndsTheRunBeforeAnythingIsRead) {
  std::string err;
  struct Case {
    const char* word;
    const char* nearest;
  };
  for (const Case& c : {Case{"--state", "--states"}, Case{"--progres", "--progress"},
                        Case{"--max-state=4", "--max-states"}, Case{"--verison", "--version"},
                        Case{"--states=1", "--states"}, Case{"--list", "--list-experiments"},
                        Case{"--frobnicate", "--states"}}) {
    Parsed p;
    // Before -P is read: nothing printed on standard output, not even the
    // usage of a short command line.
    EXPECT_EQ(ParseStatus(p, {"-Pout/", c.word}, err), UnknownLongOption) << c.word;
    EXPECT_EQ(err, std::string("gen: unknown option '") + c.word + "'; did you mean '" + c.nearest +
                       "'? (gen --help lists the options)\n");
    EXPECT_EQ(p.out, "");
    EXPECT_EQ(gExperimentPath, "");
  }
  // --help still wins.
  Parsed help;
  EXPECT_EQ(ParseStatus(help, {"--stats", "--help"}, err), 0);
  EXPECT_EQ(help.out.rfind("Usage: gen ", 0), 0U);
}

TEST_F(CommandLineTest, MaxStatesTakesAWholeNumberAboveZero) {
  std::string err;
  Parsed separate, joined;
  EXPECT_EQ(ParseStatus(separate, {"-Pout/", "-Nexp1", "--max-states", "1000"}, err), ContinueRun);
  EXPECT_EQ(gMaxStates, 1000U);
  EXPECT_EQ(ParseStatus(joined, {"-Pout/", "-Nexp1", "--max-states=18446744073709551615"}, err),
            ContinueRun);
  EXPECT_EQ(gMaxStates, 18446744073709551615ULL);
  for (const char* value : {"0", "-1", "1e6", "", "18446744073709551616"}) {
    Parsed p;
    EXPECT_EQ(ParseStatus(p, {"-Pout/", "-Nexp1", std::string("--max-states=") + value}, err), 1)
        << value;
    EXPECT_NE(err.find("the limit must be a whole number of states, 1 or more"), std::string::npos)
        << err;
  }
  Parsed missing;
  EXPECT_EQ(ParseStatus(missing, {"-Pout/", "-Nexp1", "--max-states", "-B1"}, err), 1);
  EXPECT_EQ(err, "--max-states: this option needs a value (e.g. --max-states 1000000)\n");
  ResetCommandLineSettings();
  EXPECT_EQ(gMaxStates, 0U);
}

} // namespace
