#include "solver/property/StateReduction.h"

#include <cassert>

#include "solver/numeric/RateMatrix.h"

StateReduction::Result StateReduction::Solve(const RateMatrix& matrix,
                                             const std::vector<std::uint32_t>& transient,
                                             const std::vector<std::uint8_t>& group,
                                             std::size_t groups, const CompactColumn* reward) {
  assert(!transient.empty() && transient[0] == 0 && "state 1 is transient and comes first");
  const std::size_t m = transient.size();
  constexpr std::uint32_t Outside = UINT32_MAX;
  std::vector<std::uint32_t> local(matrix.states(), Outside);
  for (std::size_t i = 0; i < m; i++)
    local[transient[i]] = static_cast<std::uint32_t>(i);
  std::vector<double> rates(m * m, 0.0);       // rates[i * m + j]: i -> j among T
  std::vector<double> absorb(m * groups, 0.0); // absorb[i * groups + g]
  std::vector<double> rho(m, 0.0);
  for (std::size_t i = 0; i < m; i++) {
    const std::uint32_t s = transient[i];
    for (std::uint64_t e = matrix.rowBegin(s); e < matrix.rowEnd(s); e++) {
      const std::uint32_t t = matrix.column(e);
      if (local[t] != Outside)
        rates[i * m + local[t]] += matrix.rate(e);
      else
        absorb[i * groups + group[t]] += matrix.rate(e);
    }
    rho[i] = reward != nullptr ? (*reward)[s] : 1.0;
  }

  for (std::size_t k = m; k-- > 1;) {
    // k's exit rate over what remains: states 0 .. k-1 and the groups.
    double exit = 0;
    for (std::size_t j = 0; j < k; j++)
      exit += rates[k * m + j];
    for (std::size_t g = 0; g < groups; g++)
      exit += absorb[k * groups + g];
    if (exit == 0)
      continue; // k reaches nothing that remains: no path through it
    for (std::size_t i = 0; i < k; i++) {
      const double toK = rates[i * m + k];
      if (toK == 0)
        continue;
      const double f = toK / exit;
      for (std::size_t j = 0; j < k; j++)
        if (j != i)
          rates[i * m + j] += f * rates[k * m + j];
      for (std::size_t g = 0; g < groups; g++)
        absorb[i * groups + g] += f * absorb[k * groups + g];
      rho[i] += f * rho[k];
    }
  }
  Result result;
  double total = 0;
  for (std::size_t g = 0; g < groups; g++)
    total += absorb[g];
  result.Absorbed.assign(groups, 0.0);
  for (std::size_t g = 0; g < groups; g++)
    result.Absorbed[g] = total > 0 ? absorb[g] / total : 0.0;
  result.Reward = total > 0 ? rho[0] / total : 0.0;
  return result;
}
