#include "ssg/OutputThread.h"

#include <algorithm>
#include <cstring>
#include <system_error>

#include "reward/PVModel.h"
#include "reward/PerformanceVariableNode.h"
#include "ssg/ExactRewardFile.h"
#include "ssg/ImpulseFile.h"
#include "ssg/ImpulseMap.h"
#include "ssg/RecordWriter.h"
#include "ssg/Reward.h"
#include "ssg/StaWriter.h"

namespace {

constexpr std::size_t MinChunkBytes = std::size_t(1) << 20;
constexpr int NumChunks = 4;

// Record layout in a chunk (host byte order, unaligned): a tag byte, then
//   State        the state number (4 bytes): an .arm record starts
//   Transitions  a count k (4 bytes), then k times target (4) and rate (8)
//   End          nothing: the .arm record ends
//   Values       the state number (4), then the .var record's values (8 each)
//   Marking      the state number (4), then the state's vector
//   ImpulseHead  the state number (4), then its .imp entry count (4)
//   Impulses     a count c (4 bytes), then c doubles of the .imp record
enum Tag : char {
  State = 1,
  Transitions = 2,
  End = 3,
  Values = 4,
  Marking = 5,
  ImpulseHead = 6,
  Impulses = 7
};
constexpr std::size_t EntryBytes = sizeof(uint32_t) + sizeof(double);

} // namespace

OutputThread::OutputThread(RecordWriter& arm, Reward& var, bool startThread, StaWriter* markings,
                           ImpulseFile* impulses)
    : Arm(arm), Var(var), Markings(markings), Impulses(impulses), NumValues(2 * var.Model->NumPVs) {
  // A .var record, a .sta record and an .imp entry always fit a chunk.
  const std::size_t varRecordBytes = 1 + sizeof(uint32_t) + sizeof(double) * std::size_t(NumValues);
  const std::size_t markingRecordBytes =
      Markings != nullptr ? 1 + sizeof(uint32_t) + Markings->stateSize() : 0;
  const std::size_t impulseEntryBytes =
      Impulses != nullptr
          ? 1 + 2 * sizeof(uint32_t) + 2 * sizeof(double) * std::size_t(Impulses->numVariables())
          : 0;
  ChunkBytes =
      std::max({MinChunkBytes, 2 * varRecordBytes, 2 * markingRecordBytes, 2 * impulseEntryBytes});
  Chunks.resize(NumChunks);
  for (Chunk& chunk : Chunks)
    chunk.data = std::make_unique<char[]>(ChunkBytes);
  Full.assign(NumChunks, -1);
  Values.assign(std::size_t(NumValues), 0.0);
  for (int i = 1; i < NumChunks; i++)
    Free.push_back(i);
  Current = 0;

  Var.SendRecordsTo(this);
  if (Markings != nullptr)
    Markings->SendRecordsTo(this);
  if (!startThread)
    return;
  deferFailures(true);
  try {
    Worker = std::thread(&OutputThread::run, this);
  } catch (const std::system_error&) {
    // No thread to be had (for want of memory for its stack): the records
    // are written here, a chunk at a time, and a failure ends the run at
    // once.
    deferFailures(false);
  }
}

OutputThread::~OutputThread() {
  Var.SendRecordsTo(nullptr);
  if (Markings != nullptr)
    Markings->SendRecordsTo(nullptr);
  if (Worker.joinable())
    stop();
}

void OutputThread::deferFailures(bool defer) {
  Arm.deferFailures(defer);
  Var.file().deferFailures(defer);
  if (Var.exactFile() != nullptr)
    Var.exactFile()->file().deferFailures(defer);
  if (Markings != nullptr)
    Markings->file().deferFailures(defer);
  if (Impulses != nullptr)
    Impulses->file().deferFailures(defer);
}

bool OutputThread::anyFailed() const {
  return Arm.failed() || Var.file().failed() ||
         (Var.exactFile() != nullptr && Var.exactFile()->file().failed()) ||
         (Markings != nullptr && Markings->file().failed()) ||
         (Impulses != nullptr && Impulses->file().failed());
}

void OutputThread::reportFailedWriter() {
  if (Arm.failed())
    Arm.reportFailure();
  if (Var.file().failed())
    Var.file().reportFailure();
  if (Var.exactFile() != nullptr && Var.exactFile()->file().failed())
    Var.exactFile()->file().reportFailure();
  if (Markings != nullptr && Markings->file().failed())
    Markings->file().reportFailure();
  if (Impulses != nullptr && Impulses->file().failed())
    Impulses->file().reportFailure();
}

void OutputThread::armRecord(uint32_t n, const TransitionMap& transitions) {
  room(1 + sizeof n);
  put(Tag::State);
  put(n);
  auto entry = transitions.begin();
  std::size_t remaining = transitions.size();
  while (remaining > 0) {
    // As many entries as the chunk takes, at least one.
    room(1 + sizeof(uint32_t) + EntryBytes);
    const std::size_t space = ChunkBytes - Chunks[Current].used - 1 - sizeof(uint32_t);
    const uint32_t count = static_cast<uint32_t>(std::min(remaining, space / EntryBytes));
    put(Tag::Transitions);
    put(count);
    for (uint32_t i = 0; i < count; i++, ++entry) {
      put(static_cast<uint32_t>(entry->first));
      put(entry->second);
    }
    remaining -= count;
  }
  room(1);
  put(Tag::End);
}

void OutputThread::varRecord(uint32_t n, PerformanceVariableNode* const* pvs, int count) {
  room(1 + sizeof n + sizeof(double) * std::size_t(NumValues));
  put(Tag::Values);
  put(n);
  for (int i = 0; i < count; i++) {
    put(pvs[i]->ImpulseValue);
    put(pvs[i]->RewardValue);
  }
}

