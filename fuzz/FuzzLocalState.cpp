// Saved local states of the example's SAN model, read back with
// LocalState::freadState from the input bytes (records of a 4-byte size and
// the state bytes, as fwriteState writes them). Each record read is hashed,
// compared, written back and applied to the model, read back from it, and
// every activity's enabling (and the rate of the enabled ones) is evaluated
// in that marking.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <vector>

#include "example/AtomicModelSAN.h"
#include "fuzz/FuzzSupport.h"
#include "model/BaseActionClass.h"

namespace {

// Records tried per input; a longer input adds nothing new.
constexpr int MaxRecords = 16;

AtomicModelSAN* Model = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::DiscardStreamOutput();
  lambda = 0.1;
  meo = 0.1;
  Model = new AtomicModelSAN();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0)
    return 0;
  std::vector<std::uint8_t> copy(data, data + size);
  FILE* in = fmemopen(copy.data(), copy.size(), "rb");
  if (in == nullptr)
    return 0;

  SANModel::LocalState initial(Model);
  initial.GetState(Model);
  SANModel::LocalState saved(Model);
  saved = initial;
  SANModel::LocalState after(Model);
  std::vector<char> rewritten(static_cast<std::size_t>(initial.StateBytesSize) + 8);

  for (int record = 0; record < MaxRecords; record++) {
    const long start = std::ftell(in);
    if (start < 0 || saved.freadState(in))
      break;
    // Written again, the record is the bytes it was read from.
    const long end = std::ftell(in);
    FILE* out = fmemopen(rewritten.data(), rewritten.size(), "wb");
    if (out == nullptr)
      break;
    const bool failed = saved.fwriteState(out);
    const long written = std::ftell(out);
    std::fclose(out);
    if (failed || written != end - start ||
        std::memcmp(rewritten.data(), copy.data() + start, static_cast<std::size_t>(written)) != 0)
      std::abort();
    (void)saved.hash();
    if (saved.compare(saved) != 0)
      std::abort();
    (void)saved.compare(initial);

    // Applied to the model, the state reads back the same; the model's
    // activities are then asked about that marking. They are not fired: a
    // marking no run reaches can make a firing leave the range of a place,
    // a model fault that ends the run by design (MarkingOutOfRange).
    saved.SetState(Model);
    after.GetState(Model);
    if (after.compare(saved) != 0)
      std::abort();
    Model->printState(&std::cout);
    for (int i = 0; i < Model->numActions; i++) {
      BaseActionClass* action = Model->Actions[i];
      if (action->Enabled())
        (void)action->Rate();
    }
  }
  std::fclose(in);
  initial.SetState(Model);
  return 0;
}
