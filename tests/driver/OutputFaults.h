#ifndef TESTS_DRIVER_OUTPUTFAULTS_H
#define TESTS_DRIVER_OUTPUTFAULTS_H

// Output files that cannot be written, for the fault tests of every program.
//
// Each way makes one file of a scratch directory a symbolic link to where
// it cannot be written, so the program's other files stay writable:
//   MissingDirectory   a directory that does not exist (ENOENT);
//   ReadOnlyDirectory  a directory without write permission (EACCES); root
//                      ignores permission bits, so a test running as root
//                      runs the program as the unprivileged user nobody
//                      (RunControls::unprivileged) and makes the scratch
//                      directory writable for it;
//   FullDevice         /dev/full, which takes no byte (ENOSPC).

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "tests/driver/Subprocess.h"

enum class Unwritable { MissingDirectory, ReadOnlyDirectory, FullDevice };

inline const Unwritable AllUnwritable[] = {Unwritable::MissingDirectory,
                                           Unwritable::ReadOnlyDirectory, Unwritable::FullDevice};

inline const char* Describe(Unwritable how) {
  switch (how) {
  case Unwritable::MissingDirectory:
    return "missing directory";
  case Unwritable::ReadOnlyDirectory:
    return "read-only directory";
  case Unwritable::FullDevice:
    return "full device";
  }
  return "";
}

// A fresh directory writable by everyone (the program may run as nobody),
// removed with its contents at the end; its path ends in '/'.
struct FaultDir {
  std::string path;
  FaultDir() {
    char name[] = "/tmp/ssg_fault_XXXXXX";
    const char* made = mkdtemp(name);
    path = std::string(made != nullptr ? made : "/tmp") + "/";
    chmod(path.c_str(), 0777);
  }
  ~FaultDir() {
    std::error_code ignored;
    chmod((path + "readonly").c_str(), 0755);
    std::filesystem::remove_all(path, ignored);
  }
  FaultDir(const FaultDir&) = delete;
  FaultDir& operator=(const FaultDir&) = delete;
  std::string file(const std::string& name) const { return path + name; }
};

// Makes `name` in dir unwritable in the given way, and sets the controls
// that way needs. Returns false when it cannot be arranged here (then
// `why` says why, for a skip).
inline bool MakeUnwritable(const FaultDir& dir, const std::string& name, Unwritable how,
                           RunControls& controls, std::string& why) {
  namespace fs = std::filesystem;
  std::error_code error;
  fs::remove(dir.file(name), error);
  switch (how) {
  case Unwritable::MissingDirectory:
    fs::create_symlink(dir.file("missing/" + name), dir.file(name), error);
    break;
  case Unwritable::ReadOnlyDirectory:
    fs::create_directory(dir.file("readonly"), error);
    chmod(dir.file("readonly").c_str(), 0555);
    fs::create_symlink(dir.file("readonly/" + name), dir.file(name), error);
    controls.unprivileged = geteuid() == 0;
    break;
  case Unwritable::FullDevice:
    if (!fs::exists("/dev/full")) {
      why = "no /dev/full";
      return false;
    }
    fs::create_symlink("/dev/full", dir.file(name), error);
    break;
  }
  if (error) {
    why = "cannot set up " + name + ": " + error.message();
    return false;
  }
  return true;
}

// True when a run as nobody could not start (status 126 from the runner,
// or the program is out of nobody's reach).
inline bool UnprivilegedRunFailed(const RunResult& run) {
  return run.status == 126 || run.status == 127;
}

// The .arm file at `path` holds no state count: it does not exist, or its
// second line is still the blanks the header reserves for the count.
inline bool ArmClaimsNoCount(const std::string& path) {
  if (!std::filesystem::exists(path) || std::filesystem::is_symlink(path))
    return true;
  const std::string text = ReadWholeFile(path);
  const std::size_t first = text.find('\n');
  if (first == std::string::npos)
    return true;
  const std::size_t second = text.find('\n', first + 1);
  const std::string line =
      text.substr(first + 1, second == std::string::npos ? std::string::npos : second - first - 1);
  return line.find_first_not_of(' ') == std::string::npos;
}

#endif
