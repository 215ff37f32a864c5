// The -O override string ("type:name:value:..."), applied to the example's
// study: the input up to its first NUL byte is the string.

#include <cstddef>
#include <cstdint>
#include <string>

#include "driver/BaseStudyClass.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::DiscardStreamOutput();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string overrides(reinterpret_cast<const char*>(data), size);
  overrides.resize(overrides.find('\0') == std::string::npos ? size : overrides.find('\0'));
  BaseStudyClass* study = GenerateStudy();
  study->SetGVs(0);
  study->overrideGVs(overrides.data());
  study->PrintGlobalValues(0);
  DestructStudy();
  return 0;
}
