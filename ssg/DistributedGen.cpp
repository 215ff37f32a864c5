#include "ssg/DistributedGen.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <iostream>

#include "model/BaseActionClass.h"
#include "model/SANModel.h"
#include "model/StandardErrors.h"
#include "reward/PVModel.h"
#include "ssg/DiskSpaceWatch.h"
#include "ssg/ExactRewardFile.h"
#include "ssg/HybridHash.h"
#include "ssg/ImpulseFile.h"
#include "ssg/MessagePassing.h"
#include "ssg/OutOfMemory.h"
#include "ssg/ProgressReport.h"
#include "ssg/RecordWriter.h"
#include "ssg/Reward.h"
#include "ssg/StaWriter.h"
#include "ssg/StateSpaceGen.h"

namespace {

// A query: parent number, position, hash, firing (the action's index, the
// top bit set for an Erlang aging step), padding, then the vector, padded
// to 8 bytes.
constexpr std::size_t QueryHead = 24;
constexpr uint32_t AgedBit = 0x80000000u;

// The parents whose records are sent to the writer in one round.
constexpr uint64_t RoundStates = uint64_t(1) << 16;

std::size_t Padded(std::size_t bytes) {
  return (bytes + 7) & ~std::size_t(7);
}

template <class T> T Take(const char*& at) {
  T value;
  std::memcpy(&value, at, sizeof value);
  at += sizeof value;
  return value;
}

// The records of one file that a worker sends the writer: (number, length)
// per record, in increasing number, and their bytes.
struct RecordIndex {
  std::vector<uint32_t> entries; // number, length, number, length, ...
  std::size_t last = 0;          // the writer's position after the last record
  void note(uint32_t number, std::size_t position) {
    entries.push_back(number);
    entries.push_back(uint32_t(position - last));
    last = position;
  }
  void clear() {
    entries.clear();
    last = 0;
  }
};

// The five files, in the order their records travel.
enum FileIndex { ArmIndex, ImpIndex, VarIndex, RewIndex, StaIndex, NumFiles };

} // namespace

DistributedGen::DistributedGen(StateSpaceGen& generator, MessagePassing& workers)
    : Gen(generator), Workers(workers), Rank(workers.rank()), Size(workers.size()),
      StoredSize(generator.StoredStateSize) {
  // Every worker builds the same model, so an action's ActionID is the same
  // in all of them.
  const int numActions = Gen.ActionList.getNumItems();
  ActionById.assign(std::size_t(std::max(BaseActionClass::MaxID, 0)), nullptr);
  for (int i = 0; i < numActions; i++) {
    BaseActionClass* action = Gen.ActionArray[i];
    if (action->ActionID >= 0 && std::size_t(action->ActionID) < ActionById.size())
      ActionById[std::size_t(action->ActionID)] = action;
  }
  for (auto* buffers : {&Queries, &KeysOut, &NumbersOut, &AnswersOut, &RecordsOut})
    buffers->resize(std::size_t(Size));
  QueryCount.assign(std::size_t(Size), 0);
  GlobalNumber = {0, 1};
  OutOfMemory::ForWorker(Workers.name().c_str(), [](int status) {
    // Nothing to agree on: the others are ended with this worker.
    MessagePassing::AbortAll(status);
  });
}

std::array<RecordWriter*, DistributedGen::NumFiles> DistributedGen::WriterFiles() const {
  static_assert(NumFiles == FileIndex::NumFiles, "one writer per file of a level");
  return {&Gen.ArmFile, Gen.ImpulseRecords != nullptr ? &Gen.ImpulseRecords->file() : nullptr,
          &Gen.RewardWriter->file(), &Gen.ExactRewards->file(),
          Gen.MarkingWriter != nullptr ? &Gen.MarkingWriter->file() : nullptr};
}

DistributedGen::~DistributedGen() {
  StopWriter();
}

bool DistributedGen::writer() const {
  return Rank == 0;
}

void DistributedGen::EndTogether(int status) {
  std::cout.flush();
  std::cerr.flush();
  MessagePassing::AgreeToEnd();
  std::exit(status);
}

