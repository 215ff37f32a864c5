#include "solver/numeric/DirectSolver.h"

#include <Eigen/Sparse>
#include <Eigen/SparseLU>
#include <algorithm>
#include <cmath>
#include <vector>

LinearSystem::Report DirectSolver::Solve(const LinearSystem& system, double epsilon, double* x,
                                         double* work, std::string& failure) {
  LinearSystem::Report report;
  report.Method = "direct";
  const RateMatrix& matrix = system.matrix();
  const std::uint32_t* states = system.states();
  const std::size_t count = system.size();
  const int m = static_cast<int>(count);
  auto local = [&](std::uint32_t state) {
    if (states == nullptr)
      return static_cast<int>(state);
    return static_cast<int>(std::lower_bound(states, states + count, state) - states);
  };

  // Equation k (row) collects the inflow into state k: column j holds q_jk,
  // the diagonal -q_k. A closed class's last equation is replaced: by
  // x_last = 1 (normalised afterwards), or, when `sumRow`, by sum x = 1.
  const int last = m - 1;
  auto solve = [&](bool sumRow, Eigen::VectorXd& y) -> bool {
    const int replaced = system.closed() ? last : -1;
    std::vector<Eigen::Triplet<double>> entries;
    entries.reserve(count * 4);
    matrix.rates().visit([&](auto rate) {
      for (int lj = 0; lj < m; lj++) {
        const std::uint32_t j = system.state(lj);
        if (lj != replaced)
          entries.emplace_back(lj, lj, -matrix.exitRate(j));
        for (std::uint64_t e = matrix.rowBegin(j); e < matrix.rowEnd(j); e++) {
          const std::uint32_t k = matrix.column(e);
          if (!system.inside(k))
            continue;
          const int lk = local(k);
          if (lk != replaced)
            entries.emplace_back(lk, lj, rate(e));
        }
      }
    });
    Eigen::VectorXd rhs = Eigen::VectorXd::Zero(m);
    if (system.closed()) {
      if (sumRow) {
        for (int c = 0; c < m; c++)
          entries.emplace_back(last, c, 1.0);
      } else {
        entries.emplace_back(last, last, 1.0);
      }
      rhs[last] = 1.0;
    } else {
      rhs[local(system.source())] = -1.0;
    }
    Eigen::SparseMatrix<double> a(m, m);
    a.setFromTriplets(entries.begin(), entries.end());
    std::vector<Eigen::Triplet<double>>().swap(entries);
    a.makeCompressed();

    Eigen::SparseLU<Eigen::SparseMatrix<double>, Eigen::COLAMDOrdering<int>> lu;
    lu.analyzePattern(a);
    lu.factorize(a);
    if (lu.info() != Eigen::Success) {
      failure = "sparse LU factorisation failed: " + lu.lastErrorMessage();
      return false;
    }
    y = lu.solve(rhs);
    if (lu.info() != Eigen::Success) {
      failure = "sparse LU solve failed";
      return false;
    }
    return true;
  };
  auto accept = [&](const Eigen::VectorXd& y) {
    double sum = 0;
    for (int l = 0; l < m; l++) {
      x[system.state(l)] = y[l];
      sum += y[l];
    }
    if (system.closed() && sum != 0 && std::isfinite(sum))
      for (int l = 0; l < m; l++)
        x[system.state(l)] /= sum;
    report.Residual = system.residual(x, work);
    report.Converged = report.Residual <= 10 * epsilon;
  };

  // x_last = 1 keeps the factors sparse, but when the last state is far less
  // likely than others (the truncated tail of a queue, 1e-300 of the mass)
  // their values overflow or drown in rounding: then sum x = 1 instead.
  Eigen::VectorXd y;
  if (!solve(false, y))
    return report;
  accept(y);
  if (!report.Converged && system.closed()) {
    if (!solve(true, y))
      return report;
    accept(y);
  }
  system.clampNegative(x);
  if (!report.Converged)
    failure = "the direct solution's residual is above the tolerance";
  return report;
}
