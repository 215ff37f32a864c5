#include "solver/numeric/SteadyStateSolver.h"

#include <cmath>
#include <sstream>

#include "solver/numeric/DirectSolver.h"
#include "solver/numeric/IterativeSolver.h"
#include "solver/Progress.h"
#include "solver/numeric/RateMatrix.h"
#include "solver/SolverError.h"

namespace {

using Method = SolverOptions::Method;

std::string Sci(double v) {
  std::ostringstream s;
  s.precision(3);
  s << std::scientific << v;
  return s.str();
}

// Solves one system with the method the options choose for its size.
LinearSystem::Report SolveSystem(const LinearSystem& system, const SolverOptions& options,
                                 double* x, double* work, Progress& progress,
                                 const std::string& label, std::string& failure) {
  Method method = options.SolveMethod;
  if (method == Method::Auto && system.size() <= SteadyStateSolver::DirectLimit)
    method = Method::Direct;
  if (method == Method::Direct) {
    if (system.size() > SteadyStateSolver::DirectMaximum)
      throw SolverError(SolverError::InputError,
                        "--method direct: " + label + " has " + std::to_string(system.size()) +
                            " states; the sparse LU factors of such chains fill in until they "
                            "take hours and gigabytes, so the direct method is limited to " +
                            std::to_string(SteadyStateSolver::DirectMaximum) +
                            " states (use --method auto, gs or sor)");
    std::string why;
    LinearSystem::Report report = DirectSolver::Solve(system, options.Epsilon, x, work, why);
    if (report.Converged || options.SolveMethod == Method::Direct) {
      if (!report.Converged)
        failure = label + ": " + why + " (residual " + Sci(report.Residual) + ")";
      return report;
    }
    method = Method::Auto;
  }
  LinearSystem::Report report =
      IterativeSolver::Solve(system, method, options, x, work, progress, label);
  if (!report.Converged) {
    if (!std::isfinite(report.Residual))
      failure = label + ": " + report.Method + " diverged after " +
                std::to_string(report.Iterations) +
                " iterations (values became negative or overflowed" +
                (method == Method::SOR ? "; try a smaller --omega or --method gs)" : ")");
    else
      failure = label + ": " + report.Method + " did not converge within " +
                std::to_string(options.MaxIterations) + " iterations (residual " +
                Sci(report.Residual) + ")";
  }
  return report;
}

void Note(SteadyStateSolver::Result& result, const LinearSystem::Report& report,
          const std::string& failure) {
  result.Iterations += report.Iterations;
  if (!(report.Residual <= result.Residual)) // a NaN or infinite residual too
    result.Residual = report.Residual;
  if (result.Methods.find(report.Method) == std::string::npos)
    result.Methods += (result.Methods.empty() ? "" : ", ") + report.Method;
  if (!report.Converged) {
    result.Converged = false;
    if (result.Failure.empty())
      result.Failure = failure;
  }
}

} // namespace

SteadyStateSolver::Result SteadyStateSolver::Solve(const RateMatrix& matrix,
                                                   const BottomComponents& classes,
                                                   const SolverOptions& options,
                                                   Progress& progress) {
  const std::uint32_t n = matrix.states();
  Result result;
  result.Distribution.assign(n, 0.0);
  double* x = result.Distribution.data();
  std::vector<double> work(n, 0.0);
  result.Classes.resize(classes.classes());
  for (std::uint32_t c = 0; c < classes.classes(); c++)
    result.Classes[c].States = classes.size(c);

  // Where the chain ends from state 1.
  const std::uint32_t first = classes.classOf(0);
  if (first != BottomComponents::Transient) {
    result.Classes[first].Probability = 1.0;
  } else {
    std::string failure;
    LinearSystem system = LinearSystem::Transient(matrix, classes, 0);
    result.Absorption =
        SolveSystem(system, options, x, work.data(), progress, "absorption from state 1", failure);
    Note(result, result.Absorption, failure);
    double total = 0;
    const std::uint32_t* column = matrix.columns();
    matrix.rates().visit([&](auto rate) {
      for (std::size_t t = 0; t < classes.transientCount(); t++) {
        const std::uint32_t i = classes.transientStates()[t];
        if (x[i] == 0.0)
          continue;
        for (std::uint64_t e = matrix.rowBegin(i); e < matrix.rowEnd(i); e++) {
          const std::uint32_t c = classes.classOf(column[e]);
          if (c != BottomComponents::Transient)
            result.Classes[c].Probability += x[i] * rate(e);
        }
      }
    });
    for (const ClassResult& c : result.Classes)
      total += c.Probability;
    if (total > 0)
      for (ClassResult& c : result.Classes)
        c.Probability /= total;
    for (std::size_t t = 0; t < classes.transientCount(); t++)
      x[classes.transientStates()[t]] = 0.0;
  }

  // Each reachable closed class's own distribution, weighted by its
  // probability.
  for (std::uint32_t c = 0; c < classes.classes(); c++) {
    ClassResult& cls = result.Classes[c];
    if (cls.Probability == 0.0)
      continue;
    LinearSystem system = LinearSystem::Closed(matrix, classes.states(c), cls.States);
    if (cls.States == 1) {
      x[system.state(0)] = cls.Probability;
      cls.Solution.Method = "single state";
      cls.Solution.Converged = true;
      continue;
    }
    std::string failure;
    cls.Solution = SolveSystem(system, options, x, work.data(), progress,
                               "closed class " + std::to_string(c + 1), failure);
    Note(result, cls.Solution, failure);
    system.forEachState([&](std::uint32_t j) { x[j] *= cls.Probability; });
  }
  return result;
}
