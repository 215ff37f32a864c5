// A disk that fills up in the middle of one file, for the fault tests.
//
// Loaded with LD_PRELOAD into a program under test: writes to the file whose
// path ends in $SSG_FAIL_SUFFIX succeed up to byte $SSG_FAIL_OFFSET of that
// file; the write that crosses it is cut short there, and every write at or
// beyond it fails with ENOSPC, as write(2) and pwrite(2) behave on a full
// disk. Other files are written as usual. Built without sanitizers: it only
// forwards to the next write in the chain (the sanitizer's or the C
// library's).

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <sys/types.h>
#include <unistd.h>

namespace {

using WriteFunction = ssize_t (*)(int, const void*, size_t);
using PwriteFunction = ssize_t (*)(int, const void*, size_t, off_t);

// True when fd is open on the file the fault is for.
bool Targeted(int fd) {
  const char* suffix = getenv("SSG_FAIL_SUFFIX");
  if (suffix == nullptr || *suffix == '\0')
    return false;
  char link[64];
  snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  char path[PATH_MAX];
  const ssize_t n = readlink(link, path, sizeof path - 1);
  if (n < 0)
    return false;
  path[n] = '\0';
  const size_t length = strlen(suffix);
  return static_cast<size_t>(n) >= length && strcmp(path + n - length, suffix) == 0;
}

// How many of `count` bytes at `position` fit before the disk is full; -1
// (errno ENOSPC) when none.
ssize_t Room(off_t position, size_t count) {
  const char* offset = getenv("SSG_FAIL_OFFSET");
  const long long limit = offset != nullptr ? atoll(offset) : 0;
  if (position >= limit) {
    errno = ENOSPC;
    return -1;
  }
  const long long left = limit - position;
  return static_cast<ssize_t>(static_cast<long long>(count) < left ? count : left);
}

} // namespace

extern "C" ssize_t write(int fd, const void* buffer, size_t count) {
  static const auto next = reinterpret_cast<WriteFunction>(dlsym(RTLD_NEXT, "write"));
  if (count == 0 || !Targeted(fd))
    return next(fd, buffer, count);
  const ssize_t room = Room(lseek(fd, 0, SEEK_CUR), count);
  return room < 0 ? -1 : next(fd, buffer, static_cast<size_t>(room));
}

extern "C" ssize_t pwrite(int fd, const void* buffer, size_t count, off_t offset) {
  static const auto next = reinterpret_cast<PwriteFunction>(dlsym(RTLD_NEXT, "pwrite"));
  if (count == 0 || !Targeted(fd))
    return next(fd, buffer, count, offset);
  const ssize_t room = Room(offset, count);
  return room < 0 ? -1 : next(fd, buffer, static_cast<size_t>(room), offset);
}

extern "C" ssize_t pwrite64(int fd, const void* buffer, size_t count, off_t offset) {
  return pwrite(fd, buffer, count, offset);
}
