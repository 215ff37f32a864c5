#ifndef SOLVER_PVTYPEREADER_H
#define SOLVER_PVTYPEREADER_H

#include <string>
#include <vector>

// Reader of a reward-variable type file (.pvtype): which variables the .var
// file carries, of which time type each is, and at which times to solve it.
//
// Layout read (every line "Keyword:value", no blank after the colon):
//   Version:1
//   NumPV:<k>
//   then per variable: Name:<name>, Type:<0..3>, NumTimes:<m>, and m pairs
//   of lines Start:<t> and Stop:<t> (times as the stream writes a double:
//   "24", "0.5", "1.23457e+06").
// Type 0 is instant-of-time (solved at each Start), 1 interval-of-time
// (reward accumulated over [Start, Stop]), 2 time-averaged interval-of-time
// (that divided by Stop - Start), 3 steady-state (times not used).
//
// Errors (file and line): a line out of order or without its keyword, a
// version other than 1, a type other than 0..3, a time that is not a finite
// number or is negative, an interval with Stop before Start (or, for type 2,
// not after it), and text after the last variable.
class PVTypeReader {
public:
  enum Type { InstantOfTime = 0, IntervalOfTime = 1, TimeAveragedInterval = 2, SteadyState = 3 };

  struct Interval {
    double Start;
    double Stop;
  };
  struct Variable {
    std::string Name;
    Type TimeType;
    std::vector<Interval> Times;
  };

  // Reads the whole file.
  static std::vector<Variable> Read(const std::string& fileName);

  // "instant-of-time", "interval-of-time", "time-averaged interval",
  // "steady-state".
  static const char* TypeName(Type type);
};

#endif
