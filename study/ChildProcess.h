#ifndef STUDY_CHILDPROCESS_H
#define STUDY_CHILDPROCESS_H

#include <string>
#include <sys/types.h>
#include <vector>

// A program run as a child process: standard input from /dev/null, standard
// output and standard error together into a log file. The caller polls it;
// a child still running when its ChildProcess is destroyed is stopped
// (SIGTERM) and reaped, so none is left behind.
class ChildProcess {
public:
  ChildProcess() = default;
  ~ChildProcess();
  ChildProcess(ChildProcess&& other) noexcept;
  ChildProcess& operator=(ChildProcess&& other) noexcept;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts arguments[0] (looked up on PATH when it has no '/'). Throws
  // std::runtime_error naming the program when it cannot be started.
  void start(const std::vector<std::string>& arguments, const std::string& logFile);
  // True once the child has ended (then status() is known); never blocks.
  bool poll();
  // Blocks until the child has ended.
  void wait();

  bool running() const { return Pid > 0; }
  // The exit status, or 128 + the signal that ended it.
  int status() const { return Status; }
  // "exit status 1", "killed by signal 9 (Killed)".
  std::string describe() const;

  // Runs to the end and returns status(), the output in `log`.
  static int Run(const std::vector<std::string>& arguments, const std::string& logFile);

private:
  pid_t Pid = -1;
  int Status = -1;
  int Signal = 0;
  void finish(int waitStatus);
};

#endif
