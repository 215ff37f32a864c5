#include "solver/io/ImpReader.h"

#include <cmath>
#include <cstring>

#include "solver/Progress.h"
#include "solver/SolverError.h"
#include "solver/io/BlockReader.h"

namespace {

constexpr char Magic[] = "SSGIMP1\n";
constexpr char Trailer[] = "END\n";

std::uint32_t Uint32(const unsigned char* b) {
  return BlockReader::LittleEndian32(b);
}

double Double(const unsigned char* b) {
  return BlockReader::LittleEndianDouble(b);
}

} // namespace

std::vector<ImpReader::Variable> ImpReader::Read(const std::string& fileName,
                                                 const std::vector<std::string>& names,
                                                 const ArmReader::EntryList& entries,
                                                 Progress& progress) {
  BlockReader in(fileName, "impulse file (.imp)");
  auto fail = [&](const std::string& what) {
    throw SolverError(SolverError::InputError, fileName + ": " + what);
  };
  const std::string incomplete =
      " (the run that wrote it stopped before its end, or the file was cut short; run the "
      "model again)";
  const std::uint32_t states = static_cast<std::uint32_t>(entries.RowStart.size() - 1);

  unsigned char head[12];
  if (!in.readBytes(head, sizeof head) || std::memcmp(head, Magic, 8) != 0)
    fail("not an impulse file (it does not start with SSGIMP1)");
  const std::uint32_t k = Uint32(head + 8);
  if (k != names.size())
    fail("holds " + std::to_string(k) + " variables, but the .pvtype file declares " +
         std::to_string(names.size()));

  std::vector<Variable> vars(k);
  for (Variable& v : vars) {
    v.Rate.assign(states, 0.0);
    v.LastStart.reserve(std::size_t(states) + 1);
    v.LastStart.push_back(0);
  }
  std::vector<unsigned char> record;
  for (std::uint32_t s = 1; s <= states; s++) {
    unsigned char start[8];
    if (!in.readBytes(start, 8))
      fail("ends after " + std::to_string(s - 1) + " state records, but the .arm file has " +
           std::to_string(states) + " states" + incomplete);
    if (Uint32(start) != s)
      fail("expected the record of state " + std::to_string(s) + ", found state " +
           std::to_string(Uint32(start)));
    const std::uint64_t first = entries.RowStart[s - 1];
    const std::uint64_t count = entries.RowStart[s] - first;
    if (Uint32(start + 4) != count)
      fail("state " + std::to_string(s) + " has " + std::to_string(Uint32(start + 4)) +
           " entries, but its .arm record has " + std::to_string(count) +
           " (are the files from different runs?)");
    const std::size_t bytes = static_cast<std::size_t>(count) * k * 16;
    if (record.size() < bytes)
      record.resize(bytes);
    if (bytes > 0 && !in.readBytes(record.data(), bytes))
      fail("ends inside the record of state " + std::to_string(s) + incomplete);
    for (std::uint64_t e = 0; e < count; e++) {
      for (std::uint32_t v = 0; v < k; v++) {
        const unsigned char* at = record.data() + (e * k + v) * 16;
        const double all = Double(at);
        const double last = Double(at + 8);
        if (!std::isfinite(all) || !std::isfinite(last))
          fail("an impulse of variable '" + names[v] + "' in the record of state " +
               std::to_string(s) + " is not finite");
        Variable& var = vars[v];
        var.Rate[s - 1] += all;
        if (last != 0.0) {
          var.LastTarget.push_back(entries.Target[first + e]);
          var.Last.push_back(last);
        }
        var.Any = var.Any || all != 0.0 || last != 0.0;
      }
    }
    for (Variable& var : vars)
      var.LastStart.push_back(var.Last.size());
    if ((s & 0xFFFF) == 0 && progress.due())
      progress.show("reading " + fileName + ": " + std::to_string(s) + " states");
  }
  unsigned char trailer[8];
  if (!in.readBytes(trailer, 8) || std::memcmp(trailer + 4, Trailer, 4) != 0)
    fail("has no trailer after the record of state " + std::to_string(states) + incomplete);
  if (Uint32(trailer) != states)
    fail("the trailer says " + std::to_string(Uint32(trailer)) + " states, but the .arm file has " +
         std::to_string(states) + " (are the files from different runs?)");
  if (!in.atEnd())
    fail("unexpected bytes after the trailer");
  return vars;
}
