#ifndef TESTS_SSG_IMPULSEMODELS_H
#define TESTS_SSG_IMPULSEMODELS_H

// Reward variables whose rate reward and impulses are functions a test
// gives (reading a SmallSAN's markings), a reward model over them, and
// readers of the .rew and .imp files written independently of the writers,
// from the layout docs/formats.md gives.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "reward/ImpulseNodeClass.h"
#include "reward/InstantOfTime.h"
#include "reward/PVModel.h"
#include "reward/PerformanceVariableNode.h"
#include "tests/ssg/GenHarness.h"
#include "tests/ssg/SmallModels.h"

using ValueFunction = std::function<double()>;

class FunctionRateWorker : public InstantOfTime {
public:
  ValueFunction Function;
  BaseModelClass* Ref = nullptr;
  explicit FunctionRateWorker(ValueFunction f) : Function(std::move(f)) {
    NumReferences = 1;
    References = new BaseModelClass**[1];
    References[0] = &Ref;
  }
  double Reward_Function() override { return Function(); }
};

class FunctionImpulse : public ImpulseNodeClass {
public:
  ValueFunction Function;
  BaseModelClass* Refs[2] = {nullptr, nullptr};
  explicit FunctionImpulse(ValueFunction f) : Function(std::move(f)) {
    MaxModels = 1;
    NumReferences = 2;
    References = new BaseModelClass**[2];
    References[0] = &Refs[0];
    References[1] = &Refs[1];
  }
  void EndImpulse(double) override {}
  double Impulse_Function() override { return Function(); }
  void AccumulateImpulse(double) override { Value += Function(); }
  void CurrentImpulse() override {
    Value = Function();
    ValueSquared = Value * Value;
  }
  void ResetImpulse() override { Reset(); }
  ImpulseNodeClass** CreateImpulseWorkers(int n) override {
    auto** workers = new ImpulseNodeClass*[n];
    for (int i = 0; i < n; i++)
      workers[i] = new FunctionImpulse(Function);
    return workers;
  }
};

// A variable of the SmallSAN "Small": rate reward `rate` (none when empty),
// and per (activity name, function) an impulse; time points (start, stop).
struct VariableSpec {
  std::string name;
  ValueFunction rate;
  std::vector<std::pair<std::string, ValueFunction>> impulses;
  RewardType type = STEADY_STATE;
  std::vector<std::pair<double, double>> times = {{0.0, 1.0}};
};

class FunctionPV : public PerformanceVariableNode {
public:
  BaseModelClass* TheModelPtr = nullptr;
  ValueFunction Rate;
  std::vector<std::unique_ptr<FunctionImpulse>> Definitions;

  explicit FunctionPV(const VariableSpec& spec) : Rate(spec.rate) {
    ModelSlot = &TheModelPtr;
    std::vector<double> start, stop;
    for (const auto& [s, e] : spec.times) {
      start.push_back(s);
      stop.push_back(e);
    }
    Initialize(spec.name.c_str(), spec.type, static_cast<int>(spec.times.size()), start.data(),
               stop.data(), 0, static_cast<int>(spec.impulses.size()), 1, 0);
    if (Rate)
      AddModelDependency("Small");
    for (const auto& [action, f] : spec.impulses) {
      Definitions.push_back(std::make_unique<FunctionImpulse>(f));
      AddImpulse(action.c_str(), "Small", Definitions.back().get());
    }
  }
  void CreateWorkerList() override {
    for (int i = 0; i < NumWorkers; i++)
      Workers[i] = new FunctionRateWorker(Rate);
  }
};

class FunctionRewardModel : public PVModel {
public:
  std::vector<VariableSpec> Specs;
  FunctionRewardModel(BaseModelClass* child, std::vector<VariableSpec> specs)
      : Specs(std::move(specs)) {
    ChildModel = child;
    DefineName("FunctionRewards");
    CreatePVList(static_cast<int>(Specs.size()), false);
    Initialize();
  }
  PerformanceVariableNode* createPVNode(int pv, int) override {
    return pv >= 0 && pv < static_cast<int>(Specs.size()) ? new FunctionPV(Specs[pv]) : nullptr;
  }
};

// Little-endian fields read from a byte string; `ok` turns false when the
// bytes run out.
struct ByteReader {
  const std::string& bytes;
  std::size_t at = 0;
  bool ok = true;
  std::size_t left() const { return bytes.size() - at; }
  uint32_t u32() {
    if (left() < 4) {
      ok = false;
      return 0;
    }
    uint32_t v = 0;
    for (int i = 3; i >= 0; i--)
      v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
    at += 4;
    return v;
  }
  double f64() {
    if (left() < 8) {
      ok = false;
      return 0;
    }
    uint64_t v = 0;
    for (int i = 7; i >= 0; i--)
      v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
    at += 8;
    double d;
    std::memcpy(&d, &v, sizeof d);
    return d;
  }
  std::string text(std::size_t n) {
    if (left() < n) {
      ok = false;
      return {};
    }
    std::string t = bytes.substr(at, n);
    at += n;
    return t;
  }
};

// A .rew file as read: complete only with its magic, whole records and a
// trailer whose count matches them.
struct RewContents {
  bool complete = false;
  std::vector<std::vector<std::pair<double, double>>> times; // per variable
  std::vector<std::vector<double>> rates;                    // per state
};

inline RewContents ReadRew(const std::string& path) {
  const std::string bytes = ReadFile(path);
  RewContents rew;
  ByteReader in{bytes};
  if (in.text(8) != "SSGREW1\n")
    return rew;
  const uint32_t k = in.u32();
  for (uint32_t v = 0; v < k && in.ok; v++) {
    const uint32_t m = in.u32();
    rew.times.emplace_back();
    for (uint32_t t = 0; t < m && in.ok; t++) {
      const double start = in.f64();
      const double stop = in.f64();
      rew.times.back().emplace_back(start, stop);
    }
  }
  // Records of 8k bytes, then the 8-byte trailer.
  while (in.ok && in.left() > 8) {
    rew.rates.emplace_back();
    for (uint32_t v = 0; v < k; v++)
      rew.rates.back().push_back(in.f64());
  }
  const uint32_t n = in.u32();
  rew.complete = in.ok && in.text(4) == "END\n" && in.ok && in.left() == 0 && n == rew.rates.size();
  return rew;
}

// An .imp entry: per variable (A, L).
using ImpulseEntry = std::vector<std::pair<double, double>>;

struct ImpContents {
  bool complete = false;
  uint32_t k = 0;
  std::vector<uint32_t> states;                   // record numbers in file order
  std::vector<std::vector<ImpulseEntry>> entries; // per record
};

inline ImpContents ReadImp(const std::string& path) {
  const std::string bytes = ReadFile(path);
  ImpContents imp;
  ByteReader in{bytes};
  if (in.text(8) != "SSGIMP1\n")
    return imp;
  imp.k = in.u32();
  while (in.ok && in.left() > 8) {
    imp.states.push_back(in.u32());
    const uint32_t e = in.u32();
    imp.entries.emplace_back();
    for (uint32_t j = 0; j < e && in.ok; j++) {
      ImpulseEntry entry;
      for (uint32_t v = 0; v < imp.k; v++) {
        const double a = in.f64();
        const double l = in.f64();
        entry.emplace_back(a, l);
      }
      imp.entries.back().push_back(entry);
    }
  }
  const uint32_t n = in.u32();
  imp.complete =
      in.ok && in.text(4) == "END\n" && in.ok && in.left() == 0 && n == imp.states.size();
  return imp;
}

#endif
