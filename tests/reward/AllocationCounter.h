#ifndef TESTS_REWARD_ALLOCATIONCOUNTER_H
#define TESTS_REWARD_ALLOCATIONCOUNTER_H

// Number of calls of the global operator new (all forms) in this test
// program so far.
long AllocationCount();

#endif
