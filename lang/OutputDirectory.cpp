#include "lang/OutputDirectory.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include <unistd.h>

namespace lang {

namespace fs = std::filesystem;

bool OutputDirectory::write(const std::vector<GeneratedFile>& files, std::string& error) const {
  std::error_code ec;
  if (fs::exists(Directory, ec) && !fs::is_directory(Directory, ec)) {
    error = "cannot create the output directory '" + Directory.string() +
            "': a file of that name exists";
    return false;
  }
  fs::create_directories(Directory, ec);
  if (ec || !fs::is_directory(Directory)) {
    error = "cannot create the output directory '" + Directory.string() + "'" +
            (ec ? ": " + ec.message() : std::string(": a file of that name exists"));
    return false;
  }

  // A target that a file cannot replace stops the run before anything is
  // written.
  for (const GeneratedFile& f : files) {
    const fs::path target = Directory / f.name;
    if (fs::is_directory(target, ec)) {
      error = "cannot create '" + target.string() + "': a directory of that name exists";
      return false;
    }
  }

  std::vector<fs::path> temporaries;
  auto removeTemporaries = [&]() {
    for (const fs::path& t : temporaries) {
      std::error_code ignored;
      fs::remove(t, ignored);
    }
  };
  const std::string suffix = ".tmp." + std::to_string(::getpid());
  for (const GeneratedFile& f : files) {
    const fs::path target = Directory / f.name;
    const fs::path temporary = Directory / ("." + f.name + suffix);
    temporaries.push_back(temporary);
    errno = 0;
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (out)
      out.write(f.text.data(), static_cast<std::streamsize>(f.text.size()));
    if (out)
      out.close();
    if (!out) {
      const int code = errno;
      error = "cannot write '" + target.string() + "'" +
              (code != 0 ? std::string(": ") + std::strerror(code) : std::string());
      removeTemporaries();
      return false;
    }
  }
  for (size_t i = 0; i < files.size(); i++) {
    const fs::path target = Directory / files[i].name;
    if (std::rename(temporaries[i].c_str(), target.c_str()) != 0) {
      error = "cannot create '" + target.string() + "': " + std::strerror(errno);
      removeTemporaries();
      return false;
    }
  }
  return true;
}

} // namespace lang
