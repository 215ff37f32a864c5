#ifndef SSG_OUTOFMEMORY_H
#define SSG_OUTOFMEMORY_H

#include <cstdint>
#include <new>

// The end of a run that needs more memory than the process may use.
//
// The state store and the state table allocate with std::nothrow and call
// Exit with the size they asked for. Every other allocation of the run is
// covered by an OutOfMemory object: while it lives, an operator new that
// fails ends the run through the same message, with the size unknown.
//
// Message (standard error), then exit status 1:
//   Error: out of memory after storing <n> states: could not allocate <b>
//   bytes for <purpose>
//   Give the run more memory, or reduce the model.
// In a worker of a distributed run (ForWorker) the first line names the
// worker ("Error: out of memory in worker 2 of 4 on <host> after storing
// ..."), and the run ends through the given function, which ends every
// worker with the status.
class OutOfMemory {
public:
  // Installs the new-handler; statesStored is read when memory runs out and
  // must outlive this object.
  explicit OutOfMemory(const uint32_t& statesStored);
  // Restores the previous new-handler.
  ~OutOfMemory();
  OutOfMemory(const OutOfMemory&) = delete;
  OutOfMemory& operator=(const OutOfMemory&) = delete;

  // bytesAsked 0 stands for an allocation of unknown size.
  [[noreturn]] static void Exit(uint64_t statesStored, uint64_t bytesAsked, const char* purpose);

  // From now on the message names `worker` (kept, not copied) and the run
  // ends through `end`.
  static void ForWorker(const char* worker, void (*end)(int));

private:
  static void Handler();
  static const char* Worker;
  static void (*End)(int);
  static const uint32_t* StatesStored;
  std::new_handler Previous;
  const uint32_t* PreviousStatesStored;
};

#endif
