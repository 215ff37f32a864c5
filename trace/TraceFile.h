#ifndef TRACE_TRACEFILE_H
#define TRACE_TRACEFILE_H

#include <fstream>
#include <iosfwd>
#include <memory>

class PVModel;
class BaseModelClass;
class BaseActionClass;

// A destination of trace output that filters messages by level: a message of
// level L is written when L <= traceLevel. The base class writes nothing;
// TraceFileTarvekSSG writes text lines, TraceFileContainer fans every call
// out to its files.
//
// The stream is not owned when it was handed in; a file opened by the
// constructor belongs to the trace file and is closed with it. A file that
// cannot be opened is reported as a warning on standard error and nothing is
// written to it; the run goes on.
class TraceFile {
public:
  int traceLevel;
  std::ostream* outStream;

  // Level 1, no stream.
  TraceFile();
  // Level 0, writing to the named file (created or truncated).
  explicit TraceFile(const char* fileName);
  // Level 0, writing to stream (not owned).
  explicit TraceFile(std::ostream* stream);
  TraceFile(const TraceFile&) = delete;
  TraceFile& operator=(const TraceFile&) = delete;

  virtual void printHeader(PVModel* model);
  virtual void printFooter();
  virtual void printInitialState(BaseModelClass* model);
  virtual void printState(BaseModelClass* model);
  // printState(BaseModelClass*) with the reward model's ChildModel.
  virtual void printState(PVModel* model);
  virtual void printFireAction(BaseActionClass* action, double time);
  virtual void printPreFireAction(BaseActionClass* action);
  virtual void printPostFireAction(BaseActionClass* action, BaseActionClass* other);
  virtual void newBatch();
  // Formats as the C formatted output does; the base writes nothing.
  // Returns 0.
  virtual int printf(int level, const char* format, ...) __attribute__((format(printf, 3, 4)));
  virtual void printStr(int level, const char* text);
  virtual ~TraceFile();

  void setTraceLevel(int level) { traceLevel = level; }
  int getTraceLevel() { return traceLevel; }

private:
  std::unique_ptr<std::ofstream> OwnedFile;
};

#endif
