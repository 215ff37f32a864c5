#include "lang/Symbol.h"

namespace lang {

const char* SymbolWords(SymbolKind kind) {
  switch (kind) {
  case SymbolKind::Model:
    return "the model";
  case SymbolKind::Global:
    return "a global variable";
  case SymbolKind::Place:
    return "a place";
  case SymbolKind::Let:
    return "a definition";
  case SymbolKind::Table:
    return "a table";
  case SymbolKind::Activity:
    return "an activity";
  case SymbolKind::Group:
    return "a group";
  case SymbolKind::Reward:
    return "a reward variable";
  case SymbolKind::Label:
    return "a label";
  case SymbolKind::Local:
    return "a local value";
  case SymbolKind::None:
    break;
  }
  return "a name";
}

} // namespace lang
