#include "ssg/StaWriter.h"

#include <cstdlib>
#include <iostream>
#include <string>
#include <utility>

#include "model/StateLabels.h"
#include "ssg/OutputThread.h"

StaWriter::StaWriter(StateColumns columns, const char* fileName, const StateLabels* labels)
    : Columns(std::move(columns)),
      Labels(labels != nullptr && labels->Count() > 0 ? labels : nullptr) {
  if (Labels != nullptr) {
    // The labels read place i at offset 2 * i: the columns must say so.
    const auto& list = Columns.columns();
    for (int i = 0; i < Labels->NumPlaces(); i++) {
      const auto at = static_cast<std::size_t>(i);
      if (at >= list.size() || list[at].Name != Labels->PlaceName(i) || list[at].Offset != 2 * at ||
          list[at].Type != StateColumns::Kind::Int16) {
        std::cerr << "Error: the labels of the model read place " << Labels->PlaceName(i)
                  << ", which is not where they expect it in the state vector" << std::endl;
        std::exit(1);
      }
    }
  }
  if (fileName == nullptr) {
    File.openInMemory();
    return;
  }
  File.openOrExit(fileName, "Error: Could not open the state-marking file");
  std::string header = Columns.header();
  if (Labels != nullptr) {
    header.pop_back(); // the closing parenthesis
    for (int k = 0; k < Labels->Count(); k++)
      header += std::string(header.size() > 1 ? "," : "") + "label(" + Labels->Name(k) + ")";
    header += ')';
  }
  File.putText(header);
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
  if (Labels != nullptr) {
    for (int k = 0; k < Labels->Count(); k++) {
      if (k > 0 || !Columns.columns().empty())
        File.putChar(',');
      File.putChar(Labels->Holds(k, state) ? '1' : '0');
    }
  }
  File.putText(")\n");
}

void StaWriter::Close() {
  File.close();
}
