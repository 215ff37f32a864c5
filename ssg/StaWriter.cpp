#include "ssg/StaWriter.h"

#include <utility>

#include "ssg/OutputThread.h"

StaWriter::StaWriter(StateColumns columns, const char* fileName) : Columns(std::move(columns)) {
  File.openOrExit(fileName, "Error: Could not open the state-marking file");
  File.putText(Columns.header());
  File.putChar('\n');
}

void StaWriter::Write(uint32_t n, const char* state) {
  if (Output != nullptr) {
    Output->markingRecord(n, state, Columns.stateSize());
    return;
  }
  WriteRecord(n, state);
}

void StaWriter::WriteRecord(uint32_t n, const char* state) {
  File.putUnsigned(n);
  File.putText(":(");
  Columns.format(state, File);
  File.putText(")\n");
}

void StaWriter::Close() {
  File.close();
}
