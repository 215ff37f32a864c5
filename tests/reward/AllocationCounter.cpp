#include "tests/reward/AllocationCounter.h"

#include <cstdlib>
#include <new>

// The test program's global operator new counts its calls so that tests can
// check that a code path allocates nothing.
namespace {
long gAllocations = 0;

void* CountedAllocate(std::size_t n) {
  gAllocations++;
  return std::malloc(n == 0 ? 1 : n);
}
} // namespace

long AllocationCount() {
  return gAllocations;
}

void* operator new(std::size_t n) {
  if (void* p = CountedAllocate(n))
    return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t n) {
  if (void* p = CountedAllocate(n))
    return p;
  throw std::bad_alloc();
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  return CountedAllocate(n);
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
  return CountedAllocate(n);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}
