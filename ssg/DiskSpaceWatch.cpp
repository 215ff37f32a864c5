#include "ssg/DiskSpaceWatch.h"

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <iomanip>
#include <iostream>
#include <sys/statvfs.h>

namespace {

uint64_t ReserveFromEnvironment() {
  const char* text = std::getenv("SSG_MIN_FREE_MB");
  if (text == nullptr || *text == '\0')
    return DiskSpaceWatch::DefaultReserveBytes;
  uint64_t mib = 0;
  const char* end = text + std::strlen(text);
  auto [stop, ec] = std::from_chars(text, end, mib);
  if (ec != std::errc() || stop != end || mib > (UINT64_MAX >> 20)) {
    std::cerr << "Warning: SSG_MIN_FREE_MB=" << text
              << " is not a whole number of MiB; the reserve stays 64 MiB" << std::endl;
    return DiskSpaceWatch::DefaultReserveBytes;
  }
  return mib << 20;
}

} // namespace

DiskSpaceWatch::DiskSpaceWatch(const std::string& prefix) : Reserve(ReserveFromEnvironment()) {
  const std::string::size_type slash = prefix.rfind('/');
  Directory = slash == std::string::npos ? "." : prefix.substr(0, slash + 1);
}

long double DiskSpaceWatch::freeBytes() const {
  struct statvfs info {};
  if (statvfs(Directory.c_str(), &info) != 0)
    return -1;
  return static_cast<long double>(info.f_bavail) * static_cast<long double>(info.f_frsize);
}

void DiskSpaceWatch::checkNow(uint64_t states) {
  NextCheck = states + CheckEvery;
  const long double available = freeBytes();
  if (available < 0 || available >= static_cast<long double>(Reserve))
    return;
  const long double mib = 1024.0L * 1024.0L;
  std::cerr << std::fixed << std::setprecision(1) << "Error: only " << available / mib
            << " MiB free on the file system of " << Directory << ", less than the reserve of "
            << static_cast<long double>(Reserve) / mib << " MiB, after " << states
            << " states; the run stops before the disk is full: free some space or write the "
               "files elsewhere (-P)"
            << std::endl;
  std::exit(1);
}
