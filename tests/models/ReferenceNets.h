#ifndef TESTS_MODELS_REFERENCENETS_H
#define TESTS_MODELS_REFERENCENETS_H

// The kanban and FMS nets written as plain marking vectors straight from
// their definitions, and explored independently of the generator.

#include <algorithm>
#include <functional>
#include <map>
#include <utility>
#include <vector>

// An independent reference: the two nets written as plain marking vectors
// straight from their definitions, explored the way the generator defines
// its chain (breadth-first; timed activities in action order; after a timed
// firing, enabled instantaneous activities fire depth-first, one alone with
// probability 1, several split by weight; a stable state reached for the
// first time with a positive rate gets the next number; rates to one target
// are summed). The numbering is therefore the generator's, and its records
// can be compared entry by entry.
using Marking = std::vector<int>;

struct RefActivity {
  bool instant;
  double weight;
  std::function<bool(const Marking&)> enabled;
  std::function<double(const Marking&)> rate;
  std::function<void(Marking&)> fire;
};

struct RefChain {
  std::vector<Marking> states;                     // states[n - 1] = state n
  std::vector<std::map<unsigned, double>> records; // target -> summed rate
};

class Reference {
public:
  Reference(std::vector<RefActivity> acts, const Marking& initial) : Acts(std::move(acts)) {
    Number(initial);
    for (Explored = 0; Explored < Chain.states.size(); Explored++) {
      const Marking m = Chain.states[Explored];
      for (const RefActivity& a : Acts) {
        if (a.instant || !a.enabled(m))
          continue;
        Marking next = m;
        a.fire(next);
        Settle(next, a.rate(m), 1.0);
      }
    }
  }
  const RefChain& chain() const { return Chain; }

private:
  std::vector<RefActivity> Acts;
  RefChain Chain;
  std::map<Marking, unsigned> Numbers;
  size_t Explored = 0; // index of the state being explored

  unsigned Number(const Marking& m) {
    auto [it, added] = Numbers.emplace(m, static_cast<unsigned>(Chain.states.size() + 1));
    if (added) {
      Chain.states.push_back(m);
      Chain.records.emplace_back();
    }
    return it->second;
  }

  // Follows the instantaneous activities enabled in m to stable states; p is
  // the probability of the chain so far.
  void Settle(const Marking& m, double rate, double p) {
    std::vector<const RefActivity*> enabled;
    for (const RefActivity& a : Acts)
      if (a.instant && a.enabled(m))
        enabled.push_back(&a);
    if (enabled.empty()) {
      if (rate * p > 0) {
        const unsigned n = Number(m);
        Chain.records[Explored][n] += rate * p;
      }
      return;
    }
    double total = 0;
    for (const RefActivity* a : enabled)
      total += a->weight;
    for (const RefActivity* a : enabled) {
      Marking next = m;
      a->fire(next);
      Settle(next, rate, enabled.size() == 1 ? p : a->weight / total * p);
    }
  }
};

// Kanban places: cell c (0-based) has Pkan 4c, Pm 4c + 1, Pback 4c + 2,
// Pout 4c + 3.
inline Reference KanbanReference(int n) {
  auto kan = [](int c) { return 4 * (c - 1); };
  auto pm = [](int c) { return 4 * (c - 1) + 1; };
  auto back = [](int c) { return 4 * (c - 1) + 2; };
  auto out = [](int c) { return 4 * (c - 1) + 3; };
  // A timed activity: enabled when every listed place is marked; fires the
  // listed (place, change) pairs.
  auto timed = [](const std::vector<int>& guard, double rate,
                  const std::vector<std::pair<int, int>>& change) {
    return RefActivity{false, 1.0,
                       [guard](const Marking& m) {
                         return std::all_of(guard.begin(), guard.end(),
                                            [&](int p) { return m[p] > 0; });
                       },
                       [rate](const Marking&) { return rate; },
                       [change](Marking& m) {
                         for (auto [p, d] : change)
                           m[p] += d;
                       }};
  };
  const double redo[] = {0.36, 0.42, 0.39, 0.33};
  const double ok[] = {0.84, 0.98, 0.91, 0.77};
  std::vector<RefActivity> acts;
  acts.push_back(timed({kan(1)}, 1.0, {{kan(1), -1}, {pm(1), 1}}));
  for (int c = 1; c <= 4; c++) {
    acts.push_back(timed({pm(c)}, redo[c - 1], {{pm(c), -1}, {back(c), 1}}));
    acts.push_back(timed({pm(c)}, ok[c - 1], {{pm(c), -1}, {out(c), 1}}));
    acts.push_back(timed({back(c)}, 0.3, {{back(c), -1}, {pm(c), 1}}));
  }
  acts.push_back(
      timed({out(1), kan(2), kan(3)}, 0.4,
            {{out(1), -1}, {kan(1), 1}, {kan(2), -1}, {pm(2), 1}, {kan(3), -1}, {pm(3), 1}}));
  acts.push_back(
      timed({out(2), out(3), kan(4)}, 0.5,
            {{out(2), -1}, {kan(2), 1}, {out(3), -1}, {kan(3), 1}, {kan(4), -1}, {pm(4), 1}}));
  acts.push_back(timed({out(4)}, 0.9, {{out(4), -1}, {kan(4), 1}}));
  Marking initial(16, 0);
  for (int c = 1; c <= 4; c++)
    initial[kan(c)] = n;
  return Reference(std::move(acts), initial);
}

