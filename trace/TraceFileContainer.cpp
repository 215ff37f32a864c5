#include "trace/TraceFileContainer.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include "reward/PVModel.h"

TraceFileContainer::TraceFileContainer() : TraceFile(), pvModel(nullptr) {}

void TraceFileContainer::printFooter() {
  for (TraceFile* file : traceFiles)
    file->printFooter();
}

void TraceFileContainer::printFireAction(BaseActionClass* action, double time) {
  for (TraceFile* file : traceFiles)
    file->printFireAction(action, time);
}

void TraceFileContainer::printPreFireAction(BaseActionClass* action) {
  for (TraceFile* file : traceFiles)
    file->printPreFireAction(action);
}

void TraceFileContainer::printPostFireAction(BaseActionClass* action, BaseActionClass* other) {
  for (TraceFile* file : traceFiles)
    file->printPostFireAction(action, other);
}

void TraceFileContainer::newBatch() {
  for (TraceFile* file : traceFiles)
    file->newBatch();
}

int TraceFileContainer::printf(int level, const char* format, ...) {
  // Short messages are formatted on the stack; a longer one (a long action
  // name) gets a buffer of its own size, so nothing is cut or overrun.
  char text[1000];
  va_list args;
  va_start(args, format);
  int length = std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  if (length < 0)
    return 0;
  if (static_cast<size_t>(length) < sizeof text) {
    printStr(level, text);
    return 0;
  }
  std::string longText(static_cast<size_t>(length) + 1, '\0');
  va_start(args, format);
  std::vsnprintf(longText.data(), longText.size(), format, args);
  va_end(args);
  printStr(level, longText.c_str());
  return 0;
}

void TraceFileContainer::printStr(int level, const char* text) {
  for (TraceFile* file : traceFiles)
    file->printStr(level, text);
}

void TraceFileContainer::printHeader(PVModel*) {}
void TraceFileContainer::printInitialState(BaseModelClass*) {}
void TraceFileContainer::printState(BaseModelClass*) {}
void TraceFileContainer::printState(PVModel*) {}

int TraceFileContainer::AddTraceFile(TraceFile* file) {
  traceFiles.push_back(file);
  return 0;
}

int TraceFileContainer::RemoveTraceFile(TraceFile*) {
  return 0;
}

void TraceFileContainer::printHeader() {
  for (TraceFile* file : traceFiles)
    file->printHeader(pvModel);
}

void TraceFileContainer::printState() {
  for (TraceFile* file : traceFiles)
    file->printState(pvModel);
}

void TraceFileContainer::printInitialState() {
  for (TraceFile* file : traceFiles)
    file->printInitialState(pvModel->ChildModel);
}
