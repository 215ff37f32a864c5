#include "solver/io/VarReader.h"

#include <cmath>
#include <cstring>
#include <string_view>

#include "solver/Progress.h"
#include "solver/SolverError.h"
#include "solver/io/BlockReader.h"

namespace {

// Values of up to 8 characters ("0", "1", "0.5", "1e-05"), the usual reward
// texts, looked up by their characters instead of converted again.
class ShortTextCache {
public:
  // The cached value, or nullptr; `key` is what store() needs.
  const double* find(std::string_view text, std::uint64_t& key) const {
    if (text.empty() || text.size() > 8) {
      key = 0;
      return nullptr;
    }
    key = 0;
    std::memcpy(&key, text.data(), text.size());
    const Entry& entry = Entries[Slot(key)];
    return entry.Key == key ? &entry.Value : nullptr;
  }
  void store(std::uint64_t key, double value) {
    if (key == 0)
      return;
    Entries[Slot(key)] = Entry{key, value};
  }

private:
  struct Entry {
    std::uint64_t Key = 0;
    double Value = 0;
  };
  static std::size_t Slot(std::uint64_t key) {
    return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ULL) >> 56);
  }
  Entry Entries[256] = {};
};

} // namespace

VarReader::VarReader(std::string fileName, std::vector<std::string> names)
    : Name(std::move(fileName)), Names(std::move(names)) {}

std::vector<VarReader::Variable> VarReader::read(std::uint32_t states, int fileType,
                                                 Progress& progress) {
  BlockReader in(Name, "reward-values file (.var)");
  const std::size_t count = Names.size();
  std::vector<Variable> vars(count);
  std::string_view line;

  for (std::size_t v = 0; v < count; v++) {
    if (!in.nextLine(line))
      in.failAtLine(in.lineNumber() + 1,
                    "the file ends before the name of variable '" + Names[v] + "'");
    if (line != Names[v])
      in.fail("variable name " + BlockReader::Quote(line) + " differs from '" + Names[v] +
              "', the name the .pvtype file gives in this position");
    vars[v].Name = Names[v];
    vars[v].RateValues.reserve(states);
  }

  ShortTextCache cache;
  auto valueOf = [&](std::string_view text, const char* what) {
    std::uint64_t key;
    if (const double* cached = cache.find(text, key))
      return *cached;
    double value = in.parseDouble(text, what);
    if (!std::isfinite(value))
      in.fail(std::string(what) + " " + BlockReader::Quote(text) + " is not finite");
    cache.store(key, value);
    return value;
  };

  if (IsTextFileType(fileType)) {
    for (std::uint32_t s = 1; s <= states; s++) {
      if (!in.nextLine(line))
        in.failAtLine(in.lineNumber() + 1, "the file ends after " + std::to_string(s - 1) +
                                               " state records, but the " + ".arm file has " +
                                               std::to_string(states) + " states");
      if (in.lineUnsigned(line, "a state number") != s)
        in.fail("expected the record of state " + std::to_string(s) + ", found " +
                BlockReader::Quote(line));
      for (std::size_t v = 0; v < count; v++) {
        if (!in.nextLine(line))
          in.failAtLine(in.lineNumber() + 1, "the file ends inside the record of state " +
                                                 std::to_string(s) + " (is it complete?)");
        if (valueOf(line, "an impulse value") != 0)
          vars[v].HasImpulse = true;
        if (!in.nextLine(line))
          in.failAtLine(in.lineNumber() + 1, "the file ends inside the record of state " +
                                                 std::to_string(s) + " (is it complete?)");
        vars[v].RateValues.push_back(valueOf(line, "a rate reward value"));
      }
      if ((s & 0xFFFF) == 0 && progress.due())
        progress.show("reading " + Name + ": " + std::to_string(s) + " states");
    }
    if (in.nextLine(line))
      in.fail("unexpected text after the record of the last state (" + std::to_string(states) +
              "); the .arm file has " + std::to_string(states) + " states");
    return vars;
  }

  // Binary records: the message names the record, as there are no lines.
  const std::size_t recordBytes = 4 + 16 * count;
  std::vector<unsigned char> record(recordBytes);
  const std::string where =
      Name + ": binary records (file type " + std::to_string(fileType) + " in the .arm file): ";
  for (std::uint32_t s = 1; s <= states; s++) {
    if (!in.readBytes(record.data(), recordBytes))
      throw SolverError(SolverError::InputError, where + "the file ends after " +
                                                     std::to_string(s - 1) +
                                                     " complete records, but the .arm file has " +
                                                     std::to_string(states) + " states");
    const std::uint32_t number = BlockReader::LittleEndian32(record.data());
    if (number != s)
      throw SolverError(SolverError::InputError, where + "record " + std::to_string(s) +
                                                     " is numbered " + std::to_string(number));
    for (std::size_t v = 0; v < count; v++) {
      double impulse = BlockReader::LittleEndianDouble(record.data() + 4 + 16 * v);
      double rate = BlockReader::LittleEndianDouble(record.data() + 12 + 16 * v);
      if (!std::isfinite(impulse) || !std::isfinite(rate))
        throw SolverError(SolverError::InputError, where + "record " + std::to_string(s) +
                                                       " holds a value that is not finite");
      if (impulse != 0)
        vars[v].HasImpulse = true;
      vars[v].RateValues.push_back(rate);
    }
    if ((s & 0xFFFF) == 0 && progress.due())
      progress.show("reading " + Name + ": " + std::to_string(s) + " states");
  }
  if (!in.atEnd())
    throw SolverError(SolverError::InputError, where + "unexpected bytes after record " +
                                                   std::to_string(states) + "; the .arm file has " +
                                                   std::to_string(states) + " states");
  return vars;
}
