#include "solver/numeric/RegenerativeSolver.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <memory>
#include <utility>

#include "solver/Progress.h"
#include "solver/SolverError.h"
#include "solver/io/DelayFirings.h"
#include "solver/numeric/BottomComponents.h"
#include "solver/numeric/DelayPeriod.h"
#include "solver/numeric/RateMatrix.h"

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string Number(double v) {
  char text[40];
  auto end = std::to_chars(text, text + sizeof text, v).ptr;
  return std::string(text, end);
}

std::string State(std::uint32_t index) {
  return "state " + std::to_string(std::uint64_t(index) + 1);
}

} // namespace

bool RegenerativeSolver::DirectSuits(const RateMatrix& embedded) {
  const std::uint32_t n = embedded.states();
  std::uint64_t band = 0;
  for (std::uint32_t i = 0; i < n; i++)
    for (std::uint64_t e = embedded.rowBegin(i); e < embedded.rowEnd(i); e++) {
      const std::uint32_t j = embedded.column(e);
      band = std::max<std::uint64_t>(band, j > i ? j - i : i - j);
    }
  return (2 * band + 1) * n <= DirectBandEntries;
}

const char* RegenerativeSolver::TransientRefusal =
    "refused: only steady-state measures are computed for chains with deterministic delays";

std::vector<std::uint32_t>
RegenerativeSolver::DelayOfStates(const std::vector<DetReader::Delay>& delays,
                                  const DelayFirings& firings, std::uint32_t states,
                                  const std::string& source) {
  std::vector<std::uint32_t> delayOf(states, NoDelay);
  for (std::uint32_t d = 0; d < delays.size(); d++) {
    for (std::uint32_t s : delays[d].States) {
      if (delayOf[s] == d)
        throw SolverError(
            SolverError::Unsupported,
            source + ": " + State(s) + " is listed twice for the deterministic delay " +
                Number(delays[d].Value) +
                ": two deterministic activities with this delay are enabled in it at once; "
                "concurrent deterministic activities are not solved (at most one deterministic "
                "delay may be enabled in a state)");
      if (delayOf[s] != NoDelay)
        throw SolverError(SolverError::Unsupported,
                          source + ": " + State(s) +
                              " enables two different deterministic "
                              "delays at once, " +
                              Number(delays[delayOf[s]].Value) + " and " + Number(delays[d].Value) +
                              "; concurrent deterministic activities are not solved (at most "
                              "one deterministic delay may be enabled in a state)");
      delayOf[s] = d;
    }
  }
  for (std::uint32_t s = 0; s < states; s++) {
    const double total = firings.total(s);
    if (delayOf[s] == NoDelay) {
      if (firings.rowEnd(s) > firings.rowBegin(s))
        throw SolverError(SolverError::InputError,
                          source + ": " + State(s) +
                              " has deterministic firings (negative entries) in the .arm file "
                              "but enables no delay in the .det file: the files disagree");
      continue;
    }
    if (std::fabs(total - 1) > FiringTolerance)
      throw SolverError(
          SolverError::Unsupported,
          source + ": " + State(s) + " enables the deterministic delay " +
              Number(delays[delayOf[s]].Value) +
              " but its deterministic firings in the .arm "
              "file have the probabilities " +
              Number(total) +
              " in all, not 1: the generator writes an exponential and a deterministic "
              "transition to the same state as one entry (or the activity's case "
              "probabilities do not sum to 1), and the files cannot separate them");
  }
  return delayOf;
}

