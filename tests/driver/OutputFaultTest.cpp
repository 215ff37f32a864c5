// Model executables whose output files fail: every file of both generation
// methods made unwritable in turn, a disk that fills up in the middle of
// the .arm or the .var file, memory that runs out, a run interrupted by a
// signal. Each run must end with a non-zero status and the message naming
// what failed, and never leave an .arm file whose header claims a state
// count: the count is written over the reserved blanks only once every
// record is on disk.

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/driver/OutputFaults.h"
#include "tests/driver/Subprocess.h"

namespace {

std::string Binary(const std::string& name) {
  return std::string(SSG_BINARY_DIR) + "/" + name;
}

struct Program {
  const char* executable;
  std::vector<const char*> files; // suffixes, in the order they are written
};

// The normal method (the example) and the deterministic one (M/D/1/K),
// with the state markings (--states), and the files of a model with impulse
// rewards (the machine repairman).
const Program Generators[] = {{"gen", {".pvtype", ".arm", ".var", ".rew", ".sta"}},
                              {"gen-mdk", {".pvtype", ".det", ".arm", ".var", ".rew", ".sta"}},
                              {"gen-repairman", {".rew", ".imp"}}};

// A .rew or .imp file that claims to be complete: it ends with the trailer
// "END\n" (after the state count).
bool EndsWithTrailer(const std::string& path) {
  if (!std::filesystem::exists(path) || std::filesystem::is_symlink(path))
    return false;
  const std::string text = ReadWholeFile(path);
  return text.size() >= 8 && text.compare(text.size() - 4, 4, "END\n") == 0;
}

TEST(OutputFaultTest, EveryOutputFileOfBothMethodsUnwritableInTurn) {
  for (const Program& program : Generators) {
    for (const char* suffix : program.files) {
      for (Unwritable how : AllUnwritable) {
        SCOPED_TRACE(std::string(program.executable) + " " + suffix + ", " + Describe(how));
        FaultDir dir;
        RunControls controls;
        std::string why;
        if (!MakeUnwritable(dir, std::string("r") + suffix, how, controls, why)) {
          ADD_FAILURE() << why;
          continue;
        }
        RunResult run = RunControlled(Binary(program.executable),
                                      {"-P", dir.path, "-Nr", "-B0", "--states"}, controls);
        if (controls.unprivileged && UnprivilegedRunFailed(run))
          GTEST_SKIP() << "cannot run the program as nobody: " << run.err;
        EXPECT_EQ(run.status, 1) << run.out << run.err;
        EXPECT_NE(run.err.find(dir.file(std::string("r") + suffix)), std::string::npos) << run.err;
        EXPECT_EQ(run.out.find("Generated:"), std::string::npos) << run.out;
        EXPECT_TRUE(ArmClaimsNoCount(dir.file("r.arm")));
        EXPECT_FALSE(EndsWithTrailer(dir.file("r.rew")));
        EXPECT_FALSE(EndsWithTrailer(dir.file("r.imp")));
      }
    }
  }
}

// Kanban N = 2: 4600 states; its .arm file is about 580 kB, its .var file
// about 95 kB.
const std::vector<std::string> Kanban2 = {"-B1", "-Nk"};

TEST(OutputFaultTest, DiskFillingUpInTheMiddleOfTheArmFile) {
  // No file may grow beyond 300000 bytes: the .arm file's second 256 KiB
  // write is cut short and the next one fails, as on a full disk.
  FaultDir dir;
  RunControls controls;
  controls.fileSizeLimit = 300000;
  std::vector<std::string> arguments = Kanban2;
  arguments.push_back("-P" + dir.path);
  RunResult run = RunControlled(Binary("gen-kanban"), arguments, controls);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "Error: could not write " + dir.file("k.arm") + ": File too large\n");
  EXPECT_EQ(run.out.find("Generated:"), std::string::npos);
  EXPECT_EQ(std::filesystem::file_size(dir.file("k.arm")), 300000u);
  EXPECT_TRUE(ArmClaimsNoCount(dir.file("k.arm")));
}

