#include "solver/numeric/MultilevelSolver.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <sstream>
#include <vector>

#include "solver/Progress.h"
#include "solver/numeric/GthSolver.h"
#include "solver/numeric/IterativeSolver.h"
#include "solver/numeric/RateMatrix.h"

namespace {

constexpr std::uint32_t None = UINT32_MAX;
// Values below this have lost their precision; their change is not tested.
constexpr double Negligible = 1e-290;
// Sweeps of the coarsest level when it is too large to be eliminated.
constexpr int CoarsestSweeps = 20;
// A transition below this share of its state's strongest is not aggregated
// over.
constexpr double WeakShare = 1e-4;
// Rounds of pairing per level: an aggregate joins up to four states.
constexpr int Passes = 2;

// One aggregated level: its chain (off-diagonal rates by row, rebuilt every
// cycle), its iterate, and how it is formed from the finer level.
struct Level {
  std::uint32_t Size = 0;
  std::vector<std::uint64_t> RowStart;
  std::vector<std::uint32_t> Column;
  std::vector<double> Rate;
  std::vector<double> Exit;
  std::vector<double> X;                  // the iterate
  std::vector<double> In;                 // its inflow
  std::vector<double> Mass;               // X_I of the finer level's x, from the last build
  std::vector<std::uint32_t> MemberCount; // of the finer level's states in each
  // For each transition of the finer level (by its index there), the entry
  // of this level it adds to, or None for one inside its aggregate.
  std::vector<std::uint32_t> Target;
  // The aggregate of each state of this level in the next coarser one.
  std::vector<std::uint32_t> Aggregate;
};

// The rows of the chain (level 0): entries begin(i) .. end(i) - 1.
template <class Rate> struct ChainRows {
  const RateMatrix& Matrix;
  Rate RateOf;
  std::uint64_t begin(std::uint32_t i) const { return Matrix.rowBegin(i); }
  std::uint64_t end(std::uint32_t i) const { return Matrix.rowEnd(i); }
  std::uint32_t column(std::uint64_t e) const { return Matrix.columns()[e]; }
  double rate(std::uint64_t e) const { return RateOf(e); }
};

// The rows of an aggregated level.
struct LevelRows {
  const Level& L;
  std::uint64_t begin(std::uint32_t i) const { return L.RowStart[i]; }
  std::uint64_t end(std::uint32_t i) const { return L.RowStart[i + 1]; }
  std::uint32_t column(std::uint64_t e) const { return L.Column[e]; }
  double rate(std::uint64_t e) const { return L.Rate[e]; }
};

// The states 0 .. size-1 of an aggregated level, for the functions below.
struct Count {
  std::uint32_t Size;
  template <class F> void operator()(F&& f) const {
    for (std::uint32_t i = 0; i < Size; i++)
      f(i);
  }
};

// Gives the states of a level (visited by `forEach`) their aggregates in
// `aggregate` (indexed like the rows' columns, None before); returns the
// number of aggregates. A state not yet in an aggregate pairs with its
// strongest successor that is not in one either; with none, it joins the
// aggregate of its strongest successor (up to MaxAggregate states), or stays
// alone.
template <class Rows, class ForEach>
std::uint32_t Pair(const Rows& rows, ForEach forEach, std::vector<std::uint32_t>& aggregate) {
  std::vector<std::uint32_t> size;
  forEach([&](std::uint32_t i) {
    if (aggregate[i] != None)
      return;
    // Transitions far weaker than the state's strongest couple it too
    // loosely to share an aggregate: a nearly decomposable chain keeps its
    // groups apart.
    double strongest = 0;
    for (std::uint64_t e = rows.begin(i); e < rows.end(i); e++)
      if (rows.column(e) != i)
        strongest = std::max(strongest, rows.rate(e));
    std::uint32_t free = None, any = None;
    const double weakest = strongest * WeakShare;
    double freeRate = weakest;
    double anyRate = weakest;
    for (std::uint64_t e = rows.begin(i); e < rows.end(i); e++) {
      const std::uint32_t k = rows.column(e);
      const double r = rows.rate(e);
      if (k == i)
        continue;
      if (aggregate[k] == None && r > freeRate) {
        free = k;
        freeRate = r;
      }
      if (r > anyRate) {
        any = k;
        anyRate = r;
      }
    }
    if (free != None) {
      aggregate[i] = aggregate[free] = static_cast<std::uint32_t>(size.size());
      size.push_back(2);
    } else if (any != None && aggregate[any] != None &&
               size[aggregate[any]] < MultilevelSolver::MaxAggregate) {
      aggregate[i] = aggregate[any];
      size[aggregate[i]]++;
    } else {
      aggregate[i] = static_cast<std::uint32_t>(size.size());
      size.push_back(1);
    }
  });
  return static_cast<std::uint32_t>(size.size());
}

// Gives `next` its states (the `count` aggregates of the finer level) and
// its transitions: an entry from I to J for every pair the finer level's
// transitions join, and the Target of each of those.
template <class Rows, class ForEach>
void Pattern(const Rows& rows, ForEach forEach, const std::vector<std::uint32_t>& aggregate,
             std::uint32_t count, std::uint64_t transitions, Level& next) {
  next.Size = count;
  // The finer level's states of each aggregate, in order.
  std::vector<std::uint32_t> start(std::size_t(count) + 1, 0);
  forEach([&](std::uint32_t i) { start[aggregate[i] + 1]++; });
  next.MemberCount.assign(count, 0);
  for (std::uint32_t a = 0; a < count; a++) {
    next.MemberCount[a] = start[a + 1];
    start[a + 1] += start[a];
  }
  std::vector<std::uint32_t> members(start[count]);
  {
    std::vector<std::uint32_t> fill(start.begin(), start.end() - 1);
    forEach([&](std::uint32_t i) { members[fill[aggregate[i]]++] = i; });
  }
  std::vector<std::uint32_t> mark(count, None);
  std::vector<std::uint64_t> slot(count, 0);
  next.RowStart.assign(std::size_t(count) + 1, 0);
  next.Column.clear();
  next.Target.assign(transitions, None);
  for (std::uint32_t a = 0; a < count; a++) {
    for (std::uint32_t m = start[a]; m < start[a + 1]; m++) {
      const std::uint32_t i = members[m];
      for (std::uint64_t e = rows.begin(i); e < rows.end(i); e++) {
        const std::uint32_t b = aggregate[rows.column(e)];
        if (b == a)
          continue;
        if (mark[b] != a) {
          mark[b] = a;
          slot[b] = next.Column.size();
          next.Column.push_back(b);
        }
        next.Target[e] = static_cast<std::uint32_t>(slot[b]);
      }
    }
    next.RowStart[a + 1] = next.Column.size();
  }
  next.Rate.assign(next.Column.size(), 0.0);
  next.Exit.assign(count, 0.0);
  next.X.assign(count, 0.0);
  next.In.assign(count, 0.0);
  next.Mass.assign(count, 0.0);
}

// The rates of `next` from the finer level's x: the rate from I to J is the
// x-weighted mean over the members i of I of their rates into J. X starts as
// the aggregates' masses. One pass over the finer level's rows in order.
template <class Rows, class ForEach>
void Build(const Rows& rows, ForEach forEach, const std::vector<std::uint32_t>& aggregate,
           const double* x, Level& next) {
  std::fill(next.Mass.begin(), next.Mass.end(), 0.0);
  forEach([&](std::uint32_t i) { next.Mass[aggregate[i]] += x[i]; });
  std::fill(next.Rate.begin(), next.Rate.end(), 0.0);
  const std::uint32_t* target = next.Target.data();
  forEach([&](std::uint32_t i) {
    const std::uint32_t a = aggregate[i];
    const double mass = next.Mass[a];
    // The share of the member: a quotient of at most 1 (no overflow when
    // the mass is tiny); an aggregate whose members all have probability 0
    // (so far) weighs them equally.
    const double w = mass > 0 ? x[i] / mass : 1.0 / double(next.MemberCount[a]);
    if (w == 0.0)
      return;
    for (std::uint64_t e = rows.begin(i); e < rows.end(i); e++) {
      const std::uint32_t t = target[e];
      if (t != None)
        next.Rate[t] += w * rows.rate(e);
    }
  });
  for (std::uint32_t a = 0; a < next.Size; a++) {
    double exit = 0;
    for (std::uint64_t p = next.RowStart[a]; p < next.RowStart[a + 1]; p++)
      exit += next.Rate[p];
    next.Exit[a] = exit;
  }
  next.X = next.Mass;
}

// Scales the finer level's x by each aggregate's new probability over its
// mass.
template <class ForEach>
void Disaggregate(ForEach forEach, const std::vector<std::uint32_t>& aggregate, const Level& next,
                  double* x) {
  forEach([&](std::uint32_t i) {
    const std::uint32_t a = aggregate[i];
    const double mass = next.Mass[a];
    x[i] = mass > 0 ? x[i] / mass * next.X[a] : next.X[a] / double(next.MemberCount[a]);
  });
}

// Aggregates a level (its rows, its states visited by `forEach`, its
// distribution x) into `next`: Passes rounds of pairing, each over the
// aggregates of the last.
template <class Rows, class ForEach>
void Coarsen(const Rows& rows, ForEach forEach, std::uint64_t transitions, const double* x,
             std::vector<std::uint32_t>& aggregate, Level& next) {
  std::uint32_t count = Pair(rows, forEach, aggregate);
  for (int pass = 1; pass < Passes; pass++) {
    Pattern(rows, forEach, aggregate, count, transitions, next);
    Build(rows, forEach, aggregate, x, next);
    std::vector<std::uint32_t> merged(next.Size, None);
    count = Pair(LevelRows{next}, Count{next.Size}, merged);
    forEach([&](std::uint32_t i) { aggregate[i] = merged[aggregate[i]]; });
  }
  Pattern(rows, forEach, aggregate, count, transitions, next);
  Build(rows, forEach, aggregate, x, next);
}

void Inflow(Level& l) {
  std::fill(l.In.begin(), l.In.end(), 0.0);
  for (std::uint32_t i = 0; i < l.Size; i++) {
    const double xi = l.X[i];
    for (std::uint64_t p = l.RowStart[i]; p < l.RowStart[i + 1]; p++)
      l.In[l.Column[p]] += xi * l.Rate[p];
  }
}

// One Gauss-Seidel sweep of an aggregated level, its inflow kept current.
void Sweep(Level& l, bool backward) {
  for (std::uint32_t m = 0; m < l.Size; m++) {
    const std::uint32_t j = backward ? l.Size - 1 - m : m;
    if (!(l.Exit[j] > 0))
      continue;
    const double next = l.In[j] / l.Exit[j];
    const double d = next - l.X[j];
    if (d == 0.0)
      continue;
    l.X[j] = next;
    for (std::uint64_t p = l.RowStart[j]; p < l.RowStart[j + 1]; p++)
      l.In[l.Column[p]] += d * l.Rate[p];
  }
}

// Scales X to the total of the masses it came from.
void Rescale(Level& l) {
  double sum = 0, mass = 0;
  for (std::uint32_t i = 0; i < l.Size; i++) {
    sum += l.X[i];
    mass += l.Mass[i];
  }
  if (sum > 0 && std::isfinite(sum))
    for (double& v : l.X)
      v *= mass / sum;
}

class Hierarchy {
public:
  // Each level is aggregated by the rates it has under x.
  Hierarchy(const LinearSystem& system, const double* x) : System(system) {
    const RateMatrix& matrix = system.matrix();
    FineAggregate.assign(matrix.states(), None);
    Levels.emplace_back();
    fine([&](const auto& rows, auto forEach) {
      Coarsen(rows, forEach, matrix.transitions(), x, FineAggregate, Levels.back());
    });
    while (Levels.back().Size > MultilevelSolver::Coarsest) {
      Level& last = Levels.back();
      last.Aggregate.assign(last.Size, None);
      Level next;
      Coarsen(LevelRows{last}, Count{last.Size}, last.Column.size(), last.X.data(), last.Aggregate,
              next);
      if (next.Size > last.Size - last.Size / 10) {
        last.Aggregate.clear();
        break;
      }
      Levels.push_back(std::move(next));
    }
  }

