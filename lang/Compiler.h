#ifndef LANG_COMPILER_H
#define LANG_COMPILER_H

#include <optional>
#include <string>
#include <vector>

#include "lang/CodeGenerator.h"
#include "lang/Diagnostics.h"
#include "lang/ModelDescription.h"
#include "lang/SourceFile.h"

namespace lang {

// The whole translation of a model file: lex and parse, expand repetitions,
// check, and generate C++. Each phase runs only when the one before it
// reported nothing, so that one mistake gives one message.
class Compiler {
public:
  // The checked model, or nothing after errors (reported to `diagnostics`).
  static std::optional<ModelDescription> Check(const SourceFile& file, Diagnostics& diagnostics);
  // Check() and the generated files; empty after errors.
  static std::vector<GeneratedFile> Compile(const SourceFile& file, Diagnostics& diagnostics);
};

} // namespace lang

#endif
