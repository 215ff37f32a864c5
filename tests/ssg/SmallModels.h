#ifndef TESTS_SSG_SMALLMODELS_H
#define TESTS_SSG_SMALLMODELS_H

// Small hand-built models for generator tests: a SAN whose places are plain
// markings and whose activities are given as functions, wrapped in a reward
// model without performance variables.

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "model/Activity.h"
#include "model/SANModel.h"
#include "reward/PVModel.h"
#include "state/Place.h"

class FunctionActivity : public Activity {
public:
  std::function<bool()> enabled = [] { return false; };
  std::function<double()> rate = [] { return 0.0; };
  std::function<void()> fire = [] {};
  double weight = 1.0;
  int rank = 1;
  double phases = 1.0;

  FunctionActivity(const char* name, int groupId, Distribution distribution) {
    ActivityInitialize(name, groupId, distribution, DEFAULT_POLICY, 0, 2, false);
  }
  bool Enabled() override {
    PreviouslyEnabled = CurrentlyEnabled;
    CurrentlyEnabled = enabled();
    return CurrentlyEnabled;
  }
  double Rate() override { return rate(); }
  double Weight() override { return weight; }
  int Rank() override { return rank; }
  double ErlangParamM() override { return phases; }
  BaseActionClass* Fire() override {
    fire();
    return this;
  }
  void LinkVariables() override {}
};

// Places first (add), then activities (activity, each its own group in the
// order added unless groups are given), then finish().
class SmallSAN : public SANModel {
public:
  std::vector<Place*> places;
  std::vector<FunctionActivity*> activities;
  std::vector<BaseGroupClass*> extraGroups;

  int add(const char* name, short initial) {
    places.push_back(new Place(name, initial));
    return static_cast<int>(places.size()) - 1;
  }
  short& mark(int place) { return *places[place]->Mark; }

  FunctionActivity* activity(const char* name, Distribution distribution = EXPONENTIAL) {
    auto* a = new FunctionActivity(name, static_cast<int>(activities.size()), distribution);
    activities.push_back(a);
    return a;
  }

  // An activity enabled while place p holds `from`; it sets p to `to`.
  FunctionActivity* move(const char* name, int p, short from, short to, double rate,
                         Distribution distribution = EXPONENTIAL) {
    FunctionActivity* a = activity(name, distribution);
    a->enabled = [this, p, from] { return mark(p) == from; };
    a->rate = [rate] { return rate; };
    a->fire = [this, p, to] { mark(p) = to; };
    return a;
  }

  // Groups: the activities (each its own group), then extraGroups.
  void finish() {
    std::vector<BaseStateVariableClass*> p(places.begin(), places.end());
    std::vector<Activity*> a(activities.begin(), activities.end());
    std::vector<BaseGroupClass*> g(activities.begin(), activities.end());
    g.insert(g.end(), extraGroups.begin(), extraGroups.end());
    initializeSANModelNow("Small", static_cast<int>(p.size()), p.data(), 0, nullptr,
                          static_cast<int>(a.size()), a.data(), static_cast<int>(g.size()),
                          g.data());
  }

  ~SmallSAN() override {
    for (Place* place : places)
      delete place;
    for (FunctionActivity* a : activities)
      delete a;
    for (BaseGroupClass* g : extraGroups)
      delete g;
  }
};

// A reward model without performance variables over a SmallSAN, or any
// other model (owned).
class SmallPVModel : public PVModel {
public:
  explicit SmallPVModel(BaseModelClass* child) {
    ChildModel = child;
    DefineName("SmallPV");
    CreatePVList(0, false);
    Initialize();
  }
  PerformanceVariableNode* createPVNode(int, int) override { return nullptr; }
};

#endif
