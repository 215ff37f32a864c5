#include "solver/numeric/GthSolver.h"

#include <algorithm>
#include <cassert>
#include <vector>

LinearSystem::Report GthSolver::Solve(const LinearSystem& system, double* x, double* work,
                                      std::string& failure) {
  LinearSystem::Report report;
  report.Method = "gth";
  const RateMatrix& matrix = system.matrix();
  const std::uint32_t* states = system.states();
  const std::size_t m = system.size();
  assert(m <= Maximum && "the caller keeps GTH to systems its dense array can hold");
  const bool closed = system.closed();
  auto local = [&](std::uint32_t state) {
    if (states == nullptr)
      return static_cast<std::size_t>(state);
    return static_cast<std::size_t>(std::lower_bound(states, states + m, state) - states);
  };

  // The rates inside the system, the rates out of it and the source.
  std::vector<double> a(m * m, 0.0), out(m, 0.0), source(m, 0.0);
  matrix.rates().visit([&](auto rate) {
    for (std::size_t i = 0; i < m; i++) {
      const std::uint32_t state = system.state(i);
      source[i] = system.sourceAt(state);
      double* row = a.data() + i * m;
      for (std::uint64_t e = matrix.rowBegin(state); e < matrix.rowEnd(state); e++) {
        const std::uint32_t k = matrix.column(e);
        if (system.inside(k))
          row[local(k)] += rate(e);
        else
          out[i] += rate(e);
      }
    }
  });

  // Elimination from the last state down; pivot[k] is k's exit rate in the
  // chain censored on 0..k.
  std::vector<double> pivot(m, 0.0);
  std::vector<std::size_t> rowNonZero, columnNonZero;
  rowNonZero.reserve(m);
  columnNonZero.reserve(m);
  const std::size_t lowest = closed ? 1 : 0;
  for (std::size_t k = m; k-- > lowest;) {
    const double* rowK = a.data() + k * m;
    double s = out[k];
    rowNonZero.clear();
    for (std::size_t j = 0; j < k; j++) {
      if (rowK[j] != 0.0) {
        s += rowK[j];
        rowNonZero.push_back(j);
      }
    }
    if (!(s > 0)) {
      failure = closed ? "state " + std::to_string(system.state(k) + 1) +
                             " leads to no other state of its closed class"
                       : "transient state " + std::to_string(system.state(k) + 1) +
                             " never leaves the transient states";
      return report;
    }
    pivot[k] = s;
    columnNonZero.clear();
    for (std::size_t i = 0; i < k; i++)
      if (a[i * m + k] != 0.0)
        columnNonZero.push_back(i);
    for (std::size_t i : columnNonZero) {
      const double f = a[i * m + k] / s;
      double* rowI = a.data() + i * m;
      for (std::size_t j : rowNonZero)
        rowI[j] += f * rowK[j];
      out[i] += f * out[k];
    }
    if (source[k] != 0.0)
      for (std::size_t j : rowNonZero)
        source[j] += source[k] * rowK[j] / s;
  }

  // Back substitution in increasing order.
  std::vector<double> y(m, 0.0);
  if (closed) {
    y[0] = 1.0;
  } else {
    if (!(out[0] > 0)) {
      failure = "transient state " + std::to_string(system.state(0) + 1) +
                " never leaves the transient states";
      return report;
    }
    y[0] = source[0] / out[0];
  }
  double sum = y[0];
  for (std::size_t k = 1; k < m; k++) {
    double in = closed ? 0.0 : source[k];
    for (std::size_t i = 0; i < k; i++) {
      const double rate = a[i * m + k];
      if (rate != 0.0 && y[i] != 0.0)
        in += y[i] * rate;
    }
    y[k] = in / pivot[k];
    sum += y[k];
  }
  for (std::size_t k = 0; k < m; k++)
    x[system.state(k)] = closed ? y[k] / sum : y[k];
  report.Residual = system.residual(x, work);
  report.Converged = true;
  return report;
}
