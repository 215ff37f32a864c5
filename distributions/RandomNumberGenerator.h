#ifndef DISTRIBUTIONS_RANDOMNUMBERGENERATOR_H
#define DISTRIBUTIONS_RANDOMNUMBERGENERATOR_H

// A source of uniform random numbers in [0, 1). The base class is neutral:
// rnd() returns 0.0 and srnd() does nothing; concrete generators override both.
class RandomNumberGenerator {
public:
  RandomNumberGenerator() = default;
  RandomNumberGenerator(const RandomNumberGenerator&) = delete;
  RandomNumberGenerator& operator=(const RandomNumberGenerator&) = delete;
  virtual ~RandomNumberGenerator();

  // The next uniform number of the stream.
  virtual double rnd();
  // Restarts the stream from the given seed.
  virtual void srnd(unsigned long seed);
};

#endif
