#ifndef TESTS_SSG_DISTRIBUTEDRUN_H
#define TESTS_SSG_DISTRIBUTEDRUN_H

// Running a model executable as N workers under mpirun, as the tests need:
// the run as root allowed, the launcher's own notices left out (--quiet),
// more workers than cores allowed, and no leak check in the workers: Open
// MPI's components keep memory to the end of the process and are unloaded
// before LeakSanitizer looks, so their blocks cannot even be told apart
// from ours by module. (The one-process runs and the unit tests keep the
// leak check; the distributed code owns its memory through its members.)

#include <sstream>
#include <string>
#include <vector>

#include "tests/driver/Subprocess.h"

inline std::string SanitizerSetting() {
  return "ASAN_OPTIONS=detect_leaks=0";
}

inline std::vector<std::string> WorkerEnvironment() {
  return {"OMPI_ALLOW_RUN_AS_ROOT=1", "OMPI_ALLOW_RUN_AS_ROOT_CONFIRM=1", SanitizerSetting()};
}

inline RunResult RunWorkers(int workers, const std::string& program,
                            const std::vector<std::string>& arguments) {
  std::vector<std::string> words = WorkerEnvironment();
  for (const char* word : {"mpirun", "--quiet", "--oversubscribe", "-x", "ASAN_OPTIONS", "-np"})
    words.emplace_back(word);
  words.push_back(std::to_string(workers));
  words.push_back(program);
  words.insert(words.end(), arguments.begin(), arguments.end());
  return RunProgram("env", words);
}

// The lines of a run's standard output that do not depend on timing: the
// progress lines, the absorbing-state reports and the state count.
inline std::string ProgressLines(const std::string& out) {
  std::istringstream lines(out);
  std::string line, kept;
  while (std::getline(lines, line))
    if (line.rfind("_$", 0) == 0 || line.rfind("Generated:", 0) == 0 || line == "absorbing state")
      kept += line + "\n";
  return kept;
}

#endif
