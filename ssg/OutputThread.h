#ifndef SSG_OUTPUTTHREAD_H
#define SSG_OUTPUTTHREAD_H

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "ssg/TransitionMap.h"

class ImpulseFile;
class ImpulseMap;
class PerformanceVariableNode;
class RecordWriter;
class Reward;
class StaWriter;

// Formats and writes the .arm and .var records in a second thread while the
// exploration goes on.
//
// The exploring thread packs each record in binary form into chunks: an .arm
// record as its state number, its (target, rate) pairs and its end; a .var
// record as its state number and the variables' impulse and rate values; a
// .sta record (when the marking file is written) as its state number and the
// state's vector; an .imp record (models with impulse rewards) as its state
// number, its entry count and its entries' values. The output thread
// formats them through the files' writers (the .arm RecordWriter,
// Reward::WriteRecord, which also feeds the .rew file, StaWriter::WriteRecord,
// ImpulseFile), so
// every byte is the one the exploring thread would have written itself, in
// the same order within each file.
// Four chunks of at least 1 MiB circulate, allocated at the start: the
// exploring thread waits only when the output thread is four chunks behind,
// and nothing is allocated per record.
//
// Failures: while the thread runs, the writers keep a failed write to
// themselves (RecordWriter::deferFailures). The exploring thread looks at
// every chunk it hands over and in finish(), and then ends the run with the
// writer's own message ("Error: could not write <file>: <reason>", exit
// status 1), from the exploring thread. A run that ends early for another
// reason leaves the files incomplete, as it would without the thread (the
// .arm header gets its state count only at the end).
//
// When no thread can be started (no memory for its stack), the exploring
// thread writes each chunk itself when it is full: the same bytes, later.
class OutputThread {
public:
  // Starts the thread (unless startThread is false: then the records are
  // written by the calling thread, a chunk at a time); from now on the
  // writers belong to the output thread and Reward's Calculate (and the
  // marking writer's Write, when there is one) hand their records here,
  // until finish().
  OutputThread(RecordWriter& arm, Reward& var, bool startThread = true,
               StaWriter* markings = nullptr, ImpulseFile* impulses = nullptr);
  // Stops the thread if finish() was not called (without reporting).
  ~OutputThread();
  OutputThread(const OutputThread&) = delete;
  OutputThread& operator=(const OutputThread&) = delete;

  // The .arm record of state n: its number, each entry of transitions in
  // order (target line, rate line), then "0".
  void armRecord(uint32_t n, const TransitionMap& transitions);
  // The .var record of state n with the values the count variables hold.
  void varRecord(uint32_t n, PerformanceVariableNode* const* pvs, int count);
  // The .imp record of state n (requires the impulse file).
  void impulseRecord(uint32_t n, const ImpulseMap& entries);
  // The .sta record of state n, whose vector of `size` bytes is `state`.
  void markingRecord(uint32_t n, const char* state, uint32_t size);
  // Hands the last records over and waits until they are written to the
  // writers; a write that failed ends the run with its message. The
  // writers then belong to the calling thread again.
  void finish();

private:
  struct Chunk {
    std::unique_ptr<char[]> data;
    std::size_t used = 0;
  };

  RecordWriter& Arm;
  Reward& Var;
  StaWriter* Markings;   // or null
  ImpulseFile* Impulses; // or null
  std::size_t ChunkBytes;
  std::vector<Chunk> Chunks;
  int NumValues;              // values per .var record
  std::vector<double> Values; // one .var record's values, in the output thread

  // Indices of chunks waiting to be written and of free chunks; the one the
  // exploring thread fills is Current.
  std::mutex Lock;
  std::condition_variable FullReady;
  std::condition_variable FreeReady;
  std::vector<int> Full; // a ring: FullCount indices from FullHead on
  std::size_t FullHead = 0;
  std::size_t FullCount = 0;
  std::vector<int> Free;
  int Current;
  bool Done = false;
  std::atomic<bool> Failed{false};
  std::thread Worker;

  // Makes room for `bytes` in the current chunk.
  void room(std::size_t bytes) {
    if (Chunks[Current].used + bytes > ChunkBytes)
      handOver();
  }
  template <class T> void put(const T& value) {
    Chunk& chunk = Chunks[Current];
    std::memcpy(chunk.data.get() + chunk.used, &value, sizeof value);
    chunk.used += sizeof value;
  }
  // Passes the current chunk to the output thread and takes a free one.
  void handOver();
  // Ends the thread after the chunks handed over are written.
  void stop();
  void run();
  void write(const Chunk& chunk);
  // Whether one of the writers failed.
  bool anyFailed() const;
  // Ends the run with the message of the first writer that failed, if any.
  void reportFailedWriter();
  // Takes the writers' failures to themselves (or not).
  void deferFailures(bool defer);
  [[noreturn]] void reportFailure();
};

#endif
