#ifndef SOLVER_DELAYFIRINGS_H
#define SOLVER_DELAYFIRINGS_H

#include <cstdint>
#include <vector>

// The firings of deterministic activities of a chain, as the negative entries
// of its .arm file give them: per state, the states a firing leads to and the
// probability of each (the entry's value with its sign turned). An entry of a
// state to itself is kept (a delay that fires back into its own state starts
// again).
//
// States are indexed from 0 (state number s is index s - 1). Built by the
// .arm reader row by row (startRow, add, ..., finish); afterwards read-only.
// Memory: 8 bytes per state for the row starts, 12 per entry.
class DelayFirings {
public:
  void begin(std::uint32_t states);
  void startRow() { RowStart.push_back(Targets.size()); }
  void add(std::uint32_t target, double probability) {
    Targets.push_back(target);
    Probabilities.push_back(probability);
  }
  void finish() { RowStart.push_back(Targets.size()); }

  std::uint32_t states() const {
    return RowStart.empty() ? 0 : static_cast<std::uint32_t>(RowStart.size() - 1);
  }
  std::uint64_t entries() const { return Targets.size(); }
  std::uint64_t rowBegin(std::uint32_t i) const { return RowStart[i]; }
  std::uint64_t rowEnd(std::uint32_t i) const { return RowStart[i + 1]; }
  std::uint32_t target(std::uint64_t e) const { return Targets[e]; }
  double probability(std::uint64_t e) const { return Probabilities[e]; }
  // Sum of the probabilities of state i's firings (1 for a state whose
  // delay's firing is fully described; 0 for a state without firings).
  double total(std::uint32_t i) const;

private:
  std::vector<std::uint64_t> RowStart;
  std::vector<std::uint32_t> Targets;
  std::vector<double> Probabilities;
};

#endif
