#include "solver/numeric/LinearSystem.h"

#include <algorithm>
#include <cmath>
#include <limits>

LinearSystem LinearSystem::Closed(const RateMatrix& matrix, const std::uint32_t* states,
                                  std::size_t count) {
  LinearSystem system;
  system.Matrix = &matrix;
  system.States = states;
  system.Count = count;
  return system;
}

LinearSystem LinearSystem::Transient(const RateMatrix& matrix, const BottomComponents& classes,
                                     std::uint32_t source) {
  LinearSystem system;
  system.Matrix = &matrix;
  system.States = classes.transientStates();
  system.Count = classes.transientCount();
  system.ClassOf = classes.classOfArray();
  system.Source = source;
  return system;
}

void LinearSystem::inflow(const double* x, double* in) const {
  forEachState([&](std::uint32_t j) { in[j] = 0.0; });
  const std::uint32_t* column = Matrix->columns();
  Matrix->rates().visit([&](auto rate) {
    forEachState([&](std::uint32_t j) {
      const double xj = x[j];
      if (xj == 0.0)
        return;
      for (std::uint64_t e = Matrix->rowBegin(j); e < Matrix->rowEnd(j); e++) {
        const std::uint32_t k = column[e];
        if (inside(k))
          in[k] += xj * rate(e);
      }
    });
  });
}

double LinearSystem::residual(const double* x, double* work) const {
  double largest = 0, lowest = 0;
  bool finite = true;
  forEachState([&](std::uint32_t j) {
    const double v = x[j];
    finite = finite && std::isfinite(v);
    largest = std::max(largest, v);
    lowest = std::min(lowest, v);
  });
  if (!finite || lowest < -1e-12 * largest)
    return std::numeric_limits<double>::infinity();
  inflow(x, work);
  double imbalance = 0, flow = 0;
  Matrix->exitRates().visit([&](auto exit) {
    forEachState([&](std::uint32_t j) {
      const double out = x[j] * exit(j);
      imbalance += std::fabs(sourceAt(j) + work[j] - out);
      flow += std::fabs(out);
    });
  });
  return flow > 0 ? imbalance / flow : imbalance;
}

void LinearSystem::clampNegative(double* x) const {
  forEachState([&](std::uint32_t j) {
    if (x[j] < 0)
      x[j] = 0;
  });
}
