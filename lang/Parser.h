#ifndef LANG_PARSER_H
#define LANG_PARSER_H

#include <string_view>
#include <vector>

#include "lang/Decl.h"
#include "lang/Diagnostics.h"
#include "lang/Expr.h"
#include "lang/SourceFile.h"
#include "lang/Stmt.h"
#include "lang/Token.h"

namespace lang {

// Recursive-descent parser of model files and of single expressions. The
// grammar is given in docs/language.md; in short:
//
//   file        := declaration*
//   declaration := model | global | study | place | let | activity | group
//                | reward | require | for | label
//   expression  := or ('?' expression ':' expression)?
//   or          := and ('||' and)*        and := equality ('&&' equality)*
//   equality    := compare (('=='|'!=') compare)*
//   compare     := sum (('<'|'<='|'>'|'>=') sum)*
//   sum         := product (('+'|'-') product)*
//   product     := unary (('*'|'/') unary)*
//   unary       := ('-'|'!') unary | primary
//   primary     := number | true | false | name | name '[' expression ']'
//                | function '(' expression (',' expression)* ')'
//                | '(' expression ')'
//
// A syntax error is reported once; the parser then skips to the next
// declaration (at the same nesting depth), so that every declaration with a
// syntax error gets one message. Nesting deeper than MaxDepth (parentheses,
// operators, statements, repetitions) is an error, so that no input can
// exhaust the stack.
class Parser {
public:
  static constexpr int MaxDepth = 200;
  // Longest path through an expression's tree (a + b + ... + z is a path of
  // one node per operator).
  static constexpr int MaxHeight = 1000;

  Parser(const SourceFile& file, Diagnostics& diagnostics);

  // The declarations of a model file, in order; incomplete when errors were
  // reported.
  std::vector<DeclPtr> parseModel();
  // The whole text as one expression; null after an error.
  ExprPtr parseStandaloneExpression();

  // Words that cannot name anything.
  static bool IsReserved(std::string_view word);

private:
  struct SyntaxError {};

  Diagnostics& Diags;
  std::vector<Token> Tokens;
  size_t Pos = 0;
  int Depth = 0;

  const Token& peek(size_t ahead = 0) const;
  const Token& next();
  bool atSymbol(const char* s) const { return peek().isSymbol(s); }
  bool atKeyword(const char* s) const { return peek().isName(s); }
  bool acceptSymbol(const char* s);
  bool acceptKeyword(const char* s);
  const Token& expectSymbol(const char* s, const std::string& context);
  void expectKeyword(const char* s, const std::string& context);
  [[noreturn]] void fail(const Token& at, const std::string& message);
  static std::string Describe(const Token& token);
  bool atDeclarationStart() const;
  void enter(const Token& at);
  void leave() { Depth--; }

  void parseDeclarations(std::vector<DeclPtr>& out, bool insideFor);
  void synchronize(bool insideFor, size_t errorPos);
  void parseDeclaration(std::vector<DeclPtr>& out);
  void parseModelDecl(std::vector<DeclPtr>& out);
  void parseGlobal(std::vector<DeclPtr>& out);
  void parseStudy(std::vector<DeclPtr>& out);
  void parsePlace(std::vector<DeclPtr>& out);
  void parseLet(std::vector<DeclPtr>& out);
  void parseActivity(std::vector<DeclPtr>& out);
  void parseGroup(std::vector<DeclPtr>& out);
  void parseReward(std::vector<DeclPtr>& out);
  void parseRequire(std::vector<DeclPtr>& out);
  void parseFor(std::vector<DeclPtr>& out);
  void parseLabel(std::vector<DeclPtr>& out);
  void parseTiming(Decl& d);
  void parseRewardTime(Decl& d);
  void parseRewardClause(Decl& d);

  void parseStatement(std::vector<StmtPtr>& out);
  void parseBlock(std::vector<StmtPtr>& out, const std::string& context);

  NameTemplate parseName(const std::string& what);
  std::string parsePlainName(const std::string& what, SourceLocation& location);

  ExprPtr parseExpression();
  ExprPtr parseOr();
  ExprPtr parseAnd();
  ExprPtr parseEquality();
  ExprPtr parseComparison();
  ExprPtr parseSum();
  ExprPtr parseProduct();
  ExprPtr parseUnary();
  ExprPtr parsePrimary();
  ExprPtr binary(const Token& op, ExprPtr left, ExprPtr right);
  // Sets e's height from its operands; an error when it is too tall.
  ExprPtr measured(ExprPtr e, const Token& at);
};

} // namespace lang

#endif