void DistributedGen::RefuseUnsupported(bool deterministic) {
  const char* what = nullptr;
  if (deterministic)
    what = "models with deterministic activities";
  else if (Gen.TraceLevel > 0)
    what = "tracing (-l above 0)";
  if (what == nullptr)
    return;
  if (writer())
    std::cerr << "Error: a distributed generation does not support " << what
              << "; run the model in one process (without mpirun or --workers)" << std::endl;
  EndTogether(1);
}

void DistributedGen::Exchange(const std::vector<ByteBuffer>& send, ByteBuffer& recv,
                              std::vector<std::size_t>& from) {
  for (int r = 0; r < Size; r++)
    if (r != Rank)
      LevelBytes += send[std::size_t(r)].size();
  Workers.exchange(send, recv, from);
}

void DistributedGen::NoteFault(uint64_t key) {
  if (key < Fault) {
    Fault = key;
    FaultMessage = Captured.str();
  }
  Captured.str("");
}

uint32_t DistributedGen::Resolve(uint64_t key, uint64_t hash, uint32_t action, char* state) {
  HybridHash& table = *Gen.StateTable;
  uint32_t local = table.Lookup(state, hash);
  if (local == HybridHash::NotFound) {
    local = ++LocalCount;
    table.Insert(state, local);
    NewKeys.push_back(key);
    NewActions.push_back(action);
  } else if (local > LevelBase && key < NewKeys[local - LevelBase - 1]) {
    NewKeys[local - LevelBase - 1] = key;
    NewActions[local - LevelBase - 1] = action;
  }
  return local;
}

void DistributedGen::CollectSuccessors(bool impulses) {
  const std::size_t queryBytes = QueryHead + Padded(StoredSize);
  const uint32_t parent = Gen.CurrentStateNumber;
  const std::size_t count = Gen.Successors.size();
  // The table entries of the successors owned here, brought near first.
  const HybridHash& table = *Gen.StateTable;
  Owners.resize(count);
  for (std::size_t i = 0; i < count; i++) {
    Owners[i] = Owner(Gen.Successors[i].hash, Size);
    if (Owners[i] == Rank)
      table.prefetch(Gen.Successors[i].hash);
  }
  for (std::size_t i = 0; i < count; i++) {
    const StateSpaceGen::Successor& successor = Gen.Successors[i];
    // Rates that are not positive make no transition and number nothing.
    if (!(successor.value > 0))
      continue;
    const int owner = Owners[i];
    const uint32_t position = uint32_t(i);
    uint32_t action = uint32_t(successor.rewardAction->ActionID);
    if (successor.aged)
      action |= AgedBit;
    if (impulses) {
      const double* values = Gen.SuccessorImpulses.data() + i * ImpulseWidth;
      SuccessorImpulses.insert(SuccessorImpulses.end(), values, values + ImpulseWidth);
    }
    if (owner == Rank) {
      // Owned here: looked up at once, as a one-process run does.
      const uint32_t local = Resolve((uint64_t(parent) << 32) | position, successor.hash, action,
                                     Gen.SuccessorStates.data() + i * StoredSize);
      Successors.push_back({successor.value, Local, local});
      continue;
    }
    char* q = Queries[std::size_t(owner)].grow(queryBytes);
    std::memcpy(q, &parent, 4);
    std::memcpy(q + 4, &position, 4);
    std::memcpy(q + 8, &successor.hash, 8);
    std::memcpy(q + 16, &action, 4);
    std::memset(q + 20, 0, 4);
    std::memcpy(q + QueryHead, Gen.SuccessorStates.data() + i * StoredSize, StoredSize);
    Successors.push_back({successor.value, uint32_t(owner), QueryCount[std::size_t(owner)]++});
  }
  Gen.Successors.clear();
}

