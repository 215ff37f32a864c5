#include "lang/Lexer.h"

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace lang {

namespace {

bool IsNameStart(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}

bool IsNameChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

} // namespace

Lexer::Lexer(const SourceFile& file, Diagnostics& diagnostics)
    : File(file), Diags(diagnostics), Text(file.text()) {}

void Lexer::advance() {
  unsigned char c = static_cast<unsigned char>(Text[Pos]);
  Pos++;
  if (c == '\n') {
    Line++;
    Column = 1;
  } else if ((c & 0xC0) != 0x80) {
    Column++;
  }
}

SourceLocation Lexer::here() const {
  SourceLocation location;
  location.line = Line;
  location.column = Column;
  return location;
}

void Lexer::skipSpaceAndComments() {
  for (;;) {
    char c = peek();
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') {
      advance();
    } else if (c == '/' && peek(1) == '/') {
      while (Pos < Text.size() && peek() != '\n')
        advance();
    } else if (c == '/' && peek(1) == '*') {
      SourceLocation start = here();
      start.length = 2;
      advance();
      advance();
      while (Pos < Text.size() && !(peek() == '*' && peek(1) == '/'))
        advance();
      if (Pos >= Text.size()) {
        Diags.error(start, "unterminated comment: '/*' without a matching '*/'");
        return;
      }
      advance();
      advance();
    } else {
      return;
    }
  }
}

Token Lexer::number() {
  Token token;
  token.location = here();
  token.begin = Pos;
  bool real = false;
  while (IsDigit(peek()))
    advance();
  if (peek() == '.' && IsDigit(peek(1))) {
    real = true;
    advance();
    while (IsDigit(peek()))
      advance();
  }
  if ((peek() == 'e' || peek() == 'E') &&
      (IsDigit(peek(1)) || ((peek(1) == '+' || peek(1) == '-') && IsDigit(peek(2))))) {
    real = true;
    advance();
    if (peek() == '+' || peek() == '-')
      advance();
    while (IsDigit(peek()))
      advance();
  }
  // A letter glued to a number ("3N", "1x") is not a number.
  bool glued = false;
  while (IsNameChar(peek())) {
    glued = true;
    advance();
  }
  token.end = Pos;
  token.text = Text.substr(token.begin, token.end - token.begin);
  token.location.length = static_cast<int>(token.text.size());
  if (glued) {
    Diags.error(token.location, "invalid number '" + token.text +
                                    "'; write a multiplication as '*' (for example 3 * N)");
    token.kind = TokenKind::Integer;
    return token;
  }
  if (real) {
    token.kind = TokenKind::Real;
    errno = 0;
    char* stop = nullptr;
    token.real = std::strtod(token.text.c_str(), &stop);
    if (errno == ERANGE && std::isinf(token.real)) {
      Diags.error(token.location, "number '" + token.text + "' is too large");
      token.real = 0.0;
    }
    return token;
  }
  token.kind = TokenKind::Integer;
  auto [end, error] =
      std::from_chars(token.text.data(), token.text.data() + token.text.size(), token.integer);
  (void)end;
  if (error != std::errc()) {
    Diags.error(token.location,
                "integer '" + token.text + "' is too large (at most 9223372036854775807)");
    token.integer = 0;
  }
  return token;
}

Token Lexer::name() {
  Token token;
  token.kind = TokenKind::Name;
  token.location = here();
  token.begin = Pos;
  while (IsNameChar(peek()))
    advance();
  token.end = Pos;
  token.text = Text.substr(token.begin, token.end - token.begin);
  token.location.length = static_cast<int>(token.text.size());
  return token;
}

bool Lexer::symbol(Token& token) {
  static const char* const Two[] = {"<=", ">=", "==", "!=", "&&", "||", "+=", "-=", ".."};
  static const char Single[] = "(){}[],;:?+-*/!<>=";
  token.kind = TokenKind::Symbol;
  token.location = here();
  token.begin = Pos;
  for (const char* s : Two) {
    if (peek() == s[0] && peek(1) == s[1]) {
      token.text = s;
      advance();
      advance();
      token.end = Pos;
      token.location.length = 2;
      return true;
    }
  }
  for (const char* s = Single; *s != '\0'; s++) {
    if (peek() == *s) {
      token.text = std::string(1, *s);
      advance();
      token.end = Pos;
      return true;
    }
  }
  return false;
}

std::vector<Token> Lexer::tokens() {
  std::vector<Token> out;
  for (;;) {
    skipSpaceAndComments();
    if (Pos >= Text.size())
      break;
    char c = peek();
    if (IsDigit(c)) {
      out.push_back(number());
    } else if (IsNameStart(c)) {
      out.push_back(name());
    } else {
      Token token;
      if (symbol(token)) {
        out.push_back(std::move(token));
        continue;
      }
      // Skip the whole unknown character (all bytes of a UTF-8 sequence).
      SourceLocation location = here();
      size_t start = Pos;
      advance();
      while (Pos < Text.size() && (static_cast<unsigned char>(peek()) & 0xC0) == 0x80)
        advance();
      std::string spelling = Text.substr(start, Pos - start);
      if (c == '&' || c == '|')
        Diags.error(location,
                    std::string("unknown character '") + c + "'; did you mean '" + c + c + "'?");
      else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
        Diags.error(location, "unknown character (code " +
                                  std::to_string(static_cast<unsigned char>(c)) + ")");
      else
        Diags.error(location, "unknown character '" + spelling + "'");
    }
  }
  Token end;
  end.kind = TokenKind::End;
  end.location = here();
  end.begin = end.end = Pos;
  out.push_back(end);
  return out;
}

} // namespace lang
