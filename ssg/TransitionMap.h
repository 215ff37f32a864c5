#ifndef SSG_TRANSITIONMAP_H
#define SSG_TRANSITIONMAP_H

#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

// The transitions of the state being explored: target state number -> sum of
// the rates found to it so far, iterated in increasing target order.
//
// It behaves as an ordered map but is a flat vector of (target, rate) pairs
// kept sorted by target, reused for every explored state: clear() keeps the
// capacity, so after the first few states no transition allocates. Adding to
// the largest target so far (the common case: a newly numbered state) is an
// append; any other target costs a binary search plus, for a target not yet
// present, a shift of the larger entries. A state's successors are few, so
// this beats a node-based map by a wide margin.
class TransitionMap {
public:
  using Entry = std::pair<unsigned int, double>;
  using const_iterator = std::vector<Entry>::const_iterator;

  // Adds rate to target's entry; an absent entry starts at 0.
  void add(unsigned int target, double rate) {
    if (Entries.empty() || Entries.back().first < target) {
      Entries.emplace_back(target, rate);
      return;
    }
    auto at = std::lower_bound(Entries.begin(), Entries.end(), target,
                               [](const Entry& e, unsigned int t) { return e.first < t; });
    if (at != Entries.end() && at->first == target)
      at->second += rate;
    else
      Entries.emplace(at, target, rate);
  }

  // Map-style access: the entry of target, created with 0 when absent.
  double& operator[](unsigned int target) {
    auto at = std::lower_bound(Entries.begin(), Entries.end(), target,
                               [](const Entry& e, unsigned int t) { return e.first < t; });
    if (at == Entries.end() || at->first != target)
      at = Entries.emplace(at, target, 0.0);
    return at->second;
  }

  bool empty() const { return Entries.empty(); }
  std::size_t size() const { return Entries.size(); }
  // Whether target has an entry (a binary search).
  bool contains(unsigned int target) const {
    auto at = std::lower_bound(Entries.begin(), Entries.end(), target,
                               [](const Entry& e, unsigned int t) { return e.first < t; });
    return at != Entries.end() && at->first == target;
  }
  // Forgets every entry; the capacity is kept for the next state.
  void clear() { Entries.clear(); }
  const_iterator begin() const { return Entries.begin(); }
  const_iterator end() const { return Entries.end(); }

private:
  std::vector<Entry> Entries;
};

#endif
