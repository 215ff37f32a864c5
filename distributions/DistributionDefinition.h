#ifndef DISTRIBUTIONS_DISTRIBUTIONDEFINITION_H
#define DISTRIBUTIONS_DISTRIBUTIONDEFINITION_H

#include "distributions/UserDistributions.h"

// The program's one source of random variates: a lagged Fibonacci generator
// seeded with 31415, built before main. Activities sample their delays through
// TheDistribution; groups draw their uniform numbers from
// TheDistribution->Generator.
extern UserDistributions TheGenerator;
extern Distributions* TheDistribution;

#endif
