#include "solver/property/PathSolver.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <sstream>

#include "solver/Progress.h"
#include "solver/SolverError.h"
#include "solver/numeric/BottomComponents.h"
#include "solver/numeric/DirectSolver.h"
#include "solver/numeric/FoxGlynn.h"
#include "solver/numeric/IterativeSolver.h"
#include "solver/numeric/RateMatrix.h"
#include "solver/numeric/SteadyStateSolver.h"
#include "solver/numeric/Uniformization.h"
#include "solver/property/StateReduction.h"

namespace {

using Method = SolverOptions::Method;
using Clock = std::chrono::steady_clock;

std::string Sci(double v) {
  std::ostringstream s;
  s.precision(3);
  s << std::scientific << v;
  return s.str();
}

std::string Short(double v) {
  std::ostringstream s;
  s.precision(2);
  s << v;
  return s.str();
}

CompactColumn Indicator(const ReachabilityGraph::Mask& mask) {
  CompactColumn column;
  column.reserve(mask.size());
  for (std::uint8_t m : mask)
    column.push_back(m != 0 ? 1.0 : 0.0);
  return column;
}

bool Holds(const ReachabilityGraph::Mask& phi, std::uint32_t i) {
  return phi.empty() || phi[i] != 0;
}

ChainSolver::Row SteadyRow(const std::string& name) {
  ChainSolver::Row row;
  row.Variable = name;
  row.Type = PVTypeReader::SteadyState;
  return row;
}

} // namespace

PathSolver::PathSolver(const RateMatrix& matrix, const SolverOptions& options, Progress& progress)
    : Matrix(matrix), Options(options), Reporter(progress) {
  Info.States = matrix.states();
  Info.Transitions = matrix.transitions();
}

LinearSystem::Report PathSolver::absorption(const RateMatrix& chain, std::vector<double>& x,
                                            std::string& failure, std::string& caveat) {
  const auto started = Clock::now();
  BottomComponents classes;
  classes.find(chain, Reporter);
  x.assign(chain.states(), 0.0);
  LinearSystem::Report report;
  report.Converged = true;
  if (classes.classOf(0) != BottomComponents::Transient) {
    report.Method = "none needed";
    return report;
  }
  const LinearSystem system = LinearSystem::Transient(chain, classes, 0);
  std::vector<double> work(chain.states(), 0.0);
  const std::string label =
      "the path property's system of " + std::to_string(system.size()) + " states";
  Method method = Options.SolveMethod;
  if (method == Method::Auto && system.size() <= SteadyStateSolver::DirectLimit)
    method = Method::Direct;
  bool solved = false;
  if (method == Method::Direct) {
    if (system.size() > SteadyStateSolver::DirectMaximum)
      throw SolverError(SolverError::InputError,
                        "--method direct: " + label + "; the direct method is limited to " +
                            std::to_string(SteadyStateSolver::DirectMaximum) +
                            " states (use --method auto, gs or sor)");
    std::string why;
    report = DirectSolver::Solve(system, Options.Epsilon, x.data(), work.data(), why);
    solved = report.Converged || Options.SolveMethod == Method::Direct;
    if (!report.Converged && solved)
      failure = label + ": " + why + " (residual " + Sci(report.Residual) + ")";
    method = Method::Auto;
  }
  if (!solved) {
    std::fill(x.begin(), x.end(), 0.0);
    report =
        IterativeSolver::Solve(system, method, Options, x.data(), work.data(), Reporter, label);
    if (!report.Converged)
      failure = label + ": " + report.Method +
                (std::isfinite(report.Residual)
                     ? " did not converge within " + std::to_string(Options.MaxIterations) +
                           " iterations (residual " + Sci(report.Residual) + ")"
                     : " diverged after " + std::to_string(report.Iterations) + " iterations");
  }
  Info.SteadyStateSolved = true;
  Info.Iterations += report.Iterations;
  if (!(report.Residual <= Info.Residual))
    Info.Residual = report.Residual;
  if (Info.Methods.find(report.Method) == std::string::npos)
    Info.Methods += (Info.Methods.empty() ? "" : ", ") + report.Method;
  if (!report.Converged) {
    Info.SteadyStateConverged = false;
    if (Info.Failure.empty())
      Info.Failure = failure;
  }
  Info.SteadySeconds += std::chrono::duration<double>(Clock::now() - started).count();
  // The residual is relative to the total flow; what the value needs is the
  // balance against the unit source at state 1.
  if (report.Converged) {
    double flow = 0;
    system.forEachState([&](std::uint32_t j) { flow += x[j] * chain.exitRate(j); });
    // Besides the residual, rounding can move each flow by its last digit.
    const double imbalance = (report.Residual + std::numeric_limits<double>::epsilon()) * flow;
    if (imbalance > 10 * Options.Epsilon)
      caveat =
          "accuracy not established: the solution balances flows of " + Sci(flow) +
          " against a unit source, so its residual and rounding can shift the value by about " +
          Sci(imbalance) +
          " relative (a stiff chain or a rare event; --method auto solves systems of up to " +
          std::to_string(StateReduction::MaxStates) + " states by state reduction)";
  }
  return report;
}

