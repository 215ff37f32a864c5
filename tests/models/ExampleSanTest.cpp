// The built-in example written as a model file (example/example.san,
// compiled into gen-example-san) must write exactly what the hand-written
// example (gen) writes, in all six experiments.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "../driver/Subprocess.h"

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

} // namespace

TEST(ExampleSanTest, CompiledExampleWritesTheHandWrittenFiles) {
  char name[] = "/tmp/example_san_XXXXXX";
  const fs::path dir = mkdtemp(name);
  for (int e = 0; e < 6; e++) {
    SCOPED_TRACE("experiment " + std::to_string(e));
    for (const char* exe : {"gen", "gen-example-san"}) {
      RunResult r = RunProgram(
          std::string(SSG_BINARY_DIR) + "/" + exe,
          {"-P" + dir.string() + "/", "-N" + std::string(exe), "-B" + std::to_string(e)});
      ASSERT_EQ(r.status, 0) << exe << r.err;
      EXPECT_NE(r.out.find("Generated: 44 states"), std::string::npos) << exe;
    }
    for (const char* suffix : {".arm", ".var", ".pvtype"}) {
      const std::string handWritten = ReadFile(dir / (std::string("gen") + suffix));
      EXPECT_FALSE(handWritten.empty()) << suffix;
      EXPECT_EQ(ReadFile(dir / (std::string("gen-example-san") + suffix)), handWritten) << suffix;
    }
  }
  fs::remove_all(dir);
}
