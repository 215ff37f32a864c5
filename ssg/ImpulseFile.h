#ifndef SSG_IMPULSEFILE_H
#define SSG_IMPULSEFILE_H

#include <cstddef>
#include <cstdint>

#include "ssg/RecordWriter.h"

class ImpulseMap;

// Writer of the impulse file (.imp), written for models with impulse
// rewards: the impulses of every transition, entry by entry beside the .arm
// records. Binary, little-endian (docs/formats.md):
//   magic "SSGIMP1\n" (8 bytes); k, the number of variables (uint32);
//   per state, in number order: its number (uint32), its number of entries
//   e (uint32, those of its .arm record), then per entry in the .arm
//   record's order, per variable: A, the weighted impulse of every
//   completion along the entry, and L, the weighted impulse of the last
//   completion (two doubles);
//   trailer: the number of states n (uint32), then "END\n".
// The trailer is written by Finish only, after the last record: a file
// without it, or whose n does not match its records, is incomplete.
//
// Writing is buffered; a file that cannot be opened, written or completed
// ends the run (RecordWriter's policy).
class ImpulseFile {
public:
  static constexpr char Magic[] = "SSGIMP1\n";
  static constexpr char Trailer[] = "END\n";

  // Opens (creates or truncates) the file and writes its header. A null
  // file name: records only, in memory (RecordWriter::openInMemory).
  ImpulseFile(int numVariables, const char* fileName);
  ImpulseFile(const ImpulseFile&) = delete;
  ImpulseFile& operator=(const ImpulseFile&) = delete;

  int numVariables() const { return NumVariables; }
  // The record of state n: its entries, each with the 2k values ImpulseMap
  // keeps in file order (A and L of the first variable, then of the next).
  void WriteRecord(uint32_t n, const ImpulseMap& entries);
  // The record in pieces: its number and entry count, then the values of
  // its entries in order, in as many pieces as the caller likes (`count`
  // doubles each, in file order).
  void WriteHead(uint32_t n, uint32_t numEntries) {
    File.putLittleEndian32(n);
    File.putLittleEndian32(numEntries);
  }
  void WriteValues(const double* values, std::size_t count);
  // The same from `count` doubles stored in host byte order at `bytes`,
  // which need not be aligned.
  void WriteValueBytes(const char* bytes, std::size_t count);
  RecordWriter& file() { return File; }
  // Writes the trailer for `states` records and completes the file, ending
  // the run on failure.
  void Finish(uint32_t states);

private:
  RecordWriter File;
  int NumVariables;
};

#endif
