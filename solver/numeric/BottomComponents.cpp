#include "solver/numeric/BottomComponents.h"

#include <cassert>
#include <string>

#include "solver/Progress.h"
#include "solver/numeric/RateMatrix.h"

void BottomComponents::find(const RateMatrix& matrix, Progress& progress) {
  const std::uint32_t n = matrix.states();
  const std::uint32_t* column = matrix.columns();

  // rindex[v]: 0 = not visited; while v is open, its (lowest reached) visit
  // index; once its component is complete, the component's number. Component
  // numbers count down from n and visit indices up from 1; an open index
  // stays below every component number given out (there are at most n minus
  // the finished states open ones), so one array serves both.
  std::vector<std::uint32_t> rindex(n, 0);
  std::vector<std::uint64_t> root((std::size_t(n) + 63) / 64, 0);
  auto setRoot = [&](std::uint32_t v, bool on) {
    if (on)
      root[v >> 6] |= std::uint64_t(1) << (v & 63);
    else
      root[v >> 6] &= ~(std::uint64_t(1) << (v & 63));
  };
  auto isRoot = [&](std::uint32_t v) { return (root[v >> 6] >> (v & 63)) & 1; };

  std::vector<std::uint32_t> pathState; // the depth-first path
  std::vector<std::uint64_t> pathNext;  // next entry of its row to follow
  std::vector<std::uint32_t> open;      // visited states of unfinished components
  // Room for the deepest possible path; only the pages a path reaches are
  // ever touched, and no growth copies the stacks.
  pathState.reserve(n);
  pathNext.reserve(n);
  open.reserve(n);
  std::uint32_t index = 1;
  std::uint32_t component = n;
  std::uint64_t visited = 0;

  auto begin = [&](std::uint32_t v) {
    pathState.push_back(v);
    pathNext.push_back(matrix.rowBegin(v));
    setRoot(v, true);
    rindex[v] = index++;
    if ((++visited & 0xFFFF) == 0 && progress.due())
      progress.show("closed classes: " + std::to_string(visited) + " of " + std::to_string(n) +
                    " states visited");
  };

  for (std::uint32_t s = 0; s < n; s++) {
    if (rindex[s] != 0)
      continue;
    begin(s);
    while (!pathState.empty()) {
      const std::uint32_t v = pathState.back();
      std::uint64_t& next = pathNext.back();
      if (next < matrix.rowEnd(v)) {
        const std::uint32_t w = column[next++];
        if (rindex[w] == 0) {
          begin(w);
        } else if (rindex[w] < rindex[v]) {
          rindex[v] = rindex[w];
          setRoot(v, false);
        }
        continue;
      }
      // Every successor of v is done: v closes its component or joins the
      // open states, and its parent learns the lowest index it reached.
      pathState.pop_back();
      pathNext.pop_back();
      if (isRoot(v)) {
        index--;
        while (!open.empty() && rindex[v] <= rindex[open.back()]) {
          rindex[open.back()] = component;
          open.pop_back();
          index--;
        }
        rindex[v] = component--;
      } else {
        open.push_back(v);
      }
      if (!pathState.empty()) {
        const std::uint32_t u = pathState.back();
        if (rindex[v] < rindex[u]) {
          rindex[u] = rindex[v];
          setRoot(u, false);
        }
      }
    }
  }
  assert(open.empty() && "every state belongs to a finished component");
  std::vector<std::uint32_t>().swap(pathState);
  std::vector<std::uint64_t>().swap(pathNext);
  std::vector<std::uint32_t>().swap(open);
  std::vector<std::uint64_t>().swap(root);

  // Components as 0 .. count-1 in the order they were finished; a component
  // is bottom unless a transition leaves it (a lone component is bottom).
  NumComponents = n - component;
  for (std::uint32_t v = 0; v < n; v++)
    rindex[v] = n - rindex[v];
  std::vector<std::uint32_t> classOfComponent(NumComponents, 0);
  for (std::uint32_t v = 0; v < n && NumComponents > 1; v++) {
    const std::uint32_t c = rindex[v];
    for (std::uint64_t e = matrix.rowBegin(v); e < matrix.rowEnd(v); e++) {
      if (rindex[column[e]] != c) {
        classOfComponent[c] = Transient;
        break;
      }
    }
  }

  // Number the bottom components by their smallest state; count members.
  constexpr std::uint32_t Unnumbered = 0;
  NumClasses = 0;
  std::vector<std::size_t> counts;
  for (std::uint32_t v = 0; v < n; v++) {
    std::uint32_t& cls = classOfComponent[rindex[v]];
    if (cls == Unnumbered) {
      cls = ++NumClasses; // 1-based while numbering
      counts.push_back(0);
    }
    std::uint32_t id = cls == Transient ? Transient : cls - 1;
    rindex[v] = id;
    if (id != Transient)
      counts[id]++;
  }
  std::vector<std::uint32_t>().swap(classOfComponent);
  ClassOf = std::move(rindex);

  Start.assign(std::size_t(NumClasses) + 1, 0);
  for (std::uint32_t c = 0; c < NumClasses; c++)
    Start[c + 1] = Start[c] + counts[c];
  Transients = n - Start[NumClasses];
  Members.clear();
  if (NumClasses == 1 && Transients == 0)
    return; // the states of the one class are 0 .. n-1
  Members.resize(n);
  std::vector<std::size_t> fill(Start.begin(), Start.end());
  std::size_t transientAt = Start[NumClasses];
  for (std::uint32_t v = 0; v < n; v++) {
    const std::uint32_t c = ClassOf[v];
    Members[c == Transient ? transientAt++ : fill[c]++] = v;
  }
}
