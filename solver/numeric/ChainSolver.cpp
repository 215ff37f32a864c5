#include "solver/numeric/ChainSolver.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <tuple>

#include "solver/Progress.h"
#include "solver/io/ChainFiles.h"
#include "solver/numeric/BottomComponents.h"
#include "solver/numeric/ImpulseMeasures.h"
#include "solver/numeric/RateMatrix.h"
#include "solver/numeric/SteadyStateSolver.h"

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Uniformization requests, each asked once.
class RequestSet {
public:
  std::size_t add(double time, bool accumulated, bool coarse = false) {
    auto key = std::make_tuple(time, accumulated, coarse);
    auto [it, added] = Index.emplace(key, List.size());
    if (added)
      List.push_back({time, accumulated, coarse});
    return it->second;
  }
  const std::vector<Uniformization::Request>& list() const { return List; }

private:
  std::map<std::tuple<double, bool, bool>, std::size_t> Index;
  std::vector<Uniformization::Request> List;
};

// What Uniformization guarantees for a row: epsilon max|r| for an instant
// value, epsilon (t + 1/q) max|r| at each end of an accumulated interval.
double AccuracyBound(const ChainSolver::Row& row, const CompactColumn& reward, double epsilon,
                     double q) {
  double largest = reward.visit([&](auto value) {
    double most = 0;
    for (std::size_t j = 0; j < reward.size(); j++)
      most = std::max(most, std::fabs(value(j)));
    return most;
  });
  switch (row.Type) {
  case PVTypeReader::InstantOfTime:
    return epsilon * largest;
  case PVTypeReader::IntervalOfTime:
    return epsilon * (row.Start + row.Stop + 2 / q) * largest;
  case PVTypeReader::TimeAveragedInterval:
    return epsilon * (row.Start + row.Stop + 2 / q) * largest / (row.Stop - row.Start);
  default:
    return 0;
  }
}

constexpr const char* NoImpulseFile = "impulse part not included (no .imp file)";

std::string Short(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2g", v);
  return text;
}

} // namespace

const char* ChainSolver::TypeName(const Row& row) {
  return row.ImpulseRate ? "impulse-rate" : PVTypeReader::TypeName(row.Type);
}

bool ChainSolver::Result::complete() const {
  for (const Row& row : Rows)
    if (!row.Valid)
      return false;
  return true;
}

std::vector<ChainSolver::Measure> ChainSolver::MeasuresOf(const ChainFiles& files) {
  std::vector<Measure> measures;
  for (std::size_t v = 0; v < files.Variables.size(); v++) {
    Measure m;
    m.Name = files.Variables[v].Name;
    m.Type = files.Variables[v].TimeType;
    m.Times = files.Variables[v].Times;
    m.Reward = &files.Rewards[v].RateValues;
    m.HasImpulse = files.Rewards[v].HasImpulse;
    if (!files.Impulses.empty() && files.Impulses[v].Any) {
      m.HasImpulse = true;
      m.Impulses = &files.Impulses[v];
      m.SelfLoopRates = files.SelfLoopRates.data();
      if (m.Type == PVTypeReader::IntervalOfTime || m.Type == PVTypeReader::TimeAveragedInterval)
        m.Reward = &files.RatePlusImpulse[v];
    }
    if (!files.Exact)
      m.InputNote = "input rounded to 6 significant digits (no .rew file)";
    measures.push_back(std::move(m));
  }
  return measures;
}

