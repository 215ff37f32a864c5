#include "study/LogTail.h"

#include <charconv>
#include <fstream>
#include <vector>

std::string LogTail::Tail(const std::string& file) {
  std::ifstream in(file, std::ios::binary | std::ios::ate);
  if (!in)
    return "";
  std::streamoff size = in.tellg();
  std::streamoff from = size > TailBytes ? size - TailBytes : 0;
  in.seekg(from);
  std::string text(static_cast<std::size_t>(size - from), '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<std::size_t>(in.gcount()));
  // A line cut by the start of the window is not shown.
  if (from > 0) {
    std::size_t newline = text.find('\n');
    text.erase(0, newline == std::string::npos ? text.size() : newline + 1);
  }
  return text;
}

std::string LogTail::LastLines(const std::string& file, int count) {
  std::string text = Tail(file);
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos)
      end = text.size();
    std::string line = text.substr(start, end - start);
    // Progress lines say nothing about a failure.
    bool progress = line.size() > 3 && line.compare(0, 2, "_$") == 0 && line.back() == '$';
    if (!line.empty() && !progress)
      lines.push_back(line);
    start = end + 1;
  }
  std::string out;
  std::size_t first = lines.size() > std::size_t(count) ? lines.size() - count : 0;
  for (std::size_t i = first; i < lines.size(); i++)
    out += lines[i] + '\n';
  return out;
}

std::optional<unsigned long long> LogTail::LatestStateCount(const std::string& file) {
  std::string text = Tail(file);
  for (std::size_t at = text.rfind("_$"); at != std::string::npos;
       at = at == 0 ? std::string::npos : text.rfind("_$", at - 1)) {
    if (at > 0 && text[at - 1] != '\n')
      continue;
    unsigned long long n = 0;
    const char* first = text.data() + at + 2;
    const char* last = text.data() + text.size();
    auto [end, ec] = std::from_chars(first, last, n);
    if (ec == std::errc() && end != first && end < last && *end == '$' && end + 1 < last &&
        end[1] == '\n')
      return n;
  }
  return std::nullopt;
}
