#ifndef TESTS_SOLVER_DENSECHAIN_H
#define TESTS_SOLVER_DENSECHAIN_H

// An independent reference for small chains: its own stream-based reader of
// the .arm and .var files, the dense generator, the matrix exponential
// (Eigen's scaling-and-squaring Pade approximation) for transient values and
// that exponential squared until it stops changing for the long-run
// distribution. Shares no code with the solver.

#include <Eigen/Dense>
#include <unsupported/Eigen/MatrixFunctions>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

struct DenseChain {
  Eigen::MatrixXd Q;
  std::vector<Eigen::VectorXd> Rewards; // rate rewards, per variable

  // .arm and .var (text form) contents; `variables` as many as the .var has.
  static DenseChain Parse(const std::string& arm, const std::string& var, int variables) {
    DenseChain chain;
    std::istringstream in(arm);
    long type = 0, n = 0;
    in >> type >> n;
    chain.Q = Eigen::MatrixXd::Zero(n, n);
    for (long s = 1; s <= n; s++) {
      long number = 0, target = 0;
      in >> number;
      while (in >> target && target != 0) {
        double rate = 0;
        in >> rate;
        if (target != number) {
          chain.Q(number - 1, target - 1) += rate;
          chain.Q(number - 1, number - 1) -= rate;
        }
      }
    }
    std::istringstream rv(var);
    std::string name;
    for (int v = 0; v < variables; v++)
      std::getline(rv, name);
    chain.Rewards.assign(variables, Eigen::VectorXd::Zero(n));
    for (long s = 0; s < n; s++) {
      double number, impulse, rate;
      rv >> number;
      for (int v = 0; v < variables; v++) {
        rv >> impulse >> rate;
        chain.Rewards[v](s) = rate;
      }
    }
    return chain;
  }

  // Replaces the rate rewards with the exact ones of a .rew file's contents
  // (binary, little-endian as the test host: magic, k, per variable its
  // times, then k doubles per state).
  void ExactRewards(const std::string& rew) {
    std::size_t at = 8;
    auto take = [&](void* to, std::size_t n) {
      rew.copy(static_cast<char*>(to), n, at);
      at += n;
    };
    std::uint32_t k = 0, m = 0;
    take(&k, 4);
    for (std::uint32_t v = 0; v < k; v++) {
      take(&m, 4);
      at += 16 * std::size_t(m);
    }
    for (Eigen::Index s = 0; s < Q.rows(); s++)
      for (std::uint32_t v = 0; v < k; v++)
        take(&Rewards[v](s), 8);
  }

  // Distribution at time t from state 1.
  Eigen::RowVectorXd At(double t) const {
    Eigen::MatrixXd p = (Q * t).exp();
    return p.row(0);
  }

  // lim p(t): exp(Q) squared until the first row stops changing.
  Eigen::RowVectorXd Limit() const {
    Eigen::MatrixXd p = Q.exp();
    for (int k = 0; k < 80; k++) {
      Eigen::MatrixXd next = p * p;
      for (Eigen::Index i = 0; i < next.rows(); i++)
        next.row(i) /= next.row(i).sum();
      const double change = (next.row(0) - p.row(0)).cwiseAbs().sum();
      p = next;
      if (change < 1e-15 && k > 20)
        break;
    }
    return p.row(0);
  }
};

#endif