void DistributedGen::Generate(char* armFile, char* varFile) {
  Gen.AllocateWorkBuffers();
  const bool impulses = Gen.Model->HasImpulseRewards();
  if (writer()) {
    Gen.ArmFile.openOrExit(armFile, "Error: Could not open state space output file");
    std::cout << std::scientific;
    Gen.StartRewardFile(varFile);
    Gen.StartStatesFile();
    Gen.StartArmFile(StateSpaceGen::NormalExploration.reservedCountWidth);
  } else {
    // What StartRewardFile prepares beside the files: the impulse buffers
    // and the initial state's variable values.
    if (impulses) {
      Gen.ImpulseWidth = 2 * std::size_t(Gen.Model->NumPVs);
      Gen.TransitionImpulses.reset(Gen.ImpulseWidth);
      Gen.ChainImpulses.assign(std::size_t(StateSpaceGen::MAX_INSTANT_DEPTH + 2) * Gen.ImpulseWidth,
                               0.0);
      Gen.FiringImpulseValues.assign(std::size_t(Gen.Model->NumPVs), 0.0);
    }
    Gen.Model->FireAction(Gen.NextState, &Gen.Model->NoActionFired);
  }
  ImpulseWidth = Gen.ImpulseWidth;

  // This worker's records, formatted by the files' writers into memory.
  ArmRecords = std::make_unique<RecordWriter>();
  ArmRecords->openInMemory();
  VarRecords = std::make_unique<Reward>(Gen.Model, Gen.FileType, nullptr);
  RewRecords = std::make_unique<ExactRewardFile>(Gen.Model, nullptr);
  VarRecords->AlsoWriteExact(RewRecords.get());
  if (Gen.WriteStates) {
    const auto* san = dynamic_cast<const SANModel*>(Gen.Model->ChildModel);
    StaRecords = std::make_unique<StaWriter>(Gen.StoredStateColumns(), nullptr,
                                             san != nullptr ? san->Labels() : nullptr);
  }
  if (impulses)
    ImpRecords = std::make_unique<ImpulseFile>(Gen.Model->NumPVs, nullptr);

  // The writer's files keep a failed write to themselves until the end of
  // the level, where every worker learns of it.
  std::array<RecordWriter*, NumFiles> files = {};
  if (writer()) {
    files = WriterFiles();
    for (RecordWriter* file : files)
      if (file != nullptr)
        file->deferFailures(true);
    Progress = std::make_unique<ProgressReport>(Gen.ShowProgress);
    Space = std::make_unique<DiskSpaceWatch>(std::string(Gen.ExperimentPath) + Gen.ExperimentName,
                                             Gen.MinFreeBytes);
  }
  if (Owner(Gen.StateTable->hashOf(Gen.StateTable->StoredState(1)), Size) == Rank)
    Frontier = {1};

  uint32_t first = 1;
  uint32_t last = 1;
  uint64_t explored = 0;
  while (first <= last) {
    LevelBytes = 0;
    const uint64_t next = ExploreLevel(first, last);
    BytesSent += LevelBytes;
    LargestLevelBytes = std::max(LargestLevelBytes, LevelBytes);
    explored += last - first + 1;
    if (next == 0)
      break;
    first = last + 1;
    last = uint32_t(last + next);
  }

  FinishWriting();
  if (writer())
    for (RecordWriter* file : files)
      if (file != nullptr)
        file->deferFailures(false);
  Gen.TransitionsWritten = Workers.sum(Gen.TransitionsWritten);
  Gen.SelfLoopsWritten = Workers.sum(Gen.SelfLoopsWritten);
  Gen.AbsorbingStates = Workers.sum(Gen.AbsorbingStates);
  // What the workers sent each other, on standard error: the one-process
  // run's standard output stays as it is.
  BytesSent = Workers.sum(BytesSent);
  LargestLevelBytes = Workers.maximum(LargestLevelBytes);
  if (writer())
    std::cerr << "Workers: " << Size << ", " << BytesSent << " bytes sent between them ("
              << double(BytesSent) / double(std::max<uint32_t>(last, 1)) << " per state), at most "
              << LargestLevelBytes << " by one worker in one level" << std::endl;
  Gen.StateCounter = last;
  Gen.CurrentStateNumber = last;
  if (Progress)
    Progress->finish();
  // No collective operation follows: a worker that ends from here on does
  // not hold the others up.
  MessagePassing::AgreeToEnd();
  if (writer()) {
    Gen.FinishRewardFile();
    Gen.FinishStatesFile();
    Gen.FinishExactRewardFiles();
    Gen.FinishArmFile(explored, StateSpaceGen::NormalExploration.reservedCountWidth);
  }
  Gen.StateTable->ReleaseTable();
  Gen.ReleaseWorkBuffers();
}

