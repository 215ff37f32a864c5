#include "ssg/RecordWriter.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <unistd.h>

RecordWriter::~RecordWriter() {
  if (Fd >= 0)
    ::close(Fd);
}

bool RecordWriter::open(const char* fileName) {
  if (Fd >= 0)
    close();
  Name = fileName;
  Used = 0;
  Fd = ::open(fileName, O_WRONLY | O_CREAT | O_TRUNC, 0666);
  if (Fd < 0)
    return false;
  if (!Buffer)
    Buffer = std::make_unique<char[]>(Capacity);
  return true;
}

void RecordWriter::openInMemory() {
  if (Fd >= 0)
    close();
  Name = "(memory)";
  InMemory = true;
  Used = 0;
  MemoryBytes.clear();
  if (!Buffer)
    Buffer = std::make_unique<char[]>(Capacity);
}

void RecordWriter::takeBytes(std::vector<char>& bytes) {
  flush();
  bytes.swap(MemoryBytes);
  MemoryBytes.clear();
}

void RecordWriter::openOrExit(const char* fileName, const char* message) {
  if (!open(fileName))
    OpenFailed(message, fileName);
}

void RecordWriter::OpenFailed(const char* message, const char* fileName) {
  int errorNumber = errno;
  std::cerr << message << std::endl;
  std::cerr << "  " << fileName << ": " << std::strerror(errorNumber) << std::endl;
  std::exit(1);
}

void RecordWriter::putText(std::string_view text) {
  putBytes(text.data(), text.size());
}

void RecordWriter::putBytes(const void* bytes, std::size_t count) {
  const char* from = static_cast<const char*>(bytes);
  while (count > 0) {
    if (Used == Capacity)
      flush();
    std::size_t n = std::min(count, Capacity - Used);
    std::memcpy(Buffer.get() + Used, from, n);
    Used += n;
    from += n;
    count -= n;
  }
}

// Every conversion below needs at most 32 characters ("%.10e" of a double is
// at most 18), so one check for room precedes the conversion.
void RecordWriter::putUnsigned(std::uint64_t value) {
  if (Capacity - Used < 32)
    flush();
  char* at = Buffer.get() + Used;
  Used += std::to_chars(at, at + 32, value).ptr - at;
}

void RecordWriter::putSigned(std::int64_t value) {
  if (Capacity - Used < 32)
    flush();
  char* at = Buffer.get() + Used;
  Used += std::to_chars(at, at + 32, value).ptr - at;
}

void RecordWriter::putScientific(double value) {
  putCachedNumber(value, *ScientificCache, std::chars_format::scientific, 10);
}

void RecordWriter::putGeneral(double value) {
  putCachedNumber(value, *GeneralCache, std::chars_format::general, 6);
}

void RecordWriter::putCachedNumber(double value, NumberCache& cache, std::chars_format format,
                                   int precision) {
  if (Capacity - Used < sizeof(CachedNumber::Text))
    flush();
  char* at = Buffer.get() + Used;
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
  CachedNumber& slot = cache[(bits * 0x9E3779B97F4A7C15ULL) >> 56];
  if (slot.Length != 0 && slot.Bits == bits) {
    std::memcpy(at, slot.Text, slot.Length);
    Used += slot.Length;
    return;
  }
  const std::size_t length =
      std::to_chars(at, at + sizeof(CachedNumber::Text), value, format, precision).ptr - at;
  slot.Bits = bits;
  slot.Length = static_cast<std::uint8_t>(length);
  std::memcpy(slot.Text, at, length);
  Used += length;
}

void RecordWriter::flush() {
  if (InMemory) {
    MemoryBytes.insert(MemoryBytes.end(), Buffer.get(), Buffer.get() + Used);
    Used = 0;
    return;
  }
  if (Fd < 0 || FailedErrno != 0) {
    Used = 0;
    return;
  }
  std::size_t done = 0;
  while (done < Used) {
    ssize_t n = ::write(Fd, Buffer.get() + done, Used - done);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      flushFailed(errno);
      return;
    }
    if (n == 0) {
      flushFailed(EIO);
      return;
    }
    done += static_cast<std::size_t>(n);
  }
  Used = 0;
}

void RecordWriter::flushFailed(int errorNumber) {
  if (!DeferFailures)
    writeFailed(errorNumber);
  FailedErrno = errorNumber;
  Used = 0;
}

void RecordWriter::reportFailure() const {
  writeFailed(FailedErrno != 0 ? FailedErrno : EIO);
}

void RecordWriter::rewind() {
  flush();
  if (FailedErrno != 0)
    reportFailure();
  if (Fd >= 0 && ::lseek(Fd, 0, SEEK_SET) < 0)
    writeFailed(errno);
}

void RecordWriter::writeAt(int fd, const char* bytes, std::size_t count, std::uint64_t offset) {
  while (count > 0) {
    ssize_t n = ::pwrite(fd, bytes, count, static_cast<off_t>(offset));
    if (n < 0) {
      if (errno == EINTR)
        continue;
      writeFailed(errno);
    }
    if (n == 0)
      writeFailed(EIO);
    bytes += n;
    count -= static_cast<std::size_t>(n);
    offset += static_cast<std::uint64_t>(n);
  }
}

void RecordWriter::overwriteStart(std::string_view header, std::size_t reserved) {
  flush();
  if (FailedErrno != 0)
    reportFailure();
  if (Fd < 0)
    return;
  if (header.size() > reserved) {
    // Move the bytes after the reserved ones by `shift`, from the end of the
    // file backwards so that none is overwritten before it has moved. The
    // file was opened for writing only: read it through a second descriptor.
    const off_t end = ::lseek(Fd, 0, SEEK_END);
    if (end < 0)
      writeFailed(errno);
    const int in = ::open(Name.c_str(), O_RDONLY);
    if (in < 0)
      writeFailed(errno);
    const std::uint64_t shift = header.size() - reserved;
    std::uint64_t position = static_cast<std::uint64_t>(end);
    while (position > reserved) {
      const std::size_t n =
          static_cast<std::size_t>(std::min<std::uint64_t>(Capacity, position - reserved));
      position -= n;
      std::size_t done = 0;
      while (done < n) {
        ssize_t got =
            ::pread(in, Buffer.get() + done, n - done, static_cast<off_t>(position + done));
        if (got < 0 && errno == EINTR)
          continue;
        if (got <= 0) {
          const int errorNumber = got < 0 ? errno : EIO;
          ::close(in);
          writeFailed(errorNumber);
        }
        done += static_cast<std::size_t>(got);
      }
      writeAt(Fd, Buffer.get(), n, position + shift);
    }
    ::close(in);
  }
  writeAt(Fd, header.data(), header.size(), 0);
  if (::lseek(Fd, 0, SEEK_END) < 0)
    writeFailed(errno);
}

void RecordWriter::close() {
  if (Fd < 0)
    return;
  flush();
  if (FailedErrno != 0)
    reportFailure();
  int fd = Fd;
  Fd = -1;
  if (::close(fd) != 0)
    writeFailed(errno);
}

void RecordWriter::writeFailed(int errorNumber) const {
  std::cerr << "Error: could not write " << Name << ": " << std::strerror(errorNumber) << std::endl;
  std::exit(1);
}
