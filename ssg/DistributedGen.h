#ifndef SSG_DISTRIBUTEDGEN_H
#define SSG_DISTRIBUTEDGEN_H

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ssg/ByteBuffer.h"

class BaseActionClass;
class DiskSpaceWatch;
class ProgressReport;
class ExactRewardFile;
class ImpulseFile;
class MessagePassing;
class RecordWriter;
class Reward;
class StaWriter;
class StateSpaceGen;

// Breadth-first generation by several worker processes that writes, byte for
// byte, the files of the one-process run, whatever the number of workers.
//
// Numbering. A one-process run numbers the states level by level: the states
// first reached from level L are numbered after all of level L, in the order
// of their first discovery, that is by their discovery key (number of the
// parent that first reached the state, position of the successor in that
// parent's exploration, instantaneous chains included). Here every worker
// owns the states whose vector hashes to it (Owner) and explores, in number
// order, the states of the level it owns, with the generator's own successor
// operation (FindNext: firings, instantaneous chains, Erlang phases,
// impulses). Each successor goes as a query (key, hash, firing, vector) to
// its owner, which looks it up; a state not yet known is stored and keeps the
// smallest key it is queried with. The new states' keys are then sorted by
// parent-number ranges (one range per worker), an exclusive prefix sum of the
// range counts gives each new state the number the one-process run gives it,
// and the numbers go back to the owners and on to the parents.
//
// Records. The parents' .arm (and .imp) records and the new states' .var,
// .rew (and .sta) records are formatted by the worker that holds them, with
// the files' own writers writing into memory, and sent with their numbers to
// the first worker, which writes every file in number order. So the output
// directory is the first worker's; the other workers write nothing.
//
// Messages, faults and status. Progress lines ("_$<n>$", at every thousandth
// state), absorbing-state reports and the summary come from the first worker,
// in the one-process run's order. A model fault found while exploring or
// numbering is kept with its key (the state being explored, whether its
// firings or its new successors, the successor's position) and its message;
// at the end of every level the smallest key over all workers is the fault
// the one-process run meets first, and its worker prints it: every worker
// then ends with status 1. A write that fails on the first worker is noted
// (deferred) and ends every worker with the writer's message at the end of
// the level. No file claims a count it does not hold: the .arm header gets
// its count and the .rew and .imp files their trailers only after the last
// level. Out of memory in a worker ends every worker (MessagePassing::abort)
// after the message naming the worker.
//
// Not distributed: deterministic actions and trace levels above 0 (refused
// with a message, status 1, before any file is written).
//
// Memory per worker: its states' table (as a one-process run's, for its share
// of the states) plus 4 bytes per state for its global number, plus the
// level's queries and records in flight.
class DistributedGen {
public:
  DistributedGen(StateSpaceGen& generator, MessagePassing& workers);
  ~DistributedGen();
  DistributedGen(const DistributedGen&) = delete;
  DistributedGen& operator=(const DistributedGen&) = delete;

  // The worker that writes the files and the messages of the run.
  bool writer() const;
  // Refuses, with its message and status 1 on every worker, what is not
  // distributed (deterministic actions, tracing).
  void RefuseUnsupported(bool deterministic);
  // The generation of a model without deterministic actions into the .arm
  // and .var files (and the others the generator writes beside them).
  void Generate(char* armFile, char* varFile);
  // Called by the generator's successor operations at the end of each
  // explored state (in place of looking its successors up): turns them into
  // queries to their owners.
  void CollectSuccessors(bool impulses);

  // The worker owning a state whose table hash is `hash`, of `workers`.
  static int Owner(uint64_t hash, int workers) {
    // Multiplied first: the table uses the high bits (first entry) and the
    // low bits (tag) of the hash itself.
    const uint64_t mixed = hash * 0x9E3779B97F4A7C15ULL;
    return int(((mixed >> 32) * uint64_t(workers)) >> 32);
  }

  // Bytes sent between workers (queries, keys, numbers, records): by all of
  // them once the run is over (by this worker before), and the most one
  // worker sent in one level.
  uint64_t bytesSent() const { return BytesSent; }
  uint64_t largestLevelBytes() const { return LargestLevelBytes; }

  // A fault key: the state explored, whether in its firings (0) or its
  // successors' numbering (1), the successor's position, the kind.
  static uint64_t FaultKey(uint32_t state, unsigned phase, uint32_t position, unsigned kind) {
    return (uint64_t(state) << 32) | (uint64_t(phase) << 31) |
           (uint64_t(position & 0x1FFFFFFF) << 2) | kind;
  }
  static constexpr uint64_t NoFault = ~uint64_t(0);

private:
  StateSpaceGen& Gen;
  MessagePassing& Workers;
  int Rank;
  int Size;
  uint32_t StoredSize;
  std::size_t ImpulseWidth = 0;

  // The actions by ActionID (queries name the firing by its ActionID), and
  // the owners of the successors being collected.
  std::vector<BaseActionClass*> ActionById;
  std::vector<int> Owners;

