#include "solver/results/OutputFile.h"

#include <cerrno>
#include <charconv>
#include <cstring>

#include "solver/SolverError.h"

OutputFile::OutputFile(std::string fileName) : Name(std::move(fileName)) {
  errno = 0;
  File = std::fopen(Name.c_str(), "wb");
  if (File == nullptr)
    throw SolverError(SolverError::InputError,
                      Name + ": cannot create the file: " + std::strerror(errno));
  std::setvbuf(File, nullptr, _IOFBF, std::size_t(1) << 20);
}

OutputFile::~OutputFile() {
  if (File != nullptr)
    std::fclose(File);
}

void OutputFile::failed(int errorNumber) const {
  throw SolverError(SolverError::InputError,
                    Name + ": cannot write the file: " +
                        (errorNumber != 0 ? std::strerror(errorNumber) : "write failed"));
}

OutputFile& OutputFile::put(std::string_view text) {
  if (!text.empty() && std::fwrite(text.data(), 1, text.size(), File) != text.size())
    failed(errno);
  return *this;
}

OutputFile& OutputFile::put(char c) {
  if (std::fputc(c, File) == EOF)
    failed(errno);
  return *this;
}

OutputFile& OutputFile::putWhole(std::uint64_t value) {
  char text[24];
  return put(std::string_view(text, std::to_chars(text, text + sizeof text, value).ptr - text));
}

OutputFile& OutputFile::putSigned(std::int64_t value) {
  char text[24];
  return put(std::string_view(text, std::to_chars(text, text + sizeof text, value).ptr - text));
}

OutputFile& OutputFile::putReal(double value) {
  char text[32];
  return put(std::string_view(text, std::to_chars(text, text + sizeof text, value).ptr - text));
}

void OutputFile::close() {
  if (File == nullptr)
    return;
  errno = 0;
  const bool bad = std::ferror(File) != 0;
  const int flushed = std::fflush(File);
  const int flushErrno = errno;
  const int closed = std::fclose(File);
  const int closeErrno = errno;
  File = nullptr;
  if (bad || flushed != 0)
    failed(flushErrno);
  if (closed != 0)
    failed(closeErrno);
}
