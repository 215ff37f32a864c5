#include "solver/io/DetReader.h"

#include <cmath>
#include <string_view>

#include "solver/io/BlockReader.h"

std::vector<DetReader::Delay> DetReader::Read(const std::string& fileName, std::uint32_t states) {
  BlockReader in(fileName, "deterministic-enabling file (.det)");
  std::string_view line;
  if (!in.nextLine(line))
    in.failAtLine(1, "the file is empty (expected the number of delays on line 1)");
  if (!line.empty() && (line[0] < '0' || line[0] > '9'))
    in.fail("expected the number of delays (a whole number), found " + BlockReader::Quote(line) +
            " (the binary form of this file is not read; the model executables write text)");
  const std::uint64_t count = in.parseUnsigned(line, "the number of delays");
  if (count > in.fileSize())
    in.fail("the number of delays " + std::to_string(count) + " cannot fit in the file");
  std::vector<Delay> delays(static_cast<std::size_t>(count));
  for (std::size_t d = 0; d < delays.size(); d++) {
    const std::string which = "delay " + std::to_string(d + 1) + " of " + std::to_string(count);
    if (!in.nextLine(line))
      in.failAtLine(in.lineNumber() + 1, "the file ends before " + which + " (is it complete?)");
    const double value = in.parseDouble(line, "a delay");
    if (!std::isfinite(value) || value <= 0)
      in.fail(which + " is " + BlockReader::Quote(line) +
              "; a deterministic delay is a finite positive time");
    delays[d].Value = value;
    for (;;) {
      if (!in.nextLine(line))
        in.failAtLine(in.lineNumber() + 1,
                      "the file ends inside the states of " + which + " (is it complete?)");
      const std::uint64_t state = in.lineUnsigned(line, "a state number or 0");
      if (state == 0)
        break;
      if (state > states)
        in.fail("state " + std::to_string(state) + " is out of range (the chain has " +
                std::to_string(states) + " states)");
      delays[d].States.push_back(static_cast<std::uint32_t>(state - 1));
    }
  }
  if (in.nextLine(line))
    in.fail("unexpected text after the last delay's record: " + BlockReader::Quote(line));
  return delays;
}
