#include "solver/numeric/IterativeSolver.h"

#include <array>
#include <cmath>
#include <limits>
#include <sstream>
#include <vector>

#include "solver/Progress.h"

namespace {

// Values below this have lost their precision (subnormal doubles start at
// 2.2e-308): their relative change is rounding noise and is not tested.
constexpr double Negligible = 1e-290;

// Keeps in `largest` the largest relative change |d| / |next| of a sweep,
// without a division per state.
// An overflowed value makes it infinite.
inline void Track(double& largest, double d, double next) {
  const double change = std::fabs(d), size = std::fabs(next);
  if (change > largest * size && size > Negligible)
    largest = change / size;
  else if (!(size <= std::numeric_limits<double>::max()))
    largest = std::numeric_limits<double>::infinity();
}

// One Gauss-Seidel/SOR sweep, in increasing or decreasing order of the
// states; returns the largest relative change.
template <bool Closed, bool Contiguous, class Rate, class Exit>
double SweepRows(const LinearSystem& system, Rate rate, Exit exit, double* x, double* in,
                 double omega, bool backward) {
  const RateMatrix& matrix = system.matrix();
  const std::uint32_t* column = matrix.columns();
  const std::uint32_t* states = system.states();
  const std::size_t count = system.size();
  double largest = 0;
  for (std::size_t m = 0; m < count; m++) {
    const std::size_t n = backward ? count - 1 - m : m;
    const std::uint32_t j = Contiguous ? static_cast<std::uint32_t>(n) : states[n];
    double b = in[j];
    if constexpr (!Closed)
      b += system.sourceAt(j);
    const double old = x[j];
    const double target = b / exit(j);
    const double next = omega == 1.0 ? target : old + omega * (target - old);
    const double d = next - old;
    if (d == 0.0)
      continue;
    x[j] = next;
    const std::uint64_t end = matrix.rowEnd(j);
    for (std::uint64_t e = matrix.rowBegin(j); e < end; e++) {
      const std::uint32_t k = column[e];
      if (Closed || system.inside(k))
        in[k] += d * rate(e);
    }
    Track(largest, d, next);
  }
  return largest;
}

// One Jacobi step from the inflow of the previous iterate; returns the
// largest relative change (the caller recomputes the inflow).
double JacobiStep(const LinearSystem& system, double* x, const double* in, double omega) {
  const RateMatrix& matrix = system.matrix();
  double largest = 0;
  matrix.exitRates().visit([&](auto exit) {
    system.forEachState([&](std::uint32_t j) {
      const double old = x[j];
      const double target = (system.sourceAt(j) + in[j]) / exit(j);
      const double next = old + omega * (target - old);
      x[j] = next;
      Track(largest, next - old, next);
    });
  });
  return largest;
}

void Normalise(const LinearSystem& system, double* x) {
  double sum = 0;
  system.forEachState([&](std::uint32_t j) { sum += x[j]; });
  // An over-relaxed start can overshoot to a sum below zero; the iterate
  // then tends to a negative multiple of the solution, which this undoes.
  if (sum != 0 && std::isfinite(sum))
    system.forEachState([&](std::uint32_t j) { x[j] /= sum; });
}

// The contraction rate is measured over this many sweeps.
constexpr std::size_t Window = 16;

std::string Fixed(double v) {
  std::ostringstream s;
  s.precision(v > 0.999 ? 9 : 3);
  s << v;
  return s.str();
}

std::string Sci(double v) {
  std::ostringstream s;
  s.precision(2);
  s << std::scientific << v;
  return s.str();
}

// The block of sweeps after which the inflow is recomputed, a closed
// class's x renormalised, and the adaptive relaxation decides.
constexpr std::uint64_t Block = 16;
constexpr double TrialOmegas[] = {1.2, 1.1};

// Adaptive relaxation (Method::Auto): Gauss-Seidel for two blocks, whose
// second block's residual reduction is the rate to beat; then SOR with each
// trial omega for one block, kept if it reduces the residual by more than
// Gauss-Seidel did. A rejected block is undone (x goes back to the last
// checkpoint). Kept SOR must reduce the residual every block, or is undone
// and Gauss-Seidel goes on.
class Relaxation {
public:
  Relaxation(const LinearSystem& system, bool adaptive, double omega)
      : System(system), Adaptive(adaptive), Omega(adaptive ? 1.0 : omega) {
    if (Adaptive)
      Saved.resize(system.size());
  }
  double omega() const { return Omega; }
  std::string method() const {
    if (!Adaptive)
      return "";
    if (Stage == Kept || (Stage == Trial && Omega != 1.0))
      return "sor (omega " + Text(Omega) + ")";
    return Tried ? "gs (sor tried)" : "gs";
  }

