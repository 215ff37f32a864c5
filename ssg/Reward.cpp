#include "ssg/Reward.h"

#include <bit>
#include <cstring>

#include "reward/PVModel.h"
#include "reward/PerformanceVariableNode.h"
#include "ssg/ExactRewardFile.h"
#include "ssg/OutputThread.h"

namespace {

// Little-endian bytes of an unsigned 32-bit value or a double.
void PutLittleEndian(RecordWriter& file, const void* value, std::size_t size) {
  if constexpr (std::endian::native == std::endian::little) {
    file.putBytes(value, size);
  } else {
    const unsigned char* bytes = static_cast<const unsigned char*>(value);
    for (std::size_t i = size; i > 0; i--)
      file.putChar(static_cast<char>(bytes[i - 1]));
  }
}

} // namespace

Reward::Reward(PVModel* model, short fileType, char* fileName)
    : Model(model), FileType(fileType), NamesWritten(0),
      Binary(!(fileType == 1 || fileType == 3 || fileType == 5)) {
  if (fileName == nullptr) {
    File.openInMemory();
    return;
  }
  File.openOrExit(fileName, "Could not open file dude");
  for (int i = 0; i < Model->NumPVs; i++) {
    File.putText(Model->PVList[i]->Name);
    File.putChar('\n');
    NamesWritten++;
  }
}

void Reward::Calculate(unsigned long n) {
  PerformanceVariableNode** pvs = Model->PVList;
  const int count = Model->NumPVs;
  if (Output != nullptr) {
    Output->varRecord(static_cast<uint32_t>(n), pvs, count);
    return;
  }
  if (Exact != nullptr) {
    for (int i = 0; i < count; i++)
      Exact->file().putLittleEndianDouble(pvs[i]->RewardValue);
  }
  if (!Binary) {
    File.putUnsignedLine(n);
    for (int i = 0; i < count; i++) {
      File.putGeneral(pvs[i]->ImpulseValue);
      File.putChar('\n');
      File.putGeneral(pvs[i]->RewardValue);
      File.putChar('\n');
    }
    return;
  }
  uint32_t number = static_cast<uint32_t>(n);
  PutLittleEndian(File, &number, sizeof number);
  for (int i = 0; i < count; i++) {
    PutLittleEndian(File, &pvs[i]->ImpulseValue, sizeof(double));
    PutLittleEndian(File, &pvs[i]->RewardValue, sizeof(double));
  }
}

void Reward::WriteRecord(unsigned long n, const double* values) {
  const int count = 2 * Model->NumPVs;
  if (Exact != nullptr)
    Exact->WriteRecord(values + 1, 2, Model->NumPVs);
  if (!Binary) {
    File.putUnsignedLine(n);
    for (int i = 0; i < count; i++) {
      File.putGeneral(values[i]);
      File.putChar('\n');
    }
    return;
  }
  uint32_t number = static_cast<uint32_t>(n);
  PutLittleEndian(File, &number, sizeof number);
  for (int i = 0; i < count; i++)
    PutLittleEndian(File, &values[i], sizeof(double));
}

void Reward::Close() {
  File.close();
}
