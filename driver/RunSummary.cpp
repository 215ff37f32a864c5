#include "driver/RunSummary.h"

#include <cinttypes>
#include <cstdio>
#include <ostream>
#include <sys/resource.h>
#include <sys/stat.h>

#include "ssg/StateSpaceGen.h"

std::string RunSummary::Line(uint64_t states, uint64_t transitions, uint64_t absorbing,
                             double wallSeconds, uint64_t peakBytes, uint64_t bytesWritten,
                             uint64_t selfLoops) {
  char loops[64] = "";
  if (selfLoops > 0)
    std::snprintf(loops, sizeof loops, " (%" PRIu64 " to the state itself)", selfLoops);
  char text[320];
  std::snprintf(text, sizeof text,
                "Summary: %" PRIu64 " states, %" PRIu64 " transitions%s, %" PRIu64
                " absorbing, %.3f s wall, %.1f MiB peak memory, %" PRIu64 " bytes written",
                states, transitions, loops, absorbing, wallSeconds, double(peakBytes) / (1 << 20),
                bytesWritten);
  return text;
}

void RunSummary::Print(std::ostream& out, const StateSpaceGen& generator,
                       std::chrono::steady_clock::time_point started,
                       const std::string& valuesInForce) {
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  out << Line(generator.CurrentStateNumber, generator.TransitionsWritten, generator.AbsorbingStates,
              seconds, PeakBytes(), BytesOf(generator.FilesWritten), generator.SelfLoopsWritten)
      << (valuesInForce.empty() ? "" : "; values in force: ") << valuesInForce << std::endl;
}

uint64_t RunSummary::PeakBytes() {
  struct rusage usage;
  if (getrusage(RUSAGE_SELF, &usage) != 0)
    return 0;
  return uint64_t(usage.ru_maxrss) * 1024; // kilobytes on Linux
}

uint64_t RunSummary::BytesOf(const std::vector<std::string>& files) {
  uint64_t total = 0;
  for (const std::string& file : files) {
    struct stat info;
    if (::stat(file.c_str(), &info) == 0)
      total += static_cast<uint64_t>(info.st_size);
  }
  return total;
}
