#ifndef STUDY_MODELBUILD_H
#define STUDY_MODELBUILD_H

#include <iosfwd>
#include <stdexcept>
#include <string>
#include <vector>

// From a model file (.san) to its model executable, for ssg-study: the
// model is compiled with the model language's compiler (its errors shown
// as the compiler shows them, with their positions, never as C++ compiler
// output), its C++ is built with the framework this program was built with
// (the same compiler, flags and libraries), and the executable is kept in a
// cache directory named after a hash of everything that makes it: the
// file's text, the --set values, the compiler, its flags and the
// libraries' sizes and times. A second run with the same inputs builds
// nothing.
//
// Settings (--set NAME=VALUES) replace the model's study: VALUES is a
// comma-separated list of numbers and whole-number ranges (1..7); the
// experiments are every combination, the first setting varying slowest,
// and a global variable no setting names keeps its declared value (as
// without a study).
//
// The cache is $SSG_CACHE_DIR, else $XDG_CACHE_HOME/ssg-study, else
// ~/.cache/ssg-study; each build in a directory of its own
// (<hash>/gen-<model>, the generated C++ beside it, the C++ compiler's
// messages in build.log).
class ModelBuild {
public:
  // What went wrong; the model's own errors were already shown.
  class Error : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
  };

  struct Setting {
    std::string Name;
    std::vector<std::string> Values; // each a number as written
  };

  // "N=1..3,10" -> N: 1 2 3 10. Throws Error saying what is wrong.
  static Setting ParseSetting(const std::string& text);
  // True for a path that names a model file rather than an executable.
  static bool IsModelFile(const std::string& path);
  // The model executable of `modelFile` with `settings`, built unless the
  // cache has it. Progress and the model's errors go to `messages`.
  static std::string Prepare(const std::string& modelFile, const std::vector<Setting>& settings,
                             std::ostream& messages, bool quiet);
  // The cache directory (created when missing).
  static std::string CacheDirectory();
};

#endif
