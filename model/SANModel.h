#ifndef MODEL_SANMODEL_H
#define MODEL_SANMODEL_H

#include <cstdint>
#include <vector>

#include "model/BaseModelClass.h"
#include "model/State.h"
#include "state/BaseStateVariableClass.h"

class Activity;
class Place;
class StateLabels;
template <class T> class SharableSV;

// An atomic stochastic activity network: a flat set of places (local and
// read-only), activities and groups, and no children. Generated models
// derive from it and set everything up through initializeSANModelNow.
//
// State vector: the local places whose `shared` flag is clear, in index
// order, each writing its own bytes (2 for a place: a signed 16-bit marking
// in host byte order) with no header and no padding. StateSize() counts the
// local places whose `stored` flag is set; read-only places never count.
// CurrentState, SetState and CompareState run for every state and
// transition of the generator: they work on the caller's buffer and never
// allocate (after the first call, which records the place layout below).
//
// Place layout: for every local place, whether its dynamic type is exactly
// Place or SharableSV<short>. Such a place is read and written inline (its 2
// bytes straight through ValuePtr) instead of through its virtual
// operations; any other variable goes the general way. When every local
// place that is not shared is such a plain place, the layout also keeps
// their storage pointers in vector order, and the state operations are
// straight copies (and when every local place is plain, the state size is
// kept too). The layout is recorded on first use and kept while no
// variable's sharing changed (BaseStateVariableClass::sharingEpoch) and the
// Places array was not set again; code that writes entries of Places
// directly calls PlacesChanged().
//
// The model owns its four arrays, not the places, activities and groups.
class SANModel : public BaseModelClass {
public:
  // The numSVs - numReadOnlyPlaces local places, in declaration order.
  BaseStateVariableClass** Places;
  BaseStateVariableClass** ReadOnlyPlaces;
  int numReadOnlyPlaces;

  // A saved SAN state: a copy of the model's state vector.
  class LocalState : public State {
  public:
    char* StateBytes;
    int StateBytesSize;

    // A buffer of m->StateSize() bytes (contents undefined until GetState).
    explicit LocalState(SANModel* m);
    LocalState(const LocalState&) = delete;
    ~LocalState() override;

    // Sum of (byte i as a signed 8-bit value) * primes[i % 256], wrapping.
    std::uint32_t hash() const override;
    // memcmp order of the bytes (compared unsigned): -1, 0 or +1.
    int compare(const State& other) const override;
    // Each byte as a signed decimal in a field of 5, then a newline.
    void print() const override;
    // The size as a native 4-byte integer, then the bytes.
    bool fwriteState(FILE* f) const override;
    // Reads a record written by fwriteState. A stored size other than this
    // state's buffer size (the model's StateSize() when it was made) is
    // rejected (returns true) and the state is left unchanged.
    bool freadState(FILE* f) override;
    // Sizes must be equal (asserted); copies the bytes.
    State& operator=(const State& other) override;
    LocalState& operator=(const LocalState& other);
    void SetState(const BaseModelClass* m) const override;
    void GetState(const BaseModelClass* m) override;
    char* GetStatePtr() override { return StateBytes; }

  private:
    // Bytes allocated for StateBytes (its size at construction).
    int capacity;
  };

  // Everything zero or null.
  SANModel();
  SANModel(const char* name, int numPlaces, BaseStateVariableClass** places, int numReadOnly,
           BaseStateVariableClass** readOnly, int numActs, Activity** acts, int numGrps,
           BaseGroupClass** grps);
  ~SANModel() override;

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
  using BaseModelClass::printState;
  // "Model: (<id>)<Name>", then "  " and each place's own line.
  void printState(std::ostream* os) override;
  // The Places array.
  BaseStateVariableClass** GetLocalStateVariables(std::ostream* os) override;
  int GetModelType() override;
  int GetNumberOfChildren() override;
  BaseModelClass* GetChild(int i) override;
  // Global actions: the model's actions that appear in the action lists of
  // a place that joined another variable's sharing group; pushed in
  // ascending address order (so out ends up descending).
  void GetGlobalActions(slist<BaseActionClass*>& out) override;
  // The others, pushed in index order (so out ends up in reverse order).
  void GetLocalActions(slist<BaseActionClass*>& out) override;
  // StateSize() > 0.
  bool HasLocalState() override;
  void GetLocalState(State* s) override;
  void SetLocalState(const State* s) override;
  void ConstructLocalState(State*& s) override;
  void DestructLocalState(State* s) override;

  // Copies the name, counts and the four arrays (pointers only) and makes
  // this model the owning model of every action and group.
  void initializeSANModelNow(const char* name, int numPlaces, BaseStateVariableClass** places,
                             int numReadOnly, BaseStateVariableClass** readOnly, int numActs,
                             Activity** acts, int numGrps, BaseGroupClass** grps);
  // Overwrite the current array contents (as many entries as the counts
  // say); SetActions and SetGroups also set the owning model.
  void SetPlaces(BaseStateVariableClass** places);
  void SetReadOnlyPlaces(BaseStateVariableClass** readOnly);
  void SetActions(Activity** acts);
  void SetGroups(BaseGroupClass** grps);
  // To be called after writing entries of the Places array directly (the
  // setters above need no call): the state layout is recorded again.
  void PlacesChanged() { LayoutValid = false; }
  void PrintSANModelInfo();
  // The labels the model declares, or null (the default: none). Generated
  // models with `label` declarations return theirs.
  virtual const StateLabels* Labels() const { return nullptr; }

private:
  // One local place as recorded in the layout: the variable, and the same
  // variable as a 16-bit sharable value when it takes the inline path (else
  // null).
  struct PlaceSlot {
    BaseStateVariableClass* variable;
    SharableSV<short>* plain;
  };
  std::vector<PlaceSlot> Layout;
  // The Places array as recorded (its size tells a changed count).
  std::vector<BaseStateVariableClass*> RecordedPlaces;
  // Every unshared local place is plain: the vector is the 2 bytes at each
  // of PlainValues, in order.
  bool AllPlain = false;
  std::vector<short*> PlainValues;
  // StateSize() when every local place is plain, else -1.
  int RecordedSize = -1;
  std::uint64_t RecordedEpoch = 0;
  bool LayoutValid = false;

  // The layout is still that of the variables in Places (as far as their
  // changes were announced).
  bool LayoutHolds() const {
    const int count = numSVs - numReadOnlyPlaces;
    return LayoutValid && RecordedEpoch == BaseStateVariableClass::sharingEpoch() &&
           RecordedPlaces.size() == static_cast<std::size_t>(count > 0 ? count : 0);
  }
  // The layout of the current Places array, recorded on first use. The check
  // runs on every state operation, so it stays inline.
  const PlaceSlot* PlaceLayout() {
    if (LayoutHolds())
      return Layout.data();
    return RecordPlaceLayout();
  }
  const PlaceSlot* RecordPlaceLayout();
};

// True when the given array equals the model's array pointer by pointer (an
// empty model array always matches).
bool checkLocalSVs(SANModel* m, Place** places);
bool checkReadOnlyPlaces(SANModel* m, BaseStateVariableClass** readOnly);
bool checkLocalActions(SANModel* m, Activity** acts);

#endif