ChainSolver::Result ChainSolver::Solve(const RateMatrix& matrix,
                                       const std::vector<Measure>& measures,
                                       const SolverOptions& options, Progress& progress,
                                       bool curves) {
  Result result;
  Summary& info = result.Info;
  info.States = matrix.states();
  info.Transitions = matrix.transitions();

  // What to compute: the uniformization requests of every row and curve.
  RequestSet requests;
  struct Pending {
    std::size_t Measure, From, To; // requests (From unused for instants)
    bool ImpulseRate = false;
  };
  std::vector<Pending> pending; // per row
  bool needSteady = false;
  std::vector<std::vector<std::size_t>> curveRequests(measures.size());
  for (std::size_t m = 0; m < measures.size(); m++) {
    const Measure& measure = measures[m];
    if (measure.Type == PVTypeReader::SteadyState) {
      needSteady = true;
      pending.push_back({m, 0, 0});
    } else {
      for (const PVTypeReader::Interval& t : measure.Times) {
        if (measure.Type == PVTypeReader::InstantOfTime)
          pending.push_back({m, 0, requests.add(t.Start, false)});
        else
          pending.push_back({m, requests.add(t.Start, true), requests.add(t.Stop, true)});
      }
    }
    // The long-run impulse rate follows the variable's other rows.
    if (measure.Impulses != nullptr) {
      needSteady = true;
      pending.push_back({m, 0, 0, true});
    }
    if (curves && measure.Type == PVTypeReader::InstantOfTime && !measure.Times.empty()) {
      double last = 0;
      for (const PVTypeReader::Interval& t : measure.Times)
        last = std::max(last, t.Start);
      // Each point's window holds about 2 sqrt(2 ln(2/epsilon) q t) weights:
      // fewer points when that would take more than CurveWeights in all.
      const double qt = Uniformization::RateOf(matrix) * last;
      const double width = 2 * std::sqrt(2 * std::log(2 / options.Epsilon) * qt) + 16;
      const int points = int(std::clamp(CurveWeights / width, 10.0, double(CurvePoints)));
      for (int g = 0; g <= points; g++)
        curveRequests[m].push_back(requests.add(last * g / points, false, true));
    }
  }
  const bool needTransient = !requests.list().empty();
  const bool detect = needTransient && Uniformization::StepsNeeded(matrix, requests.list(),
                                                                   options.Epsilon) >= DetectAfter;
  if (detect && !needSteady) {
    needSteady = true;
    info.SteadyStateForDetectionOnly = true;
  }

  // The long-run distribution.
  SteadyStateSolver::Result steady, detection;
  BottomComponents classes;
  if (needSteady) {
    auto started = Clock::now();
    classes.find(matrix, progress);
    info.Classes = classes.classes();
    info.Components = classes.components();
    info.TransientStates = classes.transientCount();
    info.ClassSeconds = Since(started);
    started = Clock::now();
    // The detection spends the limit's error twice out of epsilon / 2: an
    // iteration is asked for epsilon / 8 when the limit serves it (and for
    // epsilon, for the rows, if that fails).
    SolverOptions tighter = options;
    if (detect)
      tighter.Epsilon = options.Epsilon / 8;
    steady = SteadyStateSolver::Solve(matrix, classes, tighter, progress);
    if (detect && !steady.Converged && options.SolveMethod != SolverOptions::Method::Auto) {
      // The detection must not depend on the method chosen for the rows:
      // when that method cannot give the limit, auto's choice gives it.
      SolverOptions automatic = tighter;
      automatic.SolveMethod = SolverOptions::Method::Auto;
      detection = SteadyStateSolver::Solve(matrix, classes, automatic, progress);
      if (detection.Converged)
        info.Choices =
            "the detection of the steady state in the transient pass: " + detection.Choices;
    }
    if (detect && !steady.Converged && !info.SteadyStateForDetectionOnly)
      steady = SteadyStateSolver::Solve(matrix, classes, options, progress);
    info.SteadySeconds = Since(started);
    info.SteadyStateSolved = true;
    info.SteadyStateConverged = steady.Converged;
    info.Methods = steady.Methods;
    info.Iterations = steady.Iterations;
    info.Residual = steady.Residual;
    info.Failure = steady.Failure;
    if (!steady.Choices.empty())
      info.Choices = steady.Choices + (info.Choices.empty() ? "" : "; " + info.Choices);
    info.ErrorEstimate = steady.ErrorEstimate;
  }

  // The transient pass, for every reward at once.
  std::vector<const CompactColumn*> rewards;
  rewards.reserve(measures.size());
  for (const Measure& m : measures)
    rewards.push_back(m.Reward);
  std::vector<std::vector<double>> transient;
  if (needTransient) {
    auto started = Clock::now();
    const SteadyStateSolver::Result& source = steady.Converged ? steady : detection;
    const double* limit =
        source.Converged && !source.Distribution.empty() ? source.Distribution.data() : nullptr;
    // A relative error e of every entry is a 1-norm error of e at most.
    transient = Uniformization::Run(matrix, rewards, requests.list(), options.Epsilon, limit,
                                    progress, info.Transient, source.ErrorEstimate);
    info.TransientSeconds = Since(started);
    info.TransientSolved = true;
  }

  // The expected impulse of the last completion at each instant requested
  // by a measure with impulses.
  std::vector<const ImpReader::Variable*> impulses;
  std::vector<std::size_t> impulseOf(measures.size(), SIZE_MAX);
  const double* selfLoopRates = nullptr;
  for (std::size_t m = 0; m < measures.size(); m++)
    if (measures[m].Impulses != nullptr && measures[m].Type == PVTypeReader::InstantOfTime) {
      impulseOf[m] = impulses.size();
      impulses.push_back(measures[m].Impulses);
      selfLoopRates = measures[m].SelfLoopRates;
    }
  std::vector<Uniformization::Request> instants;
  std::vector<std::size_t> instantOf(requests.list().size(), SIZE_MAX);
  for (std::size_t r = 0; r < requests.list().size(); r++)
    if (!requests.list()[r].Accumulated) {
      instantOf[r] = instants.size();
      instants.push_back(requests.list()[r]);
    }
  std::vector<std::vector<double>> lastImpulse;
  if (!impulses.empty() && !instants.empty()) {
    auto started = Clock::now();
    ImpulseMeasures::Report report;
    lastImpulse = ImpulseMeasures::Instant(matrix, selfLoopRates, impulses, instants,
                                           options.Epsilon, progress, report);
    info.ImpulseSteps = report.Steps;
    info.TransientSeconds += Since(started);
  }

  // Rows in measure order.
  std::vector<double> largest(measures.size(), -1.0); // Imax of a measure, once needed
  std::vector<double> absorption; // expected times before absorption, once needed
  LinearSystem::Report absorptionReport;
  std::string absorptionFailure;
  for (const Pending& p : pending) {
    const Measure& measure = measures[p.Measure];
    Row row;
    row.Variable = measure.Name;
    row.Type = measure.Type;
    if (p.ImpulseRate) {
      row.Type = PVTypeReader::SteadyState;
      row.ImpulseRate = true;
      row.Value = ImpulseMeasures::LongRunRate(*measure.Impulses, steady.Distribution);
      if (!steady.Converged) {
        row.Valid = false;
        row.Note = "not converged: " + steady.Failure;
      } else if (!measure.InputNote.empty()) {
        row.Note = measure.InputNote;
      }
      result.Rows.push_back(std::move(row));
      continue;
    }
    switch (measure.Type) {
    case PVTypeReader::SteadyState: {
      double value = 0;
      measure.Reward->visit([&](auto reward) {
        for (std::uint32_t j = 0; j < matrix.states(); j++)
          if (steady.Distribution[j] != 0.0)
            value += steady.Distribution[j] * reward(j);
      });
      row.Value = value;
      if (!steady.Converged) {
        row.Valid = false;
        row.Note = "not converged: " + steady.Failure;
      } else if (measure.Impulses != nullptr) {
        std::uint32_t absorbing = UINT32_MAX;
        double mass = ImpulseMeasures::SteadyMass(matrix, measure.SelfLoopRates, *measure.Impulses,
                                                  steady.Distribution, nullptr, absorbing);
        if (absorbing != UINT32_MAX) {
          // The chain ends in a state without completions: the impulse that
          // entered it needs the times spent before.
          if (absorption.empty())
            absorptionReport = ImpulseMeasures::AbsorptionTimes(matrix, classes, options, progress,
                                                                absorption, absorptionFailure);
          mass = ImpulseMeasures::SteadyMass(matrix, measure.SelfLoopRates, *measure.Impulses,
                                             steady.Distribution, absorption.data(), absorbing);
          if (!absorptionReport.Converged) {
            row.Valid = false;
            row.Note = "not converged: " + absorptionFailure;
            if (info.Failure.empty())
              info.Failure = absorptionFailure;
          }
        }
        row.Value += mass;
      }
      break;
    }
    case PVTypeReader::InstantOfTime:
      row.Start = row.Stop = requests.list()[p.To].Time;
      row.Value = transient[p.To][p.Measure];
      if (impulseOf[p.Measure] != SIZE_MAX)
        row.Value += lastImpulse[instantOf[p.To]][impulseOf[p.Measure]];
      break;
    case PVTypeReader::IntervalOfTime:
    case PVTypeReader::TimeAveragedInterval:
      row.Start = requests.list()[p.From].Time;
      row.Stop = requests.list()[p.To].Time;
      row.Value = transient[p.To][p.Measure] - transient[p.From][p.Measure];
      if (measure.Type == PVTypeReader::TimeAveragedInterval)
        row.Value /= row.Stop - row.Start;
      break;
    }
    if (row.Valid && !measure.InputNote.empty())
      row.Note = measure.InputNote;
    if (measure.HasImpulse && measure.Impulses == nullptr && row.Valid)
      row.Note += (row.Note.empty() ? "" : "; ") + std::string(NoImpulseFile);
    if (measure.Type != PVTypeReader::SteadyState) {
      double bound = AccuracyBound(row, *measure.Reward, options.Epsilon, info.Transient.Rate);
      if (impulseOf[p.Measure] != SIZE_MAX) {
        if (largest[p.Measure] < 0)
          largest[p.Measure] =
              ImpulseMeasures::Largest(matrix, measure.SelfLoopRates, *measure.Impulses);
        bound += options.Epsilon * largest[p.Measure];
      }
      if (std::fabs(row.Value) < bound)
        row.Note += (row.Note.empty() ? "" : "; ") + ("below the accuracy bound " + Short(bound));
    }
    result.Rows.push_back(std::move(row));
  }
  for (std::size_t m = 0; m < measures.size(); m++) {
    if (curveRequests[m].empty())
      continue;
    Curve curve;
    curve.Variable = measures[m].Name;
    curve.Note = measures[m].InputNote;
    if (measures[m].HasImpulse && measures[m].Impulses == nullptr)
      curve.Note += (curve.Note.empty() ? "" : "; ") + std::string(NoImpulseFile);
    for (std::size_t r : curveRequests[m]) {
      curve.Times.push_back(requests.list()[r].Time);
      curve.Values.push_back(transient[r][m] + (impulseOf[m] != SIZE_MAX
                                                    ? lastImpulse[instantOf[r]][impulseOf[m]]
                                                    : 0.0));
    }
    result.Curves.push_back(std::move(curve));
  }
  return result;
}
