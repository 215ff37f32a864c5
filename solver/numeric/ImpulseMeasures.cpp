#include "solver/numeric/ImpulseMeasures.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "solver/Progress.h"
#include "solver/numeric/DirectSolver.h"
#include "solver/numeric/FoxGlynn.h"
#include "solver/numeric/IterativeSolver.h"
#include "solver/numeric/RateMatrix.h"
#include "solver/numeric/SteadyStateSolver.h"

namespace {

// Mass left out below a window of a precise request (as Uniformization).
constexpr double LeftEpsilon = 1e-200;

} // namespace

double ImpulseMeasures::Largest(const RateMatrix& matrix, const double* selfLoopRates,
                                const ImpReader::Variable& impulses) {
  double most = 0;
  for (std::uint32_t i = 0; i < matrix.states(); i++) {
    const double exit = matrix.exitRate(i) + selfLoopRates[i];
    if (exit <= 0)
      continue;
    double sum = 0;
    for (std::uint64_t e = impulses.LastStart[i]; e < impulses.LastStart[i + 1]; e++)
      sum += std::fabs(impulses.Last[e]);
    most = std::max(most, sum / exit);
  }
  return most;
}

std::vector<std::vector<double>>
ImpulseMeasures::Instant(const RateMatrix& matrix, const double* selfLoopRates,
                         const std::vector<const ImpReader::Variable*>& variables,
                         const std::vector<Uniformization::Request>& requests, double epsilon,
                         Progress& progress, Report& report) {
  Uniformization::CheckTimes(matrix, requests);
  const std::uint32_t n = matrix.states();
  const std::size_t count = variables.size();
  report = Report();

  // q from the completion rates, self-loops included.
  double most = 0;
  for (std::uint32_t j = 0; j < n; j++)
    most = std::max(most, matrix.exitRate(j) + selfLoopRates[j]);
  const double q = most > 0 ? 1.02 * most : 1.0;
  const double invQ = 1.0 / q;
  report.Rate = q;
  std::vector<double> decay(n);
  for (std::uint32_t j = 0; j < n; j++)
    decay[j] = 1.0 - (matrix.exitRate(j) + selfLoopRates[j]) * invQ;

  std::vector<std::unique_ptr<FoxGlynn>> windows;
  std::uint64_t last = 0;
  for (const Uniformization::Request& r : requests) {
    windows.push_back(
        std::make_unique<FoxGlynn>(q * r.Time, r.Coarse ? epsilon / 2 : LeftEpsilon, epsilon / 2));
    last = std::max(last, windows.back()->right());
  }

  std::vector<std::vector<double>> values(requests.size(), std::vector<double>(count, 0.0));
  std::vector<double> p(n, 0.0), next(n, 0.0);
  std::vector<std::vector<double>> m(count, std::vector<double>(n, 0.0));
  p[0] = 1.0;
  const std::uint32_t* column = matrix.columns();

  for (std::uint64_t k = 0;; k++) {
    for (std::size_t v = 0; v < count; v++) {
      double mass = 0;
      for (std::uint32_t j = 0; j < n; j++)
        mass += m[v][j];
      for (std::size_t r = 0; r < requests.size(); r++) {
        const FoxGlynn& fg = *windows[r];
        if (k >= fg.left() && k <= fg.right())
          values[r][v] += fg.weight(k) * mass;
      }
    }
    if (k == last) {
      report.Steps = k;
      return values;
    }

    // m_{k+1} = m_k (I - D/q) + p_k L / q, then p_{k+1} = p_k (I + Q/q).
    for (std::size_t v = 0; v < count; v++) {
      const ImpReader::Variable& impulses = *variables[v];
      std::vector<double>& mv = m[v];
      for (std::uint32_t j = 0; j < n; j++)
        mv[j] *= decay[j];
      for (std::uint32_t i = 0; i < n; i++) {
        const double share = p[i] * invQ;
        if (share == 0.0)
          continue;
        for (std::uint64_t e = impulses.LastStart[i]; e < impulses.LastStart[i + 1]; e++)
          mv[impulses.LastTarget[e]] += share * impulses.Last[e];
      }
    }
    std::fill(next.begin(), next.end(), 0.0);
    matrix.rates().visit([&](auto rate) {
      for (std::uint32_t j = 0; j < n; j++) {
        const double pj = p[j];
        if (pj == 0.0)
          continue;
        const double share = pj * invQ;
        for (std::uint64_t e = matrix.rowBegin(j); e < matrix.rowEnd(j); e++)
          next[column[e]] += share * rate(e);
        next[j] += pj - share * matrix.exitRate(j);
      }
    });
    p.swap(next);
    if ((k & 0xFF) == 0 && progress.due())
      progress.show("impulses at instants: step " + std::to_string(k) + " of " +
                    std::to_string(last));
  }
}

double ImpulseMeasures::SteadyMass(const RateMatrix& matrix, const double* selfLoopRates,
                                   const ImpReader::Variable& impulses,
                                   const std::vector<double>& pi, const double* x,
                                   std::uint32_t& absorbing) {
  const std::uint32_t n = matrix.states();
  absorbing = UINT32_MAX;
  std::vector<double> inflow(n, 0.0);
  for (std::uint32_t i = 0; i < n; i++) {
    // Transient states (pi 0) still matter for a state without completions.
    for (std::uint64_t e = impulses.LastStart[i]; e < impulses.LastStart[i + 1]; e++) {
      const std::uint32_t j = impulses.LastTarget[e];
      if (matrix.exitRate(j) + selfLoopRates[j] == 0.0) {
        if (x != nullptr)
          inflow[j] += x[i] * impulses.Last[e];
        else if (pi[j] > 0 && j != i)
          absorbing = std::min(absorbing, j);
        continue;
      }
      inflow[j] += pi[i] * impulses.Last[e];
    }
  }
  double mass = 0;
  for (std::uint32_t j = 0; j < n; j++) {
    const double exit = matrix.exitRate(j) + selfLoopRates[j];
    if (exit > 0)
      mass += inflow[j] / exit;
    else
      mass += inflow[j];
  }
  return mass;
}

double ImpulseMeasures::LongRunRate(const ImpReader::Variable& impulses,
                                    const std::vector<double>& pi) {
  double rate = 0;
  for (std::size_t i = 0; i < pi.size(); i++)
    if (pi[i] != 0.0)
      rate += pi[i] * impulses.Rate[i];
  return rate;
}

LinearSystem::Report ImpulseMeasures::AbsorptionTimes(const RateMatrix& matrix,
                                                      const BottomComponents& classes,
                                                      const SolverOptions& options,
                                                      Progress& progress, std::vector<double>& x,
                                                      std::string& failure) {
  x.assign(matrix.states(), 0.0);
  std::vector<double> work(matrix.states(), 0.0);
  if (classes.classOf(0) != BottomComponents::Transient) {
    LinearSystem::Report none;
    none.Method = "none needed";
    none.Converged = true;
    return none;
  }
  const LinearSystem system = LinearSystem::Transient(matrix, classes, 0);
  LinearSystem::Report report;
  if (system.size() <= SteadyStateSolver::DirectLimit) {
    report = DirectSolver::Solve(system, options.Epsilon, x.data(), work.data(), failure);
    if (report.Converged)
      return report;
  }
  SolverOptions::Method method = options.SolveMethod;
  if (method == SolverOptions::Method::Direct)
    method = SolverOptions::Method::Auto;
  report = IterativeSolver::Solve(system, method, options, x.data(), work.data(), progress,
                                  "absorption times for impulses");
  if (!report.Converged)
    failure = "absorption times for impulses: " + report.Method + " did not converge";
  return report;
}
