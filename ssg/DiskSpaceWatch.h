#ifndef SSG_DISKSPACEWATCH_H
#define SSG_DISKSPACEWATCH_H

#include <cstdint>
#include <string>

// Watches the free space of the file system the output files go to, so
// that a run stops with a message while there is still room, not after a
// write has failed on a full disk.
//
// check() asks the file system (statvfs) once every CheckEvery states and
// ends the run with status 1 when less than the reserve is free for an
// ordinary user:
//   Error: only 12.3 MiB free on the file system of out/, less than the
//   reserve of 64.0 MiB, after 1638400 states; the run stops before the
//   disk is full: free some space or write the files elsewhere (-P)
// The files written so far stay incomplete (the .arm header holds no state
// count; in a distributed run the end goes through EndForModelFault, so
// that every worker ends together). The reserve is the driver's --min-free (64 MiB by default; 0
// watches nothing). A file system that cannot be asked is not watched.
class DiskSpaceWatch {
public:
  static constexpr uint64_t CheckEvery = 16384;
  static constexpr uint64_t DefaultReserveBytes = 64ULL << 20;

  // `prefix`: the output files' path prefix (<path><name>); the directory
  // is its part up to the last '/', or "." without one.
  DiskSpaceWatch(const std::string& prefix, uint64_t reserveBytes);

  void check(uint64_t states) {
    if (states >= NextCheck) [[unlikely]]
      checkNow(states);
  }
  // The free space now, in bytes, or -1 when the file system cannot be
  // asked.
  long double freeBytes() const;
  uint64_t reserveBytes() const { return Reserve; }
  const std::string& directory() const { return Directory; }

private:
  std::string Directory;
  uint64_t Reserve;
  uint64_t NextCheck = 0;

  void checkNow(uint64_t states);
};

#endif
