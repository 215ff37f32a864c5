#ifndef DRIVER_RUNRECORD_H
#define DRIVER_RUNRECORD_H

class BaseStudyClass;
class ResultsDB;

// The start of a run's record in the results database (-s): the model (the
// executable's name), experiment number (-B), output prefix (-P and -N),
// entity (-e) and the global variables as the experiment and the overrides
// set them. The generator completes the record when it ends; a failure is
// reported by the connector and the run goes on without it, to end with
// NotStoredStatus once every file is written.
class RunRecord {
public:
  // The exit status of a run whose files are complete and whose record in
  // the database is not (as ssg-solve's for its database rows).
  static constexpr int NotStoredStatus = 5;

  static void Start(ResultsDB& db, BaseStudyClass& study, const char* program);
};

#endif
