#include "distributions/Rnd-KnuthLaggedFibonacci.h"

#include <cassert>

namespace {

const int KK = 100; // the long lag
const int LL = 37;  // the short lag
const int TT = 70;  // guaranteed separation between streams
const int SeedMask = 0x3fffffff;

// (x + y) mod 1 for x, y in [0, 1).
inline double mod_sum(double x, double y) {
  return (x + y) - static_cast<int>(x + y);
}

} // namespace

double ran_u[KK];

void ranf_array(double aa[], int n) {
  assert(n >= KK && "ranf_array needs room for at least 100 values");
  int i, j;
  for (j = 0; j < KK; j++)
    aa[j] = ran_u[j];
  for (; j < n; j++)
    aa[j] = mod_sum(aa[j - KK], aa[j - LL]);
  for (i = 0; i < LL; i++, j++)
    ran_u[i] = mod_sum(aa[j - KK], aa[j - LL]);
  for (; i < KK; i++, j++)
    ran_u[i] = mod_sum(aa[j - KK], ran_u[i - LL]);
}

void ranf_start(long seed) {
  double u[KK + KK - 1];
  const double ulp = 1.0 / (1L << 30) / (1L << 22); // 2^-52
  double ss = 2.0 * ulp * static_cast<double>((seed & SeedMask) + 2);

  // Bootstrap the buffer with the seed's bits spread over it.
  for (int j = 0; j < KK; j++) {
    u[j] = ss;
    ss += ss;
    if (ss >= 1.0)
      ss -= 1.0 - 2 * ulp;
  }
  u[1] += ulp;

  // Square and multiply by z, bit by bit of the seed, then run TT-1 more squarings.
  for (long s = seed & SeedMask, t = TT - 1; t;) {
    for (int j = KK - 1; j > 0; j--) {
      u[j + j] = u[j];
      u[j + j - 1] = 0.0;
    }
    for (int j = KK + KK - 2; j >= KK; j--) {
      u[j - (KK - LL)] = mod_sum(u[j - (KK - LL)], u[j]);
      u[j - KK] = mod_sum(u[j - KK], u[j]);
    }
    if (s & 1) {
      for (int j = KK; j > 0; j--)
        u[j] = u[j - 1];
      u[0] = u[KK];
      u[LL] = mod_sum(u[LL], u[KK]);
    }
    if (s)
      s >>= 1;
    else
      t--;
  }

  for (int j = 0; j < LL; j++)
    ran_u[j + KK - LL] = u[j];
  for (int j = LL; j < KK; j++)
    ran_u[j - LL] = u[j];
  // Warm up.
  for (int j = 0; j < 10; j++)
    ranf_array(u, KK + KK - 1);
}
