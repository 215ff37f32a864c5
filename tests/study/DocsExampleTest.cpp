// The complete example of docs/results-db.md: its commands run as written
// (with the built programs), its query gives the answer the page shows.

#include <gtest/gtest.h>

#include <sstream>

#include "tests/driver/Subprocess.h"
#include "tests/ssg/GenHarness.h"
#include "tests/database/ResultsQuery.h"

namespace {

// The body of the first block fenced with "```<kind>" after `from`.
std::string Block(const std::string& page, const std::string& kind, std::size_t from) {
  std::size_t start = page.find("```" + kind + "\n", from);
  if (start == std::string::npos)
    return "";
  start += 4 + kind.size();
  return page.substr(start, page.find("```", start) - start);
}

TEST(DocsExampleTest, ResultsDatabaseExampleRunsAndAnswersAsShown) {
  const std::string page = ReadFile(std::string(SSG_SOURCE_DIR) + "/docs/results-db.md");
  const std::size_t example = page.find("## A complete example");
  ASSERT_NE(example, std::string::npos);
  std::string commands = Block(page, "sh", example);
  const std::string sql = Block(page, "sql", example);
  const std::string answer = Block(page, "text", example);
  ASSERT_FALSE(commands.empty() || sql.empty() || answer.empty());

  // The page's program names are the built ones.
  std::string script = "set -e\n";
  std::stringstream lines(commands);
  std::string line;
  while (std::getline(lines, line)) {
    for (const char* program : {"gen", "ssg-solve"})
      if (line.rfind(std::string(program) + " ", 0) == 0)
        line = std::string(SSG_BINARY_DIR) + "/" + line;
    script += line + " >/dev/null\n";
  }
  ScratchDir dir;
  RunResult run = RunProgram("/bin/sh", {"-c", script}, dir.path);
  ASSERT_EQ(run.status, 0) << script << run.err;

  std::string rows;
  for (const std::string& row : Query(dir.file("out/results.db"), sql))
    rows += row + "\n";
  EXPECT_EQ(rows, answer);
}

} // namespace
