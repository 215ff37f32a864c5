#ifndef STUDY_MODELEXECUTABLE_H
#define STUDY_MODELEXECUTABLE_H

#include <string>
#include <vector>

// A model executable's study, as it lists it when run with the single
// argument --list-experiments: a tab-separated header "experiment" and the
// global variables' names, then one line per experiment with its number and
// values.
class ModelExecutable {
public:
  struct Listing {
    std::vector<std::string> Names;               // global variables
    std::vector<std::vector<std::string>> Values; // per experiment, per variable
    int count() const { return static_cast<int>(Values.size()); }
  };

  // Runs the executable with its output in `scratchFile` (removed after).
  // Throws std::runtime_error when it cannot be run or its answer is not a
  // listing (an executable built before the option existed prints its usage).
  static Listing List(const std::string& executable, const std::string& scratchFile);
  // Parses a listing; throws std::runtime_error saying what is wrong.
  static Listing Parse(const std::string& text);
};

#endif
