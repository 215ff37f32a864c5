// ssg-compile as a user runs it: help and version, the files it writes, and
// on every error exit status 1, the message on standard error and nothing
// written (a previous output stays as it was).

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/driver/OutputFaults.h"
#include "tests/driver/Subprocess.h"

namespace fs = std::filesystem;

namespace {

const std::string Compiler = SSG_BINARY_DIR "/ssg-compile";

const char* const Valid = "model Tiny\nplace P = 1, Q\n"
                          "activity Move exponential(2) when P > 0 { P -= 1; Q += 1 }\n"
                          "reward Done steady rate Q\n";

struct Scratch {
  fs::path dir;
  Scratch() {
    char name[] = "/tmp/lang_command_XXXXXX";
    const char* made = mkdtemp(name);
    dir = made != nullptr ? made : "/tmp/lang_command";
  }
  ~Scratch() {
    std::error_code ignored;
    fs::remove_all(dir, ignored);
  }
  fs::path write(const std::string& name, const std::string& text) const {
    std::ofstream(dir / name) << text;
    return dir / name;
  }
};

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

int CountFiles(const fs::path& dir) {
  int n = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir))
    n++;
  return n;
}

} // namespace

TEST(CompileCommandTest, HelpAndVersionExitZeroWhateverElseIsGiven) {
  RunResult help = RunProgram(Compiler, {"nonexistent.san", "--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Usage: ssg-compile <model.san> -o <directory>"), std::string::npos);
  EXPECT_NE(help.out.find("--check"), std::string::npos);
  RunResult version = RunProgram(Compiler, {"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "ssg-compile 1.0 (model language 1)\n");
}

TEST(CompileCommandTest, ValidModelWritesTheEightFilesSilently) {
  Scratch s;
  const fs::path model = s.write("tiny.san", Valid);
  const fs::path out = s.dir / "out" / "nested";
  RunResult r = RunProgram(Compiler, {model.string(), "-o", out.string()});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");
  for (const char* f : {"SAN.h", "SAN.cpp", "RewardPVModel.h", "RewardPVModel.cpp",
                        "RewardPVNodes.h", "RewardPVNodes.cpp", "Study.h", "Study.cpp"})
    EXPECT_TRUE(fs::is_regular_file(out / f)) << f;
  EXPECT_EQ(CountFiles(out), 8); // no temporary left behind
  EXPECT_NE(ReadFile(out / "SAN.h").find("class TinySAN : public SANModel"), std::string::npos);
  // --check writes nothing.
  const fs::path checked = s.dir / "checked";
  r = RunProgram(Compiler, {"--check", model.string(), "-o", checked.string()});
  EXPECT_EQ(r.status, 0);
  EXPECT_FALSE(fs::exists(checked));
}

TEST(CompileCommandTest, ModelErrorsLeaveThePreviousOutputAlone) {
  Scratch s;
  const fs::path out = s.dir / "out";
  fs::create_directory(out);
  std::ofstream(out / "SAN.h") << "previous";
  const fs::path bad = s.write("bad.san", "model Tiny\nplace P\n"
                                          "activity A exponential(1) { Pm += 1 }\n");
  RunResult r = RunProgram(Compiler, {bad.string(), "-o", out.string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, bad.string() + ":3:29: error: unknown place 'Pm'; did you mean 'P'?\n"
                                  "   3 | activity A exponential(1) { Pm += 1 }\n"
                                  "     |                             ^~\n");
  EXPECT_EQ(ReadFile(out / "SAN.h"), "previous");
  EXPECT_EQ(CountFiles(out), 1);
  // A model error never creates the directory either.
  r = RunProgram(Compiler, {bad.string(), "-o", (s.dir / "fresh").string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_FALSE(fs::exists(s.dir / "fresh"));
}

TEST(CompileCommandTest, UsageAndFileErrors) {
  Scratch s;
  const fs::path model = s.write("tiny.san", Valid);
  struct Case {
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {{}, "ssg-compile: no model file given (try --help)\n"},
      {{model.string()},
       "ssg-compile: no output directory given: use -o <directory>, or --check to check only\n"},
      {{model.string(), "-o"}, "ssg-compile: option -o needs a directory (try --help)\n"},
      {{model.string(), "-x", "d"}, "ssg-compile: unknown option '-x' (try --help)\n"},
      {{model.string(), model.string(), "-o", "d"},
       "ssg-compile: more than one model file given ('" + model.string() + "' and '" +
           model.string() + "'); compile one at a time\n"},
      {{model.string(), "--check", "--max-errors", "0"},
       "ssg-compile: --max-errors 0: expected a number of 1 or more\n"},
      {{(s.dir / "missing.san").string(), "-o", "d"},
       "ssg-compile: cannot read '" + (s.dir / "missing.san").string() + "'\n"},
      {{s.dir.string(), "-o", "d"},
       "ssg-compile: cannot read '" + s.dir.string() + "': it is a directory\n"},
      {{model.string(), "-o", model.string()},
       "ssg-compile: cannot create the output directory '" + model.string() +
           "': a file of that name exists\n"},
  };
  for (const Case& c : cases) {
    RunResult r = RunProgram(Compiler, c.args, s.dir.string());
    EXPECT_EQ(r.status, 1) << c.message;
    EXPECT_EQ(r.err, c.message);
  }
}

// A file that cannot take the place of its old version stops the run before
// any file is replaced.
TEST(CompileCommandTest, UnreplaceableOutputChangesNothing) {
  Scratch s;
  const fs::path model = s.write("tiny.san", Valid);
  const fs::path out = s.dir / "out";
  fs::create_directories(out / "Study.cpp" / "inside");
  std::ofstream(out / "SAN.h") << "previous";
  RunResult r = RunProgram(Compiler, {model.string(), "-o", out.string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "ssg-compile: cannot create '" + (out / "Study.cpp").string() +
                       "': a directory of that name exists\n");
  EXPECT_EQ(ReadFile(out / "SAN.h"), "previous");
  EXPECT_EQ(CountFiles(out), 2);
}

// A disk that fills while the files are written (a file size limit, with
// the limit's signal ignored, makes the write fail): exit 1, the file
// named, no file left behind.
TEST(CompileCommandTest, WriteFailureLeavesNoFile) {
  Scratch s;
  const fs::path model = s.write("tiny.san", Valid);
  const fs::path out = s.dir / "out";
  fs::create_directory(out);
  RunResult r = RunProgram("/bin/sh", {"-c", "trap '' XFSZ; ulimit -f 1; exec " + Compiler + " " +
                                                 model.string() + " -o " + out.string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("ssg-compile: cannot write '" + out.string() + "/"), std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("File too large"), std::string::npos) << r.err;
  EXPECT_EQ(CountFiles(out), 0);
}

// The output directory cannot be written (a run as nobody, so that the
// permission bits hold for a test run as root): exit 1, the file or
// directory named, nothing left behind. A target that is a link to
// /dev/full is replaced by the complete file, never written through.
TEST(CompileCommandTest, ReadOnlyOutputDirectoryFailsTheRun) {
  FaultDir dir;
  std::ofstream(dir.file("tiny.san")) << Valid;
  fs::create_directory(dir.file("readonly"));
  chmod(dir.file("readonly").c_str(), 0555);
  RunControls controls;
  controls.unprivileged = geteuid() == 0;
  RunResult into =
      RunControlled(Compiler, {dir.file("tiny.san"), "-o", dir.file("readonly")}, controls);
  if (controls.unprivileged && UnprivilegedRunFailed(into))
    GTEST_SKIP() << "cannot run the compiler as nobody: " << into.err;
  EXPECT_EQ(into.status, 1);
  EXPECT_EQ(into.err.find("ssg-compile: cannot write '" + dir.file("readonly/")), 0u) << into.err;
  EXPECT_NE(into.err.find("Permission denied"), std::string::npos) << into.err;
  EXPECT_EQ(CountFiles(dir.file("readonly")), 0);

  RunResult below =
      RunControlled(Compiler, {dir.file("tiny.san"), "-o", dir.file("readonly/new")}, controls);
  EXPECT_EQ(below.status, 1);
  EXPECT_EQ(below.err.find("ssg-compile: cannot create the output directory '" +
                           dir.file("readonly/new") + "'"),
            0u)
      << below.err;
  EXPECT_FALSE(fs::exists(dir.file("readonly/new")));
}

TEST(CompileCommandTest, TargetLinkedToAFullDeviceIsReplacedByTheCompleteFile) {
  if (!fs::exists("/dev/full"))
    GTEST_SKIP() << "no /dev/full";
  Scratch s;
  const fs::path model = s.write("tiny.san", Valid);
  const fs::path out = s.dir / "out";
  const fs::path reference = s.dir / "reference";
  fs::create_directory(out);
  fs::create_symlink("/dev/full", out / "SAN.cpp");
  ASSERT_EQ(RunProgram(Compiler, {model.string(), "-o", reference.string()}).status, 0);
  RunResult r = RunProgram(Compiler, {model.string(), "-o", out.string()});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_FALSE(fs::is_symlink(out / "SAN.cpp"));
  EXPECT_EQ(ReadFile(out / "SAN.cpp"), ReadFile(reference / "SAN.cpp"));
  EXPECT_GT(ReadFile(out / "SAN.cpp").size(), 1000u);
}
