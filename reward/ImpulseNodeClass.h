#ifndef REWARD_IMPULSENODECLASS_H
#define REWARD_IMPULSENODECLASS_H

class BaseModelClass;

// Base of the generated impulse-reward classes. The same class serves as the
// definition of an impulse (held by the performance variable in Impulses) and
// as the type of its workers (created by CreateImpulseWorkers, one per
// combination of model instances).
//
// A worker reads its model instances through References, exactly like a rate
// worker: entry j points at the derived class's j-th model pointer member and
// receives the instance of the impulse's j-th model name (the model owning
// the triggering action comes last when it is not among the names). A derived
// class that reads no model leaves References null and NumReferences 0.
class ImpulseNodeClass {
public:
  char* Name;
  int WorkerIndex;
  int ImpulseIndex;
  int MaxModels;
  double Value;
  double ValueSquared;
  BaseModelClass*** References;
  int NumReferences;

  ImpulseNodeClass();
  virtual ~ImpulseNodeClass();
  ImpulseNodeClass(const ImpulseNodeClass&) = delete;
  ImpulseNodeClass& operator=(const ImpulseNodeClass&) = delete;

  // Closes an accumulation at time t.
  virtual void EndImpulse(double t) = 0;
  // The impulse function itself: the reward earned by one firing.
  virtual double Impulse_Function() = 0;
  // Adds the reward of the firing just accumulated at time t.
  virtual void AccumulateImpulse(double t) = 0;
  // Sets Value and ValueSquared for the firing just made.
  virtual void CurrentImpulse() = 0;
  virtual void ResetImpulse() = 0;
  // Returns a new[] array of n new workers of the derived class; the caller
  // owns the array and the workers.
  virtual ImpulseNodeClass** CreateImpulseWorkers(int n) = 0;

  // Replaces Name by a copy of name and records the indices.
  void DefineName(const char* name, int impulse, int worker);
  // Value = ValueSquared = 0.
  void Reset();
  static double min(double a, double b) { return a < b ? a : b; }
  static double max(double a, double b) { return a > b ? a : b; }
};

#endif