TEST(OutputFaultTest, DiskFillingUpInTheMiddleOfTheVarFile) {
  // Writes to the .var file fail once 50000 bytes of it are written; the
  // output thread keeps the failure until the exploring thread reports it.
  FaultDir dir;
  RunControls controls;
  controls.environment = {std::string("LD_PRELOAD=") + SSG_WRITE_FAULT_SHIM,
                          "ASAN_OPTIONS=verify_asan_link_order=0", "SSG_FAIL_SUFFIX=k.var",
                          "SSG_FAIL_OFFSET=50000"};
  std::vector<std::string> arguments = Kanban2;
  arguments.push_back("-P" + dir.path);
  RunResult run = RunControlled(Binary("gen-kanban"), arguments, controls);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "Error: could not write " + dir.file("k.var") + ": No space left on device\n");
  EXPECT_EQ(run.out.find("Generated:"), std::string::npos);
  EXPECT_EQ(std::filesystem::file_size(dir.file("k.var")), 50000u);
  EXPECT_TRUE(ArmClaimsNoCount(dir.file("k.arm")));
}

TEST(OutputFaultTest, DiskFillingUpInTheMiddleOfTheImpulseFile) {
  // The repairman with 30000 machines: an .imp file of about 4 MB, whose
  // writes fail once 300000 bytes are written.
  FaultDir dir;
  RunControls controls;
  controls.environment = {std::string("LD_PRELOAD=") + SSG_WRITE_FAULT_SHIM,
                          "ASAN_OPTIONS=verify_asan_link_order=0", "SSG_FAIL_SUFFIX=r.imp",
                          "SSG_FAIL_OFFSET=300000"};
  RunResult run = RunControlled(Binary("gen-repairman"),
                                {"-P" + dir.path, "-Nr", "-B0", "-O", "i:K:30000"}, controls);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "Error: could not write " + dir.file("r.imp") + ": No space left on device\n");
  EXPECT_EQ(run.out.find("Generated:"), std::string::npos);
  EXPECT_EQ(std::filesystem::file_size(dir.file("r.imp")), 300000u);
  EXPECT_FALSE(EndsWithTrailer(dir.file("r.imp")));
  EXPECT_FALSE(EndsWithTrailer(dir.file("r.rew")));
  EXPECT_TRUE(ArmClaimsNoCount(dir.file("r.arm")));
}

TEST(OutputFaultTest, MemoryRunningOutInTheMiddleOfARun) {
  // Kanban N = 5 (2.5 million states) with its address space limited, once
  // it has started, to what it maps then plus 16 MB: the state store cannot
  // grow far. (The limit is set from outside with prlimit once the program
  // has mapped its sanitizer's shadow memory; the sanitizer's allocator
  // must then hand a failed allocation back as the C library's does.)
  FaultDir dir;
  RunControls controls;
  controls.environment = {"ASAN_OPTIONS=allocator_may_return_null=1:detect_leaks=0"};
  bool limited = false;
  controls.whileRunning = [&limited](pid_t pid, const std::string& out) {
    if (out.find("SSG: SetTraceLevel") == std::string::npos)
      return false;
    unsigned long long pages = 0;
    std::ifstream statm("/proc/" + std::to_string(pid) + "/statm");
    statm >> pages;
    rlimit limit;
    limit.rlim_cur = limit.rlim_max =
        pages * static_cast<unsigned long long>(sysconf(_SC_PAGESIZE)) + (16ull << 20);
    limited = prlimit(pid, RLIMIT_AS, &limit, nullptr) == 0;
    return true;
  };
  RunResult run = RunControlled(Binary("gen-kanban"), {"-P" + dir.path, "-Nk", "-B4"}, controls);
  ASSERT_TRUE(limited) << run.out;
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_EQ(run.err.find("Error: out of memory after storing "), 0u) << run.err;
  // In the middle of the run: thousands of states were stored.
  const unsigned long stored = std::strtoul(run.err.c_str() + 35, nullptr, 10);
  EXPECT_GT(stored, 10000u) << run.err;
  EXPECT_LT(stored, 2546432u) << run.err;
  EXPECT_NE(run.err.find("Give the run more memory, or reduce the model."), std::string::npos);
  EXPECT_EQ(run.out.find("Generated:"), std::string::npos);
  EXPECT_TRUE(ArmClaimsNoCount(dir.file("k.arm")));
  EXPECT_FALSE(EndsWithTrailer(dir.file("k.rew")));
}

