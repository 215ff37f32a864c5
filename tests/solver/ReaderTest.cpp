// Reading the generator's files: what is accepted, and every error with its
// file, line and exit status.

#include <gtest/gtest.h>

#include <limits>

#include "solver/io/ArmReader.h"
#include "solver/io/CompactColumn.h"
#include "solver/io/PVTypeReader.h"
#include "solver/SolverError.h"
#include "tests/solver/SolverTestFiles.h"

namespace {

TestChain SmallChain() {
  TestChain chain;
  chain.States = 3;
  chain.add(1, 2, 0.5);
  chain.add(1, 3, 1e-100); // a three-digit exponent
  chain.add(2, 1, 2.0);
  chain.add(3, 1, 1.0);
  chain.Variables = {TestVariable{"Up", 3, {{0, 1}}, {1, 1, 0}, {}},
                     TestVariable{"Point", 0, {{2, 2}}, {1, 0.5, 0}, {}}};
  return chain;
}

// Reads the files at `prefix`; the error raised, or fails the test.
SolverError ReadError(const std::string& prefix) {
  Progress quiet(false);
  try {
    ChainFiles::Read(prefix, quiet);
  } catch (const SolverError& e) {
    return e;
  }
  ADD_FAILURE() << "no error reading " << prefix;
  return SolverError(SolverError::InputError, "");
}

// Replaces the first occurrence of `from` in a file.
void Edit(const std::string& path, const std::string& from, const std::string& to) {
  std::string text = ReadWhole(path);
  std::size_t at = text.find(from);
  ASSERT_NE(at, std::string::npos) << from;
  text.replace(at, from.size(), to);
  WriteWhole(path, text);
}

void ExpectError(const std::string& prefix, SolverError::Status status, const std::string& where,
                 const std::string& what) {
  SolverError e = ReadError(prefix);
  EXPECT_EQ(e.status(), status) << e.what();
  EXPECT_NE(std::string(e.what()).find(where), std::string::npos) << e.what();
  EXPECT_NE(std::string(e.what()).find(what), std::string::npos) << e.what();
}

TEST(ReaderTest, ReadsWhatTheGeneratorWrites) {
  SolverScratch dir;
  const std::string prefix = WriteChain(dir, "small", SmallChain());
  Progress quiet(false);
  ChainFiles files = ChainFiles::Read(prefix, quiet);
  EXPECT_EQ(files.FileType, 1);
  ASSERT_EQ(files.Matrix.states(), 3u);
  ASSERT_EQ(files.Matrix.transitions(), 4u);
  EXPECT_EQ(files.Matrix.column(0), 1u);
  EXPECT_EQ(files.Matrix.rate(0), 0.5);
  EXPECT_EQ(files.Matrix.rate(1), 1e-100);
  EXPECT_EQ(files.Matrix.exitRate(0), 0.5 + 1e-100);
  EXPECT_EQ(files.Matrix.maxExitRate(), 2.0);
  ASSERT_EQ(files.Rewards.size(), 2u);
  EXPECT_EQ(files.Rewards[1].RateValues[1], 0.5);
  EXPECT_EQ(files.Variables[1].TimeType, PVTypeReader::InstantOfTime);
  EXPECT_EQ(files.Variables[1].Times[0].Start, 2.0);
}

TEST(ReaderTest, HeaderWithoutBlankLineAndSelfLoopsAreAccepted) {
  SolverScratch dir;
  TestChain chain = SmallChain();
  chain.add(2, 2, 7.0);
  const std::string prefix = WriteChain(dir, "small", chain);
  // The deterministic generator's header: an 8-character count line, which
  // an 8-digit count fills completely (no blank line follows).
  std::string arm = ReadWhole(prefix + ".arm");
  const std::size_t blanks = arm.find('\n', 2) + 1;
  arm.erase(blanks, arm.find('\n', blanks) - blanks + 1);
  WriteWhole(prefix + ".arm", arm);
  Progress quiet(false);
  ChainFiles files = ChainFiles::Read(prefix, quiet);
  EXPECT_EQ(files.Entries, 5u);
  EXPECT_EQ(files.SelfLoops, 1u);
  EXPECT_EQ(files.Matrix.transitions(), 4u);
  EXPECT_EQ(files.Matrix.exitRate(1), 2.0);
}

TEST(ReaderTest, MissingFilesNameTheFile) {
  SolverScratch dir;
  ExpectError(dir.path + "none", SolverError::InputError, "none.pvtype", "cannot open");
  const std::string prefix = WriteChain(dir, "small", SmallChain());
  std::remove((prefix + ".var").c_str());
  ExpectError(prefix, SolverError::InputError, "small.var", "No such file");
}

TEST(ReaderTest, TransitionFileErrorsGiveFileAndLine) {
  SolverScratch dir;
  struct Case {
    std::string from, to, where, what;
  };
  // Lines of the small .arm: 1 type, 2 count, 3 blanks, 4 "1", 5 "2",
  // 6 rate 0.5, 7 "3", 8 rate 1e-100, 9 "0", 10 "2", 11 "1", 12 rate 2 ...
  const std::vector<Case> cases = {
      {"\n2\n5.0000000000e-01", "\n2\n5.0000000000e-0x", "small.arm:6:", "expected a rate"},
      {"\n2\n5.0000000000e-01", "\n9\n5.0000000000e-01", "small.arm:5:", "out of range"},
      {"\n2\n5.0000000000e-01", "\n2\n-5.0000000000e-01", "small.arm:6:", "Markov regenerative"},
      {"\n2\n5.0000000000e-01", "\n2\ninf", "small.arm:6:", "not finite"},
      {"\n2\n5.0000000000e-01", "\n2\nnan", "small.arm:6:", "not finite"},
      {"0\n2\n1\n", "0\n3\n1\n", "small.arm:10:", "expected the record of state 2"},
      {"1\n3\n", "1\n0\n", "small.arm:2:", "number of states is 0"},
      {"1\n3\n", "1\nthree\n", "small.arm:2:", "the number of states"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.to);
    const std::string prefix = WriteChain(dir, "small", SmallChain());
    Edit(prefix + ".arm", c.from, c.to);
    ExpectError(prefix,
                c.what == "Markov regenerative" ? SolverError::Unsupported
                                                : SolverError::InputError,
                c.where, c.what);
  }
}

TEST(ReaderTest, TruncatedAndOverlongTransitionFiles) {
  SolverScratch dir;
  const std::string prefix = WriteChain(dir, "small", SmallChain());
  const std::string arm = ReadWhole(prefix + ".arm");
  // Cut inside the last record, in the middle of a line, and after a record.
  WriteWhole(prefix + ".arm", arm.substr(0, arm.size() - 2));
  ExpectError(prefix, SolverError::InputError, "small.arm:", "ends inside the record of state 3");
  WriteWhole(prefix + ".arm", arm.substr(0, arm.size() - 7));
  ExpectError(prefix, SolverError::InputError, "small.arm:", "middle of a line");
  std::string twoRecords = arm.substr(0, arm.find("\n3\n1\n") + 1);
  WriteWhole(prefix + ".arm", twoRecords);
  ExpectError(prefix, SolverError::InputError, "small.arm:", "ends after 2 of 3 state records");
  WriteWhole(prefix + ".arm", arm + "4\n0\n");
  ExpectError(prefix, SolverError::InputError, "small.arm:", "unexpected text after");
}

TEST(ReaderTest, StateCountTheFileCannotHoldIsAnErrorNotAnAllocation) {
  // Line 2 claims four billion states in a file of a few bytes: the reader
  // reports the file's early end instead of reserving 32 GiB of row starts.
  SolverScratch dir;
  const std::string arm = dir.path + "huge.arm";
  WriteWhole(arm, "1\n4294967294\n1\n0\n");
  RateMatrix matrix;
  Progress quiet(false);
  try {
    ArmReader(arm).read(matrix, quiet);
    ADD_FAILURE() << "no error reading " << arm;
  } catch (const SolverError& e) {
    EXPECT_EQ(e.status(), SolverError::InputError);
    EXPECT_NE(std::string(e.what()).find("ends after 1 of 4294967294 state records"),
              std::string::npos)
        << e.what();
  }
  EXPECT_LT(matrix.bytes(), std::size_t(1) << 20);
}

TEST(ReaderTest, RewardFileErrorsAndDisagreeingCounts) {
  SolverScratch dir;
  const std::string prefix = WriteChain(dir, "small", SmallChain());
  const std::string var = ReadWhole(prefix + ".var");
  // Names, then records of five lines: number, Up impulse, Up rate, Point
  // impulse, Point rate.
  Edit(prefix + ".var", "Point\n", "Pont\n");
  ExpectError(prefix, SolverError::InputError, "small.var:2:", "differs from 'Point'");
  WriteWhole(prefix + ".var", var);
  Edit(prefix + ".var", "\n2\n0\n1\n0\n0.5\n", "\n2\n0\n1\n0\nhalf\n");
  ExpectError(prefix, SolverError::InputError, "small.var:12:", "rate reward value");
  WriteWhole(prefix + ".var", var.substr(0, var.rfind("3\n")));
  ExpectError(prefix, SolverError::InputError, "small.var:", "the .arm file has 3 states");
  WriteWhole(prefix + ".var", var + "4\n0\n0\n0\n0\n");
  ExpectError(prefix, SolverError::InputError, "small.var:18:", "unexpected text");

  // Binary records: a short file and a misnumbered record.
  const std::string binary = WriteChain(dir, "binary", SmallChain(), true);
  std::string bytes = ReadWhole(binary + ".var");
  WriteWhole(binary + ".var", bytes.substr(0, bytes.size() - 3));
  ExpectError(binary, SolverError::InputError, "binary.var", "ends after 2 complete records");
  bytes[bytes.find("Point\n") + 6] = 9;
  WriteWhole(binary + ".var", bytes);
  ExpectError(binary, SolverError::InputError, "binary.var", "record 1 is numbered 9");
}

TEST(ReaderTest, TypeFileErrors) {
  SolverScratch dir;
  struct Case {
    std::string from, to, where, what;
  };
  const std::vector<Case> cases = {
      {"Version:1", "Version:2", "small.pvtype:1:", "not supported"},
      {"NumPV:2", "NumPV:x", "small.pvtype:2:", "variable count"},
      {"Type:3", "Type:5", "small.pvtype:4:", "time type 5"},
      {"Type:3", "Kind:3", "small.pvtype:4:", "expected a line \"Type:"},
      {"Start:2", "Start:-2", "small.pvtype:11:", "not below 0"},
      {"NumPV:2", "NumPV:3", "small.pvtype:13:", "ends before a Name line"},
      {"NumPV:2", "NumPV:1", "small.pvtype:8:", "unexpected text after the last variable"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.to);
    const std::string prefix = WriteChain(dir, "small", SmallChain());
    Edit(prefix + ".pvtype", c.from, c.to);
    ExpectError(prefix, SolverError::InputError, c.where, c.what);
  }
  // Intervals that cannot be solved.
  TestChain chain = SmallChain();
  chain.Variables[1].Type = 2;
  const std::string prefix = WriteChain(dir, "interval", chain);
  ExpectError(prefix, SolverError::InputError, "interval.pvtype:12:", "must end after it starts");
}

TEST(ReaderTest, DeterministicModelsAreRefused) {
  SolverScratch dir;
  const std::string prefix = WriteChain(dir, "small", SmallChain());
  WriteWhole(prefix + ".det", "1\n1.0000000000e+00\n1\n0\n");
  ExpectError(prefix, SolverError::Unsupported, "small.det", "Markov regenerative solver");
}

TEST(ReaderTest, CompactColumnKeepsEveryValueAcrossWidths) {
  for (std::size_t distinct : {1u, 256u, 257u, 65536u, 65537u, 70000u}) {
    SCOPED_TRACE(distinct);
    CompactColumn column;
    column.reserve(2 * distinct);
    for (std::size_t i = 0; i < 2 * distinct; i++)
      column.push_back(1.0 / double(1 + (i * 7919) % distinct));
    ASSERT_EQ(column.size(), 2 * distinct);
    for (std::size_t i = 0; i < 2 * distinct; i++)
      ASSERT_EQ(column[i], 1.0 / double(1 + (i * 7919) % distinct)) << i;
    EXPECT_EQ(column.width(), distinct <= 256     ? CompactColumn::Width::Byte
                              : distinct <= 65536 ? CompactColumn::Width::Short
                                                  : CompactColumn::Width::Full);
  }
}

} // namespace
