#include "distributions/DistributionDefinition.h"

UserDistributions TheGenerator(0, 31415);
Distributions* TheDistribution = &TheGenerator;
