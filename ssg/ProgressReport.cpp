#include "ssg/ProgressReport.h"

#include <cinttypes>
#include <unistd.h>

ProgressReport::ProgressReport(bool enabled, std::FILE* out) : Enabled(enabled), Out(out) {
  if (!Enabled)
    return;
  Terminal = isatty(fileno(Out)) == 1;
  Last = std::chrono::steady_clock::now();
  Next = Last + std::chrono::seconds(1);
}

ProgressReport::~ProgressReport() {
  finish();
}

std::string ProgressReport::Line(uint64_t numbered, uint64_t explored, uint64_t numberedBefore,
                                 double seconds, uint64_t residentBytes) {
  char text[160];
  const double perSecond = seconds > 0 ? double(numbered - numberedBefore) / seconds : 0.0;
  std::snprintf(text, sizeof text,
                "states numbered %" PRIu64 ", waiting %" PRIu64 ", %.0f states/s, memory %.1f MiB",
                numbered, numbered - explored, perSecond, double(residentBytes) / (1 << 20));
  return text;
}

uint64_t ProgressReport::ResidentBytes() {
  std::FILE* statm = std::fopen("/proc/self/statm", "r");
  if (statm == nullptr)
    return 0;
  unsigned long long size = 0, resident = 0;
  const int read = std::fscanf(statm, "%llu %llu", &size, &resident);
  std::fclose(statm);
  if (read != 2)
    return 0;
  return uint64_t(resident) * uint64_t(sysconf(_SC_PAGESIZE));
}

void ProgressReport::report(uint64_t numbered, uint64_t explored) {
  const auto now = std::chrono::steady_clock::now();
  const double seconds = std::chrono::duration<double>(now - Last).count();
  const std::string line = Line(numbered, explored, LastNumbered, seconds, ResidentBytes());
  Last = now;
  LastNumbered = numbered;
  if (Terminal) {
    const std::size_t pad = LastLength > line.size() ? LastLength - line.size() : 0;
    std::fprintf(Out, "\r%s%*s", line.c_str(), static_cast<int>(pad), "");
    LastLength = line.size();
  } else {
    std::fprintf(Out, "%s\n", line.c_str());
  }
  std::fflush(Out);
}

void ProgressReport::finish() {
  if (Terminal && LastLength > 0) {
    std::fputc('\n', Out);
    std::fflush(Out);
  }
  LastLength = 0;
}
