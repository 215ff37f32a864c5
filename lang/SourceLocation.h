#ifndef LANG_SOURCELOCATION_H
#define LANG_SOURCELOCATION_H

#include <string>

namespace lang {

struct Expansion;

// A position in a model file: 1-based line and column (columns count
// characters, not bytes), and the length of the text it designates (at least
// 1 for the caret). `expansion` is null for text as written; for text copied
// by a repetition it names the iteration, so that a message can say which
// copy it concerns. The Expansion is owned by whatever expanded the text and
// must outlive every location that points at it.
struct SourceLocation {
  int line = 0;
  int column = 0;
  int length = 1;
  const Expansion* expansion = nullptr;

  bool known() const { return line > 0; }
};

// Source order: by line, then column.
inline bool operator<(const SourceLocation& a, const SourceLocation& b) {
  return a.line != b.line ? a.line < b.line : a.column < b.column;
}

// One iteration of a repetition: the loop variables' values ("i = 2" or
// "i = 2, j = 1" for nested ones) and where the repetition is written.
struct Expansion {
  std::string bindings;
  SourceLocation loop;
};

} // namespace lang

#endif
