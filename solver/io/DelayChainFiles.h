#ifndef SOLVER_DELAYCHAINFILES_H
#define SOLVER_DELAYCHAINFILES_H

#include <string>
#include <vector>

#include "solver/io/ChainFiles.h"
#include "solver/io/DelayFirings.h"
#include "solver/io/DetReader.h"

class Progress;

// The files of a chain with deterministic delays, read and cross-checked as
// ChainFiles reads a Markov chain's (.pvtype, .arm, .var), except that the
// .arm file's negative entries are kept as the delays' firings instead of
// being refused, and the .det file is read too (after the .arm file, whose
// state count it is checked against).
class DelayChainFiles {
public:
  ChainFiles Files; // the exponential transitions in Files.Matrix
  DelayFirings Firings;
  std::vector<DetReader::Delay> Delays;

  static void Read(const std::string& prefix, DelayChainFiles& chain, Progress& progress);
};

#endif
