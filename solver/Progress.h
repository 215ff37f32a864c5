#ifndef SOLVER_PROGRESS_H
#define SOLVER_PROGRESS_H

#include <chrono>
#include <cstdio>
#include <string>

// Progress of long work on standard error: on a terminal at most once a
// second, the line rewritten in place; to a file or a pipe (a log) at most
// once every 30 seconds, each report a line of its own, so that a long run
// leaves a few dozen lines in its log, not thousands.
//
// Work loops ask due() every few thousand items (it reads the clock) and,
// when it says so, build and show() a line. Nothing is shown for work that
// ends within the first interval.
class Progress {
public:
  static constexpr std::chrono::seconds TerminalInterval{1};
  static constexpr std::chrono::seconds LogInterval{30};

  // Disabled: due() is always false.
  explicit Progress(bool enabled, std::FILE* out = stderr);

  bool due() {
    if (!Enabled)
      return false;
    auto now = std::chrono::steady_clock::now();
    if (now < Next)
      return false;
    Next = now + Interval;
    return true;
  }
  // TerminalInterval or LogInterval, as `out` is a terminal or not.
  std::chrono::steady_clock::duration interval() const { return Interval; }
  void show(const std::string& line);
  // Ends a line left open on a terminal.
  void finish();

private:
  bool Enabled;
  std::FILE* Out;
  bool Terminal;
  std::chrono::steady_clock::duration Interval;
  bool Open = false;
  std::chrono::steady_clock::time_point Next;
};

#endif
