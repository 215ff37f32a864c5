#include "solver/numeric/DirectSolver.h"

#include "solver/numeric/GthSolver.h"

LinearSystem::Report DirectSolver::Solve(const LinearSystem& system, double /*epsilon*/, double* x,
                                         double* work, std::string& failure) {
  LinearSystem::Report report = GthSolver::Solve(system, x, work, failure);
  report.Method = "direct";
  return report;
}
