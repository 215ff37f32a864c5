#include "model/ActivityLinks.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "model/BaseActionClass.h"
#include "model/BaseGroupClass.h"
#include "state/SharableSV.h"

namespace {

// A known object: where it starts, and the action it is (or null).
struct KnownObject {
  std::uintptr_t start;
  BaseActionClass* action;
};

std::uintptr_t StartOf(const void* object) {
  return reinterpret_cast<std::uintptr_t>(object);
}

template <class F> void ForEachArc(BaseActionClass* action, F&& f) {
  for (List<BaseStateVariableClass>* list : {&action->EnablingSVs, &action->AffectedSVs}) {
    for (int i = 0; i < list->getNumItems(); i++)
      f(list->getItem(i));
  }
}

} // namespace

BaseActionClass* ActivityLinks::FindUnlinked(BaseActionClass* const* actions, int numActions,
                                             BaseGroupClass* const* groups, int numGroups) {
  std::vector<KnownObject> known;
  for (int i = 0; i < numActions; i++) {
    known.push_back({StartOf(dynamic_cast<const void*>(actions[i])), actions[i]});
    ForEachArc(actions[i], [&](BaseStateVariableClass* sv) {
      known.push_back({StartOf(dynamic_cast<const void*>(sv)), nullptr});
    });
  }
  for (int i = 0; i < numGroups; i++)
    known.push_back({StartOf(dynamic_cast<const void*>(groups[i])), nullptr});
  // An action that is also a group appears twice at one start: keep the
  // action.
  std::sort(known.begin(), known.end(), [](const KnownObject& a, const KnownObject& b) {
    return a.start != b.start ? a.start < b.start : a.action != nullptr && b.action == nullptr;
  });

  auto objectAt = [&](std::uintptr_t address) -> BaseActionClass* {
    auto after = std::upper_bound(
        known.begin(), known.end(), address,
        [](std::uintptr_t a, const KnownObject& object) { return a < object.start; });
    if (after == known.begin())
      return nullptr;
    std::uintptr_t start = std::prev(after)->start;
    // The first entry at that start (the action, if one starts there).
    auto first = std::lower_bound(
        known.begin(), known.end(), start,
        [](const KnownObject& object, std::uintptr_t s) { return object.start < s; });
    return first->action;
  };

  for (int i = 0; i < numActions; i++) {
    BaseActionClass* action = actions[i];
    bool hasArcs = false;
    bool linked = false;
    ForEachArc(action, [&](BaseStateVariableClass* sv) {
      hasArcs = true;
      auto* place = dynamic_cast<SharableSV<short>*>(sv);
      // A variable of another kind keeps no registrations this check can
      // read: the action is taken as linked.
      if (place == nullptr)
        linked = true;
      if (linked)
        return;
      for (PointerElement<short>* e = place->MainSV->getHead(); e != nullptr; e = e->next) {
        if (e->owner == nullptr && objectAt(StartOf(e->location)) == action) {
          linked = true;
          break;
        }
      }
    });
    if (hasArcs && !linked)
      return action;
  }
  return nullptr;
}
