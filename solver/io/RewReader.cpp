#include "solver/io/RewReader.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "solver/Progress.h"
#include "solver/SolverError.h"
#include "solver/io/BlockReader.h"

namespace {

constexpr char Magic[] = "SSGREW1\n";
constexpr char Trailer[] = "END\n";

std::uint32_t Uint32(const unsigned char* b) {
  return BlockReader::LittleEndian32(b);
}

double Double(const unsigned char* b) {
  return BlockReader::LittleEndianDouble(b);
}

} // namespace

std::string RewReader::Number(double value) {
  char text[40];
  auto end = std::to_chars(text, text + sizeof text, value).ptr;
  return std::string(text, end);
}

bool RewReader::SameToSixDigits(double exact, double rounded) {
  // 6 digits leave a relative error of at most 5e-6; a subnormal value has
  // fewer significant bits than that, hence the absolute slack below the
  // smallest normal double.
  return exact == rounded || std::fabs(exact - rounded) <= 1e-5 * std::fabs(exact) + 1e-307;
}

RewReader::Result RewReader::Read(const std::string& fileName,
                                  const std::vector<PVTypeReader::Variable>& variables,
                                  std::uint32_t states, Progress& progress) {
  BlockReader in(fileName, "exact-rewards file (.rew)");
  auto fail = [&](const std::string& what) {
    throw SolverError(SolverError::InputError, fileName + ": " + what);
  };
  const std::string incomplete =
      " (the run that wrote it stopped before its end, or the file was cut short; run the "
      "model again)";
  unsigned char head[12];
  if (!in.readBytes(head, sizeof head) || std::memcmp(head, Magic, 8) != 0)
    fail("not an exact-rewards file (it does not start with SSGREW1)");
  const std::uint32_t k = Uint32(head + 8);
  if (k != variables.size())
    fail("holds " + std::to_string(k) + " variables, but the .pvtype file declares " +
         std::to_string(variables.size()));

  Result result;
  result.Times.resize(k);
  result.Rates.resize(k);
  for (std::uint32_t v = 0; v < k; v++) {
    const PVTypeReader::Variable& declared = variables[v];
    unsigned char count[4];
    if (!in.readBytes(count, 4))
      fail("ends inside the time points of variable '" + declared.Name + "'" + incomplete);
    const std::uint32_t m = Uint32(count);
    if (m != declared.Times.size())
      fail("variable '" + declared.Name + "' has " + std::to_string(m) +
           " time points, but the .pvtype file gives it " + std::to_string(declared.Times.size()));
    for (std::uint32_t t = 0; t < m; t++) {
      unsigned char pair[16];
      if (!in.readBytes(pair, 16))
        fail("ends inside the time points of variable '" + declared.Name + "'" + incomplete);
      const PVTypeReader::Interval exact{Double(pair), Double(pair + 8)};
      const PVTypeReader::Interval& rounded = declared.Times[t];
      if (!std::isfinite(exact.Start) || !std::isfinite(exact.Stop) || exact.Start < 0 ||
          exact.Stop < 0)
        fail("time point " + std::to_string(t + 1) + " of variable '" + declared.Name +
             "' is not a finite number not below 0");
      if (!SameToSixDigits(exact.Start, rounded.Start) ||
          !SameToSixDigits(exact.Stop, rounded.Stop))
        fail("time point " + std::to_string(t + 1) + " of variable '" + declared.Name + "' is [" +
             Number(exact.Start) + ", " + Number(exact.Stop) + "], but the .pvtype file gives [" +
             Number(rounded.Start) + ", " + Number(rounded.Stop) +
             "] (are the files from different runs?)");
      result.Times[v].push_back(exact);
    }
    result.Rates[v].reserve(states);
  }

  const std::size_t recordBytes = std::size_t(8) * k;
  std::vector<unsigned char> record(recordBytes);
  for (std::uint32_t s = 1; s <= states; s++) {
    if (recordBytes > 0 && !in.readBytes(record.data(), recordBytes))
      fail("ends after " + std::to_string(s - 1) + " state records, but the .arm file has " +
           std::to_string(states) + " states" + incomplete);
    for (std::uint32_t v = 0; v < k; v++) {
      const double value = Double(record.data() + std::size_t(8) * v);
      if (!std::isfinite(value))
        fail("the rate reward of variable '" + variables[v].Name + "' in state " +
             std::to_string(s) + " is not finite");
      result.Rates[v].push_back(value);
    }
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
  return result;
}
