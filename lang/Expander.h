#ifndef LANG_EXPANDER_H
#define LANG_EXPANDER_H

#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "lang/Decl.h"
#include "lang/Diagnostics.h"

namespace lang {

// Expands repetitions and indexed names at compile time. Every `for v in
// a..b { ... }` (between declarations, or between statements of an effect)
// is replaced by one copy of its body per value of v, in increasing order,
// with v replaced by that value; every indexed name ("Pm{i}") becomes the
// plain name it denotes ("Pm2"). Bounds and indices must be whole numbers
// known when compiling (literals, enclosing repetitions' variables and
// arithmetic on them); indices must not be negative, since a name cannot
// contain '-'.
//
// Copies keep the source locations of the text they come from, marked with
// the iteration (SourceLocation::expansion), so that an error in the third
// copy says "in the repetition with i = 3". The expander owns those marks:
// it must outlive the declarations it returns.
class Expander {
public:
  static constexpr long long MaxDeclarations = 100000;
  static constexpr long long MaxStatements = 100000;
  // Copies made by all repetitions together, empty ones included.
  static constexpr long long MaxIterations = 1000000;
  // Expression nodes copied by all repetitions together.
  static constexpr long long MaxNodes = 500000;

  // A repetition's variable and where it is declared.
  struct LoopVariable {
    std::string name;
    SourceLocation location;
  };

  explicit Expander(Diagnostics& diagnostics) : Diags(diagnostics) {}

  // The declarations with every repetition expanded and every name
  // resolved. A declaration with an error is left out.
  std::vector<DeclPtr> expand(const std::vector<DeclPtr>& declarations);
  const std::vector<LoopVariable>& loopVariables() const { return Loops; }
  // The iteration marks the returned declarations point at; whoever keeps
  // locations of expanded text keeps these too.
  std::shared_ptr<const std::deque<Expansion>> expansions() const { return Expansions; }

private:
  using Bindings = std::vector<std::pair<std::string, long long>>;
  struct ExpandError {};

  Diagnostics& Diags;
  std::shared_ptr<std::deque<Expansion>> Expansions = std::make_shared<std::deque<Expansion>>();
  std::vector<LoopVariable> Loops;
  long long Declarations = 0;
  long long Statements = 0;
  unsigned long long Iterations = 0;
  long long Nodes = 0;

  void expandInto(const Decl& d, const Bindings& bindings, const Expansion* in,
                  std::vector<DeclPtr>& out);
  DeclPtr copy(const Decl& d, const Bindings& bindings, const Expansion* in);
  void copyStatements(const std::vector<StmtPtr>& from, const Bindings& bindings,
                      const Expansion* in, std::vector<StmtPtr>& out);
  ExprPtr copy(const Expr* e, const Bindings& bindings, const Expansion* in);
  NameTemplate resolve(const NameTemplate& name, const Bindings& bindings, const Expansion* in);
  // The values of a repetition's range, after checking it.
  std::pair<long long, long long> range(const Expr& from, const Expr& to, const Bindings& bindings,
                                        const Expansion* in, const SourceLocation& at);
  const Expansion* iteration(const Bindings& bindings, const SourceLocation& loop,
                             const Expansion* in);
  static SourceLocation mark(SourceLocation location, const Expansion* in);
  void recordVariable(const std::string& name, const SourceLocation& location);
  void checkVariable(const std::string& name, const SourceLocation& location,
                     const Bindings& bindings);
};

} // namespace lang

#endif
