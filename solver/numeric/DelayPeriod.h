#ifndef SOLVER_DELAYPERIOD_H
#define SOLVER_DELAYPERIOD_H

#include <cstdint>
#include <vector>

class RateMatrix;

// The periods of one deterministic delay of length tau: what happens from the
// moment the delay starts in a state until it fires or is disabled.
//
// The delay's states S are those in which it is enabled. While it runs, the
// chain moves by its exponential transitions (the rows of the rate matrix):
// one into a state of S keeps the delay running (the subordinated chain), one
// out of S disables it and ends the period there. The period ends at tau at
// the latest, in the state the subordinated chain is in then (where the
// delay fires).
//
// For a period started in state i (run()):
// - atEnd(s):  P(the delay is still running at tau and the chain is in s),
//   s in S: the transient probabilities of the subordinated chain at tau;
// - time(s):   the expected time spent in s in [0, min(tau, end)), s in S
//   (the conversion factors);
// - exitAt(j): P(the period ends before tau by a move into j), j not in S;
// - length():  the sum of time(s), the expected length of the period.
// accumulate() gives the times of a whole vector of started periods at once.
//
// Method: uniformization of the subordinated chain with rate q, the largest
// exit rate of a state of S, and P = I + Q_S/q with the moves out of S
// absorbing. With p_k the vector after k steps from e_i and w_k the Poisson(q
// tau) probabilities, T_k = P(N > k):
//   atEnd = sum_k w_k p_k,  time = (1/q) sum_k T_k p_k,
//   exitAt(j) = sum_k T_k (mass moved from p_k into j at step k + 1).
// The Poisson window (FoxGlynn) leaves out at most epsilon of the mass above
// it and 1e-200 below it (the steps below are computed anyway): a period's
// probabilities sum to at least 1 - epsilon - 1e-200. The expected time
// beyond the window, q tau minus the T_k inside it, is counted with the
// window's last vector, so that the times always sum to the period's length
// (a delay with q tau below epsilon has the window [0, 0] and lasts tau). A step touches only the
// states the period can have reached (a list of them is kept), so a period that visits few states
// costs little whatever the size of S.
//
// Memory: seven vectors of 8 bytes per state of the chain (dense work
// arrays, so that no step allocates), and the Poisson weights.
class DelayPeriod {
public:
  // `delayOf[s]`: the delay enabled in state s (its index) or `none`;
  // `delay`: the index of this one; `states`: S, each once. epsilon in (0, 1).
  DelayPeriod(const RateMatrix& matrix, const std::uint32_t* delayOf, std::uint32_t delay,
              double length, const std::vector<std::uint32_t>& states, double epsilon);

  // Computes the period started in `start` (a state of S); the results stay
  // until the next run().
  void run(std::uint32_t start);
  // The states of S with a non-zero atEnd or time, and the exit targets.
  const std::vector<std::uint32_t>& reached() const { return Reached; }
  const std::vector<std::uint32_t>& exits() const { return Exits; }
  double atEnd(std::uint32_t s) const { return AtEnd[s]; }
  double time(std::uint32_t s) const { return Time[s]; }
  double exitAt(std::uint32_t j) const { return Exit[j]; }
  double length() const { return Length; }

  // times[s] += sum_i weights[i] time_i(s) for s in S, with weights[i] the
  // weight of a period started in state i of S (other entries unused): one
  // uniformization pass over the whole vector.
  void accumulate(const std::vector<double>& weights, std::vector<double>& times) const;

  double rate() const { return Rate; }
  // The Poisson window's right end (steps per period, at most).
  std::uint64_t steps() const { return Right; }

private:
  const RateMatrix& Matrix;
  const std::uint32_t* DelayOf;
  std::uint32_t Delay;
  double Tau;
  const std::vector<std::uint32_t>& States;
  double Rate = 0;
  std::uint64_t Left = 0, Right = 0;
  std::vector<double> Weight; // w_k for k in [0, Right] (0 below Left)
  std::vector<double> Tail;   // T_k = P(N > k) within the window

  // Work and results of run().
  std::vector<double> Current, Next, AtEnd, Time, Exit;
  std::vector<std::uint32_t> Support, NextSupport, Reached, Exits;
  // Marks of the states in NextSupport (the step's stamp) and in Reached or
  // Exits (the period's stamp); 64-bit stamps never wrap.
  std::vector<std::uint64_t> NextMark, RowMark;
  std::uint64_t Stamp = 0, RowStamp = 0;
  double Length = 0;
};

#endif
