// docs/formats.md: every example file on the page is generated again here
// and compared with the page byte by byte; the binary examples are checked
// against the binary layout of the same records.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/driver/Subprocess.h"
#include "tests/solver/SolverTestFiles.h"

namespace {

// The blocks of the page that follow a line "<!-- example: NAME -->": NAME
// -> the text between the fences (each line with its line feed).
std::map<std::string, std::string> Examples(const std::string& page) {
  std::map<std::string, std::string> examples;
  std::istringstream in(page);
  std::string line, name;
  bool inBlock = false;
  std::string block;
  while (std::getline(in, line)) {
    if (inBlock) {
      if (line == "```") {
        EXPECT_TRUE(examples.emplace(name, block).second) << "two examples named " << name;
        inBlock = false;
        name.clear();
      } else {
        block += line + "\n";
      }
    } else if (line.rfind("<!-- example: ", 0) == 0) {
      name = line.substr(14, line.size() - 14 - 4);
    } else if (!name.empty() && line.rfind("```", 0) == 0) {
      inBlock = true;
      block.clear();
    }
  }
  return examples;
}

// The bytes of an annotated dump: each line "<offset>  <hex bytes>  <what>",
// the offsets following each other.
std::string DumpBytes(const std::string& dump) {
  std::string bytes;
  std::istringstream in(dump);
  for (std::string line; std::getline(in, line);) {
    EXPECT_EQ(std::stoul(line.substr(0, 8), nullptr, 16), bytes.size()) << line;
    std::istringstream hex(line.substr(10, line.find("  ", 10) - 10));
    for (std::string byte; hex >> byte;)
      bytes += static_cast<char>(std::stoul(byte, nullptr, 16));
  }
  return bytes;
}

template <class T> void Put(std::string& bytes, T value) {
  char raw[sizeof value];
  std::memcpy(raw, &value, sizeof value); // the test host is little-endian
  bytes.append(raw, sizeof value);
}

// The binary form of a text .var file with `variables` variables.
std::string BinaryVar(const std::string& text, int variables) {
  std::istringstream in(text);
  std::string bytes, line;
  for (int v = 0; v < variables; v++) {
    std::getline(in, line);
    bytes += line + "\n";
  }
  for (std::uint32_t state; in >> state;) {
    Put(bytes, state);
    for (int k = 0; k < 2 * variables; k++) {
      double value;
      in >> value;
      Put(bytes, value);
    }
  }
  return bytes;
}

// The binary form of a text .det file.
std::string BinaryDet(const std::string& text) {
  std::istringstream in(text);
  std::string bytes;
  std::int32_t delays = 0;
  in >> delays;
  Put(bytes, delays);
  for (int d = 0; d < delays; d++) {
    double delay;
    in >> delay;
    Put(bytes, delay);
    for (std::int32_t state; in >> state && state != 0;)
      Put(bytes, state);
    bytes += std::string(2, '\0');
  }
  return bytes;
}

TEST(FormatsDocTest, EveryExampleIsWhatTheProgramsWrite) {
  const std::map<std::string, std::string> examples =
      Examples(ReadWhole(std::string(SSG_SOURCE_DIR) + "/docs/formats.md"));
  SolverScratch dir;
  const std::string bin = std::string(SSG_BINARY_DIR) + "/";
  RunResult mdk =
      RunProgram(bin + "gen-mdk", {"-P", dir.path, "-Nmdk", "-B0", "-O", "i:K:2", "--states"});
  ASSERT_EQ(mdk.status, 0) << mdk.err;
  RunResult rep = RunProgram(bin + "gen-repairman", {"-P", dir.path, "-Nrep", "-B1", "--states"});
  ASSERT_EQ(rep.status, 0) << rep.err;
  for (const auto& [format, prefix] : std::vector<std::pair<std::string, std::string>>{
           {"prism", "rep-prism"}, {"drn", "rep"}, {"mtx", "rep"}, {"dot", "rep"}}) {
    RunResult run =
        RunProgram(bin + "ssg-solve", {dir.path + "rep", "--export", format, dir.path + prefix});
    ASSERT_EQ(run.status, 0) << run.err;
  }

  const std::set<std::string> files = {"mdk.arm",
                                       "mdk.var",
                                       "mdk.pvtype",
                                       "mdk.det",
                                       "mdk.sta",
                                       "rep.sta",
                                       "rep-prism.tra",
                                       "rep-prism.sta",
                                       "rep-prism.lab",
                                       "rep-prism.Working.srew",
                                       "rep-prism.RepairmanBusy.srew",
                                       "rep.drn",
                                       "rep.mtx",
                                       "rep.dot"};
  std::set<std::string> named;
  for (const auto& [name, text] : examples)
    named.insert(name);
  std::set<std::string> expected = files;
  expected.insert("mdk.var binary");
  expected.insert("mdk.det binary");
  // The binary files the generator writes, compared with the dump as they are.
  const std::map<std::string, std::string> binaryFiles = {{"mdk.rew binary", "mdk.rew"},
                                                          {"rep.imp binary", "rep.imp"}};
  for (const auto& [name, file] : binaryFiles)
    expected.insert(name);
  EXPECT_EQ(named, expected);

  for (const std::string& file : files) {
    if (examples.count(file)) {
      EXPECT_EQ(examples.at(file), ReadWhole(dir.path + file)) << file;
    }
  }
  if (examples.count("mdk.var binary")) {
    EXPECT_EQ(DumpBytes(examples.at("mdk.var binary")),
              BinaryVar(ReadWhole(dir.path + "mdk.var"), 2));
  }
  if (examples.count("mdk.det binary")) {
    EXPECT_EQ(DumpBytes(examples.at("mdk.det binary")), BinaryDet(ReadWhole(dir.path + "mdk.det")));
  }
  for (const auto& [name, file] : binaryFiles) {
    if (examples.count(name))
      EXPECT_EQ(DumpBytes(examples.at(name)), ReadWhole(dir.path + file)) << name;
  }
}

} // namespace
