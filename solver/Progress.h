#ifndef SOLVER_PROGRESS_H
#define SOLVER_PROGRESS_H

#include <chrono>
#include <cstdio>
#include <string>

// Progress of long work on standard error, at most once a second.
//
// Work loops ask due() every few thousand items (it reads the clock) and,
// when it says so, build and show() a line. On a terminal the line is
// rewritten in place; otherwise each report is its own line. Nothing is
// shown for work that ends within the first second.
class Progress {
public:
  // Disabled: due() is always false.
  explicit Progress(bool enabled, std::FILE* out = stderr);

  bool due() {
    if (!Enabled)
      return false;
    auto now = std::chrono::steady_clock::now();
    if (now < Next)
      return false;
    Next = now + std::chrono::seconds(1);
    return true;
  }
  void show(const std::string& line);
  // Ends a line left open on a terminal.
  void finish();

private:
  bool Enabled;
  std::FILE* Out;
  bool Terminal;
  bool Open = false;
  std::chrono::steady_clock::time_point Next;
};

#endif
