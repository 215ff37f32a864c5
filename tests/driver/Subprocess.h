#ifndef TESTS_DRIVER_SUBPROCESS_H
#define TESTS_DRIVER_SUBPROCESS_H

// Running a model executable as a subprocess and collecting what it wrote.

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

struct RunResult {
  int status = -1; // exit status, or -1 when the process did not exit normally
  std::string out;
  std::string err;
};

inline std::string QuoteArgument(const std::string& argument) {
  std::string quoted = "'";
  for (char c : argument) {
    if (c == '\'')
      quoted += "'\\''";
    else
      quoted += c;
  }
  return quoted + "'";
}

// Runs `program` with `arguments` in `directory` (the current one when
// empty).
inline RunResult RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                            const std::string& directory = "") {
  char errName[] = "/tmp/ssg_stderr_XXXXXX";
  int fd = mkstemp(errName);
  if (fd >= 0)
    close(fd);
  std::string command;
  if (!directory.empty())
    command = "cd " + QuoteArgument(directory) + " && ";
  command += QuoteArgument(program);
  for (const std::string& argument : arguments)
    command += " " + QuoteArgument(argument);
  command += " 2>" + std::string(errName);

  RunResult result;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr)
    return result;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
    result.out.append(buffer, n);
  int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::ifstream errFile(errName);
  std::stringstream err;
  err << errFile.rdbuf();
  result.err = err.str();
  std::remove(errName);
  return result;
}

// The example executable.
inline std::string GenBinary() {
  return std::string(SSG_BINARY_DIR) + "/gen";
}

#endif
