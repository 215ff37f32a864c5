#include "distributions/LaggedFibonacci.h"

#include "distributions/Rnd-KnuthLaggedFibonacci.h"

namespace {

// Shared by every instance, like the generator state behind them.
double Buffer[LaggedFibonacci::BufferSize];
int Next = 0;

} // namespace

double LaggedFibonacci::rnd() {
  if (Next == BufferSize) {
    Next = 0;
    ranf_array(Buffer, BufferSize);
  }
  return Buffer[Next++];
}

void LaggedFibonacci::srnd(unsigned long seed) {
  ranf_start(static_cast<long>(seed));
  ranf_array(Buffer, BufferSize);
  ranf_array(Buffer, BufferSize);
  // A seed fixes the stream: start at the first value of the fresh buffer.
  Next = 0;
}
