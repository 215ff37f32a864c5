#ifndef SSG_EXACTREWARDFILE_H
#define SSG_EXACTREWARDFILE_H

#include <cstddef>
#include <cstdint>

#include "ssg/RecordWriter.h"

class PVModel;

// Writer of the exact reward file (.rew): every rate reward and every time
// point as the double the model computed, beside the rounded text of the
// .var and .pvtype files. Binary, little-endian (docs/formats.md):
//   magic "SSGREW1\n" (8 bytes); k, the number of variables (uint32);
//   per variable, in .pvtype order: m (uint32), then m pairs of doubles
//   (start, stop), its time points or intervals;
//   per state, in number order: k doubles, each variable's rate reward;
//   trailer: the number of states n (uint32), then "END\n".
// The trailer is written by Finish only, after the last record: a file
// without it, or whose n does not match its records, is incomplete.
//
// Writing is buffered; a file that cannot be opened, written or completed
// ends the run (RecordWriter's policy, "Error: could not write <file>:
// <reason>", exit status 1).
class ExactRewardFile {
public:
  static constexpr char Magic[] = "SSGREW1\n";
  static constexpr char Trailer[] = "END\n";

  // Opens (creates or truncates) the file and writes its header from the
  // model's variables (PVList). A null file name: records only, in memory
  // (RecordWriter::openInMemory).
  ExactRewardFile(PVModel* model, const char* fileName);
  ExactRewardFile(const ExactRewardFile&) = delete;
  ExactRewardFile& operator=(const ExactRewardFile&) = delete;

  // The record of the next state: `count` rate rewards, the i-th at
  // rates[i * stride] (the .var writer's values interleave impulse and rate).
  void WriteRecord(const double* rates, std::size_t stride, int count) {
    for (int i = 0; i < count; i++)
      File.putLittleEndianDouble(rates[std::size_t(i) * stride]);
  }
  RecordWriter& file() { return File; }
  // Writes the trailer for `states` records and completes the file, ending
  // the run on failure.
  void Finish(uint32_t states);

private:
  RecordWriter File;
};

#endif
