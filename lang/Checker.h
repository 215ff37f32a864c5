#ifndef LANG_CHECKER_H
#define LANG_CHECKER_H

#include <optional>
#include <string>
#include <vector>

#include "lang/Decl.h"
#include "lang/Diagnostics.h"
#include "lang/Expander.h"
#include "lang/ExpressionChecker.h"
#include "lang/ModelDescription.h"
#include "lang/SymbolTable.h"

namespace lang {

// Checks an expanded model and turns it into a ModelDescription. Besides the
// expression checks (ExpressionChecker) it reports:
//  - a file that does not begin with 'model <Name>', a second model or study,
//    a model without places;
//  - names declared twice (with a note at the first declaration), and
//    repetition variables that hide a declared name;
//  - global variables without a value, values that do not fit the
//    variable's type, study lines of different lengths, unknown study
//    variables;
//  - definitions used before they are given, tables whose number of values
//    does not match their index range;
//  - initial markings and assigned constants that do not fit a place
//    (0 to 32767 tokens), assignments to anything but a place, activities
//    without effect, constant rates, delays, weights or phases that are not
//    positive (ranks below 0), a deterministic activity in a model with
//    Erlang ones;
//  - group members that are unknown, not activities, already in a group, or
//    mix instantaneous and timed activities;
//  - reward variables without rate or impulse, a second rate, two impulses
//    for one activity, rate(...) of an activity without a rate, time points
//    that are not constant, negative or in the wrong order;
//  - requirements that read places or can never hold;
//  - labels that are not conditions, or take the name of a label every
//    chain has (init, deadlock);
//  - local values of an effect (let) that are not written first, are
//    inside an 'if', take a declared name or are assigned to;
//  - place ranges that are not whole numbers over constants and globals,
//    leave 0..32767, are empty, or do not hold the initial marking.
class Checker {
public:
  // Places hold signed 16-bit markings; a marking is never negative.
  static constexpr long long MaxMarking = 32767;
  static constexpr long long MaxExperiments = 100000;

  Checker(const SourceFile& file, Diagnostics& diagnostics);

  // The description, or nothing when an error was reported.
  std::optional<ModelDescription> check(const std::vector<DeclPtr>& declarations,
                                        const std::vector<Expander::LoopVariable>& loops);

private:
  const SourceFile& File;
  Diagnostics& Diags;
  SymbolTable Symbols;
  ExpressionChecker Expressions;
  ModelDescription Model;
  // Declarations of each kind in order, parallel to the description's lists.
  std::vector<Decl*> Globals, Places, Activities, Groups, Rewards, Labels;
  std::vector<std::optional<Value>> Defaults;

  bool checkModelDeclaration(const std::vector<DeclPtr>& declarations);
  void declareNames(const std::vector<DeclPtr>& declarations);
  void checkLoopVariables(const std::vector<Expander::LoopVariable>& loops);
  void checkGlobals();
  void checkStudy(const std::vector<DeclPtr>& declarations);
  void checkDefinitions(const std::vector<DeclPtr>& declarations);
  void checkPlaces();
  void checkActivities();
  // `locals` collects the effect's local values; `topLevel` is false inside
  // an 'if'.
  void checkEffect(std::vector<StmtPtr>& statements, const std::string& activity,
                   std::vector<ExpressionChecker::LocalValue>& locals, bool topLevel);
  void checkLocal(Stmt& s, const std::string& activity,
                  std::vector<ExpressionChecker::LocalValue>& locals);
  void checkPlaceRange(Decl& d, PlaceDescription& p);
  // A time point of a reward variable: its constant value, or, when it
  // reads global variables, nothing with `runtime` set to the expression.
  std::optional<double> checkTime(Expr& e, const std::string& role, ExprPtr& runtime, bool& ok);
  void checkGroups();
  void checkRewards();
  void checkLabels();
  void checkRequirements(const std::vector<DeclPtr>& declarations);
  void checkDistributions();

  // The value of a constant expression (reads nothing), after checking that
  // it is a condition (wanted Bool) or a number (Int or Real); Error accepts
  // any type.
  std::optional<Value> constant(Expr& e, const std::string& role, ValueType wanted);
  std::optional<Value> convert(const Value& v, const std::string& typeName,
                               const SourceLocation& at, const std::string& role);
  void checkPositive(const Expr& e, const std::string& role, bool allowZero);
  void checkMarking(const Expr& e, const std::string& role, bool increment);
  void collectSlots(ActivityDescription& a);
};

} // namespace lang

#endif
