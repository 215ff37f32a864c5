#include "solver/numeric/Uniformization.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>

#include "solver/Progress.h"
#include "solver/SolverError.h"
#include "solver/numeric/FoxGlynn.h"
#include "solver/numeric/RateMatrix.h"

namespace {

constexpr std::uint64_t DetectEvery = 8;
// Mass left out below a window: small enough that no value a double can show
// depends on it (the steps below a window are computed anyway).
constexpr double LeftEpsilon = 1e-200;

// A sum with Neumaier's compensation: the rounding error of every addition
// is kept and added back at the end.
class Compensated {
public:
  void add(double v) {
    const double t = Sum + v;
    if (std::fabs(Sum) >= std::fabs(v))
      Error += (Sum - t) + v;
    else
      Error += (v - t) + Sum;
    Sum = t;
  }
  double value() const { return Sum + Error; }

private:
  double Sum = 0, Error = 0;
};

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
                    Progress& progress, Report& report, double limitError) {
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

  // Every sum over the steps is compensated (Neumaier): a window of 1e5
  // weights would otherwise lose 1e5 roundings.
  std::vector<std::vector<Compensated>> sums(requests.size(), std::vector<Compensated>(numRewards));
  // Prefix sums of s_k over k < current step: what an accumulated request
  // gains below its window (where P(N > k) is 1).
  std::vector<Compensated> prefix(numRewards);
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
            sums[r][v].add(prefix[v].value() * invQ);
        for (std::size_t v = 0; v < numRewards; v++)
          sums[r][v].add(windows[r].Tail[i] * s[v] * invQ);
      } else {
        for (std::size_t v = 0; v < numRewards; v++)
          sums[r][v].add(fg.weights()[i] * s[v]);
      }
    }
    for (std::size_t v = 0; v < numRewards; v++)
      prefix[v].add(s[v]);
  };
  // Steps k, k+1, ... all have the scalars s (steps below k are added):
  // add what every window still holds.
  auto finishFrom = [&](std::uint64_t k) {
    for (std::size_t r = 0; r < requests.size(); r++) {
      const FoxGlynn& fg = *windows[r].Poisson;
      Compensated weight; // sum over steps j >= k of the request's factor
      if (requests[r].Accumulated) {
        if (fg.left() >= k) {
          // Below the window P(N > j) is 1: the prefix of steps below k was
          // not added yet, and each step k .. left-1 counts once.
          for (std::size_t v = 0; v < numRewards; v++)
            sums[r][v].add(prefix[v].value() * invQ);
          weight.add(double(fg.left() - k));
        }
        for (std::uint64_t j = std::max(k, fg.left()); j <= fg.right(); j++)
          weight.add(windows[r].Tail[j - fg.left()]);
      } else {
        for (std::uint64_t j = std::max(k, fg.left()); j <= fg.right(); j++)
          weight.add(fg.weights()[j - fg.left()]);
      }
      const double factor = requests[r].Accumulated ? weight.value() * invQ : weight.value();
      for (std::size_t v = 0; v < numRewards; v++)
        sums[r][v].add(factor * s[v]);
    }
  };
  auto values = [&]() {
    std::vector<std::vector<double>> out(requests.size(), std::vector<double>(numRewards, 0.0));
    for (std::size_t r = 0; r < requests.size(); r++)
      for (std::size_t v = 0; v < numRewards; v++)
        out[r][v] = sums[r][v].value();
    return out;
  };

  // The rounding of one step changes the 1-norm of p by about one unit of
  // the arithmetic's precision; over `last` steps that must stay well below
  // epsilon, so long passes step in long double.
  report.Extended = double(last) * std::numeric_limits<double>::epsilon() > epsilon / 16;
  // Detection: the limit's own error counts twice (in the distance and in
  // the values that use it).
  const double detectAt = epsilon / 2 - 2 * limitError;
  const std::uint32_t* column = matrix.columns();

  auto pass = [&](auto zero) {
    using Real = decltype(zero);
    std::vector<Real> p(n, Real(0)), next(n, Real(0));
    const Real invQReal = Real(1) / Real(q);
    p[0] = Real(1);
    for (std::uint64_t k = 0;; k++) {
      for (std::size_t v = 0; v < numRewards; v++)
        s[v] = rewards[v]->visit([&](auto reward) {
          long double sum = 0;
          for (std::uint32_t j = 0; j < n; j++)
            if (p[j] != Real(0))
              sum += static_cast<long double>(p[j]) * reward(j);
          return static_cast<double>(sum);
        });

      if (limit != nullptr && detectAt > 0 && k % DetectEvery == 0) {
        long double distance = 0;
        for (std::uint32_t j = 0; j < n; j++)
          distance += std::fabs(static_cast<long double>(p[j]) - limit[j]);
        if (distance <= detectAt) {
          report.Detected = true;
          report.Steps = k;
          for (std::size_t v = 0; v < numRewards; v++)
            s[v] = rewards[v]->visit([&](auto reward) {
              long double sum = 0;
              for (std::uint32_t j = 0; j < n; j++)
                if (limit[j] != 0.0)
                  sum += static_cast<long double>(limit[j]) * reward(j);
              return static_cast<double>(sum);
            });
          finishFrom(k);
          return;
        }
      }
      addStep(k);
      if (k == last) {
        report.Steps = k;
        return;
      }

      // next = p P = p (I - diag(q_j)/q) + p R / q. What leaves j is
      // summed from the very flows added to its successors (not taken from
      // the stored exit rate, whose own rounding would lose or make mass
      // at every step: 2e-10 of it over 1.8 million steps).
      std::fill(next.begin(), next.end(), Real(0));
      matrix.rates().visit([&](auto rate) {
        for (std::uint32_t j = 0; j < n; j++) {
          const Real pj = p[j];
          if (pj == Real(0))
            continue;
          const Real share = pj * invQReal;
          Real leaving = 0;
          for (std::uint64_t e = matrix.rowBegin(j); e < matrix.rowEnd(j); e++) {
            const Real flow = share * Real(rate(e));
            next[column[e]] += flow;
            leaving += flow;
          }
          next[j] += pj - leaving;
        }
      });
      p.swap(next);
      if ((k & 0xFF) == 0 && progress.due())
        progress.show("transient: step " + std::to_string(k) + " of at most " +
                      std::to_string(last));
    }
  };
  if (report.Extended)
    pass(static_cast<long double>(0));
  else
    pass(0.0);
  return values();
}