  // At a block's end, with the residual of the renormalised x; true when x
  // was restored (the caller recomputes the inflow).
  bool blockEnd(double* x, double residual) {
    if (!Adaptive)
      return false;
    switch (Stage) {
    case First:
      Stage = Second;
      break;
    case Second:
      GsRatio = residual / Previous;
      save(x, residual);
      Omega = TrialOmegas[0];
      Tried = true;
      Stage = Trial;
      break;
    case Trial:
      if (std::isfinite(residual) && residual / SavedResidual < GsRatio) {
        save(x, residual);
        Stage = Kept;
      } else {
        restore(x);
        Next++;
        if (Next < std::size(TrialOmegas)) {
          Omega = TrialOmegas[Next];
        } else {
          Omega = 1.0;
          Stage = Plain;
        }
        Previous = SavedResidual;
        return true;
      }
      break;
    case Kept:
      if (std::isfinite(residual) && residual < SavedResidual) {
        save(x, residual);
      } else {
        restore(x);
        Omega = 1.0;
        Stage = Plain;
        Previous = SavedResidual;
        return true;
      }
      break;
    case Plain:
      break;
    }
    Previous = residual;
    return false;
  }

private:
  enum StageKind { First, Second, Trial, Kept, Plain };
  static std::string Text(double v) {
    std::ostringstream s;
    s << v;
    return s.str();
  }
  void save(const double* x, double residual) {
    for (std::size_t n = 0; n < System.size(); n++)
      Saved[n] = x[System.state(n)];
    SavedResidual = residual;
  }
  void restore(double* x) const {
    for (std::size_t n = 0; n < System.size(); n++)
      x[System.state(n)] = Saved[n];
  }

  const LinearSystem& System;
  bool Adaptive;
  double Omega;
  StageKind Stage = First;
  std::size_t Next = 0;
  bool Tried = false;
  double Previous = 0, GsRatio = 1, SavedResidual = 0;
  std::vector<double> Saved;
};

} // namespace

