#ifndef SSG_RECORDWRITER_H
#define SSG_RECORDWRITER_H

#include <array>
#include <bit>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Buffered writer of one output file (.arm, .var, ...), with exact number
// formatting and checked writes.
//
// Records are appended to a 256 KiB buffer and handed to the operating system
// when it fills, so writing a record costs a few character copies and no
// allocation. Numbers are formatted with std::to_chars, which prints exactly
// what the C formatted output prints for the same conversion:
//   putScientific(x)  == printf("%.10e", x)   (a stream in scientific
//                        notation with precision 10)
//   putGeneral(x)     == printf("%g", x)      (a stream's default format:
//                        6 significant digits)
// Lines end with a single line feed; nothing is translated.
//
// Rates and rewards repeat a great deal (a model has a handful of rate
// expressions), so each format keeps a small direct-mapped cache from a
// double's bit pattern to its text; a hit copies the text, a miss formats and
// fills the slot. The bytes written are the same either way.
//
// Failure policy: the file is part of the run's result, so a write, flush,
// seek or close that fails ends the run at once with a message on standard
// error naming the file ("Error: could not write <file>: <reason>") and exit
// status 1. A run therefore never ends with status 0 and a truncated file.
class RecordWriter {
public:
  RecordWriter() = default;
  // Closes an open file without reporting (for early exits); call close() to
  // complete a file.
  ~RecordWriter();
  RecordWriter(const RecordWriter&) = delete;
  RecordWriter& operator=(const RecordWriter&) = delete;

  // Creates or truncates the file for writing. False if it cannot be opened
  // (errno tells why); see OpenFailed.
  bool open(const char* fileName);
  // open(), and on failure OpenFailed(message, fileName).
  void openOrExit(const char* fileName, const char* message);
  // Writes into memory instead of a file (a worker's records of a
  // distributed run, sent on as bytes): the same formatting, no file.
  void openInMemory();
  bool isOpen() const { return Fd >= 0 || InMemory; }
  // Of a writer in memory: the bytes written so far, and taking them (the
  // writer goes on empty).
  std::size_t writtenBytes() const { return MemoryBytes.size() + Used; }
  void takeBytes(std::vector<char>& bytes);
  const std::string& fileName() const { return Name; }

  // Writing requires an open file.
  void putChar(char c) {
    if (Used == Capacity)
      flush();
    Buffer[Used++] = c;
  }
  void putText(std::string_view text);
  void putBytes(const void* bytes, std::size_t count);
  void putUnsigned(std::uint64_t value);
  void putSigned(std::int64_t value);
  void putScientific(double value);
  void putGeneral(double value);
  // Binary fields, little-endian whatever the host's byte order: a 4-byte
  // unsigned value, an 8-byte IEEE double.
  void putLittleEndian32(std::uint32_t value) { putLittleEndian(&value, sizeof value); }
  void putLittleEndianDouble(double value) { putLittleEndian(&value, sizeof value); }
  // Number and line end, the common record line.
  void putUnsignedLine(std::uint64_t value) {
    putUnsigned(value);
    putChar('\n');
  }

  // Writes the buffered bytes to the file.
  void flush();
  // Flushes, then continues writing at the start of the file (to fill in a
  // header that was reserved with blanks).
  void rewind();
  // Flushes, then writes `header` over the first `reserved` bytes of the
  // file (a header reserved with blanks). A longer header first moves
  // everything after those bytes further into the file, to make room; that
  // rewrites the whole file once. Writing continues at the end.
  void overwriteStart(std::string_view header, std::size_t reserved);
  // Flushes and closes the file.
  void close();

  // For a writer fed by another thread than the one that may end the run:
  // while failures are deferred, a write that fails does not end the run;
  // the writer keeps the reason, drops everything it is given from then on,
  // and failed() turns true. reportFailure() then ends the run with the
  // message the failure would have given at once.
  void deferFailures(bool defer) { DeferFailures = defer; }
  bool failed() const { return FailedErrno != 0; }
  [[noreturn]] void reportFailure() const;

  // The exact message line given, then "  <file>: <reason from errno>", on
  // standard error; exit status 1.
  [[noreturn]] static void OpenFailed(const char* message, const char* fileName);

private:
  static constexpr std::size_t Capacity = std::size_t(256) * 1024;

  // One cached number text; Length 0 marks an empty slot (no number formats
  // to zero characters).
  struct CachedNumber {
    std::uint64_t Bits = 0;
    std::uint8_t Length = 0;
    char Text[31];
  };
  static constexpr std::size_t CacheSlots = 256;
  using NumberCache = std::array<CachedNumber, CacheSlots>;

  // The `size` bytes of a scalar at `value`, least significant first.
  void putLittleEndian(const void* value, std::size_t size) {
    if (Capacity - Used < size)
      flush();
    char* at = Buffer.get() + Used;
    if constexpr (std::endian::native == std::endian::little) {
      std::memcpy(at, value, size);
    } else {
      const char* bytes = static_cast<const char*>(value);
      for (std::size_t i = 0; i < size; i++)
        at[i] = bytes[size - 1 - i];
    }
    Used += size;
  }

  // Appends value formatted with (format, precision) through cache.
  void putCachedNumber(double value, NumberCache& cache, std::chars_format format, int precision);

  int Fd = -1;
  std::string Name;
  bool InMemory = false;
  std::vector<char> MemoryBytes;
  std::unique_ptr<char[]> Buffer;
  std::size_t Used = 0;

  std::unique_ptr<NumberCache> ScientificCache = std::make_unique<NumberCache>();
  std::unique_ptr<NumberCache> GeneralCache = std::make_unique<NumberCache>();

  bool DeferFailures = false;
  int FailedErrno = 0;

  [[noreturn]] void writeFailed(int errorNumber) const;
  // writeFailed, or while failures are deferred, keeping the reason.
  void flushFailed(int errorNumber);
  // pwrite of all `count` bytes at `offset`, or writeFailed.
  void writeAt(int fd, const char* bytes, std::size_t count, std::uint64_t offset);
};

#endif
