#ifndef LANG_OUTPUTDIRECTORY_H
#define LANG_OUTPUTDIRECTORY_H

#include <filesystem>
#include <string>
#include <vector>

#include "lang/CodeGenerator.h"

namespace lang {

// Writes a set of files into a directory all or nothing: each file is first
// written completely to a temporary name beside its final one, and only when
// every file has been written are they renamed into place, one by one. On a
// failure to write, and when a target is a directory that no file can
// replace, the temporaries are removed and the directory's previous contents
// are left as they were. (A rename that fails after others succeeded, which
// needs a change of the directory by someone else meanwhile, is reported
// but leaves the files renamed before it.)
class OutputDirectory {
public:
  explicit OutputDirectory(std::filesystem::path directory) : Directory(std::move(directory)) {}

  // Creates the directory if needed and writes the files; false with a
  // message in `error` when something could not be written.
  bool write(const std::vector<GeneratedFile>& files, std::string& error) const;

private:
  std::filesystem::path Directory;
};

} // namespace lang

#endif