uint64_t DistributedGen::ExploreLevel(uint32_t first, uint32_t last) {
  HybridHash& table = *Gen.StateTable;
  const std::size_t queryBytes = QueryHead + Padded(StoredSize);
  const bool impulses = ImpulseWidth != 0;
  LocalCount = uint32_t(GlobalNumber.size() - 1);
  LevelBase = LocalCount;
  uint32_t& localCount = LocalCount;
  const uint32_t levelBase = LevelBase;
  OutOfMemory memoryGuard(LocalCount);
  NewKeys.clear();
  NewActions.clear();

  // 1. Explore this worker's states of the level, in number order; the
  // successors become queries (CollectSuccessors). Faults are caught with
  // their messages.
  for (ByteBuffer& queries : Queries)
    queries.clear();
  std::fill(QueryCount.begin(), QueryCount.end(), 0);
  Successors.clear();
  SuccessorImpulses.clear();
  Parents.clear();
  ParentEnd.clear();
  std::streambuf* standardError = std::cerr.rdbuf(Captured.rdbuf());
  CatchModelFaults(true);
  SetFaultState(&Gen.CurrentStateNumber);
  for (const uint32_t local : Frontier) {
    const uint32_t n = GlobalNumber[local];
    Gen.CurrentStateNumber = n;
    try {
      (Gen.*FindNext)(table.StoredState(local));
    } catch (const ModelFault&) {
      Gen.Successors.clear();
      Gen.InstantDepth = 0;
      NoteFault(FaultKey(n, 0, 0, 0));
      break;
    }
    Parents.push_back(n);
    ParentEnd.push_back(Successors.size());
  }
  SetFaultState(nullptr);

  // 2. The owners look the queries up; a state not yet known is stored
  // under the next local number and keeps the smallest key.
  ByteBuffer& received = Received;
  std::vector<std::size_t>& from = ReceivedFrom;
  Exchange(Queries, received, from);
  std::vector<uint64_t>& newKeys = NewKeys;
  std::vector<uint32_t>& newActions = NewActions;
  const std::size_t numQueries = received.size() / queryBytes;
  std::vector<uint32_t>& answer = Answer;
  answer.resize(numQueries);
  for (std::size_t j = 0; j < numQueries; j++) {
    char* q = received.data() + j * queryBytes;
    constexpr std::size_t Ahead = 8;
    if (j + Ahead < numQueries) {
      uint64_t ahead;
      std::memcpy(&ahead, received.data() + (j + Ahead) * queryBytes + 8, 8);
      table.prefetch(ahead);
    }
    const char* head = q;
    const uint32_t parent = Take<uint32_t>(head);
    const uint32_t position = Take<uint32_t>(head);
    const uint64_t hash = Take<uint64_t>(head);
    const uint32_t action = Take<uint32_t>(head);
    answer[j] = Resolve((uint64_t(parent) << 32) | position, hash, action, q + QueryHead);
  }
  const std::size_t numNew = newKeys.size();

  // 3. Numbering: the keys go to the worker of their parent's range of
  // numbers, which sorts them; its offset is the count of the ranges below.
  const uint64_t levelSize = uint64_t(last) - first + 1;
  auto rangeOf = [&](uint32_t parent) {
    return std::size_t((uint64_t(parent - first) * uint64_t(Size)) / levelSize);
  };
  std::vector<ByteBuffer>& keysOut = KeysOut;
  for (ByteBuffer& buffer : keysOut)
    buffer.clear();
  std::vector<uint32_t>& sentTo = SentTo;
  sentTo.resize(numNew);
  for (std::size_t j = 0; j < numNew; j++) {
    const std::size_t range = rangeOf(uint32_t(newKeys[j] >> 32));
    sentTo[j] = uint32_t(range);
    keysOut[range].put(newKeys[j]);
  }
  ByteBuffer& keysIn = KeysIn;
  std::vector<std::size_t>& keysFrom = KeysFrom;
  Exchange(keysOut, keysIn, keysFrom);
  const std::size_t numKeys = keysIn.size() / 8;
  std::vector<std::pair<uint64_t, uint32_t>>& sorted = Sorted;
  sorted.resize(numKeys);
  for (std::size_t k = 0; k < numKeys; k++) {
    uint64_t key;
    std::memcpy(&key, keysIn.data() + 8 * k, 8);
    sorted[k] = {key, uint32_t(k)};
  }
  std::sort(sorted.begin(), sorted.end());
  const uint64_t below = Workers.sumBelow(numKeys);
  const uint64_t levelNew = Workers.sum(numKeys);
  std::vector<uint32_t>& numberOf = NumberOf;
  numberOf.resize(numKeys);
  const uint64_t limit = Gen.MaxStates != 0 ? Gen.MaxStates : HybridHash::MaxState();
  for (std::size_t k = 0; k < numKeys; k++) {
    const uint64_t number = uint64_t(last) + 1 + below + k;
    numberOf[sorted[k].second] = uint32_t(number);
    if (number == limit + 1) {
      // The state one past the limit: the run stops while exploring its
      // parent, as a one-process run does when it would number it.
      const uint32_t parent = uint32_t(sorted[k].first >> 32);
      Gen.CurrentStateNumber = parent;
      try {
        if (Gen.MaxStates == 0)
          OutOfMemory::Exit(last, 0, "state numbers beyond 32 bits");
        Gen.TooManyStates();
      } catch (const ModelFault&) {
        NoteFault(FaultKey(parent, 1, uint32_t(sorted[k].first), 1));
      }
    }
  }
  std::vector<ByteBuffer>& numbersOut = NumbersOut;
  for (int r = 0; r < Size; r++) {
    ByteBuffer& out = numbersOut[std::size_t(r)];
    out.clear();
    const std::size_t begin = keysFrom[std::size_t(r)] / 8;
    out.append(numberOf.data() + begin, (keysFrom[std::size_t(r) + 1] / 8 - begin) * 4);
  }
  ByteBuffer& numbersIn = NumbersIn;
  std::vector<std::size_t>& numbersFrom = NumbersFrom;
  Exchange(numbersOut, numbersIn, numbersFrom);
  GlobalNumber.resize(std::size_t(localCount) + 1);
  {
    std::vector<std::size_t> next(static_cast<std::size_t>(Size));
    for (int r = 0; r < Size; r++)
      next[std::size_t(r)] = numbersFrom[std::size_t(r)];
    for (std::size_t j = 0; j < numNew; j++) {
      uint32_t number;
      std::memcpy(&number, numbersIn.data() + next[sentTo[j]], 4);
      next[sentTo[j]] += 4;
      GlobalNumber[levelBase + 1 + j] = number;
    }
  }

  // 4. The new states' records, in number order: their variables' values
  // are those of the firing of their key, in their state.
  Frontier.resize(numNew);
  for (std::size_t j = 0; j < numNew; j++)
    Frontier[j] = uint32_t(levelBase + 1 + j);
  std::sort(Frontier.begin(), Frontier.end(),
            [this](uint32_t a, uint32_t b) { return GlobalNumber[a] < GlobalNumber[b]; });
  RecordIndex index[NumFiles];
  PVModel* model = Gen.Model;
  for (const uint32_t local : Frontier) {
    const uint32_t number = GlobalNumber[local];
    if (number > limit)
      continue;
    const std::size_t j = local - levelBase - 1;
    char* state = Gen.NextState;
    std::memcpy(state, table.StoredState(local), StoredSize);
    const uint32_t action = newActions[j];
    if (!model->ConsideredPVs.empty()) {
      model->SetState(state);
      BaseActionClass* fired = ActionById[action & ~AgedBit];
      if ((action & AgedBit) != 0)
        model->AgeAction(state, fired);
      else
        model->UpdateRewards(fired);
    }
    try {
      Gen.CheckRewards(number);
    } catch (const ModelFault&) {
      NoteFault(FaultKey(uint32_t(newKeys[j] >> 32), 1, uint32_t(newKeys[j]), 2));
    }
    VarRecords->Calculate(number);
    index[VarIndex].note(number, VarRecords->file().writtenBytes());
    index[RewIndex].note(number, RewRecords->file().writtenBytes());
    if (StaRecords) {
      StaRecords->WriteRecord(number, state);
      index[StaIndex].note(number, StaRecords->file().writtenBytes());
    }
  }

  // 5. The answers go back to the parents, which write their records.
  std::vector<ByteBuffer>& answersOut = AnswersOut;
  for (int r = 0; r < Size; r++) {
    ByteBuffer& out = answersOut[std::size_t(r)];
    const std::size_t begin = from[std::size_t(r)] / queryBytes;
    const std::size_t end = from[std::size_t(r) + 1] / queryBytes;
    out.resize((end - begin) * 4);
    for (std::size_t j = begin; j < end; j++) {
      const uint32_t number = GlobalNumber[answer[j]];
      std::memcpy(out.data() + (j - begin) * 4, &number, 4);
    }
  }
  ByteBuffer& answersIn = AnswersIn;
  std::vector<std::size_t>& answersFrom = AnswersFrom;
  Exchange(answersOut, answersIn, answersFrom);
  CatchModelFaults(false);
  std::cerr.rdbuf(standardError);
  // Anything else said on standard error meanwhile (warnings) is said now.
  if (Fault == NoFault && !Captured.str().empty()) {
    std::cerr << Captured.str();
    Captured.str("");
  }

  // 6. A fault anywhere ends every worker; the one-process run meets the
  // smallest key first.
  EndOnFault(first, last);

  // 7. The parents' records, formatted and sent to the writer a range of
  // RoundStates numbers at a time (so that a level's records never have to
  // be in memory at once); the new states' records go with the first.
  const uint64_t rounds = (levelSize + RoundStates - 1) / RoundStates;
  std::size_t parent = 0;
  std::size_t begin = 0;
  for (uint64_t round = 0; round < rounds; round++) {
    const uint32_t low = uint32_t(first + round * RoundStates);
    const uint32_t high = uint32_t(std::min<uint64_t>(last, uint64_t(low) + RoundStates - 1));
    std::vector<uint32_t>& absorbing = Absorbing;
    absorbing.clear();
    for (; parent < Parents.size() && Parents[parent] <= high; parent++) {
      const uint32_t n = Parents[parent];
      for (std::size_t s = begin; s < ParentEnd[parent]; s++) {
        const Pending& successor = Successors[s];
        uint32_t number;
        if (successor.worker == Local)
          number = GlobalNumber[successor.index];
        else
          std::memcpy(&number,
                      answersIn.data() + answersFrom[successor.worker] +
                          4 * std::size_t(successor.index),
                      4);
        Gen.Transitions.add(number, successor.value);
        if (impulses)
          Gen.TransitionImpulses.add(number, SuccessorImpulses.data() + s * ImpulseWidth);
      }
      begin = ParentEnd[parent];
      if (Gen.Transitions.empty()) {
        Gen.AbsorbingStates++;
        absorbing.push_back(n);
      }
      Gen.TransitionsWritten += Gen.Transitions.size();
      Gen.SelfLoopsWritten += Gen.Transitions.contains(n) ? 1 : 0;
      RecordWriter& arm = *ArmRecords;
      arm.putUnsignedLine(n);
      for (const auto& entry : Gen.Transitions) {
        arm.putUnsignedLine(entry.first);
        arm.putScientific(entry.second);
        arm.putChar('\n');
      }
      arm.putText("0\n");
      index[ArmIndex].note(n, arm.writtenBytes());
      if (impulses) {
        ImpRecords->WriteRecord(n, Gen.TransitionImpulses);
        index[ImpIndex].note(n, ImpRecords->file().writtenBytes());
        Gen.TransitionImpulses.clear();
      }
      Gen.Transitions.clear();
    }

    std::vector<ByteBuffer>& recordsOut = RecordsOut;
    ByteBuffer& out = recordsOut[0];
    out.clear();
    RecordWriter* writers[NumFiles] = {ArmRecords.get(), ImpRecords ? &ImpRecords->file() : nullptr,
                                       &VarRecords->file(), &RewRecords->file(),
                                       StaRecords ? &StaRecords->file() : nullptr};
    std::vector<char>& bytes = RecordBytes;
    for (int f = 0; f < NumFiles; f++) {
      const bool parents = f == ArmIndex || f == ImpIndex;
      const std::vector<uint32_t>& entries = index[f].entries;
      const bool now = parents || round == 0;
      out.put(uint64_t(now ? entries.size() / 2 : 0));
      if (now && writers[f] != nullptr)
        writers[f]->takeBytes(bytes);
      else
        bytes.clear();
      out.put(uint64_t(bytes.size()));
      if (now) {
        out.append(entries.data(), entries.size() * 4);
        out.append(bytes.data(), bytes.size());
        index[f].clear();
      }
    }
    out.put(uint64_t(absorbing.size()));
    out.append(absorbing.data(), absorbing.size() * 4);
    ByteBuffer& records = Records;
    std::vector<std::size_t>& recordsFrom = RecordsFrom;
    Exchange(recordsOut, records, recordsFrom);
    // The new states' records travel with the first round only.
    const uint32_t newFirst = round == 0 ? uint32_t(last + 1) : 1;
    const uint32_t newLast = round == 0 ? uint32_t(uint64_t(last) + levelNew) : 0;
    WriteLevel(records, recordsFrom, low, high, newFirst, newLast);
  }
  return levelNew;
}

