#ifndef TESTS_DRIVER_SUBPROCESS_H
#define TESTS_DRIVER_SUBPROCESS_H

// Running a model executable as a subprocess and collecting what it wrote.

#include <csignal>
#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <thread>

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
  int signal = 0; // the signal that ended the process, or 0
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

// How RunControlled runs a program.
struct RunControls {
  // Extra environment entries, NAME=value.
  std::vector<std::string> environment;
  // Run as the unprivileged user 65534 (nobody), so that permission bits
  // apply to a test that runs as root.
  bool unprivileged = false;
  // RLIMIT_FSIZE: no file may grow beyond this many bytes; SIGXFSZ is
  // ignored, so a write past it fails with EFBIG as on a full disk. 0: none.
  unsigned long fileSizeLimit = 0;
  // Called with the process id while the program runs, every 10 ms, with
  // what it has written to standard output so far; returns true when it is
  // done with the process (it may have signalled it).
  std::function<bool(pid_t, const std::string& out)> whileRunning;
};

inline std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Runs `program` with `arguments` (no shell) under `controls`; standard
// output and error go to files, read at the end.
inline RunResult RunControlled(const std::string& program,
                               const std::vector<std::string>& arguments,
                               const RunControls& controls) {
  char outName[] = "/tmp/ssg_stdout_XXXXXX";
  char errName[] = "/tmp/ssg_stderr_XXXXXX";
  int outFd = mkstemp(outName);
  int errFd = mkstemp(errName);
  RunResult result;
  if (outFd < 0 || errFd < 0)
    return result;
  // The extra entries replace inherited ones of the same name.
  std::vector<std::string> env = controls.environment;
  for (char** e = environ; *e != nullptr; e++) {
    const std::string entry = *e;
    const std::string name = entry.substr(0, entry.find('=') + 1);
    bool replaced = false;
    for (const std::string& extra : controls.environment)
      replaced = replaced || extra.compare(0, name.size(), name) == 0;
    if (!replaced)
      env.push_back(entry);
  }
  std::vector<char*> argv, envp;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& a : arguments)
    argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  for (std::string& e : env)
    envp.push_back(e.data());
  envp.push_back(nullptr);

  const pid_t pid = fork();
  if (pid == 0) {
    dup2(outFd, 1);
    dup2(errFd, 2);
    if (controls.fileSizeLimit != 0) {
      signal(SIGXFSZ, SIG_IGN);
      rlimit limit{controls.fileSizeLimit, controls.fileSizeLimit};
      setrlimit(RLIMIT_FSIZE, &limit);
    }
    if (controls.unprivileged) {
      if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)
        _exit(126);
    }
    execve(program.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  close(outFd);
  close(errFd);
  int status = 0;
  if (pid > 0) {
    bool watching = static_cast<bool>(controls.whileRunning);
    for (;;) {
      const pid_t done = waitpid(pid, &status, watching ? WNOHANG : 0);
      if (done == pid || done < 0)
        break;
      if (watching && controls.whileRunning(pid, ReadWholeFile(outName)))
        watching = false;
      if (watching)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  }
  result.out = ReadWholeFile(outName);
  result.err = ReadWholeFile(errName);
  std::remove(outName);
  std::remove(errName);
  return result;
}

// The example executable.
inline std::string GenBinary() {
  return std::string(SSG_BINARY_DIR) + "/gen";
}

#endif
