#include "solver/numeric/GthSolver.h"

#include <algorithm>
#include <cassert>
#include <vector>

namespace {

// Where entry (i, j) of the system's array lies: dense (row i of m), or in a
// band of Lower columns below and Upper above the diagonal (row i of
// Lower + Upper + 1). Elimination without pivoting creates no entry outside
// the band, so the band holds every entry the elimination writes.
struct Layout {
  std::size_t Lower = 0, Upper = 0, Width = 0;
  bool Banded = false;
  std::size_t at(std::size_t i, std::size_t j) const {
    return Banded ? i * Width + (j + Lower - i) : i * Width + j;
  }
  // The columns j < k of row k that can be non-zero, and the rows i < k of
  // column k.
  std::size_t firstColumn(std::size_t k) const { return Banded && k > Lower ? k - Lower : 0; }
  std::size_t firstRow(std::size_t k) const { return Banded && k > Upper ? k - Upper : 0; }
};

std::size_t LocalIndex(const std::uint32_t* states, std::size_t m, std::uint32_t state) {
  if (states == nullptr)
    return static_cast<std::size_t>(state);
  return static_cast<std::size_t>(std::lower_bound(states, states + m, state) - states);
}

Layout LayoutOf(const LinearSystem& system) {
  const RateMatrix& matrix = system.matrix();
  const std::size_t m = system.size();
  Layout layout;
  for (std::size_t i = 0; i < m; i++) {
    const std::uint32_t state = system.state(i);
    for (std::uint64_t e = matrix.rowBegin(state); e < matrix.rowEnd(state); e++) {
      const std::uint32_t k = matrix.column(e);
      if (!system.inside(k))
        continue;
      const std::size_t j = LocalIndex(system.states(), m, k);
      if (j < i)
        layout.Lower = std::max(layout.Lower, i - j);
      else
        layout.Upper = std::max(layout.Upper, j - i);
    }
  }
  const std::size_t width = layout.Lower + layout.Upper + 1;
  layout.Banded = width < m;
  layout.Width = layout.Banded ? width : m;
  return layout;
}

} // namespace

bool GthSolver::Fits(const LinearSystem& system) {
  if (system.size() <= Maximum)
    return true;
  const Layout layout = LayoutOf(system);
  return layout.Banded && system.size() * layout.Width <= Maximum * Maximum;
}

LinearSystem::Report GthSolver::Solve(const LinearSystem& system, double* x, double* work,
                                      std::string& failure) {
  LinearSystem::Report report;
  report.Method = "gth";
  const RateMatrix& matrix = system.matrix();
  const std::uint32_t* states = system.states();
  const std::size_t m = system.size();
  const bool closed = system.closed();
  const Layout layout = LayoutOf(system);
  assert(m * layout.Width <= Maximum * Maximum &&
         "the caller keeps GTH to systems whose array it can hold (GthSolver::Fits)");

  // The rates inside the system, the rates out of it and the source.
  std::vector<double> a(m * layout.Width, 0.0), out(m, 0.0), source(m, 0.0);
  matrix.rates().visit([&](auto rate) {
    for (std::size_t i = 0; i < m; i++) {
      const std::uint32_t state = system.state(i);
      source[i] = system.sourceAt(state);
      for (std::uint64_t e = matrix.rowBegin(state); e < matrix.rowEnd(state); e++) {
        const std::uint32_t k = matrix.column(e);
        if (system.inside(k))
          a[layout.at(i, LocalIndex(states, m, k))] += rate(e);
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
    double s = out[k];
    rowNonZero.clear();
    for (std::size_t j = layout.firstColumn(k); j < k; j++) {
      const double rate = a[layout.at(k, j)];
      if (rate != 0.0) {
        s += rate;
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
    for (std::size_t i = layout.firstRow(k); i < k; i++)
      if (a[layout.at(i, k)] != 0.0)
        columnNonZero.push_back(i);
    for (std::size_t i : columnNonZero) {
      const double f = a[layout.at(i, k)] / s;
      for (std::size_t j : rowNonZero)
        a[layout.at(i, j)] += f * a[layout.at(k, j)];
      out[i] += f * out[k];
    }
    if (source[k] != 0.0)
      for (std::size_t j : rowNonZero)
        source[j] += source[k] * a[layout.at(k, j)] / s;
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
    for (std::size_t i = layout.firstRow(k); i < k; i++) {
      const double rate = a[layout.at(i, k)];
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
