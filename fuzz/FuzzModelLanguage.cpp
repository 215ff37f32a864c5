// The model language: arbitrary text through the whole compiler (parser,
// expander, checker and the code generator, which builds its files in
// memory). The outcome must be one of two: generated files and no error, or
// no files and messages that begin with a position,
// "fuzz.san:<line>:<column>: error: ". Nothing is written to disk.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "lang/Compiler.h"
#include "lang/Diagnostics.h"
#include "lang/SourceFile.h"

namespace {

// Whether `text` begins with "<name>:<line>:<column>: error: " (line and
// column positive decimal numbers).
bool StartsWithPosition(const std::string& text, const std::string& name) {
  if (text.compare(0, name.size() + 1, name + ":") != 0)
    return false;
  std::size_t at = name.size() + 1;
  for (int field = 0; field < 2; field++) {
    const std::size_t digits = at;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9')
      at++;
    if (at == digits || text[digits] == '0' || at >= text.size() || text[at] != ':')
      return false;
    at++;
  }
  return text.compare(at, 8, " error: ") == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string name = "fuzz.san";
  const lang::SourceFile file(name, std::string(reinterpret_cast<const char*>(data), size));
  lang::Diagnostics diagnostics(file);
  const std::vector<lang::GeneratedFile> generated = lang::Compiler::Compile(file, diagnostics);
  if (diagnostics.hasErrors()) {
    if (!generated.empty() || !StartsWithPosition(diagnostics.render(), name))
      std::abort();
  } else if (generated.empty()) {
    std::abort();
  }
  return 0;
}
