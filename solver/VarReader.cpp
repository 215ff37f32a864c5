#include "solver/VarReader.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <string_view>

#include "solver/BlockReader.h"
#include "solver/Progress.h"
#include "solver/SolverError.h"

namespace {

std::uint32_t LittleEndian32(const unsigned char* b) {
  return std::uint32_t(b[0]) | std::uint32_t(b[1]) << 8 | std::uint32_t(b[2]) << 16 |
         std::uint32_t(b[3]) << 24;
}

double LittleEndianDouble(const unsigned char* b) {
  std::uint64_t bits = 0;
  for (int i = 7; i >= 0; i--)
    bits = (bits << 8) | b[i];
  return std::bit_cast<double>(bits);
}

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

  auto valueOf = [&](std::string_view text, const char* what) {
    double value = in.parseDouble(text, what);
    if (!std::isfinite(value))
      in.fail(std::string(what) + " " + BlockReader::Quote(text) + " is not finite");
    return value;
  };

  if (IsTextFileType(fileType)) {
    for (std::uint32_t s = 1; s <= states; s++) {
      if (!in.nextLine(line))
        in.failAtLine(in.lineNumber() + 1, "the file ends after " + std::to_string(s - 1) +
                                               " state records, but the " + ".arm file has " +
                                               std::to_string(states) + " states");
      if (in.parseUnsigned(line, "a state number") != s)
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
    const std::uint32_t number = LittleEndian32(record.data());
    if (number != s)
      throw SolverError(SolverError::InputError, where + "record " + std::to_string(s) +
                                                     " is numbered " + std::to_string(number));
    for (std::size_t v = 0; v < count; v++) {
      double impulse = LittleEndianDouble(record.data() + 4 + 16 * v);
      double rate = LittleEndianDouble(record.data() + 12 + 16 * v);
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
