#include "solver/property/ReachabilityGraph.h"

#include "solver/numeric/RateMatrix.h"

ReachabilityGraph::ReachabilityGraph(const RateMatrix& matrix) : Matrix(matrix) {
  const std::uint32_t n = matrix.states();
  PredStart.assign(std::size_t(n) + 1, 0);
  for (std::uint64_t e = 0; e < matrix.transitions(); e++)
    PredStart[matrix.column(e) + 1]++;
  for (std::uint32_t j = 0; j < n; j++)
    PredStart[j + 1] += PredStart[j];
  Pred.resize(matrix.transitions());
  std::vector<std::uint64_t> fill(PredStart.begin(), PredStart.end() - 1);
  for (std::uint32_t i = 0; i < n; i++)
    for (std::uint64_t e = matrix.rowBegin(i); e < matrix.rowEnd(i); e++)
      Pred[fill[matrix.column(e)]++] = i;
}

ReachabilityGraph::Mask ReachabilityGraph::backward(const Mask& from, const Mask& through) const {
  const std::uint32_t n = Matrix.states();
  Mask seen(n, 0);
  std::vector<std::uint32_t> queue;
  for (std::uint32_t j = 0; j < n; j++)
    if (from[j] != 0) {
      seen[j] = 1;
      queue.push_back(j);
    }
  for (std::size_t head = 0; head < queue.size(); head++) {
    const std::uint32_t j = queue[head];
    for (std::uint64_t p = PredStart[j]; p < PredStart[j + 1]; p++) {
      const std::uint32_t i = Pred[p];
      if (seen[i] == 0 && through[i] != 0) {
        seen[i] = 1;
        queue.push_back(i);
      }
    }
  }
  return seen;
}

ReachabilityGraph::Mask ReachabilityGraph::probability0(const Mask& phi, const Mask& psi) const {
  const Mask everywhere(Matrix.states(), 1);
  Mask reach = backward(psi, phi.empty() ? everywhere : phi);
  for (std::uint8_t& r : reach)
    r = r == 0 ? 1 : 0;
  return reach;
}

ReachabilityGraph::Mask ReachabilityGraph::probability1(const Mask& phi, const Mask& psi,
                                                        const Mask& zero) const {
  const std::uint32_t n = Matrix.states();
  Mask through(n, 0);
  for (std::uint32_t j = 0; j < n; j++)
    through[j] = (phi.empty() || phi[j] != 0) && psi[j] == 0 ? 1 : 0;
  Mask miss = backward(zero, through);
  for (std::uint8_t& m : miss)
    m = m == 0 ? 1 : 0;
  return miss;
}

ReachabilityGraph::Mask ReachabilityGraph::reachable() const {
  const std::uint32_t n = Matrix.states();
  Mask seen(n, 0);
  std::vector<std::uint32_t> queue{0};
  seen[0] = 1;
  for (std::size_t head = 0; head < queue.size(); head++) {
    const std::uint32_t i = queue[head];
    for (std::uint64_t e = Matrix.rowBegin(i); e < Matrix.rowEnd(i); e++) {
      const std::uint32_t j = Matrix.column(e);
      if (seen[j] == 0) {
        seen[j] = 1;
        queue.push_back(j);
      }
    }
  }
  return seen;
}

RateMatrix ReachabilityGraph::Absorbing(const RateMatrix& matrix, const Mask& absorbing) {
  const std::uint32_t n = matrix.states();
  std::uint64_t kept = 0;
  for (std::uint32_t i = 0; i < n; i++)
    if (absorbing[i] == 0)
      kept += matrix.rowEnd(i) - matrix.rowBegin(i);
  RateMatrix result;
  result.begin(n, kept);
  for (std::uint32_t i = 0; i < n; i++) {
    result.startRow();
    if (absorbing[i] != 0)
      continue;
    for (std::uint64_t e = matrix.rowBegin(i); e < matrix.rowEnd(i); e++)
      result.add(matrix.column(e), matrix.rate(e));
  }
  result.finish();
  return result;
}
