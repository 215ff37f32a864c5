#include "ssg/ImpulseFile.h"

#include <bit>
#include <cstring>
#include <string_view>

#include "ssg/ImpulseMap.h"

ImpulseFile::ImpulseFile(int numVariables, const char* fileName) : NumVariables(numVariables) {
  if (fileName == nullptr) {
    File.openInMemory();
    return;
  }
  File.openOrExit(fileName, "Error: Could not open the impulse file");
  File.putText(std::string_view(Magic, sizeof Magic - 1));
  File.putLittleEndian32(static_cast<uint32_t>(numVariables));
}

void ImpulseFile::WriteRecord(uint32_t n, const ImpulseMap& entries) {
  WriteHead(n, static_cast<uint32_t>(entries.size()));
  if (!entries.empty())
    WriteValues(entries.values(0), entries.size() * entries.width());
}

void ImpulseFile::WriteValues(const double* values, std::size_t count) {
  WriteValueBytes(reinterpret_cast<const char*>(values), count);
}

void ImpulseFile::WriteValueBytes(const char* bytes, std::size_t count) {
  if constexpr (std::endian::native == std::endian::little) {
    File.putBytes(bytes, count * sizeof(double));
  } else {
    for (std::size_t i = 0; i < count; i++) {
      double value;
      std::memcpy(&value, bytes + i * sizeof value, sizeof value);
      File.putLittleEndianDouble(value);
    }
  }
}

void ImpulseFile::Finish(uint32_t states) {
  File.putLittleEndian32(states);
  File.putText(std::string_view(Trailer, sizeof Trailer - 1));
  File.close();
}
