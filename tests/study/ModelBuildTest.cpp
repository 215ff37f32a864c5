// ssg-study on a model file: compiled, built once into the cache, its study
// replaced by --set, the table against the M/M/1/K closed form; a model
// error shown as the compiler's positioned message; --set's own mistakes.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "study/ModelBuild.h"
#include "tests/driver/Subprocess.h"
#include "tests/ssg/GenHarness.h"

namespace {

std::string Bin(const std::string& name) {
  return std::string(SSG_BINARY_DIR) + "/" + name;
}

// An M/M/1/K queue: arrivals at lambda while fewer than K wait, service at 1.
const char* const QueueModel = R"(model Queue
global int K = 2
global double lambda = 0.5
study { K = 1, 2 }
place Q
activity Arrive exponential(lambda) when Q < K { Q += 1 }
activity Serve exponential(1) when Q > 0 { Q -= 1 }
reward Busy steady rate Q > 0 ? 1 : 0
)";

// P(queue not empty) of M/M/1/K with service rate 1: 1 - P(0),
// P(0) = (1 - rho) / (1 - rho^(K+1)).
double Busy(int k, double rho) {
  return 1 - (1 - rho) / (1 - std::pow(rho, k + 1));
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  std::stringstream in(line);
  for (std::string field; in >> field;)
    fields.push_back(field);
  return fields;
}

// The table's rows (after its header line), split into fields.
std::vector<std::vector<std::string>> Rows(const std::string& out) {
  std::vector<std::vector<std::string>> rows;
  std::stringstream in(out);
  std::string line;
  bool header = false;
  while (std::getline(in, line)) {
    if (line.rfind("exp ", 0) == 0) {
      header = true;
      continue;
    }
    if (header && !line.empty())
      rows.push_back(Fields(line));
  }
  return rows;
}

RunResult Study(const ScratchDir& dir, const std::vector<std::string>& arguments) {
  std::vector<std::string> all = {"SSG_CACHE_DIR=" + dir.file("cache"), Bin("ssg-study")};
  all.insert(all.end(), arguments.begin(), arguments.end());
  return RunProgram("/usr/bin/env", all, dir.path);
}

TEST(ModelBuildTest, ModelFileToTableBuiltOnceWithItsStudyOrTheSetOne) {
  ScratchDir dir;
  std::ofstream(dir.file("queue.san")) << QueueModel;

  // The model's own study: K = 1, 2 with lambda 0.5.
  RunResult own = Study(dir, {"queue.san", "-j2"});
  ASSERT_EQ(own.status, 0) << own.err << own.out;
  EXPECT_NE(own.err.find("ssg-study: building the model executable of queue.san"),
            std::string::npos)
      << own.err;
  std::vector<std::vector<std::string>> rows = Rows(own.out);
  ASSERT_EQ(rows.size(), 2u) << own.out;
  for (int e = 0; e < 2; e++) {
    // exp K lambda states transitions gen-s solve-s Busy status
    ASSERT_EQ(rows[e].size(), 9u) << own.out;
    EXPECT_EQ(rows[e][1], std::to_string(e + 1));
    EXPECT_EQ(rows[e][3], std::to_string(e + 2)); // K + 1 states
    EXPECT_NEAR(std::stod(rows[e][7]), Busy(e + 1, 0.5), 1e-9) << own.out;
  }
  EXPECT_TRUE(std::filesystem::is_directory(dir.file("out/queue")));

  // --set replaces the study: every combination, K slowest.
  RunResult set = Study(dir, {"queue.san", "--set", "K=1..3", "--set=lambda=0.5,2", "-q"});
  ASSERT_EQ(set.status, 0) << set.err << set.out;
  rows = Rows(set.out);
  ASSERT_EQ(rows.size(), 6u) << set.out;
  for (int e = 0; e < 6; e++) {
    const int k = 1 + e / 2;
    const double lambda = e % 2 == 0 ? 0.5 : 2;
    ASSERT_EQ(rows[e].size(), 9u) << set.out;
    EXPECT_EQ(rows[e][1], std::to_string(k));
    EXPECT_EQ(std::stod(rows[e][2]), lambda);
    EXPECT_NEAR(std::stod(rows[e][7]), Busy(k, lambda), 1e-9) << set.out;
  }

  // The same file and settings again: nothing is built.
  const auto entries = [&] {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator(dir.file("cache")))
      n++;
    return n;
  };
  EXPECT_EQ(entries(), 2u);
  RunResult again = Study(dir, {"queue.san", "-j2"});
  ASSERT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(again.err.find("building"), std::string::npos) << again.err;
  EXPECT_EQ(Rows(again.out).size(), 2u);
  EXPECT_EQ(entries(), 2u);
}

