#ifndef MODEL_FASTSET_H
#define MODEL_FASTSET_H

#include <cassert>
#include <set>

// FastSet: a set of int built in two phases. While it is being filled it is
// an ordered tree (logarithmic inserts, no duplicates); NoMoreModifications
// freezes it, once and for good, into a sorted array that is then read by
// index with no tree traversal. Actions keep the indices of the performance
// variables they affect in such sets and read them on every transition.
//
// Building phase: insert, find, empty, NoMoreModifications.
// Frozen phase: operator[], size. clear() works in both and keeps the phase.
// Calling an operation in the wrong phase fails an assertion. Copying is not
// allowed (the set owns its tree or its array).
class FastSet {
public:
  bool is_vec_rep;
  // Read according to is_vec_rep: the tree while building, the sorted array
  // (null when the set was empty) once frozen.
  union {
    std::set<int>* set_rep;
    int* vec_rep;
  };
  // Number of elements of the frozen array.
  int vec_size;

  FastSet();
  ~FastSet();
  FastSet(const FastSet&) = delete;
  FastSet& operator=(const FastSet&) = delete;

  // True when x was not in the set yet.
  bool insert(const int& x);
  bool find(const int& x) const;
  bool empty() const;
  // Freezes the set into a sorted array.
  void NoMoreModifications();

  // The i-th smallest element; no bounds check.
  int& operator[](int i) {
    assert(is_vec_rep);
    return vec_rep[i];
  }
  const int& operator[](int i) const {
    assert(is_vec_rep);
    return vec_rep[i];
  }
  int size() const {
    assert(is_vec_rep);
    return vec_size;
  }

  // Building: empties the tree. Frozen: frees the array, size becomes 0.
  void clear();
};

#endif
