#ifndef TESTS_LANG_LANGTESTSUPPORT_H
#define TESTS_LANG_LANGTESTSUPPORT_H

// Compiles model text in memory for the language tests.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "lang/Compiler.h"
#include "lang/Diagnostics.h"
#include "lang/ModelDescription.h"
#include "lang/SourceFile.h"

struct Compiled {
  std::unique_ptr<lang::SourceFile> file;
  std::unique_ptr<lang::Diagnostics> diagnostics;
  std::optional<lang::ModelDescription> model;
  std::vector<lang::Diagnostics::Message> errors; // in source order

  bool ok() const { return model.has_value() && errors.empty(); }
  // The first error's text, or "" when there is none.
  std::string first() const { return errors.empty() ? std::string() : errors[0].text; }
  int line() const { return errors.empty() ? 0 : errors[0].location.line; }
  int column() const { return errors.empty() ? 0 : errors[0].location.column; }
  std::string rendered() const { return diagnostics->render(); }
};

inline Compiled CompileText(const std::string& text, const std::string& name = "test.san") {
  Compiled c;
  c.file = std::make_unique<lang::SourceFile>(name, text);
  c.diagnostics = std::make_unique<lang::Diagnostics>(*c.file);
  c.model = lang::Compiler::Check(*c.file, *c.diagnostics);
  c.errors = c.diagnostics->sorted();
  return c;
}

// A model around `body`: the model line, one place P and one activity
// using it come first, so that a test only writes what it is about.
inline std::string WithModel(const std::string& body) {
  return "model M\nplace P = 1, Q\nactivity A exponential(1) when P > 0 { P -= 1; Q += 1 }\n" +
         body;
}

#endif
