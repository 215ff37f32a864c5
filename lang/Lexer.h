#ifndef LANG_LEXER_H
#define LANG_LEXER_H

#include <vector>

#include "lang/Diagnostics.h"
#include "lang/SourceFile.h"
#include "lang/Token.h"

namespace lang {

// Splits a model file into tokens. Whitespace and comments ("// to the end of
// the line" and "/* ... */") separate tokens; line ends mean nothing else.
//
// Symbols: ( ) { } [ ] , ; : ? + - * / ! < <= > >= == != && || = += -= ..
// A number is decimal digits, optionally followed by a fraction (a '.' and
// digits: "1..7" is the integer 1 and "..") and an exponent (e or E, an
// optional sign, digits); it is Real when it has either. Integers above
// 9223372036854775807, reals that overflow, unknown characters and an
// unterminated comment are errors; the lexer reports each once and goes on,
// so that the parser sees a complete token list ending in End.
class Lexer {
public:
  Lexer(const SourceFile& file, Diagnostics& diagnostics);
  std::vector<Token> tokens();

private:
  const SourceFile& File;
  Diagnostics& Diags;
  const std::string& Text;
  size_t Pos = 0;
  int Line = 1;
  int Column = 1;

  char peek(size_t ahead = 0) const { return Pos + ahead < Text.size() ? Text[Pos + ahead] : '\0'; }
  void advance();
  SourceLocation here() const;
  void skipSpaceAndComments();
  Token number();
  Token name();
  bool symbol(Token& token);
};

} // namespace lang

#endif
