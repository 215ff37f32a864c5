// The command line of a model executable (the example's): the input is split
// into arguments at each NUL or newline byte, after the program name "gen",
// and goes through what main() does before it starts generating: the option
// parser, the experiment number check, the study's global values and the
// -O overrides. Nothing is generated and no file is written.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "driver/BaseStudyClass.h"
#include "driver/CommandLine.h"
#include "fuzz/FuzzSupport.h"

namespace {

// Enough for every option twice; longer command lines add nothing.
constexpr std::size_t MaxArguments = 64;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::DiscardStreamOutput();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> arguments{"gen"};
  std::string current;
  for (std::size_t i = 0; i < size && arguments.size() < MaxArguments; i++) {
    const char c = static_cast<char>(data[i]);
    if (c == '\0' || c == '\n') {
      arguments.push_back(current);
      current.clear();
    } else {
      current.push_back(c);
    }
  }
  if (!current.empty() && arguments.size() < MaxArguments)
    arguments.push_back(current);

  std::vector<char*> argv;
  argv.reserve(arguments.size() + 1);
  for (std::string& argument : arguments)
    argv.push_back(argument.data());
  argv.push_back(nullptr);

  int fileType = 1;
  char* traceFileName = nullptr;
  const int status =
      ParseCommandLine(static_cast<int>(arguments.size()), argv.data(), fileType, traceFileName);
  if (status != ContinueRun && status != 0 && status != 1 && status != UnknownLongOption)
    std::abort(); // the parser promises 0, 1, UnknownLongOption or ContinueRun
  if (status == ContinueRun) {
    BaseStudyClass* study = GenerateStudy();
    if (study->AcceptExperimentNumber(ExpNum)) {
      study->SetGVs(ExpNum);
      study->PrintGlobalValues(ExpNum);
      if (OverrideString != nullptr)
        study->overrideGVs(OverrideString);
    }
    DestructStudy();
  }
  free(traceFileName);
  ResetCommandLineSettings();
  return 0;
}
