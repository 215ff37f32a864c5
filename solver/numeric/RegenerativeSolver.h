#ifndef SOLVER_REGENERATIVESOLVER_H
#define SOLVER_REGENERATIVESOLVER_H

#include <cstdint>
#include <string>
#include <vector>

#include "solver/SolverOptions.h"
#include "solver/io/DetReader.h"
#include "solver/numeric/ChainSolver.h"
#include "solver/numeric/SteadyStateSolver.h"

class DelayFirings;
class Progress;
class RateMatrix;

// The long-run distribution of a chain with deterministic delays (a Markov
// regenerative process) started in state 1, when at most one deterministic
// delay is enabled in each state.
//
// The files say: the exponential transitions (the rate matrix), which delay
// each state enables (the .det file), and where a delay's firing leads from
// each state (DelayFirings). A delay starts when the chain enters one of its
// states from a state that does not enable it (or at time 0, or when it has
// just fired); an exponential move between two states of the same delay
// keeps it running; a move out of its states disables it.
//
// Method: the embedded chain at the regeneration points (a delay starts, or
// the chain moves in a state that enables no delay) with its conversion
// factors. A state i without delay has the jump probabilities q_ij/q_i and
// mean sojourn 1/q_i. For a state i of a delay, DelayPeriod gives the
// period started there: P_ij = sum_s atEnd(s) f_sj (f the firings of s) +
// exitAt(j), and its expected length m_i. The embedded chain is solved in its
// semi-Markov form, as the continuous-time chain with rates P_ij / m_i (the
// original rates in states without delay): its long-run distribution x is
// proportional to (embedded probability) x (mean length), so the closed
// classes, the absorption from state 1 and their weights are those of the
// embedded chain, and SteadyStateSolver (any --method) solves it. The
// fraction of time in state s is then x_s for a state without delay, and
// sum_i (x_i / m_i) time_i(s) over the periods' starts i for a state of a
// delay (DelayPeriod::accumulate, one pass per delay).
//
// Explicit form only: the embedded chain is stored (a row per state, as
// many entries as states a period can reach in it); a chain whose embedded
// chain would exceed MaxEmbeddedEntries is refused (InputError) rather than
// exhausting the memory.
//
// Method for the embedded chain (--method auto): the embedded chains of
// queues are banded and far from what Gauss-Seidel likes (an M/D/1/K chain
// moves down one state per period and up many: 10000 sweeps do not reach
// 1e-9 at K = 10000), while the GTH elimination stays within the band: auto
// takes the direct method when states x (2 bandwidth + 1) is at most
// DirectBandEntries (M/D/1/K, K = 10000: well under a second), and
// SteadyStateSolver's own choice otherwise (and when the direct solve
// fails). Any other --method is used as given.
//
// Accuracy: with t = epsilon x TruncationShare, each period's Poisson window
// leaves out at most t/2 of its probability (DelayPeriod), and its smallest
// embedded entries, together at most t/2, are not stored (a period reaches
// many states it almost never ends in); a row thus misses at most t, left in
// the state itself. What a row misses is amplified in the long-run values
// by the chain's sensitivity: about 1000 for M/D/1/K with K = 1000 at load
// 0.95 (t = 1e-10 gave the mean queue 9.974999871 for 9.975), hence the
// share of 1e-3. The embedded chain is solved to the
// iteration's tolerance (relative residual at most 10 epsilon; direct:
// rounding); a system that does not converge is reported as in
// SteadyStateSolver (Converged false, no values).
//
// Refusals (SolverError Unsupported, exit status 2), each naming the state:
// a state listed twice for one delay (two concurrent deterministic
// activities), a state listed for two delays, a state of a delay whose
// firings' probabilities do not sum to 1 (an exponential and a deterministic
// transition to one state are written as one entry, which cannot be
// separated). A state with firings but no delay is an InputError (the files
// disagree).
class RegenerativeSolver {
public:
  static constexpr std::uint32_t NoDelay = UINT32_MAX;
  // How far a state's firing probabilities may be from 1 (the .arm file
  // keeps 11 significant digits).
  static constexpr double FiringTolerance = 1e-8;
  // 12 bytes each: 3 GB.
  static constexpr std::uint64_t MaxEmbeddedEntries = 250000000;
  // The probability a row may miss, as a share of --epsilon.
  static constexpr double TruncationShare = 1e-3;

  // Bound on states x bandwidth for the direct method under auto (the LU
  // factors of a banded matrix stay within the band: 8 bytes each).
  static constexpr std::uint64_t DirectBandEntries = 16777216; // GthSolver::Maximum^2
  // Whether auto solves this embedded chain directly.
  static bool DirectSuits(const RateMatrix& embedded);

  struct Report {
    std::size_t Delays = 0;
    std::uint64_t DelayStates = 0;     // states that enable a delay
    std::uint64_t EmbeddedEntries = 0; // off-diagonal entries of the embedded chain
    std::uint64_t MostSteps = 0;       // largest Poisson window of a period
    double Truncation = 0;             // probability a row may miss
    double PeriodSeconds = 0;          // the embedded chain
    double ConvertSeconds = 0;         // to fractions of time
  };
  struct Solution {
    std::vector<double> Distribution; // long-run fraction of time per state
    SteadyStateSolver::Result Embedded;
    std::uint32_t Classes = 0;
    std::uint64_t Components = 0;
    std::uint64_t TransientStates = 0;
    double ClassSeconds = 0, SteadySeconds = 0;
    Report Info;
  };

  // The delay each state enables (an index into `delays`, or NoDelay), after
  // the refusals above; `source` names the files in messages.
  static std::vector<std::uint32_t> DelayOfStates(const std::vector<DetReader::Delay>& delays,
                                                  const DelayFirings& firings, std::uint32_t states,
                                                  const std::string& source);

  static Solution Solve(const RateMatrix& matrix, const DelayFirings& firings,
                        const std::vector<DetReader::Delay>& delays, const SolverOptions& options,
                        Progress& progress, const std::string& source);

  // The rows of the measures: steady-state ones from the solution (with the
  // note that an impulse part is not included where the .var file shows
  // impulses), the others refused (no value, the reason as note).
  static ChainSolver::Result Rows(const Solution& solution, const RateMatrix& matrix,
                                  const std::vector<ChainSolver::Measure>& measures);
  // The note of a refused time-dependent row.
  static const char* TransientRefusal;
};

#endif
