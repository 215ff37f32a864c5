#include "trace/TraceFile.h"

#include <cerrno>
#include <cstring>
#include <iostream>

#include "reward/PVModel.h"

TraceFile::TraceFile() : traceLevel(1), outStream(nullptr) {}

TraceFile::TraceFile(const char* fileName)
    : traceLevel(0), outStream(nullptr),
      OwnedFile(std::make_unique<std::ofstream>(fileName, std::ios::out | std::ios::trunc)) {
  if (!OwnedFile->is_open()) {
    int errorNumber = errno;
    std::cerr << "Warning: could not open trace file " << fileName << ": "
              << std::strerror(errorNumber) << "; the run goes on without this trace" << std::endl;
  }
  outStream = OwnedFile.get();
}

TraceFile::TraceFile(std::ostream* stream) : traceLevel(0), outStream(stream) {}

TraceFile::~TraceFile() = default;

void TraceFile::printHeader(PVModel*) {}
void TraceFile::printFooter() {}
void TraceFile::printInitialState(BaseModelClass*) {}
void TraceFile::printState(BaseModelClass*) {}
void TraceFile::printState(PVModel* model) {
  printState(model->ChildModel);
}
void TraceFile::printFireAction(BaseActionClass*, double) {}
void TraceFile::printPreFireAction(BaseActionClass*) {}
void TraceFile::printPostFireAction(BaseActionClass*, BaseActionClass*) {}
void TraceFile::newBatch() {}
int TraceFile::printf(int, const char*, ...) {
  return 0;
}
void TraceFile::printStr(int, const char*) {}
