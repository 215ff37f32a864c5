#include "ssg/OutOfMemory.h"

#include <cstdio>
#include <cstdlib>

const uint32_t* OutOfMemory::StatesStored = nullptr;
const char* OutOfMemory::Worker = nullptr;
void (*OutOfMemory::End)(int) = nullptr;

void OutOfMemory::ForWorker(const char* worker, void (*end)(int)) {
  Worker = worker;
  End = end;
}

OutOfMemory::OutOfMemory(const uint32_t& statesStored)
    : Previous(std::get_new_handler()), PreviousStatesStored(StatesStored) {
  StatesStored = &statesStored;
  std::set_new_handler(&OutOfMemory::Handler);
}

OutOfMemory::~OutOfMemory() {
  std::set_new_handler(Previous);
  StatesStored = PreviousStatesStored;
}

void OutOfMemory::Handler() {
  Exit(StatesStored != nullptr ? *StatesStored : 0, 0, "the run");
}

void OutOfMemory::Exit(uint64_t statesStored, uint64_t bytesAsked, const char* purpose) {
  // The C stream writes from a fixed buffer: no allocation on the way out.
  std::fprintf(stderr, "Error: out of memory ");
  if (Worker != nullptr)
    std::fprintf(stderr, "in %s ", Worker);
  if (bytesAsked != 0)
    std::fprintf(stderr,
                 "after storing %llu states: could not allocate %llu bytes "
                 "for %s\n",
                 static_cast<unsigned long long>(statesStored),
                 static_cast<unsigned long long>(bytesAsked), purpose);
  else
    std::fprintf(stderr, "after storing %llu states: an allocation for %s failed\n",
                 static_cast<unsigned long long>(statesStored), purpose);
  std::fprintf(stderr, "Give the run more memory, or reduce the model.\n");
  std::fflush(stderr);
  if (End != nullptr)
    End(1);
  std::exit(1);
}
