#include "study/StudyRunner.h"

#include <chrono>
#include <climits>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <thread>
#include <unistd.h>

#include "solver/Progress.h"
#include "study/ChildProcess.h"
#include "study/LogTail.h"
#include "study/StudyDatabase.h"

namespace {

struct Job {
  enum class Phase { Waiting, Generating, Solving, Done, Failed };
  int Experiment = 0;
  Phase Now = Phase::Waiting;
  ChildProcess Child;
  std::optional<long long> Run;
  std::string Prefix, GenLog, SolveLog;
};

} // namespace

StudyRunner::StudyRunner(Setup setup, StudyDatabase& db, std::ostream& messages)
    : Config(std::move(setup)), Db(db), Messages(messages) {}

std::string StudyRunner::SolverNextToThisProgram() {
  char path[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n > 0) {
    std::string self(path, static_cast<std::size_t>(n));
    std::string candidate = self.substr(0, self.rfind('/') + 1) + "ssg-solve";
    if (access(candidate.c_str(), X_OK) == 0)
      return candidate;
  }
  return "ssg-solve";
}

long long StudyRunner::run() {
  const long long study =
      Db.createStudy(Config.Model, Config.OutDir, Config.ExperimentsText, Config.Experiments);
  const std::string entity = StudyDatabase::Entity(study);
  std::vector<Job> jobs(Config.Experiments.size());
  for (std::size_t i = 0; i < jobs.size(); i++) {
    Job& job = jobs[i];
    job.Experiment = Config.Experiments[i];
    std::string name = "exp" + std::to_string(job.Experiment);
    job.Prefix = Config.OutDir + "/" + name;
    job.GenLog = job.Prefix + ".log";
    job.SolveLog = job.Prefix + ".solve.log";
  }
  Progress progress(!Config.Quiet);
  if (!Config.Quiet)
    Messages << "ssg-study: study " << study << ", " << jobs.size() << " experiment"
             << (jobs.size() == 1 ? "" : "s") << " of " << Config.Model << ", up to " << Config.Jobs
             << " at once; files in " << Config.OutDir << ", database " << Config.DbFile
             << std::endl;

  auto fail = [&](Job& job, const std::string& program, const std::string& log,
                  const std::string& why) {
    job.Now = Job::Phase::Failed;
    Failed++;
    std::string lines = LogTail::LastLines(log, MessageLines);
    std::string message =
        program + " " + why + (lines.empty() ? "" : "; its last messages (" + log + "):\n" + lines);
    std::optional<long long> exitStatus;
    if (job.Child.status() >= 0)
      exitStatus = job.Child.status();
    Db.setStatus(study, job.Experiment, "failed", exitStatus, message);
    progress.finish();
    std::string indented;
    for (char c : message)
      indented += c == '\n' ? std::string("\n    ") : std::string(1, c);
    while (!indented.empty() && indented.back() == ' ')
      indented.pop_back();
    Messages << "ssg-study: experiment " << job.Experiment << " failed: " << indented;
    if (indented.empty() || indented.back() != '\n')
      Messages << '\n';
    Messages.flush();
  };
  auto startSolve = [&](Job& job) {
    job.Now = Job::Phase::Solving;
    Db.setStatus(study, job.Experiment, "solving");
    try {
      std::vector<std::string> solve{Config.Solver, job.Prefix, "--db", Config.DbFile, "--quiet"};
      solve.insert(solve.end(), Config.SolveArguments.begin(), Config.SolveArguments.end());
      job.Child.start(solve, job.SolveLog);
    } catch (const std::runtime_error& e) {
      fail(job, "ssg-solve", job.SolveLog, std::string("could not be started: ") + e.what());
    }
  };
  auto startGenerate = [&](Job& job) {
    job.Now = Job::Phase::Generating;
    Db.setStatus(study, job.Experiment, "generating");
    try {
      std::vector<std::string> generate{Config.Model,
                                        "-P",
                                        Config.OutDir + "/",
                                        "-N",
                                        "exp" + std::to_string(job.Experiment),
                                        "-B",
                                        std::to_string(job.Experiment),
                                        "-s",
                                        Config.DbFile,
                                        "-e",
                                        entity};
      if (!Config.SolveArguments.empty())
        generate.emplace_back("--states");
      job.Child.start(generate, job.GenLog);
    } catch (const std::runtime_error& e) {
      fail(job, "the generator", job.GenLog, std::string("could not be started: ") + e.what());
    }
  };
  auto generated = [&](Job& job) {
    job.Run = Db.linkRun(study, job.Experiment, entity);
    if (job.Child.status() != 0) {
      if (job.Run)
        Db.failUnfinishedRun(*job.Run);
      fail(job, "the generator", job.GenLog, "ended with " + job.Child.describe());
      return;
    }
    if (!job.Run && !Config.Quiet) {
      progress.finish();
      Messages << "ssg-study: experiment " << job.Experiment
               << ": the generator stored no run in the database (see " << job.GenLog << ")"
               << std::endl;
    }
    startSolve(job);
  };
  auto solved = [&](Job& job) {
    std::optional<long long> solve = Db.linkSolve(study, job.Experiment, job.Run, job.Prefix);
    int status = job.Child.status();
    // 2: refused (deterministic delays), 3: not converged; both are recorded
    // with their reason and are answers, not failures.
    if ((status == 0 || status == 2 || status == 3) && solve) {
      job.Now = Job::Phase::Done;
      Db.setStatus(study, job.Experiment, "done", status);
      return;
    }
    fail(job, "ssg-solve", job.SolveLog,
         "ended with " + job.Child.describe() + (solve ? "" : " and stored no solve"));
  };

  std::size_t next = 0;
  for (;;) {
    std::size_t active = 0;
    for (const Job& job : jobs)
      if (job.Now == Job::Phase::Generating || job.Now == Job::Phase::Solving)
        active++;
    while (active < Config.Jobs && next < jobs.size()) {
      startGenerate(jobs[next++]);
      if (jobs[next - 1].Now == Job::Phase::Generating)
        active++;
    }
    if (active == 0 && next == jobs.size())
      break;

    for (Job& job : jobs) {
      if ((job.Now != Job::Phase::Generating && job.Now != Job::Phase::Solving) ||
          !job.Child.poll())
        continue;
      if (job.Now == Job::Phase::Generating)
        generated(job);
      else
        solved(job);
    }

    if (progress.due()) {
      std::size_t done = 0, waiting = 0;
      std::string running;
      for (const Job& job : jobs) {
        switch (job.Now) {
        case Job::Phase::Done:
          done++;
          break;
        case Job::Phase::Waiting:
          waiting++;
          break;
        case Job::Phase::Generating: {
          auto states = LogTail::LatestStateCount(job.GenLog);
          running += (running.empty() ? "" : ", ") + std::string("exp ") +
                     std::to_string(job.Experiment) + ": " +
                     (states ? std::to_string(*states) + " states" : std::string("starting"));
          break;
        }
        case Job::Phase::Solving:
          running += (running.empty() ? "" : ", ") + std::string("exp ") +
                     std::to_string(job.Experiment) + ": solving";
          break;
        case Job::Phase::Failed:
          break;
        }
      }
      progress.show("ssg-study: " + std::to_string(done) + " done, " +
                    (running.empty() ? std::string("none running") : "running " + running) + ", " +
                    std::to_string(Failed) + " failed, " + std::to_string(waiting) + " waiting");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  progress.finish();
  Db.finishStudy(study, Failed == 0);
  return study;
}
