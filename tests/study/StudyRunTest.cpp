// ssg-study as a user runs it: a whole kanban study and its report from the
// database alone, a failing experiment in the middle of a study, the
// M/D/1/K study answered, and the setup errors.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

#include "tests/database/ResultsQuery.h"
#include "tests/driver/Subprocess.h"
#include "tests/ssg/GenHarness.h"

namespace {

std::string Bin(const std::string& name) {
  return std::string(SSG_BINARY_DIR) + "/" + name;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::stringstream in(text);
  std::string line;
  while (std::getline(in, line))
    lines.push_back(line);
  return lines;
}

// The fields of a table line (separated by runs of blanks).
std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  std::stringstream in(line);
  std::string field;
  while (in >> field)
    fields.push_back(field);
  return fields;
}

// The table's lines: everything after the first line of the output.
std::string TableOf(const std::string& out) {
  return out.substr(out.find('\n') + 1);
}

std::size_t ArmEntries(const std::string& file) {
  std::size_t entries = 0;
  for (const auto& [state, targets] : ParseArm(ReadFile(file)).transitions)
    entries += targets.size();
  return entries;
}

TEST(StudyRunTest, KanbanStudyTableAndTheSameTableFromTheDatabaseAlone) {
  ScratchDir dir;
  const std::string out = dir.file("k");
  RunResult run = RunProgram(
      Bin("ssg-study"), {Bin("gen-kanban"), "--out", out, "--experiments", "0-1", "--jobs", "2"});
  ASSERT_EQ(run.status, 0) << run.err << run.out;
  EXPECT_NE(run.err.find("ssg-study: study 1, 2 experiments of"), std::string::npos) << run.err;

  std::vector<std::string> lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 4u) << run.out;
  EXPECT_EQ(Fields(lines[1]),
            (std::vector<std::string>{"exp", "N", "states", "transitions", "gen", "s", "solve", "s",
                                      "Throughput", "WipCell1", "status"}));
  // N = 1 and 2: 160 and 4600 states; the transitions the .arm files hold;
  // the measures as ssg-solve computes them from the same files.
  const unsigned long states[] = {160, 4600};
  for (int e = 0; e < 2; e++) {
    std::vector<std::string> f = Fields(lines[2 + e]);
    ASSERT_EQ(f.size(), 9u) << lines[2 + e];
    EXPECT_EQ(f[0], std::to_string(e));
    EXPECT_EQ(f[1], std::to_string(e + 1));
    EXPECT_EQ(f[2], std::to_string(states[e]));
    const std::string prefix = out + "/exp" + std::to_string(e);
    EXPECT_EQ(f[3], std::to_string(ArmEntries(prefix + ".arm")));
    EXPECT_EQ(f[8], "ok");
    ASSERT_EQ(RunProgram(Bin("ssg-solve"), {prefix, "--csv", dir.file("c.csv"), "-q"}).status, 0);
    std::vector<std::string> csv = Lines(ReadFile(dir.file("c.csv")));
    ASSERT_EQ(csv.size(), 3u);
    for (int m = 0; m < 2; m++) {
      double exact = std::stod(csv[1 + m].substr(csv[1 + m].find(",,,") + 3));
      EXPECT_NEAR(std::stod(f[6 + m]), exact, 1e-9 * exact) << csv[1 + m];
    }
  }
  const std::string db = out + "/results.db";
  EXPECT_EQ(Query(db, "SELECT experiment_number, status, run_id IS NOT NULL, solve_id IS NOT "
                      "NULL, exit_status FROM study_experiments ORDER BY 1"),
            (std::vector<std::string>{"0|done|1|1|0", "1|done|1|1|0"}));
  EXPECT_EQ(QueryOne(db, "SELECT status FROM studies"), "completed");
  EXPECT_EQ(QueryOne(db, "SELECT count(*) FROM runs WHERE entity = 'study 1' AND status = "
                         "'completed'"),
            "2");

  // The report, with every file of the experiments gone.
  for (const auto& entry : std::filesystem::directory_iterator(out))
    if (entry.path().filename() != "results.db" &&
        entry.path().filename().string().rfind("results.db", 0) != 0)
      std::filesystem::remove(entry.path());
  RunResult report = RunProgram(Bin("ssg-study"), {"--report", db});
  EXPECT_EQ(report.status, 0) << report.err;
  EXPECT_EQ(TableOf(report.out), TableOf(run.out));
  EXPECT_EQ(report.out.rfind("study 1: " + Bin("gen-kanban") + " experiments 0-1, ", 0), 0u)
      << report.out;

  RunResult none = RunProgram(Bin("ssg-study"), {"--report", dir.file("missing.db")});
  EXPECT_EQ(none.status, 1);
  EXPECT_NE(none.err.find("missing.db: no such database"), std::string::npos) << none.err;
}

