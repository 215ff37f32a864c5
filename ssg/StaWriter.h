#ifndef SSG_STAWRITER_H
#define SSG_STAWRITER_H

#include <cstdint>

#include "ssg/RecordWriter.h"
#include "ssg/StateColumns.h"

class OutputThread;
class StateLabels;

// Writer of the state-marking file (.sta): which marking each state number
// stands for.
//
// Line 1 is StateColumns::header(), the names of the places (and of any
// further parts of the stored state) in state-vector order:
// "(name1,name2,...)". Then one line per numbered state, in the order Write
// is called (the order the states are numbered): "<n>:(<v1>,<v2>,...)".
// A model that declares labels (StateLabels) gets one more column per label
// after all the others, named "label(<name>)", with the value 1 where the
// label holds and 0 where it does not; without labels the file is as
// described above, byte for byte.
// Written as the states are numbered: the record of a state is formatted
// from its vector, in the output thread while one runs, and nothing is read
// back from the state table.
//
// Writing is buffered; a file that cannot be opened, written or completed
// ends the run (RecordWriter's policy).
class StaWriter {
public:
  // Opens (creates or truncates) the file and writes the header of
  // `columns`, the parts of the vectors Write will be given, and of the
  // labels, if any (not owned; they must outlive the writer). Labels that
  // read places other than the first columns' 16-bit markings end the run
  // with a message (exit status 1) before the file is opened. A null file
  // name: records only, in memory (RecordWriter::openInMemory).
  StaWriter(StateColumns columns, const char* fileName, const StateLabels* labels = nullptr);
  StaWriter(const StaWriter&) = delete;
  StaWriter& operator=(const StaWriter&) = delete;

  // The record of state n, whose vector is `state` (copied at once, so the
  // caller may reuse its buffer).
  void Write(uint32_t n, const char* state);
  // Formats the record of state n from its vector.
  void WriteRecord(uint32_t n, const char* state);
  // From now on Write hands its records to `output` (null: Write writes
  // them).
  void SendRecordsTo(OutputThread* output) { Output = output; }
  uint32_t stateSize() const { return Columns.stateSize(); }
  const StateColumns& columns() const { return Columns; }
  RecordWriter& file() { return File; }
  // Completes the file: flushes and closes it, ending the run on failure.
  void Close();

private:
  StateColumns Columns;
  const StateLabels* Labels;
  RecordWriter File;
  OutputThread* Output = nullptr;
};

#endif
