#ifndef SOLVER_CHAINSOLVER_H
#define SOLVER_CHAINSOLVER_H

#include <cstdint>
#include <string>
#include <vector>

#include "solver/SolverOptions.h"
#include "solver/io/CompactColumn.h"
#include "solver/io/ImpReader.h"
#include "solver/io/PVTypeReader.h"
#include "solver/numeric/Uniformization.h"

class ChainFiles;
class Progress;
class RateMatrix;

// Computes reward measures of a chain started in state 1: the steady-state
// ones from the long-run distribution (BottomComponents, SteadyStateSolver),
// the time-dependent ones in one uniformization pass (Uniformization).
//
// Per measure type (PVTypeReader::Type), one row per time point:
// - instant-of-time at t = Start: E[r(X_t)];
// - interval-of-time: E[integral of r(X_u) du over [Start, Stop]], the
//   difference of two accumulated values;
// - time-averaged interval: that divided by Stop - Start;
// - steady-state: one row, pi . r with pi the long-run distribution.
// A measure with impulses (Measure::Impulses) gets its impulse part from
// ImpulseMeasures: accumulated rows accumulate r + a (the caller points
// Reward at that sum), instant rows add the expected impulse of the last
// completion, steady-state rows its limit; and the variable gets one more
// row, of type "impulse-rate" (ImpulseRate set, Type SteadyState): the
// long-run rate pi . a at which impulse reward is earned. A measure whose
// reward file has non-zero impulse values but no impulses to solve with
// gets the note that the impulse part is not included; InputNote (what the
// input files could not give) is added to every row of the measure. A
// time-dependent value smaller
// than Uniformization's absolute error bound gets the note "below the
// accuracy bound <bound>": its digits are not significant (a reliability
// after many mean times to failure, say). The long-run distribution is also
// computed, for steady-state detection, when the transient pass would need
// at least DetectAfter steps.
//
// A steady-state solve that does not converge makes the rows that need it
// invalid (Valid false, the reason in Note); the other rows are still
// computed.
class ChainSolver {
public:
  static constexpr std::uint64_t DetectAfter = 1000;
  static constexpr int CurvePoints = 100;
  // Poisson weights the points of one curve may hold (8 bytes each).
  static constexpr double CurveWeights = 16e6;

  // One measure: a reward vector (one value per state) and how to solve it.
  struct Measure {
    std::string Name;
    PVTypeReader::Type Type = PVTypeReader::SteadyState;
    std::vector<PVTypeReader::Interval> Times;
    const CompactColumn* Reward = nullptr;
    bool HasImpulse = false;
    // The impulses per transition entry and the self-loop rates per state
    // (both or neither).
    const ImpReader::Variable* Impulses = nullptr;
    const double* SelfLoopRates = nullptr;
    std::string InputNote;
  };
  struct Row {
    std::string Variable;
    PVTypeReader::Type Type = PVTypeReader::SteadyState;
    double Start = 0;
    double Stop = 0;
    double Value = 0;
    bool Valid = true;
    std::string Note;
    bool ImpulseRate = false; // the long-run impulse rate (a steady-state row)
  };
  // An instant-of-time measure over a grid of times from 0 to its last time.
  struct Curve {
    std::string Variable;
    std::vector<double> Times;
    std::vector<double> Values;
    std::string Note; // what the input could not give (as in the rows)
  };
  struct Summary {
    std::uint32_t States = 0;
    std::uint64_t Transitions = 0;
    std::uint32_t Classes = 0;
    std::uint64_t Components = 0;
    std::uint64_t TransientStates = 0;
    bool SteadyStateSolved = false;
    bool SteadyStateForDetectionOnly = false; // no steady-state measure needed it
    bool SteadyStateConverged = true;
    std::string Methods;
    std::uint64_t Iterations = 0;
    double Residual = 0;
    std::string Failure;
    std::string Choices;      // auto: the method of each system, and why
    double ErrorEstimate = 0; // largest estimated relative error (0: eliminated exactly)
    bool TransientSolved = false;
    Uniformization::Report Transient;
    std::uint64_t ImpulseSteps = 0; // of the instant-of-time impulse pass
    double ClassSeconds = 0, SteadySeconds = 0, TransientSeconds = 0;
  };
  struct Result {
    std::vector<Row> Rows;
    std::vector<Curve> Curves;
    Summary Info;
    // Every row has a value.
    bool complete() const;
  };

  // "impulse-rate" for an ImpulseRate row, else PVTypeReader::TypeName.
  static const char* TypeName(const Row& row);

  // The measures of the files' reward variables, in file order.
  static std::vector<Measure> MeasuresOf(const ChainFiles& files);

  // `curves`: also compute a Curve for each instant-of-time measure.
  static Result Solve(const RateMatrix& matrix, const std::vector<Measure>& measures,
                      const SolverOptions& options, Progress& progress, bool curves);
};

#endif