TEST(StudyRunTest, FailingExperimentInTheMiddleIsReportedAndTheOthersGoOn) {
  ScratchDir dir;
  // A model executable whose experiment 1 fails after its run started (its
  // files cannot be created) and whose experiment 2 is killed; the others
  // are the example's.
  const std::string model = dir.file("flaky");
  std::ofstream(model) << "#!/bin/sh\n"
                          "case \" $* \" in\n"
                          "*' -B 1 '*) exec "
                       << GenBinary() << " \"$@\" -P " << dir.path
                       << "missing/ ;;\n"
                          "*' -B 2 '*) echo 'about to be killed'; kill -KILL $$ ;;\n"
                          "esac\n"
                          "exec "
                       << GenBinary() << " \"$@\"\n";
  chmod(model.c_str(), 0755);

  const std::string out = dir.file("f");
  RunResult run =
      RunProgram(Bin("ssg-study"), {model, "--out", out, "--experiments", "0-3", "--jobs", "1"});
  EXPECT_EQ(run.status, 2) << run.err;
  EXPECT_NE(run.err.find("ssg-study: experiment 1 failed: the generator ended with exit status 1; "
                         "its last messages (" +
                         out + "/exp1.log):"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("cannot create the performance variable type file " + dir.path +
                         "missing/exp1.pvtype"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("ssg-study: experiment 2 failed: the generator ended with killed by "
                         "signal 9"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("    about to be killed"), std::string::npos) << run.err;

  std::vector<std::string> lines = Lines(run.out);
  ASSERT_GE(lines.size(), 6u) << run.out;
  EXPECT_EQ(Fields(lines[2]).back(), "ok");
  EXPECT_EQ(Fields(lines[3]).back(), "failed");
  EXPECT_EQ(Fields(lines[4]).back(), "failed");
  EXPECT_EQ(Fields(lines[5]).back(), "ok");
  // Experiment 1's run started, so its global variables are known.
  EXPECT_EQ(Fields(lines[3])[1], "0.01");
  EXPECT_NE(run.out.find("experiment 1: the generator ended with exit status 1"), std::string::npos)
      << run.out;

  const std::string db = out + "/results.db";
  EXPECT_EQ(Query(db, "SELECT e.experiment_number, e.status, coalesce(e.exit_status, '-'), "
                      "coalesce(r.status, 'no run') FROM study_experiments e LEFT JOIN runs r "
                      "ON r.id = e.run_id ORDER BY 1"),
            (std::vector<std::string>{"0|done|0|completed", "1|failed|1|failed",
                                      "2|failed|137|no run", "3|done|0|completed"}));
  EXPECT_EQ(QueryOne(db, "SELECT status FROM studies"), "failed");
  RunResult report = RunProgram(Bin("ssg-study"), {"--report", db});
  EXPECT_EQ(report.status, 2);
  EXPECT_EQ(TableOf(report.out), TableOf(run.out));
}

// The M/D/1/K study is answered: its steady-state values are those ssg-solve
// computes from the same files, stored as numbers.
TEST(StudyRunTest, DeterministicModelIsAnswered) {
  ScratchDir dir;
  const std::string out = dir.file("m");
  RunResult run =
      RunProgram(Bin("ssg-study"), {Bin("gen-mdk"), "--out", out, "--experiments", "0-1", "-q"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  std::vector<std::string> lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 4u) << run.out;
  for (int e = 0; e < 2; e++) {
    std::vector<std::string> row = Fields(lines[2 + e]);
    ASSERT_EQ(row.size(), 11u) << lines[2 + e];
    EXPECT_EQ(row[10], "ok");
    const std::string prefix = out + "/exp" + std::to_string(e);
    RunResult solve = RunProgram(Bin("ssg-solve"), {prefix, "-q"});
    ASSERT_EQ(solve.status, 0) << solve.err;
    std::vector<std::string> solved = Lines(solve.out);
    ASSERT_GE(solved.size(), 3u);
    EXPECT_EQ(Fields(solved[1]).back(), row[8]) << solve.out;
    EXPECT_EQ(Fields(solved[2]).back(), row[9]) << solve.out;
  }
  EXPECT_EQ(QueryOne(out + "/results.db",
                     "SELECT s.status || ',' || count(v.position) || ',' || count(v.value) FROM "
                     "solves s JOIN solve_values v ON v.solve_id = s.id WHERE s.id = 1"),
            "completed,2,2");
}

TEST(StudyRunTest, SetupErrorsExitOneSayingWhat) {
  ScratchDir dir;
  struct Case {
    std::vector<std::string> arguments;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{Bin("gen"), "--out", dir.file("a"), "--db", dir.file("no/dir/r.db")},
       "ssg-study: results database " + dir.file("no/dir/r.db") + ": unable to open database file"},
      {{dir.file("nonexistent-model"), "--out", dir.file("b")},
       "cannot run " + dir.file("nonexistent-model")},
      {{"/bin/true", "--out", dir.file("c")},
       "/bin/true --list-experiments: not a list of experiments"},
      {{Bin("gen"), "--out", dir.file("d"), "--experiments", "4-6"},
       "experiment 6 out of range (the model has experiments 0 to 5)"},
      {{Bin("gen"), "--out", "/proc/no"}, "/proc/no: cannot create the directory"},
  };
  for (const Case& c : cases) {
    RunResult run = RunProgram(Bin("ssg-study"), c.arguments);
    EXPECT_EQ(run.status, 1) << c.message;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
  }
  RunResult help = RunProgram(Bin("ssg-study"), {"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: ssg-study <model.san | model executable>", 0), 0u);
  RunResult version = RunProgram(Bin("ssg-study"), {"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("ssg-study ", 0), 0u);
}

TEST(StudyRunTest, PlotIsDrawnAgainstTheChangingVariable) {
  if (access("/usr/bin/gnuplot", X_OK) != 0)
    GTEST_SKIP() << "gnuplot is not installed";
  ScratchDir dir;
  const std::string svg = dir.file("t.svg");
  RunResult run = RunProgram(Bin("ssg-study"), {Bin("gen-kanban"), "--out", dir.file("k"),
                                                "--experiments", "0,1", "--plot", svg, "-q"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("ssg-study: plot written to " + svg), std::string::npos) << run.err;
  std::string image = ReadFile(svg);
  EXPECT_NE(image.find("<svg"), std::string::npos);
  EXPECT_NE(image.find("Throughput"), std::string::npos);
  std::string script = ReadFile(svg + ".gp");
  EXPECT_NE(script.find("set xlabel 'N'"), std::string::npos) << script;
  EXPECT_NE(script.find("\n1 0.09258"), std::string::npos) << script; // N = 1: throughput

  RunResult without = RunProgram("/usr/bin/env", {"PATH=/nonexistent", Bin("ssg-study"), "--report",
                                                  dir.file("k/results.db"), "--plot", svg});
  EXPECT_EQ(without.status, 4);
  EXPECT_NE(without.err.find("apt-get install gnuplot-nox"), std::string::npos) << without.err;
}

} // namespace

// Path properties through a study: the generator writes the markings, the
// solver answers the properties, and the table has a column per property
// and time. The mean time until all K machines are down is the birth-death
// first-passage sum m_n = (1 + mu m_(n-1)) / ((K - n) lambda), n < K.
TEST(StudyRunTest, PropertiesAreSolvedForEveryExperiment) {
  ScratchDir dir;
  const std::string out = dir.file("rep");
  RunResult run =
      RunProgram(Bin("ssg-study"), {Bin("gen-repairman"), "--out", out, "--experiments", "0-2",
                                    "--jobs", "1", "--property", "R=? [ F Up == 0 ]", "-q"});
  ASSERT_EQ(run.status, 0) << run.err << run.out;
  const std::vector<std::string> lines = Lines(TableOf(run.out));
  ASSERT_EQ(lines.size(), 4u) << run.out;
  EXPECT_NE(lines[0].find("R=? [ F Up == 0 ]"), std::string::npos) << lines[0];
  for (int k = 1; k <= 3; k++) {
    double total = 0, m = 0;
    for (int n = 0; n < k; n++) {
      m = (1 + (n > 0 ? 1.0 * m : 0.0)) / ((k - n) * 0.1);
      total += m;
    }
    const std::vector<std::string> fields = Fields(lines[std::size_t(k)]);
    ASSERT_GE(fields.size(), 9u) << lines[std::size_t(k)];
    EXPECT_NEAR(std::stod(fields[fields.size() - 2]), total, 1e-7 * total) << lines[std::size_t(k)];
  }
}

namespace {

// The repairman's closed forms (K machines failing at rate lambda each, one
// repairman at rate mu): pi_n proportional to K!/(K-n)! (lambda/mu)^n; the
// failure frequency lambda E[Up]; the probability that the last event was a
// failure, sum over n >= 1 of pi_n mu / (lambda (K-n) + mu).
std::pair<double, double> RepairmanFailures(int K, double lambda, double mu) {
  std::vector<double> pi;
  double term = 1, total = 0;
  for (int n = 0; n <= K; n++) {
    pi.push_back(term);
    total += term;
    term *= (K - n) * lambda / mu;
  }
  double up = 0, last = 0;
  for (int n = 0; n <= K; n++) {
    up += pi[n] / total * (K - n);
    if (n > 0)
      last += pi[n] / total * mu / (lambda * (K - n) + mu);
  }
  return {lambda * up, last};
}

TEST(StudyRunTest, RepairmanImpulsesInTheTableAndTheNotesOfAnOlderRun) {
  ScratchDir dir;
  const std::string out = dir.file("r");
  RunResult run = RunProgram(Bin("ssg-study"), {Bin("gen-repairman"), "--out", out, "--experiments",
                                                "4", "--jobs", "1", "-q"});
  ASSERT_EQ(run.status, 0) << run.err << run.out;
  std::vector<std::string> lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 3u) << run.out;
  EXPECT_EQ(Fields(lines[1]),
            (std::vector<std::string>{"exp", "K", "lambda", "mu", "states", "transitions", "gen",
                                      "s", "solve", "s", "Working", "RepairmanBusy", "AllDown",
                                      "Failures", "Failures/time", "status"}));
  std::vector<std::string> f = Fields(lines[2]);
  ASSERT_EQ(f.size(), 14u) << lines[2];
  EXPECT_EQ(f[1], "5");
  const auto [frequency, last] = RepairmanFailures(5, 0.1, 1.0);
  EXPECT_NEAR(std::stod(f[11]), last, 1e-9 * last) << lines[2];
  EXPECT_NEAR(std::stod(f[12]), frequency, 1e-9 * frequency) << lines[2];
  EXPECT_EQ(f[13], "ok");
  EXPECT_EQ(QueryOne(out + "/results.db", "SELECT value FROM solve_values WHERE type = "
                                          "'impulse-rate' AND variable = 'Failures'"),
            QueryOne(out + "/results.db", "SELECT value FROM solve_values WHERE type = "
                                          "'impulse-rate'"));

  // An older run: the files without .rew and .imp, solved by hand into a
  // database without studies. Every value is marked and its note listed.
  const std::string db = dir.file("old.db");
  ASSERT_EQ(RunProgram(Bin("gen-repairman"), {"-P" + dir.path, "-Nold", "-B4", "-s", db}).status,
            0);
  std::filesystem::remove(dir.file("old.rew"));
  std::filesystem::remove(dir.file("old.imp"));
  RunResult solve = RunProgram(Bin("ssg-solve"), {dir.file("old"), "--db", db, "-q"});
  ASSERT_EQ(solve.status, 0) << solve.err;
  EXPECT_NE(solve.out.find("impulse part not included (no .imp file)"), std::string::npos);
  RunResult report = RunProgram(Bin("ssg-study"), {"--report", db});
  EXPECT_EQ(report.status, 0) << report.err;
  lines = Lines(report.out);
  ASSERT_GE(lines.size(), 4u) << report.out;
  f = Fields(lines[1]);
  ASSERT_EQ(f.size(), 13u) << report.out; // no Failures/time column
  EXPECT_EQ(f[11], "0*");
  EXPECT_EQ(lines[2], "experiment 4: * Working, RepairmanBusy, AllDown: input rounded to 6 "
                      "significant digits (no .rew file)");
  EXPECT_EQ(lines[3], "experiment 4: * Failures: input rounded to 6 significant digits (no .rew "
                      "file); impulse part not included (no .imp file)");
}

} // namespace
