#ifndef DISTRIBUTIONS_USERDISTRIBUTIONS_H
#define DISTRIBUTIONS_USERDISTRIBUTIONS_H

#include "distributions/Distributions.h"

// A Distributions whose generator kind and seed are chosen at construction.
class UserDistributions : public Distributions {
public:
  // An unseeded LaggedFibonacci: seed it before the first draw.
  UserDistributions();
  // kind 1: Tausworthe; kind 0 and every other kind: LaggedFibonacci. The new
  // generator is seeded with `seed`.
  UserDistributions(int kind, long seed);
};

#endif
