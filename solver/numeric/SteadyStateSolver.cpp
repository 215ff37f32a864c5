#include "solver/numeric/SteadyStateSolver.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <sstream>

#include "solver/Progress.h"
#include "solver/SolverError.h"
#include "solver/numeric/DirectSolver.h"
#include "solver/numeric/GthSolver.h"
#include "solver/numeric/IterativeSolver.h"
#include "solver/numeric/MultilevelSolver.h"
#include "solver/numeric/RateMatrix.h"

namespace {

using Method = SolverOptions::Method;

std::string Sci(double v) {
  std::ostringstream s;
  s.precision(3);
  s << std::scientific << v;
  return s.str();
}

std::string Short(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2g", v);
  return text;
}

// max rate / min rate over the transitions of a system's states (1 when it
// has none): how stiff the system is.
double RateSpread(const LinearSystem& system) {
  const RateMatrix& matrix = system.matrix();
  double lowest = std::numeric_limits<double>::infinity(), highest = 0;
  matrix.rates().visit([&](auto rate) {
    system.forEachState([&](std::uint32_t j) {
      for (std::uint64_t e = matrix.rowBegin(j); e < matrix.rowEnd(j); e++) {
        const double r = rate(e);
        lowest = std::min(lowest, r);
        highest = std::max(highest, r);
      }
    });
  });
  return highest > 0 ? highest / lowest : 1.0;
}

// Which method `auto` takes for a system, and why (for the summary).
Method AutoMethod(const LinearSystem& system, std::string& why) {
  const std::size_t size = system.size();
  if (size <= SteadyStateSolver::DirectLimit) {
    why = "direct (GTH elimination), " + std::to_string(size) + " states (up to " +
          std::to_string(SteadyStateSolver::DirectLimit) + " are eliminated)";
    return Method::Direct;
  }
  const double spread = size <= SteadyStateSolver::DirectMaximum ? RateSpread(system) : 0.0;
  if (size <= SteadyStateSolver::DirectMaximum && spread >= SteadyStateSolver::StiffSpread) {
    why = "direct (GTH elimination), " + std::to_string(size) + " states, rates spread over " +
          Short(spread) + " (stiff: an iteration converges too slowly to be trusted)";
    return Method::Direct;
  }
  why = "iteration, " + std::to_string(size) + " states" +
        (size <= SteadyStateSolver::DirectMaximum
             ? ", rates spread over " + Short(spread) + " only (not stiff)"
             : " (more than " + std::to_string(SteadyStateSolver::DirectMaximum) +
                   " are not eliminated)");
  return Method::Auto;
}

std::string NotConverged(const std::string& label, const LinearSystem::Report& report,
                         const SolverOptions& options) {
  const std::string limit = std::to_string(options.MaxIterations) + " iterations";
  return label + ": " + report.Method +
         (report.Iterations < options.MaxIterations
              ? " stopped after " + std::to_string(report.Iterations) +
                    " iterations, too slow to converge within " + limit
              : " did not converge within " + limit) +
         " (residual " + Sci(report.Residual) + IterativeSolver::EstimateText(report) + ")";
}

// Solves one system with the method the options choose for it.
LinearSystem::Report SolveSystem(const LinearSystem& system, const SolverOptions& options,
                                 double* x, double* work, Progress& progress,
                                 const std::string& label, std::string& failure,
                                 std::string& choice) {
  Method method = options.SolveMethod;
  if (method == Method::Auto) {
    std::string why;
    method = AutoMethod(system, why);
    choice = label + ": " + why;
  }
  if (method == Method::Direct) {
    if (!GthSolver::Fits(system))
      throw SolverError(SolverError::InputError,
                        "--method direct: " + label + " has " + std::to_string(system.size()) +
                            " states; the exact elimination keeps a dense array of 8 bytes per "
                            "pair of states, so it is limited to " +
                            std::to_string(SteadyStateSolver::DirectMaximum) +
                            " states, or to narrowly banded systems (use --method auto, gs or "
                            "sor)");
    if (progress.due())
      progress.show(label + ": eliminating " + std::to_string(system.size()) + " states");
    std::string why;
    LinearSystem::Report report = DirectSolver::Solve(system, options.Epsilon, x, work, why);
    if (!report.Converged)
      failure = label + ": " + why;
    return report;
  }
  if (method == Method::Multilevel && system.closed()) {
    const double start = 1.0 / double(system.size());
    system.forEachState([&](std::uint32_t j) { x[j] = start; });
    LinearSystem::Report report =
        MultilevelSolver::Solve(system, options, x, work, progress, label);
    if (!report.Converged)
      failure = NotConverged(label, report, options);
    return report;
  }
  // auto: an iteration on a closed class that contracts too slowly goes on
  // by multilevel aggregation from its iterate.
  bool slow = false;
  const bool probe = options.SolveMethod == Method::Auto && system.closed();
  LinearSystem::Report report =
      IterativeSolver::Solve(system, method, options, x, work, progress, label,
                             probe ? SteadyStateSolver::ProbeSweeps : 0, &slow);
  if (slow) {
    const std::uint64_t sweeps = report.Iterations;
    choice += "; after " + std::to_string(sweeps) + " sweeps (" + report.Method +
              ") the contraction per sweep was " + Short(report.Contraction) +
              ", too slow, so multilevel aggregation";
    SolverOptions budget = options;
    budget.MaxIterations =
        std::max<std::uint64_t>(1, options.MaxIterations / SteadyStateSolver::SweepsPerCycle);
    report = MultilevelSolver::Solve(system, budget, x, work, progress, label);
    if (!report.Converged && options.MaxIterations > sweeps) {
      // Aggregation does not help this chain: the iteration goes on from
      // where the aggregation left x, with the sweeps left.
      choice += ", which contracted by only " + Short(report.Contraction) + " per cycle in " +
                std::to_string(report.Iterations) + " cycles, so the iteration again";
      budget.MaxIterations = options.MaxIterations - sweeps;
      report = IterativeSolver::Solve(system, Method::Auto, budget, x, work, progress, label, 0,
                                      nullptr, true);
    }
    report.Iterations += sweeps;
  }
  if (!report.Converged && options.SolveMethod == Method::Auto && GthSolver::Fits(system)) {
    // The iteration could not establish its accuracy (a nearly
    // decomposable chain whose rates look ordinary): eliminate instead.
    std::string why;
    choice += "; the iteration did not converge (" + report.Method + ", " +
              std::to_string(report.Iterations) +
              (report.Method == "multilevel" ? " sweeps and cycles" : " sweeps") +
              IterativeSolver::EstimateText(report) + "), so direct (GTH elimination)";
    const std::uint64_t sweeps = report.Iterations;
    report = DirectSolver::Solve(system, options.Epsilon, x, work, why);
    report.Iterations = sweeps;
    if (!report.Converged)
      failure = label + ": " + why;
    return report;
  }
  if (!report.Converged) {
    if (!std::isfinite(report.Residual))
      failure = label + ": " + report.Method + " diverged after " +
                std::to_string(report.Iterations) +
                " iterations (values became negative or overflowed" +
                (method == Method::SOR ? "; try a smaller --omega or --method gs)" : ")");
    else
      failure = NotConverged(label, report, options);
  }
  return report;
}

void Note(SteadyStateSolver::Result& result, const LinearSystem::Report& report,
          const std::string& failure) {
  result.Iterations += report.Iterations;
  if (!(report.ErrorEstimate <= result.ErrorEstimate))
    result.ErrorEstimate = report.ErrorEstimate;
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

void Choose(SteadyStateSolver::Result& result, const std::string& choice) {
  if (choice.empty())
    return;
  result.Choices += (result.Choices.empty() ? "" : "; ") + choice;
}

// The closed classes reachable from state 1, by a search over the
// transient states (O(states + transitions) at most).
std::vector<std::uint32_t> ReachableClasses(const RateMatrix& matrix,
                                            const BottomComponents& classes) {
  std::vector<std::uint32_t> reached;
  if (matrix.states() == 0)
    return reached;
  if (classes.classOf(0) != BottomComponents::Transient) {
    reached.push_back(classes.classOf(0));
    return reached;
  }
  std::vector<bool> seen(matrix.states(), false), classSeen(classes.classes(), false);
  std::vector<std::uint32_t> stack{0};
  seen[0] = true;
  while (!stack.empty()) {
    const std::uint32_t i = stack.back();
    stack.pop_back();
    for (std::uint64_t e = matrix.rowBegin(i); e < matrix.rowEnd(i); e++) {
      const std::uint32_t k = matrix.column(e);
      const std::uint32_t c = classes.classOf(k);
      if (c != BottomComponents::Transient) {
        if (!classSeen[c]) {
          classSeen[c] = true;
          reached.push_back(c);
        }
      } else if (!seen[k]) {
        seen[k] = true;
        stack.push_back(k);
      }
    }
  }
  return reached;
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
  const std::vector<std::uint32_t> reached = ReachableClasses(matrix, classes);
  if (first != BottomComponents::Transient) {
    result.Classes[first].Probability = 1.0;
  } else if (reached.size() == 1) {
    // One closed class reachable: the chain ends in it with probability 1.
    result.Classes[reached[0]].Probability = 1.0;
    result.Absorption.Method = "one closed class reachable";
    result.Absorption.Converged = true;
  } else {
    std::string failure, choice;
    LinearSystem system = LinearSystem::Transient(matrix, classes, 0);
    result.Absorption = SolveSystem(system, options, x, work.data(), progress,
                                    "absorption from state 1", failure, choice);
    Choose(result, choice);
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
    std::string failure, choice;
    cls.Solution = SolveSystem(system, options, x, work.data(), progress,
                               "closed class " + std::to_string(c + 1), failure, choice);
    Choose(result, choice);
    Note(result, cls.Solution, failure);
    system.forEachState([&](std::uint32_t j) { x[j] *= cls.Probability; });
  }
  return result;
}