TEST(OutputFaultTest, InterruptedRunNeverLeavesACountItDoesNotHold) {
  // Kanban N = 4 (454475 states), interrupted once it has explored 20000.
  for (int signalNumber : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(signalNumber);
    FaultDir dir;
    RunControls controls;
    bool sent = false;
    controls.whileRunning = [&sent, signalNumber](pid_t pid, const std::string& out) {
      if (out.find("_$20000$") == std::string::npos)
        return false;
      sent = kill(pid, signalNumber) == 0;
      return true;
    };
    RunResult run = RunControlled(Binary("gen-kanban"), {"-P" + dir.path, "-Nk", "-B3"}, controls);
    ASSERT_TRUE(sent) << run.out << run.err;
    EXPECT_NE(run.status, 0);
    EXPECT_EQ(run.signal, signalNumber);
    EXPECT_EQ(run.out.find("Generated:"), std::string::npos);
    EXPECT_TRUE(ArmClaimsNoCount(dir.file("k.arm")));
    EXPECT_FALSE(EndsWithTrailer(dir.file("k.rew")));
  }
}

TEST(OutputFaultTest, HundredThousandCharacterOptionValues) {
  // A name that long is more than a file name may be: the files cannot be
  // created. An override string that long is read to its end. Neither
  // crashes.
  FaultDir dir;
  const std::string longName(100000, 'n');
  RunResult name = RunControlled(Binary("gen"), {"-P" + dir.path, "-N" + longName, "-B0"}, {});
  EXPECT_EQ(name.status, 1);
  EXPECT_EQ(name.signal, 0);
  EXPECT_NE(name.err.find("File name too long"), std::string::npos) << name.err.substr(0, 300);

  // meo = 0.2 written with 99,991 trailing zeros gives the chain of
  // meo = 0.2 written short, not the experiment's own meo = 0.1.
  const std::string longOverride = "d:meo:0.2" + std::string(99991, '0');
  ASSERT_EQ(longOverride.size(), 100000u);
  RunResult override =
      RunControlled(Binary("gen"), {"-P" + dir.path, "-Nlong", "-B0", "-O" + longOverride}, {});
  EXPECT_EQ(override.status, 0) << override.err.substr(0, 300);
  RunResult shortOverride =
      RunControlled(Binary("gen"), {"-P" + dir.path, "-Nshort", "-B0", "-Od:meo:0.2"}, {});
  RunResult plain = RunControlled(Binary("gen"), {"-P" + dir.path, "-Nplain", "-B0"}, {});
  ASSERT_EQ(shortOverride.status, 0);
  ASSERT_EQ(plain.status, 0);
  EXPECT_EQ(ReadWholeFile(dir.file("long.arm")), ReadWholeFile(dir.file("short.arm")));
  EXPECT_NE(ReadWholeFile(dir.file("long.arm")), ReadWholeFile(dir.file("plain.arm")));

  const std::string longPath = dir.path + std::string(100000, 'p') + "/";
  RunResult path = RunControlled(Binary("gen-mdk"), {"-P" + longPath, "-Nx", "-B0"}, {});
  EXPECT_EQ(path.status, 1);
  EXPECT_EQ(path.signal, 0);
}

} // namespace
