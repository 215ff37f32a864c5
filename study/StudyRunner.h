#ifndef STUDY_STUDYRUNNER_H
#define STUDY_STUDYRUNNER_H

#include <iosfwd>
#include <string>
#include <vector>

class StudyDatabase;

// Runs a study: for each chosen experiment the model executable (files
// <out>/exp<n>.*, messages in <out>/exp<n>.log, the run recorded with the
// entity "study <id>"), then ssg-solve on its files (<out>/exp<n>.solve.log,
// the solve recorded with --db). At most Jobs experiments are in progress at
// once; the others wait. An experiment whose generator or solver fails is
// reported at once with its exit status and the last lines of its messages,
// and the others go on. Every step is recorded in the study's rows of the
// database, so an interrupted study still shows how far it came.
//
// Progress goes to `messages` at most once a second: experiments done,
// running (with a running generator's latest state count) and failed.
class StudyRunner {
public:
  struct Setup {
    std::string Model;  // the model executable
    std::string OutDir; // absolute
    std::string DbFile; // absolute
    std::string ExperimentsText;
    std::vector<int> Experiments;
    unsigned Jobs = 1;
    bool Quiet = false;
    std::string Solver; // the ssg-solve executable
    // Extra ssg-solve options (--property ...); when there are any, the
    // model executable also writes the markings (--states).
    std::vector<std::string> SolveArguments;
  };

  StudyRunner(Setup setup, StudyDatabase& db, std::ostream& messages);
  // Runs every experiment; returns the study's id.
  long long run();
  int failed() const { return Failed; }

  // ssg-solve next to the running program, else the one on PATH.
  static std::string SolverNextToThisProgram();
  static constexpr int MessageLines = 6;

private:
  Setup Config;
  StudyDatabase& Db;
  std::ostream& Messages;
  int Failed = 0;
};

#endif