LinearSystem::Report IterativeSolver::Solve(const LinearSystem& system,
                                            SolverOptions::Method method,
                                            const SolverOptions& options, double* x, double* work,
                                            Progress& progress, const std::string& label,
                                            std::uint64_t probe, bool* slow, bool resume) {
  if (method == SolverOptions::Method::Multilevel)
    method = SolverOptions::Method::Auto;
  LinearSystem::Report report;
  const bool adaptive = method == SolverOptions::Method::Auto;
  Relaxation relaxation(system, adaptive, options.omegaFor(method));
  auto methodName = [&]() {
    return adaptive ? relaxation.method() : std::string(SolverOptions::MethodName(method));
  };
  const double epsilon = options.Epsilon;
  const double tolerance = 10 * epsilon;

  const double start = system.closed() ? 1.0 / double(system.size()) : 0.0;
  if (!resume)
    system.forEachState([&](std::uint32_t j) { x[j] = start; });
  system.inflow(x, work);
  // The changes of the last Window + 1 sweeps, for the contraction rate.
  std::array<double, Window + 1> changes{};
  changes.fill(std::numeric_limits<double>::infinity());

  for (std::uint64_t it = 1; it <= options.MaxIterations; it++) {
    const double omega = relaxation.omega();
    double change;
    if (method == SolverOptions::Method::Jacobi) {
      change = JacobiStep(system, x, work, omega);
      if (system.closed())
        Normalise(system, x);
      system.inflow(x, work);
    } else {
      change = Sweep(system, x, work, omega);
      if (it % Block == 0) {
        if (system.closed())
          Normalise(system, x);
        // residual() recomputes the inflow from scratch: no drift.
        if (relaxation.blockEnd(x, system.residual(x, work))) {
          system.inflow(x, work);
          // The block was undone: its changes mean nothing, and the
          // contraction is measured afresh.
          changes.fill(std::numeric_limits<double>::infinity());
          continue;
        }
      } else if (change <= epsilon) {
        if (system.closed())
          Normalise(system, x);
        system.inflow(x, work);
      }
    }
    report.Iterations = it;
    if (!std::isfinite(change) && !adaptive) // overflow: the iteration diverges
      break;
    changes[it % (Window + 1)] = change;
    if (probe > 0 && it >= probe && it % Block == 0 && slow != nullptr &&
        std::isfinite(changes[(it + 1) % (Window + 1)])) {
      probe = 0; // measured once
      LinearSystem::Report rate;
      EstimateError(rate, change, changes[(it + 1) % (Window + 1)], Window);
      const double needed = IterationsNeeded(rate, epsilon);
      if (needed > double(SlowSweeps)) {
        *slow = true;
        report.Contraction = rate.Contraction;
        report.ErrorEstimate = rate.ErrorEstimate;
        report.Residual = system.residual(x, work);
        report.Method = methodName();
        return report;
      }
    }
    if (change <= epsilon) {
      EstimateError(report, change, changes[(it + 1) % (Window + 1)], Window);
      report.Residual = system.residual(x, work);
      if (report.Residual <= tolerance && report.ErrorEstimate <= epsilon) {
        system.clampNegative(x);
        report.Converged = true;
        report.Method = methodName();
        return report;
      }
    }
    if (progress.due())
      progress.show(label + ", " + methodName() + ": iteration " + std::to_string(it) +
                    ", relative change " + Sci(change));
  }
  if (system.closed())
    Normalise(system, x);
  const std::uint64_t done = report.Iterations;
  EstimateError(report, changes[done % (Window + 1)], changes[(done + 1) % (Window + 1)], Window);
  report.Residual = system.residual(x, work);
  report.Method = methodName();
  return report;
}

double IterativeSolver::Sweep(const LinearSystem& system, double* x, double* in, double omega,
                              bool backward) {
  return system.matrix().rates().visit([&](auto rate) {
    return system.matrix().exitRates().visit([&](auto exit) {
      if (!system.closed())
        return SweepRows<false, false>(system, rate, exit, x, in, omega, backward);
      if (system.states() == nullptr)
        return SweepRows<true, true>(system, rate, exit, x, in, omega, backward);
      return SweepRows<true, false>(system, rate, exit, x, in, omega, backward);
    });
  });
}

void IterativeSolver::EstimateError(LinearSystem::Report& report, double change, double older,
                                    std::size_t window) {
  if (change == 0.0) {
    report.Contraction = 0;
    report.ErrorEstimate = 0;
    return;
  }
  if (!std::isfinite(older) || !(older > 0)) {
    report.Contraction = 1;
    report.ErrorEstimate = std::numeric_limits<double>::infinity();
    return;
  }
  const double rho = std::pow(change / older, 1.0 / double(window));
  report.Contraction = rho;
  report.ErrorEstimate =
      rho < 1 ? change * rho / (1 - rho) : std::numeric_limits<double>::infinity();
}

double IterativeSolver::IterationsNeeded(const LinearSystem::Report& report, double epsilon) {
  if (report.ErrorEstimate <= epsilon)
    return 0.0;
  if (!(report.Contraction > 0 && report.Contraction < 1))
    return std::numeric_limits<double>::infinity();
  return std::log(epsilon / report.ErrorEstimate) / std::log(report.Contraction);
}

std::string IterativeSolver::EstimateText(const LinearSystem::Report& report) {
  if (!(report.Contraction > 0) || report.Iterations == 0)
    return "";
  if (!(report.Contraction < 1))
    return "; not contracting";
  return "; contraction " + Fixed(report.Contraction) +
         (report.Method == "multilevel" ? " per cycle" : " per sweep") + ", estimated error " +
         Sci(report.ErrorEstimate);
}
