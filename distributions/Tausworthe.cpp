#include "distributions/Tausworthe.h"

double Tausworthe::rnd() {
  uint32_t x = State;
  x = ((x << 13) ^ x) & 0x7fffffffu;
  x = (x >> 18) ^ x;
  State = x;
  return x / 2147483647.0;
}

void Tausworthe::srnd(unsigned long seed) {
  State = static_cast<uint32_t>(seed);
}
