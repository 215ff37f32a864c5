#ifndef SSG_IMPULSEMAP_H
#define SSG_IMPULSEMAP_H

#include <algorithm>
#include <cstddef>
#include <vector>

// The impulses of the transitions of the state being explored, entry by
// entry beside the TransitionMap: target state number -> Width doubles
// summed over every firing merged into that target's entry (for the .imp
// file, per variable, in file order: the weighted impulse of every
// completion of the chain, then the weighted impulse of its last one).
//
// Kept exactly as the TransitionMap keeps its entries: sorted by target,
// a new largest target appended, any other target found by binary search
// and added to or inserted. Fed the same targets in the same order, the two
// hold the same entries in the same order. Flat vectors reused for every
// explored state: clear() keeps the capacity, so after the first few states
// nothing allocates. Memory: 4 + 8 * Width bytes per entry of the largest
// record.
class ImpulseMap {
public:
  // Forgets every entry and sets the number of doubles per entry.
  void reset(std::size_t width) {
    Width = width;
    clear();
  }
  std::size_t width() const { return Width; }

  // Adds values[0 .. Width) to target's entry; an absent entry starts at 0.
  void add(unsigned int target, const double* values) {
    if (Targets.empty() || Targets.back() < target) {
      Targets.push_back(target);
      Values.insert(Values.end(), values, values + Width);
      return;
    }
    // Here target <= the largest target, so an entry at or after it exists.
    const std::size_t at = static_cast<std::size_t>(
        std::lower_bound(Targets.begin(), Targets.end(), target) - Targets.begin());
    if (Targets[at] != target) {
      Targets.insert(Targets.begin() + static_cast<std::ptrdiff_t>(at), target);
      Values.insert(Values.begin() + static_cast<std::ptrdiff_t>(at * Width), values,
                    values + Width);
      return;
    }
    double* sum = Values.data() + at * Width;
    for (std::size_t i = 0; i < Width; i++)
      sum[i] += values[i];
  }

  bool empty() const { return Targets.empty(); }
  std::size_t size() const { return Targets.size(); }
  unsigned int target(std::size_t entry) const { return Targets[entry]; }
  // The Width values of the entry-th entry; all entries' values follow one
  // another in entry order.
  const double* values(std::size_t entry) const { return Values.data() + entry * Width; }
  // Forgets every entry; the capacity is kept for the next state.
  void clear() {
    Targets.clear();
    Values.clear();
  }

private:
  std::size_t Width = 0;
  std::vector<unsigned int> Targets;
  std::vector<double> Values;
};

#endif
