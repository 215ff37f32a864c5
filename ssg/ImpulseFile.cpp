#include "ssg/ImpulseFile.h"

#include <string_view>

#include "ssg/ImpulseMap.h"

ImpulseFile::ImpulseFile(int numVariables, const char* fileName) : NumVariables(numVariables) {
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
  for (std::size_t i = 0; i < count; i++)
    File.putLittleEndianDouble(values[i]);
}

void ImpulseFile::Finish(uint32_t states) {
  File.putLittleEndian32(states);
  File.putText(std::string_view(Trailer, sizeof Trailer - 1));
  File.close();
}
