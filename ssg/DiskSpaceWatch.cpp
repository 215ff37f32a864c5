#include "ssg/DiskSpaceWatch.h"

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <iomanip>
#include <iostream>
#include <sys/statvfs.h>

#include "model/StandardErrors.h"

DiskSpaceWatch::DiskSpaceWatch(const std::string& prefix, uint64_t reserveBytes)
    : Reserve(reserveBytes) {
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
  EndForModelFault();
}
