#include "lang/Compiler.h"

#include "lang/Checker.h"
#include "lang/Expander.h"
#include "lang/Parser.h"

namespace lang {

std::optional<ModelDescription> Compiler::Check(const SourceFile& file, Diagnostics& diagnostics) {
  Parser parser(file, diagnostics);
  std::vector<DeclPtr> parsed = parser.parseModel();
  if (diagnostics.hasErrors())
    return std::nullopt;
  Expander expander(diagnostics);
  std::vector<DeclPtr> expanded = expander.expand(parsed);
  if (diagnostics.hasErrors())
    return std::nullopt;
  Checker checker(file, diagnostics);
  std::optional<ModelDescription> model = checker.check(expanded, expander.loopVariables());
  if (model)
    model->expansions = expander.expansions();
  return model;
}

std::vector<GeneratedFile> Compiler::Compile(const SourceFile& file, Diagnostics& diagnostics) {
  std::optional<ModelDescription> model = Check(file, diagnostics);
  if (!model)
    return {};
  CodeGenerator generator(*model);
  return generator.generate();
}

} // namespace lang
