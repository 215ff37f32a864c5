// Generation by several worker processes under mpirun must write the files
// of the one-process run byte for byte: every shipped model without
// deterministic activities and the example's six experiments, with 1 to 4
// workers. The one-process run is the reference: it numbers and writes by
// a different path (one table, one output thread).

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/driver/OutputFaults.h"
#include "tests/driver/Subprocess.h"
#include "tests/ssg/DistributedRun.h"

namespace fs = std::filesystem;

namespace {

class DistributedGenTest : public testing::Test {
protected:
  fs::path Dir;
  void SetUp() override {
    char name[] = "/tmp/ssg_distributed_XXXXXX";
    const char* made = mkdtemp(name);
    ASSERT_NE(made, nullptr);
    Dir = made;
  }
  void TearDown() override {
    std::error_code ignored;
    fs::permissions(Dir, fs::perms::owner_all, ignored);
    fs::remove_all(Dir, ignored);
  }
  // The one-process run and the runs with each number of workers, into
  // folders of their own: every file of the one-process run must be there,
  // byte for byte, and the progress lines and the count on standard output
  // must be the same.
  void ExpectSameFiles(const std::string& program, int experiment, const std::vector<int>& workers,
                       const std::vector<std::string>& extra = {"--states"}) {
    const std::string exe = std::string(SSG_BINARY_DIR) + "/" + program;
    const fs::path one = Dir / "one";
    fs::create_directories(one);
    std::vector<std::string> arguments = {"-P" + one.string() + "/", "-Nx",
                                          "-B" + std::to_string(experiment)};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    const RunResult reference = RunProgram(exe, arguments);
    ASSERT_EQ(reference.status, 0) << program << " " << experiment << ": " << reference.err;
    for (int n : workers) {
      const fs::path folder = Dir / ("w" + std::to_string(n));
      fs::create_directories(folder);
      arguments[0] = "-P" + folder.string() + "/";
      const RunResult run = RunWorkers(n, exe, arguments);
      ASSERT_EQ(run.status, 0) << program << " " << experiment << " with " << n
                               << " workers: " << run.err;
      for (const auto& file : fs::directory_iterator(one)) {
        const fs::path twin = folder / file.path().filename();
        ASSERT_TRUE(fs::exists(twin)) << twin;
        EXPECT_TRUE(ReadWholeFile(file.path().string()) == ReadWholeFile(twin.string()))
            << program << " -B" << experiment << ", " << n << " workers: " << file.path().filename()
            << " differs";
      }
      EXPECT_EQ(ProgressLines(run.out), ProgressLines(reference.out)) << program << " " << n;
      fs::remove_all(folder);
    }
    fs::remove_all(one);
  }
};

} // namespace

TEST_F(DistributedGenTest, ExampleExperimentsAreTheOneProcessFiles) {
  for (int experiment = 0; experiment < 6; experiment++)
    ExpectSameFiles("gen", experiment, {2, 3});
  // Absorbing states reported (-a) in the same place among the progress
  // lines; one worker and four.
  ExpectSameFiles("gen", 0, {1, 4}, {"--states", "-a"});
}

TEST_F(DistributedGenTest, ShippedModelsAreTheOneProcessFiles) {
  // Instantaneous chains (fms), Erlang phases (breakdown), impulses and
  // labels: whatever the models hold. Kanban N=3 has 58,400 states over
  // many levels.
  struct Case {
    const char* program;
    int experiment;
  };
  for (const Case& c : {Case{"gen-kanban", 2}, Case{"gen-fms", 1}, Case{"gen-repairman", 1},
                        Case{"gen-breakdown", 1}, Case{"gen-breakdown", 0},
                        Case{"gen-example-san", 1}, Case{"gen-tandem", 1}})
    ExpectSameFiles(c.program, c.experiment, {2, 3});
  ExpectSameFiles("gen-kanban", 2, {1, 4});
}

