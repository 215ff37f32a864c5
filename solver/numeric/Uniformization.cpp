#include "solver/numeric/Uniformization.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "solver/numeric/FoxGlynn.h"
#include "solver/Progress.h"
#include "solver/numeric/RateMatrix.h"
#include "solver/SolverError.h"

namespace {

constexpr std::uint64_t DetectEvery = 8;
// Mass left out below a window: small enough that no value a double can show
// depends on it (the steps below a window are computed anyway).
constexpr double LeftEpsilon = 1e-200;

// One request's window and, for accumulated rewards, the tail sums
// Tail[i] = P(N > left + i) within the window.
struct Window {
  std::unique_ptr<FoxGlynn> Poisson;
  std::vector<double> Tail;
};

} // namespace

double Uniformization::RateOf(const RateMatrix& matrix) {
  const double most = matrix.maxExitRate();
  return most > 0 ? 1.02 * most : 1.0;
}

void Uniformization::CheckTimes(const RateMatrix& matrix, const std::vector<Request>& requests) {
  const double q = RateOf(matrix);
  for (const Request& r : requests) {
    if (q * r.Time > MaxRateTime) {
      char text[200];
      std::snprintf(text, sizeof text,
                    "time %g needs about q t = %.3g uniformization steps (q = %.4g); times "
                    "beyond q t = %.0e are not solved (a steady-state variable gives the long "
                    "run)",
                    r.Time, q * r.Time, q, MaxRateTime);
      throw SolverError(SolverError::InputError, text);
    }
  }
}

std::uint64_t Uniformization::StepsNeeded(const RateMatrix& matrix,
                                          const std::vector<Request>& requests, double epsilon) {
  CheckTimes(matrix, requests);
  const double q = RateOf(matrix);
  std::uint64_t most = 0;
  for (const Request& r : requests)
    most = std::max(most, FoxGlynn(q * r.Time, epsilon / 2, epsilon / 2).right());
  return most;
}

std::vector<std::vector<double>>
Uniformization::Run(const RateMatrix& matrix, const std::vector<const CompactColumn*>& rewards,
                    const std::vector<Request>& requests, double epsilon, const double* limit,
                    Progress& progress, Report& report) {
  CheckTimes(matrix, requests);
  const std::uint32_t n = matrix.states();
  const std::size_t numRewards = rewards.size();
  const double q = RateOf(matrix);
  const double invQ = 1.0 / q;
  report = Report();
  report.Rate = q;

  std::vector<Window> windows(requests.size());
  std::uint64_t last = 0;
  for (std::size_t r = 0; r < requests.size(); r++) {
    Window& w = windows[r];
    w.Poisson = std::make_unique<FoxGlynn>(
        q * requests[r].Time, requests[r].Coarse ? epsilon / 2 : LeftEpsilon, epsilon / 2);
    last = std::max(last, w.Poisson->right());
    if (requests[r].Accumulated) {
      const std::vector<double>& weights = w.Poisson->weights();
      w.Tail.assign(weights.size(), 0.0);
      double tail = 0;
      for (std::size_t i = weights.size(); i-- > 0;) {
        w.Tail[i] = tail;
        tail += weights[i];
      }
    }
  }
  report.Needed = last;

  std::vector<std::vector<double>> values(requests.size(), std::vector<double>(numRewards, 0.0));
  // Prefix sums of s_k over k < current step: what an accumulated request
  // gains below its window (where P(N > k) is 1).
  std::vector<double> prefix(numRewards, 0.0);
  std::vector<double> s(numRewards, 0.0);

  // Adds step k's scalars s to every request whose window holds k.
  auto addStep = [&](std::uint64_t k) {
    for (std::size_t r = 0; r < requests.size(); r++) {
      const FoxGlynn& fg = *windows[r].Poisson;
      if (k < fg.left() || k > fg.right())
        continue;
      const std::size_t i = k - fg.left();
      if (requests[r].Accumulated) {
        if (k == fg.left())
          for (std::size_t v = 0; v < numRewards; v++)
            values[r][v] += prefix[v] * invQ;
        for (std::size_t v = 0; v < numRewards; v++)
          values[r][v] += windows[r].Tail[i] * s[v] * invQ;
      } else {
        for (std::size_t v = 0; v < numRewards; v++)
          values[r][v] += fg.weights()[i] * s[v];
      }
    }
    for (std::size_t v = 0; v < numRewards; v++)
      prefix[v] += s[v];
  };
  // Steps k, k+1, ... all have the scalars s (steps below k are added):
  // add what every window still holds.
  auto finishFrom = [&](std::uint64_t k) {
    for (std::size_t r = 0; r < requests.size(); r++) {
      const FoxGlynn& fg = *windows[r].Poisson;
      double weight = 0; // sum over steps j >= k of the request's factor
      if (requests[r].Accumulated) {
        if (fg.left() >= k) {
          // Below the window P(N > j) is 1: the prefix of steps below k was
          // not added yet, and each step k .. left-1 counts once.
          for (std::size_t v = 0; v < numRewards; v++)
            values[r][v] += prefix[v] * invQ;
          weight += double(fg.left() - k);
        }
        for (std::uint64_t j = std::max(k, fg.left()); j <= fg.right(); j++)
          weight += windows[r].Tail[j - fg.left()];
        weight *= invQ;
      } else {
        for (std::uint64_t j = std::max(k, fg.left()); j <= fg.right(); j++)
          weight += fg.weights()[j - fg.left()];
      }
      for (std::size_t v = 0; v < numRewards; v++)
        values[r][v] += weight * s[v];
    }
  };

  std::vector<double> p(n, 0.0), next(n, 0.0);
  p[0] = 1.0;
  const std::uint32_t* column = matrix.columns();

  for (std::uint64_t k = 0;; k++) {
    for (std::size_t v = 0; v < numRewards; v++)
      s[v] = rewards[v]->visit([&](auto reward) {
        double sum = 0;
        for (std::uint32_t j = 0; j < n; j++)
          sum += p[j] * reward(j);
        return sum;
      });

    if (limit != nullptr && k % DetectEvery == 0) {
      double distance = 0;
      for (std::uint32_t j = 0; j < n; j++)
        distance += std::fabs(p[j] - limit[j]);
      if (distance <= epsilon / 2) {
        report.Detected = true;
        report.Steps = k;
        for (std::size_t v = 0; v < numRewards; v++)
          s[v] = rewards[v]->visit([&](auto reward) {
            double sum = 0;
            for (std::uint32_t j = 0; j < n; j++)
              if (limit[j] != 0.0)
                sum += limit[j] * reward(j);
            return sum;
          });
        finishFrom(k);
        return values;
      }
    }
    addStep(k);
    if (k == last) {
      report.Steps = k;
      return values;
    }

    // next = p P = p (I - diag(q_j)/q) + p R / q.
    std::fill(next.begin(), next.end(), 0.0);
    matrix.rates().visit([&](auto rate) {
      matrix.exitRates().visit([&](auto exit) {
        for (std::uint32_t j = 0; j < n; j++) {
          const double pj = p[j];
          if (pj == 0.0)
            continue;
          const double share = pj * invQ;
          for (std::uint64_t e = matrix.rowBegin(j); e < matrix.rowEnd(j); e++)
            next[column[e]] += share * rate(e);
          next[j] += pj - share * exit(j);
        }
      });
    });
    p.swap(next);
    if ((k & 0xFF) == 0 && progress.due())
      progress.show("transient: step " + std::to_string(k) + " of at most " + std::to_string(last));
  }
}