RegenerativeSolver::Solution
RegenerativeSolver::Solve(const RateMatrix& matrix, const DelayFirings& firings,
                          const std::vector<DetReader::Delay>& delays, const SolverOptions& options,
                          Progress& progress, const std::string& source) {
  const std::uint32_t n = matrix.states();
  Solution solution;
  Report& report = solution.Info;
  const std::vector<std::uint32_t> delayOf = DelayOfStates(delays, firings, n, source);

  // The periods of each delay.
  auto started = Clock::now();
  const double truncation = options.Epsilon * TruncationShare;
  std::vector<std::vector<std::uint32_t>> members(delays.size());
  for (std::uint32_t s = 0; s < n; s++)
    if (delayOf[s] != NoDelay)
      members[delayOf[s]].push_back(s);
  std::vector<std::unique_ptr<DelayPeriod>> periods;
  for (std::uint32_t d = 0; d < delays.size(); d++) {
    periods.push_back(members[d].empty() ? nullptr
                                         : std::make_unique<DelayPeriod>(
                                               matrix, delayOf.data(), d, delays[d].Value,
                                               members[d], truncation / 2));
    if (periods.back())
      report.MostSteps = std::max(report.MostSteps, periods.back()->steps());
    report.DelayStates += members[d].size();
  }
  report.Delays = delays.size();
  report.Truncation = truncation;

  // The embedded chain in its semi-Markov form, row by row.
  RateMatrix embedded;
  embedded.begin(n, matrix.transitions() + firings.entries());
  std::vector<double> lengths(n, 0.0);
  std::vector<double> row(n, 0.0);
  std::vector<std::uint32_t> touched;
  std::vector<std::pair<std::uint32_t, double>> entries;
  const std::uint32_t* column = matrix.columns();
  matrix.rates().visit([&](auto rateOf) {
    for (std::uint32_t i = 0; i < n; i++) {
      embedded.startRow();
      if (delayOf[i] == NoDelay) {
        for (std::uint64_t e = matrix.rowBegin(i); e < matrix.rowEnd(i); e++)
          embedded.add(column[e], rateOf(e));
        continue;
      }
      DelayPeriod& period = *periods[delayOf[i]];
      period.run(i);
      auto add = [&](std::uint32_t j, double p) {
        if (row[j] == 0.0)
          touched.push_back(j);
        row[j] += p;
      };
      for (std::uint32_t s : period.reached()) {
        const double p = period.atEnd(s);
        if (p == 0.0)
          continue;
        for (std::uint64_t f = firings.rowBegin(s); f < firings.rowEnd(s); f++)
          add(firings.target(f), p * firings.probability(f));
      }
      for (std::uint32_t j : period.exits())
        add(j, period.exitAt(j));
      const double length = period.length();
      lengths[i] = length;
      // The smallest entries, together at most truncation/2 of the row, are
      // left out (a period reaches many states it almost never ends in).
      entries.clear();
      for (std::uint32_t j : touched) {
        if (j != i && row[j] > 0)
          entries.emplace_back(j, row[j]);
        row[j] = 0.0;
      }
      touched.clear();
      std::sort(entries.begin(), entries.end(),
                [](const auto& a, const auto& b) { return a.second < b.second; });
      double dropped = 0;
      std::size_t first = 0;
      while (first < entries.size() && dropped + entries[first].second <= truncation / 2)
        dropped += entries[first++].second;
      entries.erase(entries.begin(), entries.begin() + static_cast<std::ptrdiff_t>(first));
      for (auto& entry : entries)
        entry.second /= length;
      std::sort(entries.begin(), entries.end());
      for (const auto& [j, r] : entries)
        embedded.add(j, r);
      if (embedded.transitions() > MaxEmbeddedEntries)
        throw SolverError(SolverError::InputError,
                          source + ": the embedded chain of the deterministic delays exceeds " +
                              std::to_string(MaxEmbeddedEntries) + " entries at " + State(i) +
                              " of " + std::to_string(n) +
                              " (its periods reach too many states to be stored)");
      if ((i & 0xFFF) == 0 && progress.due())
        progress.show("embedded chain: state " + std::to_string(i + 1) + " of " +
                      std::to_string(n));
    }
  });
  embedded.finish();
  report.EmbeddedEntries = embedded.transitions();
  report.PeriodSeconds = Since(started);

  // Its long-run distribution from state 1.
  started = Clock::now();
  BottomComponents classes;
  classes.find(embedded, progress);
  solution.Classes = classes.classes();
  solution.Components = classes.components();
  solution.TransientStates = classes.transientCount();
  solution.ClassSeconds = Since(started);
  started = Clock::now();
  SolverOptions chosen = options;
  const bool direct = options.SolveMethod == SolverOptions::Method::Auto && DirectSuits(embedded);
  if (direct)
    chosen.SolveMethod = SolverOptions::Method::Direct;
  solution.Embedded = SteadyStateSolver::Solve(embedded, classes, chosen, progress);
  if (direct && !solution.Embedded.Converged) // a failed factorisation: auto's own choice
    solution.Embedded = SteadyStateSolver::Solve(embedded, classes, options, progress);
  solution.SteadySeconds = Since(started);

  // Fractions of time: a period started in i stands for its states' times.
  started = Clock::now();
  const std::vector<double>& x = solution.Embedded.Distribution;
  solution.Distribution.assign(n, 0.0);
  std::vector<double> weights(n, 0.0);
  for (std::uint32_t i = 0; i < n; i++) {
    if (delayOf[i] == NoDelay)
      solution.Distribution[i] = x[i];
    else
      weights[i] = x[i] / lengths[i];
  }
  for (const auto& period : periods)
    if (period)
      period->accumulate(weights, solution.Distribution);
  report.ConvertSeconds = Since(started);
  return solution;
}

ChainSolver::Result RegenerativeSolver::Rows(const Solution& solution, const RateMatrix& matrix,
                                             const std::vector<ChainSolver::Measure>& measures) {
  ChainSolver::Result result;
  ChainSolver::Summary& info = result.Info;
  const SteadyStateSolver::Result& steady = solution.Embedded;
  info.States = matrix.states();
  info.Transitions = matrix.transitions();
  info.Classes = solution.Classes;
  info.Components = solution.Components;
  info.TransientStates = solution.TransientStates;
  info.SteadyStateSolved = true;
  info.SteadyStateConverged = steady.Converged;
  info.Methods = steady.Methods;
  info.Iterations = steady.Iterations;
  info.Residual = steady.Residual;
  info.Failure = steady.Failure;
  info.ClassSeconds = solution.ClassSeconds;
  info.SteadySeconds =
      solution.SteadySeconds + solution.Info.PeriodSeconds + solution.Info.ConvertSeconds;
  for (const ChainSolver::Measure& measure : measures) {
    ChainSolver::Row row;
    row.Variable = measure.Name;
    row.Type = measure.Type;
    if (measure.Type != PVTypeReader::SteadyState) {
      for (const PVTypeReader::Interval& t : measure.Times) {
        row.Start = t.Start;
        row.Stop = t.Stop;
        row.Valid = false;
        row.Note = TransientRefusal;
        result.Rows.push_back(row);
      }
      continue;
    }
    double value = 0;
    measure.Reward->visit([&](auto reward) {
      for (std::uint32_t j = 0; j < matrix.states(); j++)
        if (solution.Distribution[j] != 0.0)
          value += solution.Distribution[j] * reward(j);
    });
    row.Value = value;
    if (!steady.Converged) {
      row.Valid = false;
      row.Note = "not converged: " + steady.Failure;
    } else if (!std::isfinite(value)) {
      row.Valid = false;
      row.Note = "not converged: the value is not a finite number";
    } else if (measure.HasImpulse) {
      row.Note = "impulse part not included";
    }
    result.Rows.push_back(std::move(row));
  }
  return result;
}
