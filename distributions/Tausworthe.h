#ifndef DISTRIBUTIONS_TAUSWORTHE_H
#define DISTRIBUTIONS_TAUSWORTHE_H

#include <cstdint>

#include "distributions/RandomNumberGenerator.h"

// A 31-bit Tausworthe shift-register generator. The state word is set by srnd
// only; seed 0 yields 0 forever.
class Tausworthe : public RandomNumberGenerator {
public:
  // x = ((x << 13) ^ x) & 0x7fffffff; x = (x >> 18) ^ x; returns x / (2^31 - 1).
  double rnd() override;
  // The state becomes the low 32 bits of the seed.
  void srnd(unsigned long seed) override;

private:
  uint32_t State = 0;
};

#endif
