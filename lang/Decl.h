#ifndef LANG_DECL_H
#define LANG_DECL_H

#include <memory>
#include <string>
#include <vector>

#include "lang/Expr.h"
#include "lang/NameTemplate.h"
#include "lang/Stmt.h"

namespace lang {

enum class DeclKind {
  Model,    // model Name
  Global,   // global type Name [= value]
  Study,    // study { entries }
  Place,    // place Name [= value] [in from..to]
  Let,      // let Name = value
  Table,    // let Name[from..to] = values
  Activity, // activity Name timing clauses [{ effect }]
  Group,    // group Name [preselect|postselect] { members }
  Reward,   // reward Name time clauses
  Require,  // require value
  For,      // for variable in from..to { body }
  Label,    // label Name = value
};

enum class Timing { None, Exponential, Deterministic, Erlang, Instantaneous };

enum class RewardTime {
  Instant,         // instant at t1, t2, ...
  Interval,        // interval a..b, ...
  AverageInterval, // average interval a..b, ...
  Steady,          // steady
};

// One value or range of values of a study entry: `first`, or first..last.
struct StudyItem {
  ExprPtr first;
  ExprPtr last;
};

// One line of the study: a global variable and its values per experiment.
struct StudyEntry {
  NameTemplate variable;
  std::vector<StudyItem> items;
};

// `rate expr` or `impulse activity expr` of a reward variable.
struct RewardClause {
  bool impulse = false;
  SourceLocation location;
  NameTemplate activity;
  ExprPtr value;
};

// A declaration. Several names declared in one line (place A, B = 2) become
// one declaration each. Fields not used by a kind stay empty.
struct Decl {
  DeclKind kind = DeclKind::Model;
  SourceLocation location; // of the keyword
  NameTemplate name;

  // Global: type; Global, Place, Let, Require, Label: value.
  std::string typeName;
  SourceLocation typeLocation;
  ExprPtr value;

  // Table and For: from..to; Place: its declared range from..to (both null
  // when it has none); Table: values.
  ExprPtr from;
  ExprPtr to;
  std::vector<ExprPtr> values;

  // Study.
  std::vector<StudyEntry> entries;

  // Activity.
  Timing timing = Timing::None;
  SourceLocation timingLocation;
  ExprPtr rate;   // exponential and Erlang
  ExprPtr delay;  // deterministic
  ExprPtr phases; // Erlang
  ExprPtr weight;
  ExprPtr rank;
  ExprPtr when;
  bool hasEffect = false;
  SourceLocation effectLocation;
  std::vector<StmtPtr> effect;

  // Group: kind and members.
  bool preselect = true;
  std::vector<NameTemplate> members;

  // Reward: time points (`times`, or `intervals` as pairs) and clauses.
  RewardTime time = RewardTime::Steady;
  std::vector<ExprPtr> times;
  std::vector<std::pair<ExprPtr, ExprPtr>> intervals;
  std::vector<RewardClause> clauses;

  // For.
  std::string variable;
  SourceLocation variableLocation;
  std::vector<std::unique_ptr<Decl>> body;
};

using DeclPtr = std::unique_ptr<Decl>;

} // namespace lang

#endif
