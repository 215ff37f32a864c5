#ifndef LANG_SYMBOLTABLE_H
#define LANG_SYMBOLTABLE_H

#include <initializer_list>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "lang/Symbol.h"

namespace lang {

// The names of a model (or the names an expression given on a command line
// may use), in declaration order, with lookup by name and suggestions for
// misspelled names.
class SymbolTable {
public:
  // Adds `symbol` unless its name is taken; returns the symbol already
  // holding the name, or null when `symbol` was added.
  const Symbol* add(Symbol symbol);
  // The symbol of that name, or null.
  const Symbol* find(std::string_view name) const;
  // The declared name closest to `name` (a few edits away, or differing only
  // in case), among the symbols of the given kinds (all kinds when none is
  // given); empty when none is close.
  std::string suggest(std::string_view name, std::initializer_list<SymbolKind> kinds = {}) const;
  const std::vector<Symbol>& symbols() const { return Symbols; }

  // The closest of `candidates` to `name` by the same rule.
  static std::string Closest(std::string_view name, const std::vector<std::string>& candidates);

private:
  std::vector<Symbol> Symbols;
  std::unordered_map<std::string, size_t> ByName;
};

} // namespace lang

#endif
