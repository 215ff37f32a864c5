#ifndef SSG_PRIMES_H
#define SSG_PRIMES_H

// The first 256 prime numbers in ascending order (2, 3, 5, ..., 1619). State
// hashes weight the byte at position i with primes[i % 256].
extern const unsigned int primes[256];

#endif