  // Local table: the generator's state table holds this worker's states
  // under local numbers 1, 2, ... (state 1 is local 1 on every worker);
  // GlobalNumber maps them to the run's numbers.
  std::vector<uint32_t> GlobalNumber;
  // This level's states owned here, local numbers in increasing global
  // number.
  std::vector<uint32_t> Frontier;

  // Exploration of a level: the queries to each worker, the successors kept
  // per parent (value, worker asked, query index there), the parents
  // explored and where their successors end.
  // A successor owned here has worker Local and its local number as index.
  struct Pending {
    double value;
    uint32_t worker;
    uint32_t index;
  };
  static constexpr uint32_t Local = ~uint32_t(0);
  // Local numbers in use, and before this level's new states.
  uint32_t LocalCount = 0;
  uint32_t LevelBase = 0;
  // Looks a successor up in the local table: its local number; a state not
  // yet stored is stored as new (NewKeys, NewActions), and a new state keeps
  // the smallest key it is found with.
  uint32_t Resolve(uint64_t key, uint64_t hash, uint32_t action, char* state);
  std::vector<ByteBuffer> Queries;
  std::vector<uint32_t> QueryCount;
  std::vector<Pending> Successors;
  std::vector<double> SuccessorImpulses;
  std::vector<uint32_t> Parents;
  std::vector<std::size_t> ParentEnd;
  uint32_t Explored = 0;

  // The first fault of this worker in the level, and its message.
  uint64_t Fault = NoFault;
  std::string FaultMessage;
  std::ostringstream Captured;

  // Writers into memory (records of this worker, sent to the writer).
  std::unique_ptr<RecordWriter> ArmRecords;
  std::unique_ptr<Reward> VarRecords;
  std::unique_ptr<ExactRewardFile> RewRecords;
  std::unique_ptr<StaWriter> StaRecords;
  std::unique_ptr<ImpulseFile> ImpRecords;

  uint64_t BytesSent = 0;
  uint64_t LevelBytes = 0;
  uint64_t LargestLevelBytes = 0;

  // The other buffers of a level, kept from level to level (so that their
  // memory is allocated only while they grow): what each step sends to
  // each worker and what it receives, and the owner's and the range
  // worker's tables.
  std::vector<ByteBuffer> KeysOut, NumbersOut, AnswersOut, RecordsOut;
  ByteBuffer Received, KeysIn, NumbersIn, AnswersIn, Records;
  std::vector<std::size_t> ReceivedFrom, KeysFrom, NumbersFrom, AnswersFrom, RecordsFrom;
  std::vector<uint32_t> Answer, SentTo, NumberOf, NewActions, Absorbing;
  std::vector<uint64_t> NewKeys;
  std::vector<std::pair<uint64_t, uint32_t>> Sorted;
  std::vector<char> RecordBytes;

  // The writer's thread and the level it writes. The files' writers belong
  // to it while a level is pending; a failed write is kept by the writer
  // (deferred) and noted in WriteFailed.
  struct WriteJob {
    ByteBuffer records;
    std::vector<std::size_t> from;
    uint32_t first = 0, last = 0, newFirst = 0, newLast = 0;
    bool pending = false;
  };
  WriteJob Job;
  std::thread Writing;
  std::mutex WriterLock;
  std::condition_variable WriterWake;
  std::condition_variable WriterIdle;
  bool WriterStop = false;
  std::atomic<bool> WriteFailed{false};
  std::vector<uint32_t> WriterAbsorbing;
  std::vector<std::pair<const char*, uint32_t>> WriterSlots;

  // The writer's progress report (--progress) and free-space watch.
  std::unique_ptr<ProgressReport> Progress;
  std::unique_ptr<DiskSpaceWatch> Space;

  // The steps of one level: its states [first, last] and the next level's
  // count, returned.
  uint64_t ExploreLevel(uint32_t first, uint32_t last);
  void NoteFault(uint64_t key);
  void Exchange(const std::vector<ByteBuffer>& send, ByteBuffer& recv,
                std::vector<std::size_t>& from);
  // Ends every worker when a fault was found in the level (the smallest
  // key's message, status 1); also a write that failed on the writer.
  void EndOnFault(uint32_t first, uint32_t last);
  // The writer hands the level's records (taken from the arguments) to its
  // writing thread, once the level before is written; then every worker
  // learns whether a write failed or space ran short, and ends if so.
  void WriteLevel(ByteBuffer& records, std::vector<std::size_t>& from, uint32_t first,
                  uint32_t last, uint32_t newFirst, uint32_t newLast);
  // In the writing thread: appends every worker's records of the level to
  // the files in number order; prints the level's progress lines.
  void WriteRecords(const ByteBuffer& records, const std::vector<std::size_t>& from, uint32_t first,
                    uint32_t last, uint32_t newFirst, uint32_t newLast);
  void WriterLoop();
  void WaitForWriter();
  void StopWriter();
  // After the last level: everything written, or every worker ends.
  void FinishWriting();
  void EndOnWriteFailure(bool failed);
  [[noreturn]] void EndTogether(int status);
  // The writer's files, in the order records travel (.arm, .imp, .var,
  // .rew, .sta; null for a file the run does not write).
  static constexpr int NumFiles = 5;
  std::array<RecordWriter*, NumFiles> WriterFiles() const;
};

#endif