  std::size_t levels() const { return Levels.size(); }

  // The aggregated correction of one cycle, applied to x.
  void correct(double* x) {
    fine([&](const auto& rows, auto forEach) {
      Build(rows, forEach, FineAggregate, x, Levels[0]);
      solve(0);
      Disaggregate(forEach, FineAggregate, Levels[0], x);
    });
  }

private:
  // f(rows, forEach) with the chain's rows and its states.
  template <class F> void fine(F&& f) const {
    System.matrix().rates().visit([&](auto rate) {
      f(ChainRows<decltype(rate)>{System.matrix(), rate}, [&](auto g) { System.forEachState(g); });
    });
  }

  // Level n: a forward and a backward sweep, the correction by level n + 1,
  // a forward and a backward sweep.
  void solve(std::size_t n) {
    Level& l = Levels[n];
    if (n + 1 == Levels.size()) {
      solveCoarsest(l);
      return;
    }
    Inflow(l);
    Sweep(l, false);
    Sweep(l, true);
    Level& next = Levels[n + 1];
    Build(LevelRows{l}, Count{l.Size}, l.Aggregate, l.X.data(), next);
    solve(n + 1);
    Disaggregate(Count{l.Size}, l.Aggregate, next, l.X.data());
    Inflow(l);
    Sweep(l, false);
    Sweep(l, true);
  }

