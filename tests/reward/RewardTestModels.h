#ifndef TESTS_REWARD_REWARDTESTMODELS_H
#define TESTS_REWARD_REWARDTESTMODELS_H

// Small models and reward variables for the reward-model tests.
//
// TokenModel: a SAN model built from a table of places and of activities that
// move one token from one place to another (either side may be absent).
// ComposedModel: several such models under one name-less top model, so that a
// model name can have several instances.
// PlaceRewardNode: a rate reward that sums the markings of the variables it
// depends on; ConstantImpulse: an impulse reward worth a fixed amount per
// firing.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "model/Activity.h"
#include "model/SANModel.h"
#include "reward/ImpulseNodeClass.h"
#include "reward/InstantOfTime.h"
#include "reward/PVModel.h"
#include "reward/PerformanceVariableNode.h"
#include "state/Place.h"

struct PlaceSpec {
  std::string name;
  short initial;
};

struct MoveSpec {
  std::string name;
  int from; // place index or -1
  int to;   // place index or -1
  double rate;
};

class MoveActivity : public Activity {
public:
  Place* From = nullptr;
  Place* To = nullptr;
  short* FromMark = nullptr;
  short* ToMark = nullptr;
  double TheRate = 1.0;

  bool Enabled() override;
  double Rate() override { return TheRate; }
  double Weight() override { return 1.0; }
  int Rank() override { return 1; }
  BaseActionClass* Fire() override;
  void LinkVariables() override;
};

class TokenModel : public SANModel {
public:
  std::vector<Place*> PlaceObjects;
  std::vector<MoveActivity*> ActivityObjects;

  TokenModel(const char* name, const std::vector<PlaceSpec>& places,
             const std::vector<MoveSpec>& moves);
  ~TokenModel() override;

  short mark(const char* place) const;
  void setMark(const char* place, short m);
  MoveActivity* activity(const char* name) const;
};

// Top model over owned children; its state is the children's states in turn.
class ComposedModel : public BaseModelClass {
public:
  std::vector<TokenModel*> Children;

  explicit ComposedModel(std::vector<TokenModel*> children);
  ~ComposedModel() override;

  void listModels(const char* name, List<BaseModelClass>* out) override;
  void CurrentState(void* buf) override;
  void listActions(List<BaseActionClass>* out) override;
  void listGroups(List<BaseGroupClass>* out) override;
  void SetState(void* buf) override;
  int StateSize() override;
  bool CompareState(void* a, void* b) override;
  void listActions(const char* name, List<BaseActionClass>* out) override;
  void listSVs(const char* model, const char* sv, List<BaseStateVariableClass>* svs,
               List<BaseModelClass>* models) override;
};

// Worker of PlaceRewardNode: the sum over its referenced models of the
// marking of the place named in the matching variable pair.
class PlaceSumWorker : public InstantOfTime {
public:
  std::vector<BaseModelClass*> Refs;
  std::vector<std::string> PlaceNames;

  explicit PlaceSumWorker(std::vector<std::string> placeNames);
  double Reward_Function() override;
};

class ConstantImpulse;

// pairs: (variable, model); one time point at 1.0. The impulse definitions
// added with AddConstantImpulse belong to the node.
class PlaceRewardNode : public PerformanceVariableNode {
public:
  BaseModelClass* TheModelPtr = nullptr;
  std::vector<std::string> PlaceNames;
  std::vector<std::unique_ptr<ConstantImpulse>> ImpulseDefinitions;

  PlaceRewardNode(const char* name, const std::vector<std::pair<std::string, std::string>>& pairs,
                  int maxImpulses = 0, RewardType type = INSTANT_OF_TIME);
  ~PlaceRewardNode() override;
  void CreateWorkerList() override;
  ConstantImpulse* AddConstantImpulse(const char* action, const char* model, double amount,
                                      int maxModels = 1);
};

class ConstantImpulse : public ImpulseNodeClass {
public:
  double Amount;
  BaseModelClass* Refs[2] = {nullptr, nullptr};

  explicit ConstantImpulse(double amount, int maxModels = 1);
  void EndImpulse(double) override {}
  double Impulse_Function() override { return Amount; }
  void AccumulateImpulse(double) override { Value += Amount; }
  void CurrentImpulse() override {
    Value = Amount;
    ValueSquared = Amount * Amount;
  }
  void ResetImpulse() override { Reset(); }
  ImpulseNodeClass** CreateImpulseWorkers(int n) override;
};

// A reward model over a child model, with variables handed in as factories.
class TestRewardModel : public PVModel {
public:
  std::vector<std::function<PerformanceVariableNode*()>> Factories;

  TestRewardModel(BaseModelClass* child, std::vector<std::function<PerformanceVariableNode*()>> pvs,
                  bool useIndex = false);
  PerformanceVariableNode* createPVNode(int pv, int timeIndex) override;
};

#endif
