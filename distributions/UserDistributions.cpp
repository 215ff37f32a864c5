#include "distributions/UserDistributions.h"

#include <new>

#include "distributions/LaggedFibonacci.h"
#include "distributions/Tausworthe.h"
#include "model/StandardErrors.h"

namespace {

RandomNumberGenerator* newGenerator(int kind) {
  RandomNumberGenerator* generator;
  if (kind == 1)
    generator = new (std::nothrow) Tausworthe;
  else
    generator = new (std::nothrow) LaggedFibonacci;
  if (generator == nullptr)
    MemoryAllocationError();
  return generator;
}

} // namespace

UserDistributions::UserDistributions() {
  delete Generator;
  Generator = nullptr;
  Generator = newGenerator(0);
}

UserDistributions::UserDistributions(int kind, long seed) {
  delete Generator;
  Generator = nullptr;
  Generator = newGenerator(kind);
  Generator->srnd(static_cast<unsigned long>(seed));
}
