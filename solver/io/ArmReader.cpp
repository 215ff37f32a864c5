#include "solver/io/ArmReader.h"

#include <array>
#include <cmath>
#include <cstring>
#include <string_view>

#include "solver/Progress.h"
#include "solver/SolverError.h"
#include "solver/io/BlockReader.h"
#include "solver/io/DelayFirings.h"

namespace {

// Direct-mapped cache from a rate's text to its value. A text of 8 to 16
// characters (the generator's are 16 or 17) is its length and two 8-byte
// words that together cover every character, compared in two steps; longer
// or shorter texts are converted every time.
class RateTextCache {
public:
  // The cached value of `text`, or nullptr; `slot` is where to store it.
  const double* find(std::string_view text, std::size_t& slot) const {
    if (text.size() < 8 || text.size() > 16) {
      slot = Slots;
      return nullptr;
    }
    const std::uint64_t head = Load(text.data());
    const std::uint64_t tail = Load(text.data() + text.size() - 8);
    slot = static_cast<std::size_t>(
        ((head * 0x9E3779B97F4A7C15ULL) ^ (tail * 0xC2B2AE3D27D4EB4FULL) ^ text.size()) >>
        (64 - SlotBits));
    const Entry& entry = Entries[slot];
    if (entry.Length == text.size() && entry.Head == head && entry.Tail == tail)
      return &entry.Value;
    return nullptr;
  }
  void store(std::size_t slot, std::string_view text, double value) {
    if (slot >= Slots)
      return;
    Entry& entry = Entries[slot];
    entry.Length = text.size();
    entry.Head = Load(text.data());
    entry.Tail = Load(text.data() + text.size() - 8);
    entry.Value = value;
  }

private:
  static constexpr int SlotBits = 10;
  static constexpr std::size_t Slots = std::size_t(1) << SlotBits;
  struct Entry {
    std::uint64_t Head = 0, Tail = 0;
    std::size_t Length = 0;
    double Value = 0;
  };
  static std::uint64_t Load(const char* p) {
    std::uint64_t word;
    std::memcpy(&word, p, 8);
    return word;
  }
  std::array<Entry, Slots> Entries{};
};

bool IsBlank(std::string_view line) {
  for (char c : line)
    if (c != ' ' && c != '\t')
      return false;
  return true;
}

std::string Text(std::uint64_t n) {
  return std::to_string(n);
}

} // namespace

ArmReader::ArmReader(std::string fileName) : Name(std::move(fileName)) {}

void ArmReader::read(RateMatrix& matrix, Progress& progress) {
  BlockReader in(Name, "transition-rate file (.arm)");
  std::string_view line;

  if (!in.nextLine(line))
    in.failAtLine(1, "the file is empty (expected the file type on line 1)");
  std::uint64_t type = in.parseUnsigned(line, "the file type");
  if (type > 32767)
    in.fail("file type " + Text(type) + " is out of range");
  FileType = static_cast<int>(type);

  if (!in.nextLine(line))
    in.failAtLine(2, "the file ends before the number of states (line 2)");
  const std::uint64_t states = in.parseUnsigned(line, "the number of states");
  if (states == 0)
    in.fail("the number of states is 0 (a chain has at least its initial state)");
  if (states >= UINT32_MAX)
    in.fail("the number of states " + Text(states) + " exceeds what a state number can hold");
  const std::uint32_t n = static_cast<std::uint32_t>(states);

  // A generator-written transition takes at least 19 bytes (a target of one
  // digit and a rate in scientific notation); other files grow the arrays.
  // A state record takes at least 4 (its number and the closing 0, each on
  // a line): a count on line 2 that the file cannot hold reserves no more
  // than the file could need, and the file then ends early (an InputError).
  matrix.begin(n, in.fileSize() / 19 + 16, in.fileSize() / 4 + 1);
  if (Firings != nullptr)
    Firings->begin(n);
  Entries = SelfLoops = 0;
  RateTextCache cache;
  if (Kept != nullptr) {
    Kept->RowStart.assign(1, 0);
    Kept->Target.clear();
    Kept->SelfLoopRate.clear();
  }

  bool haveLine = in.nextLine(line);
  if (haveLine && IsBlank(line))
    haveLine = in.nextLine(line);

  for (std::uint32_t i = 0; i < n; i++) {
    const std::uint64_t number = std::uint64_t(i) + 1;
    if (!haveLine)
      in.failAtLine(in.lineNumber() + 1, "the file ends after " + Text(i) + " of " + Text(n) +
                                             " state records (is it complete?)");
    std::uint64_t got = in.lineUnsigned(line, "a state number");
    if (got != number)
      in.fail("expected the record of state " + Text(number) + ", found state " + Text(got));
    matrix.startRow();
    if (Kept != nullptr)
      Kept->SelfLoopRate.push_back(0.0);
    if (Firings != nullptr)
      Firings->startRow();
    for (;;) {
      if (!in.nextLine(line))
        in.failAtLine(in.lineNumber() + 1, "the file ends inside the record of state " +
                                               Text(number) + " (is it complete?)");
      const std::uint64_t target = in.lineUnsigned(line, "a target state number or 0");
      if (target == 0)
        break;
      if (target > n)
        in.fail("target state " + Text(target) + " is out of range (the chain has " + Text(n) +
                " states)");
      if (!in.nextLine(line))
        in.failAtLine(in.lineNumber() + 1, "the file ends before the rate of the transition " +
                                               Text(number) + " -> " + Text(target));
      std::size_t slot;
      double rate;
      if (const double* cached = cache.find(line, slot)) {
        rate = *cached;
      } else {
        rate = in.parseDouble(line, "a rate");
        if (!std::isfinite(rate))
          in.fail("rate " + BlockReader::Quote(line) + " of the transition " + Text(number) +
                  " -> " + Text(target) + " is not finite");
        if (rate < 0 && Firings == nullptr)
          throw SolverError(
              SolverError::Unsupported,
              Name + ":" + Text(in.lineNumber()) + ": negative entry " + std::string(line) +
                  " (transition " + Text(number) + " -> " + Text(target) +
                  ") marks a deterministic delay: chains with deterministic delays need a "
                  "Markov regenerative solver, which ssg-solve is not");
        cache.store(slot, line, rate);
      }
      Entries++;
      if (Kept != nullptr)
        Kept->Target.push_back(static_cast<std::uint32_t>(target - 1));
      if (rate < 0) {
        Firings->add(static_cast<std::uint32_t>(target - 1), -rate);
        continue;
      }
      if (target == number) {
        SelfLoops++;
        if (Kept != nullptr)
          Kept->SelfLoopRate.back() += rate;
        continue;
      }
      if (rate > 0)
        matrix.add(static_cast<std::uint32_t>(target - 1), rate);
    }
    if (Kept != nullptr)
      Kept->RowStart.push_back(Kept->Target.size());
    if ((i & 0xFFFF) == 0 && progress.due())
      progress.show("reading " + Name + ": " +
                    Text(in.fileSize() ? in.position() * 100 / in.fileSize() : 0) + "%");
    haveLine = in.nextLine(line);
  }
  if (haveLine)
    in.fail("unexpected text after the record of the last state (" + Text(n) +
            "): " + BlockReader::Quote(line));
  matrix.finish();
  if (Firings != nullptr)
    Firings->finish();
}
