#ifndef DISTRIBUTIONS_LAGGEDFIBONACCI_H
#define DISTRIBUTIONS_LAGGEDFIBONACCI_H

#include "distributions/RandomNumberGenerator.h"

// Uniform numbers from Knuth's lagged Fibonacci generator, handed out from a
// buffer of 100 values that is refilled when used up.
//
// The generator's state is global, and so are the buffer and the read
// position: every instance draws from one stream, and drawing alternately from
// two instances gives the values one instance would give. srnd restarts that
// stream for all of them. An instance must be seeded (by it or another
// instance) before the first rnd().
class LaggedFibonacci : public RandomNumberGenerator {
public:
  // The next buffered value; refills the buffer after 100 values.
  double rnd() override;
  // ranf_start(seed), then fills the buffer twice and reads from its start.
  void srnd(unsigned long seed) override;

  static const int BufferSize = 100;
};

#endif
