#ifndef REWARD_PERFORMANCEVARIABLEWORKER_H
#define REWARD_PERFORMANCEVARIABLEWORKER_H

class BaseModelClass;

// Evaluates the reward function of one performance variable on one
// combination of model instances. The subclasses InstantOfTime,
// IntervalOfTime and SteadyState give the time semantics; generated code
// derives one worker class per variable and supplies Reward_Function().
//
// References: entry j points at the derived class's j-th model pointer
// member (declared as BaseModelClass*); the variable writes the instance of
// its j-th model name through it when binding. The worker owns the array and
// its Name; both are released by the destructor, so a derived class that
// frees either itself must leave the field null.
class PerformanceVariableWorker {
public:
  BaseModelClass*** References;
  int NumReferences;
  char* Name;
  int WorkerIndex;
  int PVIndex;
  double RewardValue;
  double RewardSquared;
  double Fraction;
  double StartTime;
  double StopTime;

  PerformanceVariableWorker();
  virtual ~PerformanceVariableWorker();
  PerformanceVariableWorker(const PerformanceVariableWorker&) = delete;
  PerformanceVariableWorker& operator=(const PerformanceVariableWorker&) = delete;

  // The reward function on the referenced instances, in the current state.
  virtual double Reward_Function() = 0;
  // One accumulation step from time last to time t.
  virtual void Accumulate(double t, double last) = 0;
  // Evaluates the reward in the current state into RewardValue.
  virtual void CurrentReward();
  virtual void Reset();

  // Name = copy of name (an earlier copy is released), WorkerIndex = index.
  void DefineName(const char* name, int index);
};

#endif
