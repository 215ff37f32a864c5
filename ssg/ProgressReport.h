#ifndef SSG_PROGRESSREPORT_H
#define SSG_PROGRESSREPORT_H

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

// The --progress line of a generation, on standard error at most once a
// second: states numbered, states waiting to be explored, states numbered
// per second since the last report, and the process's resident memory.
//
// The exploration calls due() every few hundred states (it reads the clock)
// and report() when it says so. On a terminal the line is rewritten in place
// (carriage return, the line, blanks over the rest of the last one) and
// finish() ends it; otherwise every report is a line of its own, so that a
// log keeps them all. Nothing is shown for a run that ends within a second.
class ProgressReport {
public:
  // Disabled: due() is always false and nothing is written.
  explicit ProgressReport(bool enabled, std::FILE* out = stderr);
  ~ProgressReport();
  ProgressReport(const ProgressReport&) = delete;
  ProgressReport& operator=(const ProgressReport&) = delete;

  bool due() {
    if (!Enabled)
      return false;
    const auto now = std::chrono::steady_clock::now();
    if (now < Next)
      return false;
    Next = now + std::chrono::seconds(1);
    return true;
  }
  // `numbered` states have numbers, `explored` of them are explored.
  void report(uint64_t numbered, uint64_t explored);
  // Ends a line left open on a terminal.
  void finish();

  // The line report() shows, for `seconds` since the previous report and
  // `numberedBefore` states numbered then.
  static std::string Line(uint64_t numbered, uint64_t explored, uint64_t numberedBefore,
                          double seconds, uint64_t residentBytes);
  // The process's resident memory, from /proc/self/statm (0 if unknown).
  static uint64_t ResidentBytes();

private:
  bool Enabled;
  std::FILE* Out;
  bool Terminal = false;
  std::size_t LastLength = 0;
  std::chrono::steady_clock::time_point Next;
  std::chrono::steady_clock::time_point Last;
  uint64_t LastNumbered = 0;
};

#endif
