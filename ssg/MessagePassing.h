#ifndef SSG_MESSAGEPASSING_H
#define SSG_MESSAGEPASSING_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ssg/ByteBuffer.h"

// The thin layer over MPI through which the workers of a distributed
// generation talk: every operation is collective (each worker calls it, in
// the same order) and moves plain bytes or 64-bit counts. Nothing else in the
// generator includes the MPI headers.
//
// Launched(): whether this process was started by mpirun (Open MPI's
// environment is there); only then is a MessagePassing constructed. The
// constructor initialises MPI (once per process). At exit MPI is finalised
// when the workers agreed to end (AgreeToEnd: every worker ends at the same
// point, or no collective operation follows), so that the launcher sees each
// worker's own exit status; a worker that ends otherwise (an exit from
// anywhere else) ends every worker with status 1 (AbortAll), so that none
// waits for it for ever.
class MessagePassing {
public:
  MessagePassing(int* argc, char*** argv);
  ~MessagePassing() = default;
  MessagePassing(const MessagePassing&) = delete;
  MessagePassing& operator=(const MessagePassing&) = delete;

  static bool Launched();

  int rank() const { return Rank; }
  int size() const { return Size; }
  // "worker <rank + 1> of <size> on <host>", for messages.
  const std::string& name() const { return Name; }

  // Every worker gives one buffer per worker (send[r] goes to worker r) and
  // gets what each sent it: the bytes from worker r are recv[from[r] ..
  // from[r + 1]), in rank order. Buffers of any size (sent in messages of
  // at most 1 GiB), straight from and into the buffers.
  void exchange(const std::vector<ByteBuffer>& send, ByteBuffer& recv,
                std::vector<std::size_t>& from);
  // Reductions over every worker's value.
  uint64_t minimum(uint64_t value);
  uint64_t maximum(uint64_t value);
  uint64_t sum(uint64_t value);
  // The sum of the values of the workers ranked below this one.
  uint64_t sumBelow(uint64_t value);
  // The bytes `text` of worker `root` to every worker.
  std::string broadcast(const std::string& text, int root);
  // From now on an exit of this worker finalises MPI normally.
  static void AgreeToEnd();
  // Ends every worker at once with the status (for failures that leave no
  // way to agree, such as running out of memory).
  [[noreturn]] static void AbortAll(int status);

private:
  int Rank = 0;
  int Size = 1;
  std::string Name;
};

#endif
