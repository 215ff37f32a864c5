#ifndef TRACE_TRACEFILETARVEKSSG_H
#define TRACE_TRACEFILETARVEKSSG_H

#include "trace/TraceFile.h"

// The generator's trace: plain text, one message per line, each line flushed.
// Firings are shown from level 1, enabling states from level 2; the header,
// state dumps, post-firing lines and batch marks are shown at every level.
class TraceFileTarvekSSG : public TraceFile {
public:
  TraceFileTarvekSSG() = default;
  explicit TraceFileTarvekSSG(const char* fileName) : TraceFile(fileName) {}
  explicit TraceFileTarvekSSG(std::ostream* stream) : TraceFile(stream) {}

  void printHeader(PVModel* model) override;
  void printInitialState(BaseModelClass* model) override;
  void printState(BaseModelClass* model) override;
  void printState(PVModel* model) override;
  void printFireAction(BaseActionClass* action, double time) override;
  void printPreFireAction(BaseActionClass* action) override;
  void printPostFireAction(BaseActionClass* action, BaseActionClass* other) override;
  void newBatch() override;
  void printStr(int level, const char* text) override;
};

#endif
