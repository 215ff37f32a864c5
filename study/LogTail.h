#ifndef STUDY_LOGTAIL_H
#define STUDY_LOGTAIL_H

#include <optional>
#include <string>

// What the end of a program's log file says: its last lines (for a failure
// report) and, for a model executable, the latest state count of its
// progress lines "_$<n>$". Only the last few kilobytes are read.
class LogTail {
public:
  static constexpr long TailBytes = 8192;

  // At most `count` last non-empty lines, each ending in a line feed.
  static std::string LastLines(const std::string& file, int count);
  // The number of the last complete progress line, if any.
  static std::optional<unsigned long long> LatestStateCount(const std::string& file);

private:
  static std::string Tail(const std::string& file);
};

#endif
