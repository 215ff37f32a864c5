#include "distributions/Distributions.h"

#include <cmath>
#include <cstddef>
#include <limits>
#include <new>

#include "distributions/LaggedFibonacci.h"
#include "model/StandardErrors.h"

namespace {

const double Ln4 = 1.3862943611198906;
const double Ln4_5Plus1 = 2.504077396776274; // 1 + ln 4.5
const double E = 2.718281828459045;

} // namespace

Distributions::Distributions()
    : Generator(nullptr), U1(0.0), U2(0.0), V1(0.0), V2(0.0), S(0.0), Z(0.0), Y(0.0), W(0.0),
      Sum(0.0) {
  Generator = new (std::nothrow) LaggedFibonacci;
  if (Generator == nullptr)
    MemoryAllocationError();
}

Distributions::~Distributions() {
  delete Generator;
}

double Distributions::Exponential(double rate) {
  return -std::log(Generator->rnd()) / rate;
}

double Distributions::Deterministic(double d) {
  return d;
}

double Distributions::Geometric(double p) {
  return std::floor(std::log(Generator->rnd()) / std::log(1.0 - p));
}

double Distributions::Weibull(double a, double b) {
  return b * std::pow(-std::log(Generator->rnd()), 1.0 / a);
}

double Distributions::ConditionalWeibull(double a, double b, double c) {
  // Survival to age c has probability exp(-(c/b)^a); scaling U by it draws
  // from the tail beyond c.
  W = std::exp(-std::pow(c / b, a));
  return b * std::pow(-std::log(Generator->rnd() * W), 1.0 / a) - c;
}

double Distributions::polarNormal() {
  // A point uniform in the unit disc (the centre excluded: ln S / S is
  // undefined there).
  do {
    U1 = Generator->rnd();
    U2 = Generator->rnd();
    V1 = 2.0 * U1 - 1.0;
    V2 = 2.0 * U2 - 1.0;
    S = V1 * V1 + V2 * V2;
  } while (S > 1.0 || S == 0.0);
  Z = V1 * std::sqrt(-2.0 * std::log(S) / S);
  return Z;
}

double Distributions::Normal(double mean, double variance) {
  do {
    Y = mean + std::sqrt(variance) * polarNormal();
  } while (Y < 0.0);
  return Y;
}

double Distributions::Lognormal(double mu, double variance) {
  return std::exp(mu + std::sqrt(variance) * polarNormal());
}

double Distributions::Erlang(double m, double mean) {
  const double phases = std::floor(m);
  if (!(phases >= 1.0))
    return 0.0;
  // ln(U1 * ... * Un) as a sum of logarithms: the product underflows for many
  // phases.
  Sum = 0.0;
  for (double i = 0; i < phases; i += 1.0)
    Sum += std::log(Generator->rnd());
  return -(mean / m) * Sum;
}

double Distributions::Triangular(double a, double b, double c) {
  if (a == b)
    return a;
  W = (c - a) / (b - a);
  U1 = Generator->rnd();
  if (U1 <= W)
    return a + (b - a) * std::sqrt(W * U1);
  return a + (b - a) * (1.0 - std::sqrt((1.0 - W) * (1.0 - U1)));
}

double Distributions::gammaShape(double shape) {
  // The distribution needs a positive shape; anything else (NaN included)
  // would never be accepted by the rejection loops below.
  if (!(shape > 0.0))
    return std::numeric_limits<double>::quiet_NaN();

  if (shape > 1.0) {
    // Cheng's rejection method GB.
    const double a = 1.0 / std::sqrt(2.0 * shape - 1.0);
    const double b = shape - Ln4;
    const double q = shape + 1.0 / a;
    const double theta = 4.5;
    for (;;) {
      U1 = Generator->rnd();
      U2 = Generator->rnd();
      V1 = a * std::log(U1 / (1.0 - U1));
      Y = shape * std::exp(V1);
      Z = U1 * U1 * U2;
      W = b + q * V1 - Y;
      if (W + Ln4_5Plus1 - theta * Z >= 0.0)
        return Y;
      if (W >= std::log(Z))
        return Y;
    }
  }

  if (shape == 1.0)
    return -std::log(Generator->rnd());

  // Ahrens and Dieter's method GS for shape < 1.
  const double c = (E + shape) / E;
  for (;;) {
    U1 = Generator->rnd();
    const double p = c * U1;
    if (p <= 1.0) {
      Y = std::pow(p, 1.0 / shape);
      U2 = Generator->rnd();
      if (U2 <= std::exp(-Y))
        return Y;
    } else {
      Y = -std::log((c - p) / shape);
      U2 = Generator->rnd();
      if (U2 <= std::pow(Y, shape - 1.0))
        return Y;
    }
  }
}

double Distributions::Gamma(double shape, double scale) {
  return scale * gammaShape(shape);
}

double Distributions::Beta(double a, double b) {
  const double g1 = gammaShape(a);
  const double g2 = gammaShape(b);
  return g1 / (g1 + g2);
}

double Distributions::Uniform(double a, double b) {
  return a + (b - a) * Generator->rnd();
}

double Distributions::Binomial(double n, double p) {
  if (!(n > 0.0))
    return 0.0;
  const double trials = std::ceil(n);
  Sum = 0.0;
  for (double i = 0; i < trials; i += 1.0)
    if (Generator->rnd() <= p)
      Sum += 1.0;
  return Sum;
}

double Distributions::NegativeBinomial(double r, double p) {
  if (!(r > 0.0))
    return 0.0;
  const double terms = std::ceil(r);
  const double lnq = std::log(1.0 - p);
  Sum = 0.0;
  for (double i = 0; i < terms; i += 1.0)
    Sum += std::floor(std::log(Generator->rnd()) / lnq);
  return Sum;
}

double Distributions::HyperExponential(int n, double* params) {
  if (n <= 0)
    return 0.0;
  Sum = 0.0;
  for (int i = 0; i < n; i++)
    Sum += params[2 * i + 1];
  // One uniform picks the branch: the first whose cumulative share exceeds it.
  // Rounding may leave U above the last share; it then takes the last branch.
  U1 = Generator->rnd();
  int branch = n - 1;
  double cumulative = 0.0;
  for (int i = 0; i < n; i++) {
    cumulative += params[2 * i + 1];
    if (U1 < cumulative / Sum) {
      branch = i;
      break;
    }
  }
  return -std::log(Generator->rnd()) / params[2 * static_cast<std::size_t>(branch)];
}

double Distributions::HypoExponential(int n, double* rates) {
  Sum = 0.0;
  for (int i = 0; i < n; i++)
    Sum += -std::log(Generator->rnd()) / rates[i];
  return Sum;
}

double Distributions::Pareto(double a, double b) {
  return std::exp(std::log(a) - std::log(Generator->rnd()) / b);
}
