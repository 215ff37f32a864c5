#include "study/ChildProcess.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

ChildProcess::~ChildProcess() {
  if (Pid > 0) {
    kill(Pid, SIGTERM);
    wait();
  }
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : Pid(other.Pid), Status(other.Status), Signal(other.Signal) {
  other.Pid = -1;
}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
  if (this != &other) {
    if (Pid > 0) {
      kill(Pid, SIGTERM);
      wait();
    }
    Pid = other.Pid;
    Status = other.Status;
    Signal = other.Signal;
    other.Pid = -1;
  }
  return *this;
}

void ChildProcess::start(const std::vector<std::string>& arguments, const std::string& logFile) {
  std::vector<std::string> copies(arguments);
  std::vector<char*> argv;
  argv.reserve(copies.size() + 1);
  for (std::string& a : copies)
    argv.push_back(a.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  pid_t pid = -1;
  int error = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0)
    throw std::runtime_error("cannot run " + arguments[0] + ": " + std::strerror(error));
  Pid = pid;
  Status = -1;
  Signal = 0;
}

void ChildProcess::finish(int waitStatus) {
  Pid = -1;
  if (WIFEXITED(waitStatus)) {
    Status = WEXITSTATUS(waitStatus);
  } else if (WIFSIGNALED(waitStatus)) {
    Signal = WTERMSIG(waitStatus);
    Status = 128 + Signal;
  } else {
    Status = 255;
  }
}

bool ChildProcess::poll() {
  if (Pid <= 0)
    return true;
  int waitStatus = 0;
  pid_t done = waitpid(Pid, &waitStatus, WNOHANG);
  if (done == 0 || (done < 0 && errno == EINTR))
    return false;
  if (done < 0)
    waitStatus = 255 << 8; // lost: count it as a failure
  finish(waitStatus);
  return true;
}

void ChildProcess::wait() {
  if (Pid <= 0)
    return;
  int waitStatus = 0;
  pid_t done;
  while ((done = waitpid(Pid, &waitStatus, 0)) < 0 && errno == EINTR) {
  }
  if (done < 0)
    waitStatus = 255 << 8;
  finish(waitStatus);
}

std::string ChildProcess::describe() const {
  if (Signal != 0)
    return "killed by signal " + std::to_string(Signal) + " (" + strsignal(Signal) + ")";
  return "exit status " + std::to_string(Status);
}

int ChildProcess::Run(const std::vector<std::string>& arguments, const std::string& logFile) {
  ChildProcess child;
  child.start(arguments, logFile);
  child.wait();
  return child.status();
}
