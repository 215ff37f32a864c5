#ifndef MODEL_STATE_H
#define MODEL_STATE_H

#include <cstdint>
#include <cstdio>

class BaseModelClass;

// A saved state of one model: captured with GetState, applied with SetState,
// hashed, ordered, written to and read from a file, printed.
class State {
public:
  State() = default;
  State(const State&) = delete;

  // 1 in the base.
  virtual std::uint32_t hash() const;
  // 1 in the base; otherwise -1, 0 or +1 as the byte images compare.
  virtual int compare(const State& other) const;
  virtual void print() const = 0;
  // Both return true on a failed or short transfer.
  virtual bool fwriteState(FILE* f) const = 0;
  virtual bool freadState(FILE* f) = 0;
  // Copies other's saved bytes into this state.
  virtual State& operator=(const State& other) = 0;
  virtual ~State();
  // Restores model m from the saved state.
  virtual void SetState(const BaseModelClass* m) const = 0;
  // Captures the current state of model m.
  virtual void GetState(const BaseModelClass* m) = 0;
  virtual char* GetStatePtr() = 0;
};

#endif