TEST(ModelBuildTest, ModelErrorIsTheCompilersPositionedMessageAndNothingIsBuilt) {
  ScratchDir dir;
  std::ofstream(dir.file("bad.san")) << "model Bad\nplace P = 1\n"
                                        "activity A exponential(1) when P > 0 { Q = 0 }\n";
  RunResult run = Study(dir, {"bad.san"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err.rfind("bad.san:3:40: error: unknown place 'Q'; did you mean 'P'?\n", 0), 0u)
      << run.err;
  EXPECT_NE(run.err.find("ssg-study: bad.san: the model has errors; nothing was built or run"),
            std::string::npos);
  // No C++ compiler output, nothing in the cache.
  EXPECT_EQ(run.err.find(".cpp"), std::string::npos) << run.err;
  EXPECT_TRUE(!std::filesystem::exists(dir.file("cache")) ||
              std::filesystem::is_empty(dir.file("cache")));

  std::ofstream(dir.file("queue.san")) << QueueModel;
  RunResult unknown = Study(dir, {"queue.san", "--set", "k=1"});
  EXPECT_EQ(unknown.status, 1);
  EXPECT_EQ(unknown.err, "ssg-study: --set k: the model has no global variable 'k' (it has K, "
                         "lambda)\n");
  RunResult real = Study(dir, {"queue.san", "--set", "K=1.5"});
  EXPECT_EQ(real.status, 1);
  EXPECT_EQ(real.err, "ssg-study: --set K: '1.5' is not a whole number (K is an int)\n");
  RunResult executable = Study(dir, {Bin("gen"), "--set", "lambda=1"});
  EXPECT_EQ(executable.status, 1);
  EXPECT_NE(executable.err.find("--set replaces the study of a model file (.san)"),
            std::string::npos);
}

TEST(ModelBuildTest, SettingsAreNumbersAndRanges) {
  ModelBuild::Setting s = ModelBuild::ParseSetting("N=1..3,10,2..2");
  EXPECT_EQ(s.Name, "N");
  EXPECT_EQ(s.Values, (std::vector<std::string>{"1", "2", "3", "10", "2"}));
  EXPECT_EQ(ModelBuild::ParseSetting("lambda=0.1,1e-3").Values,
            (std::vector<std::string>{"0.1", "1e-3"}));
  for (const char* bad : {"N", "=1", "N=", "N=3..1", "N=1,,2", "N=a..3", "N=1..200000"}) {
    try {
      ModelBuild::ParseSetting(bad);
      ADD_FAILURE() << "accepted " << bad;
    } catch (const ModelBuild::Error& e) {
      EXPECT_EQ(std::string(e.what()).rfind(std::string("--set ") + bad, 0), 0u) << e.what();
    }
  }
  EXPECT_TRUE(ModelBuild::IsModelFile("models/kanban/kanban.san"));
  EXPECT_FALSE(ModelBuild::IsModelFile("build/release/gen-kanban"));
  EXPECT_FALSE(ModelBuild::IsModelFile(".san"));
}

} // namespace
