#include "driver/LongOptions.h"

#include <algorithm>
#include <numeric>

namespace {

std::string_view NameOf(std::string_view word) {
  return word.substr(0, word.find('='));
}

// Levenshtein distance, one row at a time.
std::size_t Edits(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  std::iota(row.begin(), row.end(), std::size_t{0});
  for (std::size_t i = 1; i <= a.size(); i++) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); j++) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

} // namespace

const std::vector<std::string>& LongOptions::Names() {
  static const std::vector<std::string> names = {"--states",   "--progress", "--max-states",
                                                 "--min-free", "--workers",  "--list-experiments",
                                                 "--help",     "--version"};
  return names;
}

bool LongOptions::Known(std::string_view word) {
  if (NameOf(word) == "--max-states" || NameOf(word) == "--min-free" ||
      NameOf(word) == "--workers") // they take a value
    return true;
  return std::find(Names().begin(), Names().end(), word) != Names().end();
}

const std::string& LongOptions::Nearest(std::string_view word) {
  const std::string_view name = NameOf(word);
  // An option cut short ("--list", "--state") is the one it begins.
  for (const std::string& candidate : Names())
    if (candidate.compare(0, name.size(), name) == 0)
      return candidate;
  const std::string* best = &Names().front();
  std::size_t bestEdits = Edits(name, *best);
  for (const std::string& candidate : Names()) {
    const std::size_t edits = Edits(name, candidate);
    if (edits < bestEdits) {
      best = &candidate;
      bestEdits = edits;
    }
  }
  return *best;
}
