#ifndef STUDY_STUDYTABLE_H
#define STUDY_STUDYTABLE_H

#include <iosfwd>
#include <string>
#include <vector>

#include "study/StudyDatabase.h"

// The table of a study: one row per experiment with its global variables
// (and its model, when the rows are runs of several models),
// states, transitions, the generator's processor seconds, the solver's
// seconds, one column per measure and the experiment's status; under it, a
// note for each experiment that failed or has no values (the reason, and a
// failed program's last messages).
//
// A measure is a reward variable at one time: "Throughput" (steady-state),
// "Reliability@24" (instant of time), "Uptime[0,10]" (interval). Values have
// 10 significant digits; a cell without one says why ("refused", "not
// converged", "-" when nothing was solved). A value that carries a note
// (rounded input, impulse part missing, below the accuracy bound) is marked
// "*", and the notes are listed under the table per experiment.
class StudyTable {
public:
  explicit StudyTable(std::vector<StudyDatabase::Experiment> experiments);

  void print(std::ostream& out) const;
  // True when every experiment is done and every measure has a value.
  bool complete() const;

  // For a plot: the x axis (the one global variable whose value differs
  // between the experiments and is a number everywhere; else the experiment
  // number) and one series of (x, value) per measure with a value.
  struct Series {
    std::string Measure;
    std::vector<std::pair<double, double>> Points;
    std::string Note; // the notes of its values, distinct, joined by "; "
  };
  std::string xLabel() const;
  std::vector<Series> series() const;
  // The global variables with one value in every experiment, for a title:
  // "lambda=0.1, meo=0.1" (empty when there is none).
  std::string fixedValues() const;

  static std::string MeasureName(const StudyDatabase::Value& value);
  // The status column of an experiment: "ok", "refused", "failed", ...
  static std::string StatusText(const StudyDatabase::Experiment& experiment);

private:
  std::vector<StudyDatabase::Experiment> Experiments;
  std::vector<std::string> Globals;  // names, in first-seen order
  std::vector<std::string> Measures; // names, in first-seen order
  int XGlobal = -1;                  // index into Globals, or -1
  bool ShowModel = false;            // rows of more than one model

  std::string cell(const StudyDatabase::Experiment& e, const std::string& measure) const;
};

#endif
