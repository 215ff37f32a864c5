#ifndef SOLVER_PLOTTER_H
#define SOLVER_PLOTTER_H

#include <string>
#include <vector>

#include "solver/numeric/ChainSolver.h"

// Draws the instant-of-time curves of a solve with gnuplot (PNG or SVG, by
// the file's extension): one line per variable over its grid of times, and
// a marker at each of its own time points.
//
// The data and the script go to temporary files, gnuplot runs as a child
// process (found on PATH) and the temporary files are removed. Draw returns
// an empty string on success, else the reason (gnuplot missing, with how to
// install it; nothing to plot; gnuplot's own error).
class Plotter {
public:
  static constexpr const char* InstallHint = "apt-get install gnuplot-nox";

  // The gnuplot executable on PATH, or "".
  static std::string FindGnuplot();

  static std::string Draw(const std::string& fileName, const std::string& title,
                          const ChainSolver::Result& result);
};

#endif
