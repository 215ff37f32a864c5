#ifndef DRIVER_RUNSUMMARY_H
#define DRIVER_RUNSUMMARY_H

#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

class StateSpaceGen;

// The line a model executable prints after the generator's own lines:
//   Summary: <n> states, <m> transitions, <a> absorbing, <s> s wall,
//   <p> MiB peak memory, <b> bytes written
// (one line): the states and the transition entries of the .arm file, the
// states without any transition, the wall-clock seconds since the program
// started, the largest resident memory of the process, and the size of all
// the files the run wrote (.arm, .var, .pvtype, and .det and .sta when
// written; not a trace). When -O changed a global variable, the line goes
// on with "; values in force: lambda=0.001, meo=0.5" (every global variable
// as the run used it).
class RunSummary {
public:
  // With self-loops, the transitions are followed by "(<k> to the state
  // itself)": entries the count includes and a solver has no use for.
  static std::string Line(uint64_t states, uint64_t transitions, uint64_t absorbing,
                          double wallSeconds, uint64_t peakBytes, uint64_t bytesWritten,
                          uint64_t selfLoops = 0);
  // The line of a finished generation, to `out`; `valuesInForce` ("lambda=
  // 0.001, meo=0.5"), when not empty, ends it.
  static void Print(std::ostream& out, const StateSpaceGen& generator,
                    std::chrono::steady_clock::time_point started,
                    const std::string& valuesInForce = "");
  // The process's largest resident memory so far (getrusage).
  static uint64_t PeakBytes();
  // The sizes of the files added up (a missing file counts 0).
  static uint64_t BytesOf(const std::vector<std::string>& files);
};

#endif
