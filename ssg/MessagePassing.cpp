#include "ssg/MessagePassing.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
// The C interface only: Open MPI's C++ bindings are not used.
#define OMPI_SKIP_MPICXX 1
#include <mpi.h>

namespace {

// The largest message exchange() sends.
constexpr uint64_t MessageBytes = uint64_t(1) << 30;

bool Agreed = false;

// One worker's value combined over all workers.
uint64_t Reduce(uint64_t value, MPI_Op operation) {
  uint64_t result = 0;
  MPI_Allreduce(&value, &result, 1, MPI_UINT64_T, operation, MPI_COMM_WORLD);
  return result;
}

void Finalize() {
  int initialized = 0;
  int finalized = 0;
  MPI_Initialized(&initialized);
  MPI_Finalized(&finalized);
  if (!initialized || finalized)
    return;
  if (!Agreed)
    MPI_Abort(MPI_COMM_WORLD, 1);
  MPI_Finalize();
}

} // namespace

bool MessagePassing::Launched() {
  return std::getenv("OMPI_COMM_WORLD_SIZE") != nullptr || std::getenv("PMIX_RANK") != nullptr;
}

MessagePassing::MessagePassing(int* argc, char*** argv) {
  int initialized = 0;
  MPI_Initialized(&initialized);
  if (!initialized) {
    MPI_Init(argc, argv);
    std::atexit(Finalize);
  }
  MPI_Comm_rank(MPI_COMM_WORLD, &Rank);
  MPI_Comm_size(MPI_COMM_WORLD, &Size);
  char host[MPI_MAX_PROCESSOR_NAME] = {};
  int length = 0;
  MPI_Get_processor_name(host, &length);
  Name = "worker " + std::to_string(Rank + 1) + " of " + std::to_string(Size) + " on " +
         std::string(host, std::size_t(std::max(length, 0)));
}

void MessagePassing::exchange(const std::vector<ByteBuffer>& send, ByteBuffer& recv,
                              std::vector<std::size_t>& from) {
  const std::size_t n = std::size_t(Size);
  std::vector<uint64_t> sendBytes(n), recvBytes(n);
  for (std::size_t r = 0; r < n; r++)
    sendBytes[r] = send[r].size();
  MPI_Alltoall(sendBytes.data(), 1, MPI_UINT64_T, recvBytes.data(), 1, MPI_UINT64_T,
               MPI_COMM_WORLD);
  from.assign(n + 1, 0);
  for (std::size_t r = 0; r < n; r++)
    from[r + 1] = from[r] + recvBytes[r];
  recv.resize(from[n]);

  std::vector<MPI_Request> requests;
  for (std::size_t r = 0; r < n; r++) {
    if (int(r) == Rank)
      continue;
    for (uint64_t at = 0, piece = 0; at < recvBytes[r]; at += MessageBytes, piece++) {
      requests.emplace_back();
      MPI_Irecv(recv.data() + from[r] + at,
                int(std::min<uint64_t>(MessageBytes, recvBytes[r] - at)), MPI_BYTE, int(r),
                int(piece), MPI_COMM_WORLD, &requests.back());
    }
  }
  for (std::size_t r = 0; r < n; r++) {
    if (int(r) == Rank)
      continue;
    for (uint64_t at = 0, piece = 0; at < sendBytes[r]; at += MessageBytes, piece++) {
      requests.emplace_back();
      // MPI's send buffer is const from MPI 3 on.
      MPI_Isend(send[r].data() + at, int(std::min<uint64_t>(MessageBytes, sendBytes[r] - at)),
                MPI_BYTE, int(r), int(piece), MPI_COMM_WORLD, &requests.back());
    }
  }
  if (sendBytes[std::size_t(Rank)] > 0)
    std::memcpy(recv.data() + from[std::size_t(Rank)], send[std::size_t(Rank)].data(),
                sendBytes[std::size_t(Rank)]);
  MPI_Waitall(int(requests.size()), requests.data(), MPI_STATUSES_IGNORE);
}

uint64_t MessagePassing::minimum(uint64_t value) {
  return Reduce(value, MPI_MIN);
}

uint64_t MessagePassing::maximum(uint64_t value) {
  return Reduce(value, MPI_MAX);
}

uint64_t MessagePassing::sum(uint64_t value) {
  return Reduce(value, MPI_SUM);
}

uint64_t MessagePassing::sumBelow(uint64_t value) {
  uint64_t result = 0;
  MPI_Exscan(&value, &result, 1, MPI_UINT64_T, MPI_SUM, MPI_COMM_WORLD);
  // The first worker's result is undefined.
  return Rank == 0 ? 0 : result;
}

std::string MessagePassing::broadcast(const std::string& text, int root) {
  uint64_t length = text.size();
  MPI_Bcast(&length, 1, MPI_UINT64_T, root, MPI_COMM_WORLD);
  std::string result = Rank == root ? text : std::string(length, '\0');
  MPI_Bcast(result.data(), int(length), MPI_BYTE, root, MPI_COMM_WORLD);
  return result;
}

void MessagePassing::AgreeToEnd() {
  Agreed = true;
}

void MessagePassing::AbortAll(int status) {
  MPI_Abort(MPI_COMM_WORLD, status);
  std::_Exit(status);
}
