#ifndef LANG_SYMBOL_H
#define LANG_SYMBOL_H

#include <string>

#include "lang/SourceLocation.h"
#include "lang/Value.h"

namespace lang {

// What a name of a model stands for. All kinds share one name space.
// Local is a local value of an effect (let inside an activity's braces); it
// is known only there and never enters the symbol table.
enum class SymbolKind {
  None,
  Model,
  Global,
  Place,
  Let,
  Table,
  Activity,
  Group,
  Reward,
  Label,
  Local
};

// "a place", "an activity", ...: the words messages use.
const char* SymbolWords(SymbolKind kind);

// A declared name: its kind, its number among the declarations of that kind
// (the place's position in the state vector, the activity's in the action
// order, ...), its value type where it has one, and where it is declared.
struct Symbol {
  std::string name;
  SymbolKind kind = SymbolKind::None;
  int index = -1;
  ValueType type = ValueType::Error;
  SourceLocation location;
};

} // namespace lang

#endif
