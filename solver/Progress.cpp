#include "solver/Progress.h"

#include <unistd.h>

Progress::Progress(bool enabled, std::FILE* out)
    : Enabled(enabled), Out(out), Terminal(isatty(fileno(out)) == 1),
      Interval(Terminal ? std::chrono::steady_clock::duration(TerminalInterval)
                        : std::chrono::steady_clock::duration(LogInterval)),
      Next(std::chrono::steady_clock::now() + Interval) {}

void Progress::show(const std::string& line) {
  if (!Enabled)
    return;
  if (Terminal) {
    std::fprintf(Out, "\r%-79s", line.c_str());
    Open = true;
  } else {
    std::fprintf(Out, "%s\n", line.c_str());
  }
  std::fflush(Out);
}

void Progress::finish() {
  if (Open) {
    std::fputc('\n', Out);
    std::fflush(Out);
    Open = false;
  }
}
