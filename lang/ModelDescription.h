#ifndef LANG_MODELDESCRIPTION_H
#define LANG_MODELDESCRIPTION_H

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "lang/Decl.h"
#include "lang/Expr.h"
#include "lang/Stmt.h"
#include "lang/Value.h"

namespace lang {

// A checked model: everything the code generator needs, with every name
// resolved to a number (places in state-vector order, activities in action
// order, globals in declaration order) and every expression typed. Produced
// by the Checker only when the model has no error.

struct GlobalDescription {
  std::string name;
  std::string typeName; // bool, char, short, int, long, float or double
  ValueType type = ValueType::Error;
  std::vector<Value> values; // one per experiment, already of the declared type
  SourceLocation location;
};

struct PlaceDescription {
  std::string name;
  ExprPtr initial; // a whole number over constants and globals
  // The declared range (place P in low..high), whole numbers over constants
  // and globals; both null when the place has none.
  ExprPtr low, high;
  SourceLocation location;
};

struct ActivityDescription {
  std::string name;
  Timing timing = Timing::Exponential;
  ExprPtr rate;   // exponential and Erlang: a number
  ExprPtr delay;  // deterministic: a number
  ExprPtr phases; // Erlang: a whole number over constants and globals
  ExprPtr weight; // null: 1
  ExprPtr rank;   // null: 1
  ExprPtr when;   // null: always enabled
  // The statements, the local values (Let) first.
  std::vector<StmtPtr> effect;
  // Places the activity reads or writes (its slots), in order of first use
  // (condition, rate or delay, weight, rank, effect); the places its
  // condition reads (enabling arcs); the places its effect assigns
  // (affecting arcs), each in order of first use.
  std::vector<int> slots;
  std::vector<int> enabling;
  std::vector<int> affected;
  int group = -1; // index into groups, or -1: the activity is its own group
  SourceLocation location;
};

struct GroupDescription {
  std::string name;
  bool preselect = true;
  std::vector<int> members; // activities, in the order written
};

struct ImpulseDescription {
  int activity = -1;
  ExprPtr value;
};

struct RewardDescription {
  std::string name;
  RewardTime time = RewardTime::Steady;
  std::vector<double> start, stop; // one pair per time point
  // Per time point, the expressions of a start and stop that read global
  // variables (computed per experiment; start/stop hold 0 there); null
  // where the value is the constant in start/stop.
  std::vector<ExprPtr> startAt, stopAt;
  ExprPtr rate; // null: no rate reward
  std::vector<ImpulseDescription> impulses;
  std::vector<int> placesRead; // by the rate reward (also through rate(...)), in order
};

// label Name = condition: a named condition on the marking, written into
// the .sta file.
struct LabelDescription {
  std::string name;
  ExprPtr condition; // over places, constants and globals
  SourceLocation location;
};

struct RequirementDescription {
  ExprPtr condition; // over constants and globals
  std::string text;  // as written in the file
  SourceLocation location;
};

struct ModelDescription {
  std::string name;
  std::string sourceName; // the file it was compiled from, for messages
  int experiments = 1;
  std::vector<GlobalDescription> globals;
  std::vector<PlaceDescription> places;
  std::vector<ActivityDescription> activities;
  std::vector<GroupDescription> groups;
  std::vector<RewardDescription> rewards;
  std::vector<RequirementDescription> requirements;
  std::vector<LabelDescription> labels;
  // Keeps alive what the locations of repeated text point at.
  std::shared_ptr<const std::deque<Expansion>> expansions;
};

} // namespace lang

#endif