  void solveCoarsest(Level& l) {
    if (l.Size > 1 && l.Size <= GthSolver::Maximum) {
      Coarse.begin(l.Size, l.Column.size());
      for (std::uint32_t i = 0; i < l.Size; i++) {
        Coarse.startRow();
        for (std::uint64_t p = l.RowStart[i]; p < l.RowStart[i + 1]; p++)
          if (l.Rate[p] > 0)
            Coarse.add(l.Column[p], l.Rate[p]);
      }
      Coarse.finish();
      const LinearSystem system = LinearSystem::Closed(Coarse, nullptr, l.Size);
      std::string failure;
      std::vector<double> x(l.Size);
      const LinearSystem::Report report = GthSolver::Solve(system, x.data(), l.In.data(), failure);
      if (report.Converged) {
        l.X = std::move(x);
        Rescale(l);
        return;
      }
    }
    // Too large to eliminate, or not strongly connected under the current
    // weights (a member with probability 0): sweeps instead.
    Inflow(l);
    for (int s = 0; s < CoarsestSweeps; s++)
      Sweep(l, (s & 1) != 0);
    Rescale(l);
  }

  const LinearSystem& System;
  std::vector<std::uint32_t> FineAggregate;
  std::vector<Level> Levels;
  RateMatrix Coarse;
};

void Normalise(const LinearSystem& system, double* x, double* in) {
  double sum = 0;
  system.forEachState([&](std::uint32_t j) { sum += x[j]; });
  if (!(sum > 0) || !std::isfinite(sum))
    return;
  const double scale = 1.0 / sum;
  system.forEachState([&](std::uint32_t j) {
    x[j] *= scale;
    in[j] *= scale;
  });
}

// The largest relative change of a component from `before` to x; `before`
// becomes x.
double Change(const LinearSystem& system, const double* x, std::vector<double>& before) {
  double largest = 0;
  std::size_t n = 0;
  system.forEachState([&](std::uint32_t j) {
    const double now = x[j], d = std::fabs(now - before[n]);
    before[n++] = now;
    if (!std::isfinite(now))
      largest = std::numeric_limits<double>::infinity();
    else if (now > Negligible && d > largest * now)
      largest = d / now;
  });
  return largest;
}

std::string Sci(double v) {
  std::ostringstream s;
  s.precision(2);
  s << std::scientific << v;
  return s.str();
}

} // namespace