const ReachabilityGraph& PathSolver::graph() {
  if (!Graph)
    Graph = std::make_unique<ReachabilityGraph>(Matrix);
  return *Graph;
}

bool PathSolver::reduce(std::size_t states) const {
  return Options.SolveMethod == Method::Auto && states <= StateReduction::MaxStates;
}

void PathSolver::noteReduction(std::size_t states) {
  Info.SteadyStateSolved = true;
  Info.TransientStates = std::max<std::uint64_t>(Info.TransientStates, states);
  if (Info.Methods.find("state reduction") == std::string::npos)
    Info.Methods += (Info.Methods.empty() ? "" : ", ") + std::string("state reduction");
}

ChainSolver::Row PathSolver::untilUnbounded(const std::string& name, const Mask& phi,
                                            const Mask& psi) {
  ChainSolver::Row row = SteadyRow(name);
  const Mask zero = graph().probability0(phi, psi);
  const Mask one = graph().probability1(phi, psi, zero);
  if (zero[0] != 0 || one[0] != 0) {
    row.Value = one[0] != 0 ? 1.0 : 0.0;
    return row;
  }
  // Only the states where the value lies strictly between 0 and 1 (and that
  // state 1 reaches) are solved for.
  const Mask reach = graph().reachable();
  Mask absorbing(Matrix.states(), 0);
  for (std::uint32_t i = 0; i < Matrix.states(); i++)
    absorbing[i] = zero[i] != 0 || one[i] != 0 || reach[i] == 0 ? 1 : 0;
  std::vector<std::uint32_t> maybe;
  for (std::uint32_t i = 0; i < Matrix.states(); i++)
    if (absorbing[i] == 0)
      maybe.push_back(i);
  if (reduce(maybe.size())) {
    const StateReduction::Result reduced = StateReduction::Solve(Matrix, maybe, one, 2, nullptr);
    noteReduction(maybe.size());
    row.Value = reduced.Absorbed[1];
    return row;
  }
  const RateMatrix chain = ReachabilityGraph::Absorbing(Matrix, absorbing);
  std::vector<double> x;
  std::string failure, caveat;
  const LinearSystem::Report report = absorption(chain, x, failure, caveat);
  row.Note = caveat;
  double value = 0;
  for (std::uint32_t i = 0; i < chain.states(); i++) {
    if (x[i] == 0.0)
      continue;
    double flow = 0;
    for (std::uint64_t e = chain.rowBegin(i); e < chain.rowEnd(i); e++)
      if (one[chain.column(e)] != 0)
        flow += chain.rate(e);
    value += x[i] * flow;
  }
  row.Value = std::min(value, 1.0);
  if (!report.Converged) {
    row.Valid = false;
    row.Note = "not converged: " + failure;
  }
  return row;
}

ChainSolver::Result PathSolver::untilBounded(const std::string& name, const Mask& phi,
                                             const Mask& psi, const std::vector<double>& times,
                                             bool curves) {
  const Mask zero = graph().probability0(phi, psi);
  if (psi[0] != 0 || zero[0] != 0) {
    // Exact without a transient pass: the path is decided in state 1.
    ChainSolver::Result decided;
    ChainSolver::Curve curve;
    curve.Variable = name;
    for (double t : times) {
      ChainSolver::Row row;
      row.Variable = name;
      row.Type = PVTypeReader::InstantOfTime;
      row.Start = row.Stop = t;
      row.Value = psi[0] != 0 ? 1.0 : 0.0;
      decided.Rows.push_back(row);
      curve.Times.push_back(t);
      curve.Values.push_back(row.Value);
    }
    if (curves)
      decided.Curves.push_back(std::move(curve));
    return decided;
  }
  Mask absorbing(Matrix.states(), 0);
  for (std::uint32_t i = 0; i < Matrix.states(); i++)
    absorbing[i] = psi[i] != 0 || !Holds(phi, i) || zero[i] != 0 ? 1 : 0;
  const RateMatrix chain = ReachabilityGraph::Absorbing(Matrix, absorbing);
  const CompactColumn target = Indicator(psi);
  ChainSolver::Measure measure;
  measure.Name = name;
  measure.Type = PVTypeReader::InstantOfTime;
  for (double t : times)
    measure.Times.push_back({t, t});
  measure.Reward = &target;
  return ChainSolver::Solve(chain, {measure}, Options, Reporter, curves);
}