TEST_F(DistributedGenTest, WorkersOptionStartsTheWorkersItself) {
  // --workers N runs mpirun itself; the run as root needs the same
  // permission the tests give mpirun, which the option asks for itself.
  const std::string exe = std::string(SSG_BINARY_DIR) + "/gen-kanban";
  const fs::path one = Dir / "one", two = Dir / "two";
  fs::create_directories(one);
  fs::create_directories(two);
  ASSERT_EQ(RunProgram(exe, {"-P" + one.string() + "/", "-Nx", "-B1"}).status, 0);
  const RunResult run =
      RunProgram("env", {"PATH=" + std::string(std::getenv("PATH")), SanitizerSetting(), exe,
                         "-P" + two.string() + "/", "-Nx", "-B1", "--workers", "2"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(ReadWholeFile((one / "x.arm").string()) == ReadWholeFile((two / "x.arm").string()));
  // Its standard output is the one-process run's, said once.
  EXPECT_NE(run.out.find("Generated: 4600 states"), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("path="), run.out.rfind("path=")) << run.out;
}

TEST_F(DistributedGenTest, DeterministicModelsAreRefusedBeforeAnyFile) {
  const std::string exe = std::string(SSG_BINARY_DIR) + "/gen-mdk";
  const RunResult run = RunWorkers(2, exe, {"-P" + Dir.string() + "/", "-Nx", "-B0"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("Error: a distributed generation does not support models with "
                         "deterministic activities"),
            std::string::npos)
      << run.err;
  EXPECT_TRUE(fs::is_empty(Dir));
}

TEST_F(DistributedGenTest, OutputThatCannotBeCreatedEndsEveryWorkerWithTheMessage) {
  // The first file the writer creates is a directory already: the message
  // and the status of the one-process run (even as root).
  const std::string exe = std::string(SSG_BINARY_DIR) + "/gen-kanban";
  fs::create_directories(Dir / "x.pvtype");
  const std::vector<std::string> arguments = {"-P" + Dir.string() + "/", "-Nx", "-B1"};
  const RunResult reference = RunProgram(exe, arguments);
  ASSERT_EQ(reference.status, 1) << reference.err;
  const RunResult run = RunWorkers(2, exe, arguments);
  EXPECT_EQ(run.status, reference.status);
  EXPECT_NE(run.err.find(reference.err.substr(0, reference.err.find('\n'))), std::string::npos)
      << run.err;
  EXPECT_FALSE(fs::exists(Dir / "x.arm"));
}

TEST_F(DistributedGenTest, FullDiskEndsEveryWorkerAndNoFileClaimsACount) {
  // The writer's .arm goes to a full device (a symbolic link to /dev/full):
  // the write fails, every worker ends with status 1 and the message.
  const std::string exe = std::string(SSG_BINARY_DIR) + "/gen-kanban";
  fs::create_symlink("/dev/full", Dir / "x.arm");
  const RunResult run = RunWorkers(2, exe, {"-P" + Dir.string() + "/", "-Nx", "-B2"});
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_NE(run.err.find("Error: could not write"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("No space left on device"), std::string::npos) << run.err;
  EXPECT_EQ(run.out.find("Generated:"), std::string::npos);
}

TEST_F(DistributedGenTest, TerminatedWorkerEndsTheRunWithoutACount) {
  // SIGTERM to one worker once the generation has begun: the whole run
  // ends, not with status 0, and the .arm header holds no count.
  const std::string exe = std::string(SSG_BINARY_DIR) + "/gen-kanban";
  RunControls controls;
  controls.environment = WorkerEnvironment();
  bool signalled = false;
  controls.whileRunning = [&signalled](pid_t launcher, const std::string& out) {
    if (out.find("SSG: SetTraceLevel") == std::string::npos)
      return false;
    const std::string command = "pkill -TERM -P " + std::to_string(launcher) + " gen-kanban";
    signalled = std::system(command.c_str()) == 0;
    return true;
  };
  const std::vector<std::string> arguments = {
      "--quiet", "--oversubscribe",         "-x",  "ASAN_OPTIONS", "-np", "2",
      exe,       "-P" + Dir.string() + "/", "-Nx", "-B4"};
  const RunResult run = RunControlled("/usr/bin/mpirun", arguments, controls);
  ASSERT_TRUE(signalled) << run.out << run.err;
  EXPECT_NE(run.status, 0) << run.out;
  EXPECT_EQ(run.out.find("Generated:"), std::string::npos);
  EXPECT_TRUE(ArmClaimsNoCount((Dir / "x.arm").string()));
}
