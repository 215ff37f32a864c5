#ifndef SSG_RESULTSDB_H
#define SSG_RESULTSDB_H

// Connector to an external results database. This build has no database
// behind it: every operation only keeps its arguments and reports success.
// Strings are copied into fixed buffers, truncated to fit.
class ResultsDB {
public:
  // host, port (-1: keep the default), user, password, database; any string
  // may be null (that setting is left unchanged).
  ResultsDB(char const* host, int port, char const* user, char const* password,
            char const* database);
  virtual ~ResultsDB();
  ResultsDB(const ResultsDB&) = delete;
  ResultsDB& operator=(const ResultsDB&) = delete;

  // Same arguments and rules as the constructor.
  void setDBInfo(char const* host, int port, char const* user, char const* password,
                 char const* database);
  // Always true.
  bool init();
  // Always -1 (no run is known).
  int getRunId(char* experimentName);
  // Always true.
  bool writeSingleGV(char const* name, char const* type, char const* value);
  // Always true.
  bool writeGVValues();
  // Reports the number of states of an experiment; always true.
  bool writeSSGExperInfo(char const* experimentName, unsigned long numStates);

  static const int BufferSize = 256;
  char Host[BufferSize];
  int Port;
  char User[BufferSize];
  char Password[BufferSize];
  char Database[BufferSize];
};

#endif