std::vector<double> PathSolver::transient(const RateMatrix& chain, std::vector<double> p, double t,
                                          double epsilon) {
  const auto started = Clock::now();
  Uniformization::CheckTimes(chain, {{t, false, false}});
  const std::uint32_t n = chain.states();
  const double q = Uniformization::RateOf(chain);
  const FoxGlynn window(q * t, epsilon / 2, epsilon / 2);
  std::vector<double> sum(n, 0.0), next(n, 0.0);
  const double invQ = 1.0 / q;
  const std::uint32_t* column = chain.columns();
  for (std::uint64_t k = 0;; k++) {
    if (k >= window.left()) {
      const double w = window.weight(k);
      for (std::uint32_t j = 0; j < n; j++)
        sum[j] += w * p[j];
    }
    if (k == window.right())
      break;
    std::fill(next.begin(), next.end(), 0.0);
    chain.rates().visit([&](auto rate) {
      chain.exitRates().visit([&](auto exit) {
        for (std::uint32_t j = 0; j < n; j++) {
          const double pj = p[j];
          if (pj == 0.0)
            continue;
          const double share = pj * invQ;
          for (std::uint64_t e = chain.rowBegin(j); e < chain.rowEnd(j); e++)
            next[column[e]] += share * rate(e);
          next[j] += pj - share * exit(j);
        }
      });
    });
    p.swap(next);
    if ((k & 0xFF) == 0 && Reporter.due())
      Reporter.show("transient (interval): step " + std::to_string(k) + " of " +
                    std::to_string(window.right()));
  }
  Info.TransientSolved = true;
  if (Info.Transient.Rate == 0)
    Info.Transient.Rate = q;
  Info.Transient.Steps += window.right();
  Info.Transient.Needed += window.right();
  Info.TransientSeconds += std::chrono::duration<double>(Clock::now() - started).count();
  return sum;
}

ChainSolver::Row PathSolver::untilInterval(const std::string& name, const Mask& phi,
                                           const Mask& psi, double start, double stop) {
  ChainSolver::Row row;
  row.Variable = name;
  row.Type = PVTypeReader::IntervalOfTime;
  row.Start = start;
  row.Stop = stop;
  const std::uint32_t n = Matrix.states();
  // Phase 1: phi all the way to `start` (psi does not end the path yet).
  Mask notPhi(n, 0);
  for (std::uint32_t i = 0; i < n; i++)
    notPhi[i] = Holds(phi, i) ? 0 : 1;
  std::vector<double> p(n, 0.0);
  p[0] = 1.0;
  if (phi.empty()) {
    p = transient(Matrix, std::move(p), start, Options.Epsilon / 2);
  } else {
    p = transient(ReachabilityGraph::Absorbing(Matrix, notPhi), std::move(p), start,
                  Options.Epsilon / 2);
    for (std::uint32_t i = 0; i < n; i++)
      if (notPhi[i] != 0)
        p[i] = 0.0;
  }
  // Phase 2: phi U<=(stop - start) psi from there.
  Mask absorbing(n, 0);
  for (std::uint32_t i = 0; i < n; i++)
    absorbing[i] = psi[i] != 0 || notPhi[i] != 0 ? 1 : 0;
  p = transient(ReachabilityGraph::Absorbing(Matrix, absorbing), std::move(p), stop - start,
                Options.Epsilon / 2);
  double value = 0;
  for (std::uint32_t i = 0; i < n; i++)
    if (psi[i] != 0)
      value += p[i];
  row.Value = std::min(value, 1.0);
  if (row.Value < Options.Epsilon)
    row.Note = "below the accuracy bound " + Short(Options.Epsilon);
  return row;
}

ChainSolver::Row PathSolver::reachReward(const std::string& name, const Mask& psi,
                                         const CompactColumn* reward) {
  ChainSolver::Row row = SteadyRow(name);
  if (psi[0] != 0)
    return row; // nothing accumulates: state 1 satisfies psi
  const Mask zero = graph().probability0({}, psi);
  const Mask one = graph().probability1({}, psi, zero);
  if (one[0] == 0) {
    row.Value = std::numeric_limits<double>::infinity();
    row.Note = zero[0] != 0 ? "never reached from state 1"
                            : "not reached from state 1 with positive probability";
    return row;
  }
  const Mask reach = graph().reachable();
  Mask absorbing(Matrix.states(), 0);
  for (std::uint32_t i = 0; i < Matrix.states(); i++)
    absorbing[i] = psi[i] != 0 || reach[i] == 0 ? 1 : 0;
  std::vector<std::uint32_t> passing;
  for (std::uint32_t i = 0; i < Matrix.states(); i++)
    if (absorbing[i] == 0)
      passing.push_back(i);
  if (reduce(passing.size())) {
    const Mask groups(Matrix.states(), 0);
    row.Value = StateReduction::Solve(Matrix, passing, groups, 1, reward).Reward;
    noteReduction(passing.size());
    return row;
  }
  const RateMatrix chain = ReachabilityGraph::Absorbing(Matrix, absorbing);
  std::vector<double> x;
  std::string failure, caveat;
  const LinearSystem::Report report = absorption(chain, x, failure, caveat);
  row.Note = caveat;
  double value = 0;
  if (reward == nullptr) {
    for (double v : x)
      value += v;
  } else {
    reward->visit([&](auto r) {
      for (std::uint32_t i = 0; i < chain.states(); i++)
        if (x[i] != 0.0)
          value += x[i] * r(i);
    });
  }
  row.Value = value;
  if (!report.Converged) {
    row.Valid = false;
    row.Note = "not converged: " + failure;
  }
  return row;
}
