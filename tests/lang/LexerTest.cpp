// The lexer: token kinds, values and positions, and its error messages.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lang/Diagnostics.h"
#include "lang/Lexer.h"
#include "lang/SourceFile.h"

using namespace lang;

namespace {

struct Lexed {
  std::vector<Token> tokens;
  std::vector<Diagnostics::Message> errors;
};

Lexed Lex(const std::string& text) {
  SourceFile file("t.san", text);
  Diagnostics diagnostics(file);
  Lexer lexer(file, diagnostics);
  Lexed out;
  out.tokens = lexer.tokens();
  out.errors = diagnostics.sorted();
  return out;
}

} // namespace

TEST(LexerTest, DeclarationTokensCarryKindTextAndPosition) {
  Lexed l = Lex("place P1 = 3,\n  Q_2");
  ASSERT_TRUE(l.errors.empty());
  ASSERT_EQ(l.tokens.size(), 7u);
  const TokenKind kinds[] = {TokenKind::Name,    TokenKind::Name,   TokenKind::Symbol,
                             TokenKind::Integer, TokenKind::Symbol, TokenKind::Name,
                             TokenKind::End};
  const char* texts[] = {"place", "P1", "=", "3", ",", "Q_2", ""};
  for (size_t i = 0; i < l.tokens.size(); i++) {
    EXPECT_EQ(l.tokens[i].kind, kinds[i]) << i;
    EXPECT_EQ(l.tokens[i].text, texts[i]) << i;
  }
  EXPECT_EQ(l.tokens[3].integer, 3);
  EXPECT_EQ(l.tokens[1].location.line, 1);
  EXPECT_EQ(l.tokens[1].location.column, 7);
  EXPECT_EQ(l.tokens[1].location.length, 2);
  EXPECT_EQ(l.tokens[5].location.line, 2);
  EXPECT_EQ(l.tokens[5].location.column, 3);
}

// "1..7" is a range, not the real 1. followed by .7.
TEST(LexerTest, RangesRealsAndExponentsAreToldApart) {
  Lexed l = Lex("1..7 0.5..1.5 1e-3 2.5E+2 3e");
  ASSERT_EQ(l.tokens.size(), 10u);
  EXPECT_EQ(l.tokens[0].kind, TokenKind::Integer);
  EXPECT_TRUE(l.tokens[1].isSymbol(".."));
  EXPECT_EQ(l.tokens[2].integer, 7);
  EXPECT_EQ(l.tokens[3].kind, TokenKind::Real);
  EXPECT_DOUBLE_EQ(l.tokens[3].real, 0.5);
  EXPECT_TRUE(l.tokens[4].isSymbol(".."));
  EXPECT_DOUBLE_EQ(l.tokens[5].real, 1.5);
  EXPECT_EQ(l.tokens[6].real, 0.001);
  EXPECT_EQ(l.tokens[7].real, 250.0);
  // A trailing 'e' without digits is no exponent: "3e" is a number glued to
  // a letter.
  ASSERT_EQ(l.errors.size(), 1u);
  EXPECT_EQ(l.errors[0].location.column, 27);
}

TEST(LexerTest, CommentsAreSkippedAndColumnsCountCharacters) {
  Lexed l = Lex("// a line comment\n/* a block\n   comment é */ x >= y");
  ASSERT_TRUE(l.errors.empty());
  ASSERT_EQ(l.tokens.size(), 4u);
  EXPECT_EQ(l.tokens[0].text, "x");
  EXPECT_EQ(l.tokens[0].location.line, 3);
  EXPECT_EQ(l.tokens[0].location.column, 17);
  EXPECT_TRUE(l.tokens[1].isSymbol(">="));
}

TEST(LexerTest, MalformedInputIsReportedWithItsPosition) {
  struct Case {
    const char* text;
    const char* message;
    int column;
  } cases[] = {
      {"x = 3N", "invalid number '3N'; write a multiplication as '*' (for example 3 * N)", 5},
      {"a @ b", "unknown character '@'", 3},
      {"a & b", "unknown character '&'; did you mean '&&'?", 3},
      {"a % b", "unknown character '%'", 3},
      {"9223372036854775808",
       "integer '9223372036854775808' is too large (at most "
       "9223372036854775807)",
       1},
      {"1e400", "number '1e400' is too large", 1},
      {"x /* open", "unterminated comment: '/*' without a matching '*/'", 3},
  };
  for (const Case& c : cases) {
    Lexed l = Lex(c.text);
    ASSERT_EQ(l.errors.size(), 1u) << c.text;
    EXPECT_EQ(l.errors[0].text, c.message) << c.text;
    EXPECT_EQ(l.errors[0].location.line, 1) << c.text;
    EXPECT_EQ(l.errors[0].location.column, c.column) << c.text;
    EXPECT_EQ(l.tokens.back().kind, TokenKind::End) << c.text;
  }
}