void OutputThread::impulseRecord(uint32_t n, const ImpulseMap& entries) {
  room(1 + 2 * sizeof(uint32_t));
  put(Tag::ImpulseHead);
  put(n);
  put(static_cast<uint32_t>(entries.size()));
  const std::size_t width = entries.width();
  const double* values = entries.empty() ? nullptr : entries.values(0);
  std::size_t remaining = entries.size();
  while (remaining > 0) {
    // As many entries as the chunk takes, at least one.
    const std::size_t entryBytes = sizeof(double) * width;
    room(1 + sizeof(uint32_t) + entryBytes);
    const std::size_t space = ChunkBytes - Chunks[Current].used - 1 - sizeof(uint32_t);
    const std::size_t count = std::min(remaining, space / entryBytes);
    put(Tag::Impulses);
    put(static_cast<uint32_t>(count * width));
    Chunk& chunk = Chunks[Current];
    std::memcpy(chunk.data.get() + chunk.used, values, count * entryBytes);
    chunk.used += count * entryBytes;
    values += count * width;
    remaining -= count;
  }
}

void OutputThread::markingRecord(uint32_t n, const char* state, uint32_t size) {
  room(1 + sizeof n + size);
  put(Tag::Marking);
  put(n);
  Chunk& chunk = Chunks[Current];
  std::memcpy(chunk.data.get() + chunk.used, state, size);
  chunk.used += size;
}

void OutputThread::handOver() {
  if (!Worker.joinable()) {
    write(Chunks[Current]);
    Chunks[Current].used = 0;
    return;
  }
  {
    std::unique_lock<std::mutex> guard(Lock);
    Full[(FullHead + FullCount++) % NumChunks] = Current;
    FullReady.notify_one();
    FreeReady.wait(guard, [this] { return !Free.empty(); });
    Current = Free.back();
    Free.pop_back();
  }
  if (Failed.load(std::memory_order_acquire))
    reportFailure();
}

void OutputThread::run() {
  for (;;) {
    int index;
    {
      std::unique_lock<std::mutex> guard(Lock);
      FullReady.wait(guard, [this] { return FullCount > 0 || Done; });
      if (FullCount == 0)
        return;
      index = Full[FullHead];
      FullHead = (FullHead + 1) % NumChunks;
      FullCount--;
    }
    write(Chunks[index]);
    Chunks[index].used = 0;
    if (anyFailed())
      Failed.store(true, std::memory_order_release);
    {
      std::lock_guard<std::mutex> guard(Lock);
      Free.push_back(index);
    }
    FreeReady.notify_one();
  }
}

void OutputThread::write(const Chunk& chunk) {
  const char* at = chunk.data.get();
  const char* end = at + chunk.used;
  auto take = [&at](auto& value) {
    std::memcpy(&value, at, sizeof value);
    at += sizeof value;
  };
  while (at < end) {
    const char tag = *at++;
    uint32_t number;
    switch (tag) {
    case Tag::State:
      take(number);
      Arm.putUnsignedLine(number);
      break;
    case Tag::Transitions: {
      take(number);
      for (uint32_t i = 0; i < number; i++) {
        uint32_t target;
        double rate;
        take(target);
        take(rate);
        Arm.putUnsignedLine(target);
        Arm.putScientific(rate);
        Arm.putChar('\n');
      }
      break;
    }
    case Tag::End:
      Arm.putText("0\n");
      break;
    case Tag::Values:
      take(number);
      if (!Values.empty())
        std::memcpy(Values.data(), at, sizeof(double) * Values.size());
      at += sizeof(double) * Values.size();
      Var.WriteRecord(number, Values.data());
      break;
    case Tag::Marking:
      take(number);
      Markings->WriteRecord(number, at);
      at += Markings->stateSize();
      break;
    case Tag::ImpulseHead: {
      uint32_t entries;
      take(number);
      take(entries);
      Impulses->WriteHead(number, entries);
      break;
    }
    case Tag::Impulses: {
      take(number);
      Impulses->WriteValueBytes(at, number);
      at += sizeof(double) * std::size_t(number);
      break;
    }
    }
  }
}

void OutputThread::stop() {
  {
    std::lock_guard<std::mutex> guard(Lock);
    Done = true;
  }
  FullReady.notify_one();
  Worker.join();
}

void OutputThread::finish() {
  if (!Worker.joinable()) {
    write(Chunks[Current]);
    Chunks[Current].used = 0;
    Var.SendRecordsTo(nullptr);
    if (Markings != nullptr)
      Markings->SendRecordsTo(nullptr);
    return;
  }
  // The last chunk, even if partly filled, then the end.
  {
    std::lock_guard<std::mutex> guard(Lock);
    if (Chunks[Current].used > 0)
      Full[(FullHead + FullCount++) % NumChunks] = Current;
    Done = true;
  }
  FullReady.notify_one();
  Worker.join();
  Var.SendRecordsTo(nullptr);
  if (Markings != nullptr)
    Markings->SendRecordsTo(nullptr);
  deferFailures(false);
  reportFailedWriter();
}

void OutputThread::reportFailure() {
  // The thread drops everything once a write failed; let it end, then
  // report from here.
  Var.SendRecordsTo(nullptr);
  if (Markings != nullptr)
    Markings->SendRecordsTo(nullptr);
  stop();
  if (Arm.failed())
    Arm.reportFailure();
  if (Markings != nullptr && Markings->file().failed())
    Markings->file().reportFailure();
  if (Var.exactFile() != nullptr && Var.exactFile()->file().failed())
    Var.exactFile()->file().reportFailure();
  if (Impulses != nullptr && Impulses->file().failed())
    Impulses->file().reportFailure();
  Var.file().reportFailure();
}
