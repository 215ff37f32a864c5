#include "model/FastSet.h"

#include <new>

#include "model/StandardErrors.h"

FastSet::FastSet() : is_vec_rep(false), set_rep(nullptr), vec_size(0) {
  set_rep = new (std::nothrow) std::set<int>();
  if (set_rep == nullptr)
    MemoryAllocationError();
}

FastSet::~FastSet() {
  if (is_vec_rep)
    delete[] vec_rep;
  else
    delete set_rep;
}

bool FastSet::insert(const int& x) {
  assert(!is_vec_rep);
  return set_rep->insert(x).second;
}

bool FastSet::find(const int& x) const {
  assert(!is_vec_rep);
  return set_rep->count(x) != 0;
}

bool FastSet::empty() const {
  assert(!is_vec_rep);
  return set_rep->empty();
}

void FastSet::NoMoreModifications() {
  assert(!is_vec_rep);
  int count = static_cast<int>(set_rep->size());
  int* frozen = nullptr;
  if (count > 0) {
    frozen = new (std::nothrow) int[count];
    if (frozen == nullptr)
      MemoryAllocationError();
    int i = 0;
    for (int x : *set_rep)
      frozen[i++] = x;
  }
  delete set_rep;
  vec_rep = frozen;
  vec_size = count;
  is_vec_rep = true;
}

void FastSet::clear() {
  if (is_vec_rep) {
    delete[] vec_rep;
    vec_rep = nullptr;
    vec_size = 0;
  } else {
    set_rep->clear();
  }
}
