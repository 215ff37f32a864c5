#include "solver/numeric/DelayPeriod.h"

#include <algorithm>
#include <cassert>

#include "solver/numeric/FoxGlynn.h"
#include "solver/numeric/RateMatrix.h"

namespace {

// The Poisson window leaves out no more than this below its left end.
constexpr double LeftEpsilon = 1e-200;

} // namespace

DelayPeriod::DelayPeriod(const RateMatrix& matrix, const std::uint32_t* delayOf,
                         std::uint32_t delay, double length,
                         const std::vector<std::uint32_t>& states, double epsilon)
    : Matrix(matrix), DelayOf(delayOf), Delay(delay), Tau(length), States(states) {
  assert(length > 0 && epsilon > 0 && epsilon < 1 && "a delay is positive, epsilon in (0, 1)");
  for (std::uint32_t s : states)
    Rate = std::max(Rate, matrix.exitRate(s));
  if (Rate > 0) {
    const FoxGlynn poisson(Rate * Tau, LeftEpsilon, epsilon);
    Left = poisson.left();
    Right = poisson.right();
    Weight.assign(Right + 1, 0.0);
    for (std::uint64_t k = Left; k <= Right; k++)
      Weight[k] = poisson.weight(k);
  } else {
    Weight.assign(1, 1.0); // nothing moves: the delay always fires where it started
  }
  // T_k = P(N > k) summed from the right (small tails keep their digits),
  // then divided by q: the expected time a step's vector stands for.
  Tail.assign(Right + 1, 0.0);
  for (std::uint64_t k = Right; k-- > 0;)
    Tail[k] = Tail[k + 1] + Weight[k + 1];
  // The steps beyond the window still take time: the T_k sum to E[N] = q
  // tau, and what the window leaves of it is given to its last vector (a
  // delay much shorter than 1/q has the window [0, 0] and lasts tau).
  if (Rate > 0) {
    double inside = 0;
    for (std::uint64_t k = 0; k < Right; k++)
      inside += Tail[k];
    Tail[Right] = std::max(0.0, Rate * Tau - inside);
  }
  const std::size_t n = matrix.states();
  Current.assign(n, 0.0);
  Next.assign(n, 0.0);
  AtEnd.assign(n, 0.0);
  Time.assign(n, 0.0);
  Exit.assign(n, 0.0);
  NextMark.assign(n, 0);
  RowMark.assign(n, 0);
}

void DelayPeriod::run(std::uint32_t start) {
  assert(DelayOf[start] == Delay && "a period starts in a state of its delay");
  for (std::uint32_t s : Reached)
    AtEnd[s] = Time[s] = 0.0;
  for (std::uint32_t j : Exits)
    Exit[j] = 0.0;
  Reached.clear();
  Exits.clear();
  Length = 0;
  RowStamp++;

  Support.assign(1, start);
  Current[start] = 1.0;
  RowMark[start] = RowStamp;
  Reached.push_back(start);
  const std::uint32_t* column = Matrix.columns();
  Matrix.rates().visit([&](auto rateOf) {
    Matrix.exitRates().visit([&](auto exitOf) {
      for (std::uint64_t k = 0; k <= Right && !Support.empty(); k++) {
        // What the vector after k steps adds to the results.
        const double w = Weight[k];
        const double t = Rate > 0 ? Tail[k] / Rate : Tau;
        for (std::uint32_t s : Support) {
          AtEnd[s] += w * Current[s];
          Time[s] += t * Current[s];
        }
        if (k == Right)
          break;
        // One step of the subordinated chain; moves out of S end the period.
        Stamp++;
        NextSupport.clear();
        auto add = [&](std::uint32_t to, double mass) {
          if (NextMark[to] != Stamp) {
            NextMark[to] = Stamp;
            NextSupport.push_back(to);
            if (RowMark[to] != RowStamp) {
              RowMark[to] = RowStamp;
              Reached.push_back(to);
            }
          }
          Next[to] += mass;
        };
        const double tail = Tail[k];
        for (std::uint32_t s : Support) {
          const double v = Current[s];
          Current[s] = 0.0;
          const double scaled = v / Rate;
          const double stay = v - scaled * exitOf(s);
          if (stay > 0)
            add(s, stay);
          for (std::uint64_t e = Matrix.rowBegin(s); e < Matrix.rowEnd(s); e++) {
            const std::uint32_t to = column[e];
            const double mass = scaled * rateOf(e);
            if (DelayOf[to] == Delay) {
              add(to, mass);
            } else {
              if (RowMark[to] != RowStamp) {
                RowMark[to] = RowStamp;
                Exits.push_back(to);
              }
              Exit[to] += mass * tail;
            }
          }
        }
        Current.swap(Next);
        Support.swap(NextSupport);
      }
    });
  });
  for (std::uint32_t s : Support)
    Current[s] = 0.0;
  for (std::uint32_t s : Reached)
    Length += Time[s];
}

void DelayPeriod::accumulate(const std::vector<double>& weights, std::vector<double>& times) const {
  const std::size_t n = Matrix.states();
  std::vector<double> current(n, 0.0), next(n, 0.0);
  for (std::uint32_t s : States)
    current[s] = weights[s];
  const std::uint32_t* column = Matrix.columns();
  Matrix.rates().visit([&](auto rateOf) {
    Matrix.exitRates().visit([&](auto exitOf) {
      for (std::uint64_t k = 0; k <= Right; k++) {
        const double t = Rate > 0 ? Tail[k] / Rate : Tau;
        for (std::uint32_t s : States)
          times[s] += t * current[s];
        if (k == Right)
          break;
        for (std::uint32_t s : States)
          next[s] = 0.0;
        for (std::uint32_t s : States) {
          const double v = current[s];
          if (v == 0.0)
            continue;
          const double scaled = v / Rate;
          const double stay = v - scaled * exitOf(s);
          if (stay > 0)
            next[s] += stay;
          for (std::uint64_t e = Matrix.rowBegin(s); e < Matrix.rowEnd(s); e++) {
            const std::uint32_t to = column[e];
            if (DelayOf[to] == Delay)
              next[to] += scaled * rateOf(e);
          }
        }
        current.swap(next);
      }
    });
  });
}
