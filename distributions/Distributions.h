#ifndef DISTRIBUTIONS_DISTRIBUTIONS_H
#define DISTRIBUTIONS_DISTRIBUTIONS_H

#include "distributions/RandomNumberGenerator.h"

// Turns the uniform numbers of a generator into variates of 17 distributions.
// U, U1, U2, ... below are successive rnd() values of Generator. The samplers
// do not validate their parameters: a rate of 0 or p = 1 for Geometric give
// whatever the formula gives (infinities or NaN).
//
// The object owns Generator (it is deleted with the object); copying would
// share it, so copies are not allowed.
class Distributions {
public:
  RandomNumberGenerator* Generator;

  // Scratch of one draw; no meaning between calls.
  double U1;
  double U2;
  double V1;
  double V2;
  double S;
  double Z;
  double Y;
  double W;
  double Sum;

  // The generator is a new, unseeded LaggedFibonacci.
  Distributions();
  ~Distributions();
  Distributions(const Distributions&) = delete;
  Distributions& operator=(const Distributions&) = delete;

  // -ln U / rate.
  double Exponential(double rate);
  // d; draws nothing.
  double Deterministic(double d);
  // floor(ln U / ln(1 - p)): failures before the first success.
  double Geometric(double p);
  // b * (-ln U)^(1/a), shape a and scale b.
  double Weibull(double a, double b);
  // Remaining life of a Weibull(a, b) unit that has reached age c.
  double ConditionalWeibull(double a, double b, double c);
  // Normal variate by the polar method, redrawn until it is not negative.
  double Normal(double mean, double variance);
  // exp(mu + sqrt(variance) * Z) with Z standard normal.
  double Lognormal(double mu, double variance);
  // Sum of floor(m) exponential phases of total mean `mean`; 0 when m < 1.
  double Erlang(double m, double mean);
  // Minimum a, maximum b, mode c; a when a == b.
  double Triangular(double a, double b, double c);
  // Gamma variate of the given shape and scale.
  double Gamma(double shape, double scale);
  // G1 / (G1 + G2) with G1, G2 gamma variates of shapes a and b; in [0, 1].
  double Beta(double a, double b);
  // a + (b - a) * U.
  double Uniform(double a, double b);
  // Successes in ceil(n) trials of success probability p (0 when n <= 0).
  double Binomial(double n, double p);
  // Sum of ceil(r) geometric terms (0 when r <= 0).
  double NegativeBinomial(double r, double p);
  // params holds n pairs (rate, weight): one branch is chosen with
  // probability weight / total weight, then an exponential of its rate.
  double HyperExponential(int n, double* params);
  // Sum of n exponentials with the rates rates[0 .. n-1].
  double HypoExponential(int n, double* rates);
  // a * U^(-1/b).
  double Pareto(double a, double b);

private:
  // Standard normal variate by the polar method.
  double polarNormal();
  // Gamma variate of the given shape and scale 1.
  double gammaShape(double shape);
};

#endif
