// The solver's readers on arbitrary bytes. The first byte chooses the
// reader and its parameters, the rest is the file:
//   byte 0 % 5:  0 .arm (ArmReader), 1 .var text, 2 .var binary
//                (VarReader), 3 .pvtype (PVTypeReader), 4 .sta (StaReader)
//   byte 1:      for .var and .sta, the number of states the chain has
//                (1 + byte % 64); for .var, also how many of the file's
//                first lines are the expected variable names (byte / 64)
// The readers take file names: the file is written to a scratch directory
// of the process, the same name for every input. A malformed file must end
// in a SolverError; any other exception, crash or leak is a fault.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "solver/io/ArmReader.h"
#include "solver/io/PVTypeReader.h"
#include "solver/Progress.h"
#include "solver/numeric/RateMatrix.h"
#include "solver/SolverError.h"
#include "solver/io/StaReader.h"
#include "solver/io/VarReader.h"

namespace {

const fuzz::ScratchDirectory* Scratch = nullptr;

// The first `count` lines of the file (without their line feeds).
std::vector<std::string> FirstLines(const std::uint8_t* data, std::size_t size, int count) {
  std::vector<std::string> lines;
  std::string line;
  for (std::size_t i = 0; i < size && static_cast<int>(lines.size()) < count; i++) {
    if (data[i] == '\n') {
      lines.push_back(line);
      line.clear();
    } else {
      line.push_back(static_cast<char>(data[i]));
    }
  }
  return lines;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::DiscardStreamOutput();
  static const fuzz::ScratchDirectory scratch;
  Scratch = &scratch;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2)
    return 0;
  const int reader = data[0] % 5;
  const std::uint32_t states = 1U + data[1] % 64U;
  const int nameLines = data[1] / 64;
  data += 2;
  size -= 2;
  static const char* const suffixes[] = {".arm", ".var", ".var", ".pvtype", ".sta"};
  const std::string file = Scratch->write(std::string("input") + suffixes[reader], data, size);
  Progress progress(false);
  try {
    switch (reader) {
    case 0: {
      RateMatrix matrix;
      ArmReader arm(file);
      arm.read(matrix, progress);
      break;
    }
    case 1:
    case 2: {
      VarReader var(file, FirstLines(data, size, nameLines));
      (void)var.read(states, reader == 1 ? 1 : 2, progress);
      break;
    }
    case 3:
      (void)PVTypeReader::Read(file);
      break;
    case 4: {
      StaReader sta(file);
      sta.read(
          states, [](std::uint32_t, const std::int64_t*) {}, progress);
      break;
    }
    }
  } catch (const SolverError&) {
  }
  return 0;
}
