#include "solver/IterativeSolver.h"

#include <cmath>
#include <limits>
#include <sstream>

#include "solver/Progress.h"

namespace {

constexpr std::uint64_t RefreshEvery = 32;

// One Gauss-Seidel/SOR sweep; returns the largest relative change. The
// exit rate of a state is added up from its row, which the push reads next.
template <bool Closed, bool Contiguous, class Rate>
double Sweep(const LinearSystem& system, Rate rate, double* x, double* in, double omega) {
  const RateMatrix& matrix = system.matrix();
  const std::uint32_t* column = matrix.columns();
  const std::uint32_t* states = system.states();
  const std::size_t count = system.size();
  double largest = 0;
  for (std::size_t n = 0; n < count; n++) {
    const std::uint32_t j = Contiguous ? static_cast<std::uint32_t>(n) : states[n];
    const std::uint64_t begin = matrix.rowBegin(j);
    const std::uint64_t end = matrix.rowEnd(j);
    double exitRate = 0;
    for (std::uint64_t e = begin; e < end; e++)
      exitRate += rate(e);
    double b = in[j];
    if constexpr (!Closed)
      b += system.sourceAt(j);
    const double old = x[j];
    const double target = b / exitRate;
    const double next = omega == 1.0 ? target : old + omega * (target - old);
    const double d = next - old;
    if (d == 0.0)
      continue;
    x[j] = next;
    for (std::uint64_t e = begin; e < end; e++) {
      const std::uint32_t k = column[e];
      if (Closed || system.inside(k))
        in[k] += d * rate(e);
    }
    const double change = std::fabs(d);
    if (change > largest * std::fabs(next))
      largest = next != 0.0 ? change / std::fabs(next) : std::numeric_limits<double>::infinity();
  }
  return largest;
}

// One Jacobi step from the inflow of the previous iterate; returns the
// largest relative change (the caller recomputes the inflow).
double JacobiStep(const LinearSystem& system, double* x, const double* in, double omega) {
  const RateMatrix& matrix = system.matrix();
  double largest = 0;
  matrix.rates().visit([&](auto rate) {
    system.forEachState([&](std::uint32_t j) {
      double exitRate = 0;
      for (std::uint64_t e = matrix.rowBegin(j); e < matrix.rowEnd(j); e++)
        exitRate += rate(e);
      const double old = x[j];
      const double target = (system.sourceAt(j) + in[j]) / exitRate;
      const double next = old + omega * (target - old);
      const double change = std::fabs(next - old);
      x[j] = next;
      if (change > largest * std::fabs(next))
        largest = next != 0.0 ? change / std::fabs(next) : std::numeric_limits<double>::infinity();
    });
  });
  return largest;
}

void Normalise(const LinearSystem& system, double* x) {
  double sum = 0;
  system.forEachState([&](std::uint32_t j) { sum += x[j]; });
  if (sum > 0 && std::isfinite(sum))
    system.forEachState([&](std::uint32_t j) { x[j] /= sum; });
}

std::string Sci(double v) {
  std::ostringstream s;
  s.precision(2);
  s << std::scientific << v;
  return s.str();
}

} // namespace

LinearSystem::Report IterativeSolver::Solve(const LinearSystem& system,
                                            SolverOptions::Method method,
                                            const SolverOptions& options, double* x, double* work,
                                            Progress& progress, const std::string& label) {
  LinearSystem::Report report;
  report.Method = SolverOptions::MethodName(method);
  const double omega = options.omegaFor(method);
  const double epsilon = options.Epsilon;
  const double tolerance = 10 * epsilon;
  const double start = system.closed() ? 1.0 / double(system.size()) : 0.0;
  system.forEachState([&](std::uint32_t j) { x[j] = start; });
  system.inflow(x, work);

  for (std::uint64_t it = 1; it <= options.MaxIterations; it++) {
    double change;
    if (method == SolverOptions::Method::Jacobi) {
      change = JacobiStep(system, x, work, omega);
      if (system.closed())
        Normalise(system, x);
      system.inflow(x, work);
    } else {
      change = system.matrix().rates().visit([&](auto rate) {
        if (!system.closed())
          return Sweep<false, false>(system, rate, x, work, omega);
        if (system.states() == nullptr)
          return Sweep<true, true>(system, rate, x, work, omega);
        return Sweep<true, false>(system, rate, x, work, omega);
      });
      if (it % RefreshEvery == 0 || change <= epsilon) {
        if (system.closed())
          Normalise(system, x);
        system.inflow(x, work);
      }
    }
    report.Iterations = it;
    if (!std::isfinite(change)) // overflow: the iteration diverges
      break;
    if (change <= epsilon) {
      report.Residual = system.residual(x, work);
      if (report.Residual <= tolerance) {
        system.clampNegative(x);
        report.Converged = true;
        return report;
      }
    }
    if (progress.due())
      progress.show(label + " (" + report.Method + "): iteration " + std::to_string(it) +
                    ", relative change " + Sci(change));
  }
  if (system.closed())
    Normalise(system, x);
  report.Residual = system.residual(x, work);
  return report;
}
