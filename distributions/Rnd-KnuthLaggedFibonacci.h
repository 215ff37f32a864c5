#ifndef DISTRIBUTIONS_RND_KNUTHLAGGEDFIBONACCI_H
#define DISTRIBUTIONS_RND_KNUTHLAGGEDFIBONACCI_H

// Knuth's portable floating-point lagged Fibonacci generator (lags 100 and
// 37): X[j] = (X[j-100] + X[j-37]) mod 1. Its state, ran_u, is global to the
// program, so every user of these functions draws from one stream.

// The generator's state: the last 100 values.
extern double ran_u[100];

// Fills aa[0 .. n-1] with the next n values of the stream; n >= 100.
void ranf_array(double aa[], int n);

// Restarts the stream from a seed; only its low 30 bits are used.
void ranf_start(long seed);

#endif
