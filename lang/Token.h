#ifndef LANG_TOKEN_H
#define LANG_TOKEN_H

#include <string>

#include "lang/SourceLocation.h"

namespace lang {

enum class TokenKind {
  End,     // end of the text
  Name,    // identifier or reserved word: letter or '_', then letters, digits, '_'
  Integer, // decimal digits
  Real,    // digits with a fraction and/or an exponent
  Symbol,  // operator or punctuation, spelled in `text`
};

// One token. `begin` and `end` are byte offsets into the text, so that the
// parser can tell whether two tokens touch (a name followed directly by '{'
// continues as an indexed name, "Pm{i}").
struct Token {
  TokenKind kind = TokenKind::End;
  std::string text;
  SourceLocation location;
  size_t begin = 0;
  size_t end = 0;
  long long integer = 0; // value of an Integer
  double real = 0.0;     // value of a Real

  bool is(TokenKind k, const char* spelling) const { return kind == k && text == spelling; }
  bool isSymbol(const char* spelling) const { return is(TokenKind::Symbol, spelling); }
  bool isName(const char* spelling) const { return is(TokenKind::Name, spelling); }
};

} // namespace lang

#endif
