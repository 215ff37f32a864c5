#ifndef SOLVER_DELAYSOLVE_H
#define SOLVER_DELAYSOLVE_H

#include <chrono>
#include <string>

class Progress;
class SolverOptions;

// What ssg-solve does with a chain that has deterministic delays (a .det
// file next to the others): reads the files with the .arm file's negative
// entries as the delays' firings (DelayFirings) and the .det file
// (DetReader), solves the steady-state measures with RegenerativeSolver, and
// prints, writes (--csv) and stores (--db) the rows as a solve of a Markov
// chain does. Time-dependent measures get a row each without a value (only
// steady-state measures are computed for such chains) and the exit status
// 2, with a message that says so; a chain the method cannot take (two
// delays enabled in one state, and the other refusals of
// RegenerativeSolver) is refused as a whole with exit status 2 and a
// message naming the state.
class DelaySolve {
public:
  // Whether the files have deterministic delays (a <prefix>.det file).
  static bool Wanted(const SolverOptions& options);
  // The exit status; errors of the files are SolverError.
  static int Run(const SolverOptions& options, Progress& progress,
                 std::chrono::steady_clock::time_point started);
};

#endif
