// Every model executable run twice on the same experiment writes the same
// bytes: nothing in the files depends on addresses, timing or the output
// thread's pace.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/driver/Subprocess.h"
#include "tests/ssg/GenHarness.h"

namespace {

struct Case {
  const char* executable;
  const char* experiment;
};

TEST(DeterminismTest, EveryModelExecutableWritesTheSameFilesTwice) {
  const Case cases[] = {{"gen", "-B0"},           {"gen-example-san", "-B4"},
                        {"gen-kanban", "-B1"},    {"gen-fms", "-B1"},
                        {"gen-mdk", "-B1"},       {"gen-repairman", "-B5"},
                        {"gen-breakdown", "-B3"}, {"gen-maintenance", "-B0"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.executable);
    ScratchDir first, second;
    for (const ScratchDir* dir : {&first, &second}) {
      RunResult run = RunProgram(std::string(SSG_BINARY_DIR) + "/" + c.executable,
                                 {"-P" + dir->path, "-Nm", c.experiment});
      ASSERT_EQ(run.status, 0) << run.err;
    }
    int compared = 0;
    for (const char* suffix : {".arm", ".var", ".pvtype", ".det"}) {
      const bool exists = std::filesystem::exists(first.file("m") + suffix);
      EXPECT_EQ(exists, std::filesystem::exists(second.file("m") + suffix)) << suffix;
      if (!exists)
        continue;
      const std::string bytes = ReadFile(first.file("m") + suffix);
      EXPECT_FALSE(bytes.empty()) << suffix;
      EXPECT_TRUE(bytes == ReadFile(second.file("m") + suffix)) << suffix;
      compared++;
    }
    EXPECT_GE(compared, 3);
  }
}

} // namespace
