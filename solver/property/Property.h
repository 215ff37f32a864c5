#ifndef SOLVER_PROPERTY_PROPERTY_H
#define SOLVER_PROPERTY_PROPERTY_H

#include <cstddef>
#include <string>

#include "solver/MarkingCondition.h"

// One parsed property (PropertyParser): what is asked and of which
// conditions, by their place in the property's text.
//
//   P=? [ F<=t phi ]   P=? [ F[t1,t2] phi ]   P=? [ F phi ]
//   P=? [ phi U<=t psi ]   P=? [ phi U[t1,t2] psi ]   P=? [ phi U psi ]
//   R=? [ F phi ]   R{"v"}=? [ F phi ]   R{"v"}=? [ C<=t ]   R{"v"}=? [ I=t ]
//   R{"v"}=? [ S ]   S=? [ phi ]
//
// F phi is true U phi: it is stored as an Until without Phi.
struct Property {
  enum class Kind {
    Until,       // P=? [ phi U psi ], bounded or not
    ReachReward, // R=? [ F psi ]: expected reward (time without a variable) until psi
    Cumulative,  // R{"v"}=? [ C<=t ]
    Instant,     // R{"v"}=? [ I=t ]
    LongRun,     // R{"v"}=? [ S ]
    SteadyState  // S=? [ psi ]
  };
  // A time bound: a number, or a name standing for each of --times.
  struct Time {
    double Value = 0;
    bool Grid = false;
  };
  // Characters [Begin, End) of Text.
  struct Range {
    std::size_t Begin = 0;
    std::size_t End = 0;
    bool empty() const { return Begin == End; }
  };

  std::string Text; // as written, without surrounding blanks
  std::string Line; // the line it is written on (positions count from its start)
  MarkingCondition::Origin Origin;
  Kind What = Kind::Until;
  std::string Variable;       // R{"v"}: the reward variable; empty for time
  std::size_t VariableAt = 0; // its opening quote in the line
  Range Phi;                  // empty for F (true)
  Range Psi;                  // the target; the condition of S=?
  // Until: bounded when HasBound; [Lower, Upper] (Lower 0 for U<=t).
  // Cumulative and Instant: the time in Upper.
  bool HasBound = false;
  Time Lower;
  Time Upper;
};

#endif
