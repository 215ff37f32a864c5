#ifndef SOLVER_BLOCKREADER_H
#define SOLVER_BLOCKREADER_H

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

// Sequential reader of one input file in large blocks, line by line or byte
// by byte, that knows the file name and the current line for messages.
//
// The file is read with read(2) into one buffer (4 MiB by default); a line is
// found by a scan up to the next line feed and handed out as a view into the
// buffer, valid until the next call. Nothing is allocated per line. Memory: the buffer, grown only
// if a single line is longer than it. The page cache, not this process, holds the file, so reading
// a file of any size costs no resident memory beyond the buffer.
//
// Every line must end with a line feed (a '\r' before it is dropped): a file
// that ends in the middle of a line was cut short, and a number at its end
// could be a truncated one, so that is an error. Errors are SolverError
// InputError with "<file>:<line>: ...".
class BlockReader {
public:
  static constexpr std::size_t DefaultBlock = std::size_t(4) << 20;

  // Opens the file for reading; a missing or unreadable file is an error
  // naming it, with `role` saying what the file is ("transition-rate file").
  BlockReader(const std::string& fileName, const std::string& role,
              std::size_t blockSize = DefaultBlock);
  ~BlockReader();
  BlockReader(const BlockReader&) = delete;
  BlockReader& operator=(const BlockReader&) = delete;

  // The next line without its line end; false at the end of the file.
  bool nextLine(std::string_view& line) {
    for (;;) {
      // A line feed is kept after the data as a sentinel, so the scan needs
      // no bound check; lines are short, and a call to memchr per line
      // would cost more than the scan.
      const char* from = Buffer.get() + Pos;
      const char* at = from;
      while (*at != '\n')
        at++;
      std::size_t length = static_cast<std::size_t>(at - from);
      if (Pos + length < End) {
        Pos += length + 1;
        Line++;
        if (length > 0 && from[length - 1] == '\r')
          length--;
        line = std::string_view(from, length);
        return true;
      }
      if (!refill())
        return false;
    }
  }

  // A whole line that is a decimal number without sign, parsed in place (the
  // common case of the record files); anything else goes to parseUnsigned
  // for its message.
  std::uint64_t lineUnsigned(std::string_view text, const char* what) const {
    if (text.empty() || text.size() > 18)
      return parseUnsigned(text, what);
    std::uint64_t value = 0;
    for (char c : text) {
      const unsigned digit = static_cast<unsigned char>(c) - '0';
      if (digit > 9)
        return parseUnsigned(text, what);
      value = value * 10 + digit;
    }
    return value;
  }

  // Reads exactly `count` bytes; false when the file ends before (then
  // nothing is consumed and bytesLeft() says how many there were).
  bool readBytes(void* to, std::size_t count);
  // Whether the whole file has been consumed.
  bool atEnd();

  const std::string& fileName() const { return Name; }
  // Number of the line nextLine returned last (1 for the first).
  unsigned long long lineNumber() const { return Line; }
  // Bytes consumed so far and the file's size (for progress reports).
  std::uint64_t position() const { return Consumed + Pos; }
  std::uint64_t fileSize() const { return Size; }

  // An InputError at the current line (or, with line 0, for the whole file).
  [[noreturn]] void fail(const std::string& what) const;
  [[noreturn]] void failAtLine(unsigned long long line, const std::string& what) const;

  // The whole of `text` as a decimal number without sign; errors name `what`.
  std::uint64_t parseUnsigned(std::string_view text, const char* what) const;
  // The whole of `text` as a decimal or scientific number (finite or not).
  double parseDouble(std::string_view text, const char* what) const;
  // "Keyword:value": the value after `keyword` ("NumPV:"), or an error that
  // says which keyword was expected.
  std::string_view expectKeyword(std::string_view line, std::string_view keyword) const;

  // Shortened quote of a bad text for messages.
  static std::string Quote(std::string_view text);

  // The little-endian fields of the binary files: a 4-byte unsigned
  // integer and an 8-byte IEEE 754 double at `b`.
  static std::uint32_t LittleEndian32(const unsigned char* b) {
    return std::uint32_t(b[0]) | std::uint32_t(b[1]) << 8 | std::uint32_t(b[2]) << 16 |
           std::uint32_t(b[3]) << 24;
  }
  static double LittleEndianDouble(const unsigned char* b) {
    std::uint64_t bits = 0;
    for (int i = 7; i >= 0; i--)
      bits = (bits << 8) | b[i];
    return std::bit_cast<double>(bits);
  }

private:
  // Moves the unread bytes to the front and reads more; false at the end of
  // the file (an unterminated last line is an error).
  bool refill();

  std::string Name;
  int Fd = -1;
  std::uint64_t Size = 0;
  std::unique_ptr<char[]> Buffer;
  std::size_t Capacity;
  std::size_t Pos = 0;
  std::size_t End = 0;
  std::uint64_t Consumed = 0; // bytes dropped from the front of the buffer
  bool Eof = false;
  unsigned long long Line = 0;
};

#endif
