#ifndef TRACE_TRACEFILECONTAINER_H
#define TRACE_TRACEFILECONTAINER_H

#include <vector>

#include "trace/TraceFile.h"

// Fans trace calls out to any number of trace files, each filtering by its own
// level. The container itself does not filter. It does not own the files.
class TraceFileContainer : public TraceFile {
public:
  PVModel* pvModel;
  std::vector<TraceFile*> traceFiles;

  TraceFileContainer();

  void printFooter() override;
  void printFireAction(BaseActionClass* action, double time) override;
  void printPreFireAction(BaseActionClass* action) override;
  void printPostFireAction(BaseActionClass* action, BaseActionClass* other) override;
  void newBatch() override;
  // Formats the message in full (no length limit), then printStr on each
  // file.
  int printf(int level, const char* format, ...) override __attribute__((format(printf, 3, 4)));
  void printStr(int level, const char* text) override;
  void printHeader(PVModel* model) override;
  void printInitialState(BaseModelClass* model) override;
  void printState(BaseModelClass* model) override;
  void printState(PVModel* model) override;

  // Appends; returns 0.
  int AddTraceFile(TraceFile* file);
  // Does nothing; returns 0.
  int RemoveTraceFile(TraceFile* file);
  void addPVModel(PVModel* model) { pvModel = model; }

  // The same operations with pvModel supplied by the container.
  void printHeader();
  void printState();
  void printInitialState();
};

#endif