void DistributedGen::EndOnFault(uint32_t first, uint32_t last) {
  const uint64_t fault = Workers.minimum(Fault);
  if (fault == NoFault)
    return;
  // The progress lines of the states explored before the fault's.
  const uint32_t state = uint32_t(fault >> 32);
  if (writer()) {
    WaitForWriter();
    StopWriter();
  }
  if (writer())
    for (uint64_t n = first; n < state && n <= last; n++)
      if (n % 1000 == 0)
        StateSpaceGen::PrintProgress(uint32_t(n));
  if (fault == Fault)
    std::cerr << FaultMessage << std::flush;
  EndTogether(1);
}

void DistributedGen::WriteRecords(const ByteBuffer& records, const std::vector<std::size_t>& from,
                                  uint32_t first, uint32_t last, uint32_t newFirst,
                                  uint32_t newLast) {
  const std::array<RecordWriter*, NumFiles> files = WriterFiles();
  // Each worker's part: per file the record count, the byte count, the
  // (number, length) pairs and the bytes; then its absorbing states.
  struct Part {
    const char* entries;
    const char* bytes;
    uint64_t count;
  };
  std::vector<Part> partsOf[NumFiles];
  std::vector<uint32_t>& absorbing = WriterAbsorbing;
  absorbing.clear();
  for (std::vector<Part>& parts : partsOf)
    parts.resize(std::size_t(Size));
  for (int r = 0; r < Size; r++) {
    const char* at = records.data() + from[std::size_t(r)];
    for (std::vector<Part>& parts : partsOf) {
      const uint64_t count = Take<uint64_t>(at);
      const uint64_t size = Take<uint64_t>(at);
      parts[std::size_t(r)] = {at, at + count * 8, count};
      at += count * 8 + size;
    }
    const uint64_t numAbsorbing = Take<uint64_t>(at);
    for (uint64_t k = 0; k < numAbsorbing; k++)
      absorbing.push_back(Take<uint32_t>(at));
  }
  // Per file: the records of its numbers, in order. Every number of the
  // range has exactly one record.
  std::vector<std::pair<const char*, uint32_t>>& slots = WriterSlots;
  bool failed = false;
  for (int f = 0; f < NumFiles; f++) {
    if (files[f] == nullptr)
      continue;
    const bool parents = f == ArmIndex || f == ImpIndex;
    const uint32_t low = parents ? first : newFirst;
    const uint32_t high = parents ? last : newLast;
    if (high < low)
      continue;
    slots.assign(std::size_t(high - low) + 1, {nullptr, 0});
    for (const Part& part : partsOf[f]) {
      const char* entry = part.entries;
      const char* bytes = part.bytes;
      for (uint64_t k = 0; k < part.count; k++) {
        const uint32_t number = Take<uint32_t>(entry);
        const uint32_t length = Take<uint32_t>(entry);
        slots[number - low] = {bytes, length};
        bytes += length;
      }
    }
    RecordWriter& file = *files[f];
    for (const auto& [bytes, length] : slots) {
      if (bytes == nullptr) {
        std::cerr << "Error: internal fault of the distributed generation: a record of "
                  << file.fileName() << " is missing" << std::endl;
        MessagePassing::AbortAll(1);
      }
      file.putBytes(bytes, length);
    }
    failed = failed || file.failed();
  }
  if (failed)
    WriteFailed.store(true, std::memory_order_release);
  // Progress lines and absorbing states in the one-process run's order.
  std::sort(absorbing.begin(), absorbing.end());
  auto nextAbsorbing = absorbing.begin();
  for (uint64_t n = first; n <= last; n++) {
    if (n % 1000 == 0)
      StateSpaceGen::PrintProgress(uint32_t(n));
    if (nextAbsorbing != absorbing.end() && *nextAbsorbing == n) {
      ++nextAbsorbing;
      if (Gen.AbsorbFlag == 1)
        Gen.ReportAbsorbingNormal();
    }
  }
  if (Progress->due())
    Progress->report(newLast >= newFirst ? newLast : last, last);
}

