#ifndef SOLVER_BOTTOMCOMPONENTS_H
#define SOLVER_BOTTOMCOMPONENTS_H

#include <cstddef>
#include <cstdint>
#include <vector>

class Progress;
class RateMatrix;

// The closed classes (bottom strongly connected components) of a chain: the
// sets of states that, once entered, are never left, and in which every state
// reaches every other. Every other state is transient.
//
// Method: the strongly connected components by Pearce's single-array variant
// of Tarjan's algorithm, with an explicit stack (no recursion: a depth-first
// path can be millions of states long); a component is bottom when no
// transition leaves it. O(states + transitions) time.
//
// Classes are numbered 0, 1, ... in the order of their smallest state; the
// states of a class, and the transient states, are listed in increasing
// order. Memory kept: 8 bytes per state (class of each state, and the
// grouped state lists; 4 when the whole chain is one class); while
// searching, up to 16 more bytes per state for the stacks (only the depth
// actually reached is touched).
class BottomComponents {
public:
  static constexpr std::uint32_t Transient = UINT32_MAX;

  void find(const RateMatrix& matrix, Progress& progress);

  std::uint32_t classes() const { return NumClasses; }
  // All strongly connected components, closed or not.
  std::uint64_t components() const { return NumComponents; }
  // Class of a state index, or Transient.
  std::uint32_t classOf(std::uint32_t state) const { return ClassOf[state]; }
  const std::uint32_t* classOfArray() const { return ClassOf.data(); }
  // States of class c, increasing; nullptr when the chain is one closed
  // class (its states are then 0 .. n-1 and no list is kept).
  const std::uint32_t* states(std::uint32_t c) const {
    return Members.empty() ? nullptr : Members.data() + Start[c];
  }
  std::size_t size(std::uint32_t c) const { return Start[c + 1] - Start[c]; }
  // Transient states, increasing.
  const std::uint32_t* transientStates() const {
    return Members.empty() ? nullptr : Members.data() + Start[NumClasses];
  }
  std::size_t transientCount() const { return Transients; }

private:
  std::uint32_t NumClasses = 0;
  std::uint64_t NumComponents = 0;
  std::vector<std::uint32_t> ClassOf;
  std::vector<std::uint32_t> Members;
  std::vector<std::size_t> Start;
  std::size_t Transients = 0;
};

#endif
