#ifndef STUDY_STUDYOPTIONS_H
#define STUDY_STUDYOPTIONS_H

#include <stdexcept>
#include <string>
#include <vector>

// The command line of ssg-study:
//   ssg-study <model executable | model.san> [--set N=1..7 ...] [--out <dir>] [--db <file>]
//             [--experiments 0-4,6] [--jobs N] [--plot <file>] [--quiet]
//   ssg-study --report <db> [--study <id>] [--plot <file>]
// Options take their value as the next word or after '='.
class StudyOptions {
public:
  // A bad command line (exit status 1), with what is wrong.
  class Error : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
  };

  std::string Model;             // the model executable, or a model file (.san)
  std::vector<std::string> Sets; // --set NAME=VALUES, in order (model files only)
  std::string OutDir;            // files, logs, database; default out/<executable>
  std::string DbFile;            // default <OutDir>/results.db
  std::string Experiments;       // as given; empty: all
  unsigned Jobs = 0;             // 0: the number of processors
  std::string PlotFile;
  // --property, --properties, --times: passed to ssg-solve, which then
  // answers these properties instead of the reward variables (and the model
  // executable runs with --states).
  std::vector<std::string> SolveArguments;
  std::string Report;    // --report: the database to print
  long long StudyId = 0; // --study: which study to report (0: the latest)
  bool Quiet = false;
  bool Help = false;
  bool Version = false;

  static StudyOptions Parse(const std::vector<std::string>& arguments);
  static std::string Usage();
  static constexpr const char* VersionText = "1.0.0";

  // "0-4,6" -> 0 1 2 3 4 6 (sorted, without repeats); every number must be
  // below `count`. Throws Error saying what is wrong.
  static std::vector<int> ExperimentList(const std::string& text, int count);
};

#endif