void DistributedGen::WriterLoop() {
  std::unique_lock<std::mutex> guard(WriterLock);
  for (;;) {
    WriterWake.wait(guard, [this] { return Job.pending || WriterStop; });
    if (!Job.pending)
      return;
    guard.unlock();
    WriteRecords(Job.records, Job.from, Job.first, Job.last, Job.newFirst, Job.newLast);
    guard.lock();
    Job.pending = false;
    WriterIdle.notify_all();
  }
}

void DistributedGen::WaitForWriter() {
  std::unique_lock<std::mutex> guard(WriterLock);
  WriterIdle.wait(guard, [this] { return !Job.pending; });
}

void DistributedGen::WriteLevel(ByteBuffer& records, std::vector<std::size_t>& from, uint32_t first,
                                uint32_t last, uint32_t newFirst, uint32_t newLast) {
  bool failed = false;
  if (writer()) {
    // The level goes to the writing thread; the one before is written by
    // now (the files are written in level order).
    WaitForWriter();
    failed = WriteFailed.load(std::memory_order_acquire);
    if (!failed) {
      std::lock_guard<std::mutex> guard(WriterLock);
      std::swap(Job.records, records);
      std::swap(Job.from, from);
      Job.first = first;
      Job.last = last;
      Job.newFirst = newFirst;
      Job.newLast = newLast;
      Job.pending = true;
      if (!Writing.joinable())
        Writing = std::thread(&DistributedGen::WriterLoop, this);
      WriterWake.notify_one();
    }
    // Short of space: the watch's message, then every worker ends.
    std::ostringstream message;
    std::streambuf* standardError = std::cerr.rdbuf(message.rdbuf());
    CatchModelFaults(true);
    try {
      Space->check(newLast >= newFirst ? newLast : last);
    } catch (const ModelFault&) {
      failed = true;
    }
    CatchModelFaults(false);
    std::cerr.rdbuf(standardError);
    std::cerr << message.str() << std::flush;
  }
  EndOnWriteFailure(failed);
}

void DistributedGen::FinishWriting() {
  bool failed = false;
  if (writer()) {
    WaitForWriter();
    StopWriter();
    failed = WriteFailed.load(std::memory_order_acquire);
  }
  EndOnWriteFailure(failed);
}

void DistributedGen::StopWriter() {
  if (!Writing.joinable())
    return;
  {
    std::lock_guard<std::mutex> guard(WriterLock);
    WriterStop = true;
  }
  WriterWake.notify_all();
  Writing.join();
}

void DistributedGen::EndOnWriteFailure(bool failed) {
  if (Workers.maximum(failed ? 1 : 0) == 0)
    return;
  if (writer()) {
    WaitForWriter();
    StopWriter();
    for (const RecordWriter* file : WriterFiles())
      if (file != nullptr && file->failed()) {
        MessagePassing::AgreeToEnd();
        file->reportFailure();
      }
  }
  EndTogether(1);
}
