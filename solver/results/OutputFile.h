#ifndef SOLVER_OUTPUTFILE_H
#define SOLVER_OUTPUTFILE_H

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

// A text file written by the solver (an export), buffered, with every
// failure reported.
//
// Numbers are written with std::to_chars: whole numbers in decimal, doubles
// in the shortest form that reads back as exactly the same double ("0.5",
// "1e-05", "0.30000000000000004"). Lines end with a single line feed.
//
// Failure policy: a file that cannot be created, written or closed is a
// SolverError InputError naming the file and the reason, so a program never
// ends with status 0 and a short file. The destructor of a file not closed
// closes it without reporting (a write failed, or an exception is passing).
class OutputFile {
public:
  // Creates or truncates the file.
  explicit OutputFile(std::string fileName);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  OutputFile& put(std::string_view text);
  OutputFile& put(char c);
  OutputFile& putWhole(std::uint64_t value);
  OutputFile& putSigned(std::int64_t value);
  OutputFile& putReal(double value);
  // Flushes and closes; reports a failure of any write before.
  void close();

  const std::string& fileName() const { return Name; }

private:
  std::string Name;
  std::FILE* File = nullptr;
  [[noreturn]] void failed(int errorNumber) const;
};

#endif
