#ifndef FUZZ_FUZZSUPPORT_H
#define FUZZ_FUZZSUPPORT_H

// Helpers shared by the fuzz targets: silencing the code's own messages and
// handing bytes to readers that take a file name.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <streambuf>
#include <string>
#include <system_error>

namespace fuzz {

// A stream buffer that accepts and drops everything.
class DiscardBuffer : public std::streambuf {
protected:
  int_type overflow(int_type c) override { return traits_type::not_eof(c); }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

// Sends std::cout and std::cerr to a DiscardBuffer for the life of the
// process: the code under test reports every bad input, and libFuzzer's own
// output (and the sanitizers' reports, written to the file descriptor) stay
// readable. Output through stdio is left alone (run with -close_fd_mask=1 to
// drop it).
inline void DiscardStreamOutput() {
  static DiscardBuffer discard;
  std::cout.rdbuf(&discard);
  std::cerr.rdbuf(&discard);
}

// A directory of its own under $TMPDIR (or /tmp), removed with everything
// in it when the process ends normally. One per process: every input is
// written to the same file name and read back from there.
class ScratchDirectory {
public:
  ScratchDirectory() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern =
        std::string(base != nullptr && base[0] != '\0' ? base : "/tmp") + "/ssg-fuzz-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
      std::perror("ssg fuzz: mkdtemp");
      std::abort();
    }
    Path = pattern;
  }
  ~ScratchDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(Path, ignored);
  }
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  // Writes the bytes to <directory>/<name> (replacing it) and returns that
  // path.
  std::string write(const std::string& name, const std::uint8_t* data, std::size_t size) const {
    const std::string file = Path + "/" + name;
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    out.close();
    if (!out) {
      std::perror("ssg fuzz: writing the input file");
      std::abort();
    }
    return file;
  }
  // <directory>/<name>, without touching it.
  std::string path(const std::string& name) const { return Path + "/" + name; }
  void remove(const std::string& name) const {
    std::error_code ignored;
    std::filesystem::remove(Path + "/" + name, ignored);
  }

private:
  std::string Path;
};

} // namespace fuzz

#endif
