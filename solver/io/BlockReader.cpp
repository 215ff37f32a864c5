#include "solver/io/BlockReader.h"

#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "solver/SolverError.h"

BlockReader::BlockReader(const std::string& fileName, const std::string& role,
                         std::size_t blockSize)
    : Name(fileName), Capacity(blockSize < 64 ? 64 : blockSize) {
  Fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (Fd < 0)
    throw SolverError(SolverError::InputError,
                      fileName + ": cannot open the " + role + ": " + std::strerror(errno));
  struct stat info;
  if (::fstat(Fd, &info) == 0) {
    if (S_ISDIR(info.st_mode)) {
      ::close(Fd);
      Fd = -1;
      throw SolverError(SolverError::InputError,
                        fileName + ": cannot open the " + role + ": it is a directory");
    }
    Size = static_cast<std::uint64_t>(info.st_size);
  }
  // One byte more than the capacity for the sentinel line feed.
  Buffer = std::make_unique<char[]>(Capacity + 1);
  Buffer[0] = '\n';
}

BlockReader::~BlockReader() {
  if (Fd >= 0)
    ::close(Fd);
}

bool BlockReader::refill() {
  if (Eof) {
    if (Pos < End)
      failAtLine(Line + 1, "the file ends in the middle of a line (is it complete?)");
    return false;
  }
  // Keep the unread part at the front; grow when one line fills the buffer.
  if (Pos > 0) {
    std::memmove(Buffer.get(), Buffer.get() + Pos, End - Pos);
    Consumed += Pos;
    End -= Pos;
    Pos = 0;
  }
  if (End == Capacity) {
    auto larger = std::make_unique<char[]>(Capacity * 2 + 1);
    std::memcpy(larger.get(), Buffer.get(), End);
    Buffer = std::move(larger);
    Capacity *= 2;
  }
  for (;;) {
    ssize_t n = ::read(Fd, Buffer.get() + End, Capacity - End);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      throw SolverError(SolverError::InputError, Name + ": read error: " + std::strerror(errno));
    }
    if (n == 0)
      Eof = true;
    End += static_cast<std::size_t>(n);
    Buffer[End] = '\n';
    return true;
  }
}

bool BlockReader::readBytes(void* to, std::size_t count) {
  char* out = static_cast<char*>(to);
  while (End - Pos < count) {
    if (Eof)
      return false;
    refill();
  }
  std::memcpy(out, Buffer.get() + Pos, count);
  Pos += count;
  return true;
}

bool BlockReader::atEnd() {
  while (Pos == End) {
    if (Eof)
      return true;
    refill();
  }
  return false;
}

void BlockReader::fail(const std::string& what) const {
  failAtLine(Line, what);
}

void BlockReader::failAtLine(unsigned long long line, const std::string& what) const {
  throw SolverError::AtLine(Name, line, what);
}

std::string BlockReader::Quote(std::string_view text) {
  constexpr std::size_t Shown = 40;
  std::string quoted = "'";
  for (char c : text.substr(0, Shown))
    quoted += (static_cast<unsigned char>(c) < 32 || c == 127) ? '?' : c;
  if (text.size() > Shown)
    quoted += "...";
  return quoted + "'";
}

std::uint64_t BlockReader::parseUnsigned(std::string_view text, const char* what) const {
  std::uint64_t value = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end) {
    if (ec == std::errc::result_out_of_range)
      fail(std::string(what) + " " + Quote(text) + " is too large");
    fail("expected " + std::string(what) + " (a whole number), found " + Quote(text));
  }
  return value;
}

double BlockReader::parseDouble(std::string_view text, const char* what) const {
  double value = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ptr != end || (ec != std::errc() && ec != std::errc::result_out_of_range))
    fail("expected " + std::string(what) + " (a number), found " + Quote(text));
  if (ec == std::errc::result_out_of_range)
    fail(std::string(what) + " " + Quote(text) + " is out of the range of a double");
  return value;
}

std::string_view BlockReader::expectKeyword(std::string_view line, std::string_view keyword) const {
  if (line.substr(0, keyword.size()) != keyword)
    fail("expected a line \"" + std::string(keyword) + "...\", found " + Quote(line));
  return line.substr(keyword.size());
}
