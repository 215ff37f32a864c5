#ifndef SSG_REWARD_H
#define SSG_REWARD_H

#include <cstdint>

#include "ssg/RecordWriter.h"

class ExactRewardFile;
class OutputThread;
class PVModel;

// Writer of the reward-values file (.var): a header with the name of every
// performance variable of the reward model, one per line, then one record
// per numbered state, in the order Calculate is called.
//
// Record of state n:
// - file types 1, 3 and 5 (text): n, then for each variable its impulse
//   value and its rate value, one number per line (6 significant digits, the
//   stream default);
// - any other file type (binary): n as 4 bytes, then each variable's impulse
//   and rate value as 8-byte IEEE doubles, all little-endian.
// The header is text in either case.
//
// With an exact reward file attached (AlsoWriteExact), every record also
// goes there: the rate values as the doubles they are (ExactRewardFile).
//
// Writing is buffered; a file that cannot be opened, written or completed
// ends the run (RecordWriter's policy).
class Reward {
public:
  PVModel* Model;
  short FileType;
  uint32_t NamesWritten;

  // Opens (creates or truncates) the file and writes the header. A null
  // file name: records only, in memory (RecordWriter::openInMemory).
  Reward(PVModel* model, short fileType, char* fileName);
  // Closes the file if Close() was not called, without checking.
  ~Reward() = default;
  Reward(const Reward&) = delete;
  Reward& operator=(const Reward&) = delete;

  // Appends the record of state n with the values the variables hold now
  // (through the output thread, while one takes the records).
  void Calculate(unsigned long n);
  // Writes the record of state n with the given values: each variable's
  // impulse and rate value, in PVList order.
  void WriteRecord(unsigned long n, const double* values);
  // From now on Calculate hands its records to `output`, which writes them
  // with WriteRecord in its own thread (null: Calculate writes them).
  void SendRecordsTo(OutputThread* output) { Output = output; }
  // From now on every record also goes to `exact` (null: to .var only);
  // the caller keeps it, and completes it after the last record.
  void AlsoWriteExact(ExactRewardFile* exact) { Exact = exact; }
  ExactRewardFile* exactFile() const { return Exact; }
  RecordWriter& file() { return File; }
  // Completes the file: flushes and closes it, ending the run on failure.
  void Close();

private:
  RecordWriter File;
  bool Binary;
  OutputThread* Output = nullptr;
  ExactRewardFile* Exact = nullptr;
};

#endif