enum FmsPlace {
  P1,
  P1wM1,
  P1M1,
  M1,
  P1d,
  P1s,
  P1wP2,
  P12,
  P12wM3,
  P12M3,
  M3,
  P12s,
  P2,
  P2wM2,
  P2M2,
  M2,
  P2d,
  P2wP1,
  P2s,
  P3,
  P3M2,
  P3s,
  FmsPlaces
};

// min(1, Np / S) times the marking of place, Np = floor(3N / 2).
inline double FmsArrival(int n, const Marking& m, int place) {
  const int s = m[P1] + m[P2] + m[P3] + m[P12];
  // NOLINTNEXTLINE(bugprone-integer-division): floor(3N / 2) is meant
  return m[place] == 0 ? 0.0 : std::min(1.0, double((3 * n) / 2) / s) * m[place];
}

inline Reference FmsReference(int n) {
  auto act = [](bool instant, double weight, const std::vector<int>& guard,
                std::function<double(const Marking&)> rate, std::function<void(Marking&)> fire) {
    return RefActivity{instant, weight,
                       [guard](const Marking& m) {
                         return std::all_of(guard.begin(), guard.end(),
                                            [&](int p) { return m[p] > 0; });
                       },
                       std::move(rate), std::move(fire)};
  };
  auto move = [](int from, int to) {
    return [from, to](Marking& m) {
      m[from]--;
      m[to]++;
    };
  };
  auto constant = [](double r) { return [r](const Marking&) { return r; }; };
  std::vector<RefActivity> acts;
  const std::pair<int, int> arrivals[] = {{P1, P1wM1}, {P2, P2wM2}, {P3, P3M2}, {P12, P12wM3}};
  for (auto [from, to] : arrivals)
    acts.push_back(act(
        false, 1, {from}, [n, from = from](const Marking& m) { return FmsArrival(n, m, from); },
        move(from, to)));
  acts.push_back(act(
      false, 1, {P1M1}, [](const Marking& m) { return 0.25 * m[P1M1]; },
      [](Marking& m) { m[P1M1]--, m[M1]++, m[P1d]++; }));
  acts.push_back(
      act(false, 1, {P2M2}, constant(1.0 / 6), [](Marking& m) { m[P2M2]--, m[M2]++, m[P2d]++; }));
  acts.push_back(act(false, 1, {P3M2, M2}, constant(0.5), move(P3M2, P3s)));
  acts.push_back(act(
      false, 1, {P12M3}, [](const Marking& m) { return 1.0 * m[P12M3]; },
      [](Marking& m) { m[P12M3]--, m[M3]++, m[P12s]++; }));
  const std::pair<int, int> returns[] = {{P1s, P1}, {P2s, P2}, {P3s, P3}};
  for (auto [done, pallets] : returns)
    acts.push_back(
        act(false, 1, {done}, constant(1.0 / 60), [done = done, pallets = pallets](Marking& m) {
          m[pallets] += m[done];
          m[done] = 0;
        }));
  acts.push_back(act(false, 1, {P12s}, constant(1.0 / 60), [](Marking& m) {
    m[P1] += m[P12s], m[P2] += m[P12s];
    m[P12s] = 0;
  }));
  const int machines[][3] = {{P1wM1, M1, P1M1}, {P2wM2, M2, P2M2}, {P12wM3, M3, P12M3}};
  for (auto& w : machines)
    acts.push_back(
        act(true, 1, {w[0], w[1]}, constant(0),
            [w0 = w[0], w1 = w[1], w2 = w[2]](Marking& m) { m[w0]--, m[w1]--, m[w2]++; }));
  acts.push_back(act(true, 80, {P1d}, constant(0), move(P1d, P1s)));
  acts.push_back(act(true, 20, {P1d}, constant(0), move(P1d, P1wP2)));
  acts.push_back(act(true, 60, {P2d}, constant(0), move(P2d, P2s)));
  acts.push_back(act(true, 40, {P2d}, constant(0), move(P2d, P2wP1)));
  acts.push_back(act(true, 1, {P1wP2, P2wP1}, constant(0),
                     [](Marking& m) { m[P1wP2]--, m[P2wP1]--, m[P12]++; }));
  Marking initial(FmsPlaces, 0);
  initial[P1] = initial[P2] = initial[P3] = n;
  initial[M1] = 3;
  initial[M3] = 2;
  initial[M2] = 1;
  return Reference(std::move(acts), initial);
}

#endif
