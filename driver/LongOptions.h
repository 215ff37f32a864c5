#ifndef DRIVER_LONGOPTIONS_H
#define DRIVER_LONGOPTIONS_H

#include <string>
#include <string_view>
#include <vector>

// The long options of a model executable. All of them are ours, so a word
// that begins with "--" and names none of them is a mistake the run must not
// go on with (unlike a single letter, which is reported and skipped).
class LongOptions {
public:
  // "--states", "--progress", "--max-states", "--min-free",
  // "--list-experiments", "--help", "--version".
  static const std::vector<std::string>& Names();
  // True when the word is one of Names(), or --max-states=<value> or
  // --min-free=<value>.
  static bool Known(std::string_view word);
  // The first of Names() that begins with the word up to its '=' (an
  // option cut short), else the name fewest single-character edits
  // (insertions, deletions, substitutions) away from it, the first of
  // Names() on a tie.
  static const std::string& Nearest(std::string_view word);
};

#endif