LinearSystem::Report MultilevelSolver::Solve(const LinearSystem& system,
                                             const SolverOptions& options, double* x, double* work,
                                             Progress& progress, const std::string& label) {
  LinearSystem::Report report;
  report.Method = "multilevel";
  if (progress.due())
    progress.show(label + ": aggregating " + std::to_string(system.size()) + " states");
  // The aggregates follow the rates alone (the levels built with uniform
  // weights): aggregates chosen under a partly converged x measured worse.
  const double uniform = 1.0 / double(system.size());
  system.forEachState([&](std::uint32_t j) { work[j] = uniform; });
  Hierarchy hierarchy(system, work);
  const double epsilon = options.Epsilon;
  std::vector<double> before(system.size());
  {
    std::size_t n = 0;
    system.forEachState([&](std::uint32_t j) { before[n++] = x[j]; });
  }
  system.inflow(x, work);
  Normalise(system, x, work);
  std::array<double, Window + 1> changes{};
  changes.fill(std::numeric_limits<double>::infinity());
  for (std::uint64_t cycle = 1; cycle <= options.MaxIterations; cycle++) {
    hierarchy.correct(x);
    system.inflow(x, work);
    // The sweep's direction alternates: a value spreads along the order of
    // the states in one sweep, against it by one transition per sweep.
    IterativeSolver::Sweep(system, x, work, 1.0, (cycle & 1) == 0);
    Normalise(system, x, work);
    const double change = Change(system, x, before);
    report.Iterations = cycle;
    changes[cycle % (Window + 1)] = change;
    IterativeSolver::EstimateError(report, change, changes[(cycle + 1) % (Window + 1)], Window);
    if (!std::isfinite(change))
      break;
    // A contraction that cannot reach epsilon within the cycles left ends
    // the method early (not converged) instead of running them all.
    if (cycle >= 8 * Window && report.Contraction < 1 &&
        double(cycle) + IterativeSolver::IterationsNeeded(report, epsilon) >
            double(options.MaxIterations))
      break;
    if (change <= epsilon && report.ErrorEstimate <= epsilon) {
      report.Residual = system.residual(x, work);
      if (report.Residual <= 10 * epsilon) {
        system.clampNegative(x);
        report.Converged = true;
        return report;
      }
    }
    if (progress.due())
      progress.show(label + ", multilevel (" + std::to_string(hierarchy.levels()) +
                    " levels): cycle " + std::to_string(cycle) + ", relative change " +
                    Sci(change));
  }
  report.Residual = system.residual(x, work);
  return report;
}
