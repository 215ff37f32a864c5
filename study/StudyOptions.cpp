#include "study/StudyOptions.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <set>

namespace {

[[noreturn]] void Bad(const std::string& what) {
  throw StudyOptions::Error(what + " (ssg-study --help lists the options)");
}

bool EndsWith(const std::string& s, const std::string& end) {
  return s.size() > end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

long long Whole(const std::string& option, const std::string& text) {
  long long value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size())
    Bad(option + ": '" + text + "' is not a whole number");
  return value;
}

} // namespace

StudyOptions StudyOptions::Parse(const std::vector<std::string>& arguments) {
  StudyOptions options;
  // --help and --version answer whatever else is on the command line.
  for (const std::string& word : arguments) {
    if (word == "--help" || word == "-h")
      options.Help = true;
    else if (word == "--version")
      options.Version = true;
  }
  if (options.Help || options.Version)
    return options;
  std::vector<std::string> positional;
  for (std::size_t i = 0; i < arguments.size(); i++) {
    const std::string& word = arguments[i];
    if (word.size() < 2 || word[0] != '-') {
      positional.push_back(word);
      continue;
    }
    std::string name = word, value;
    bool hasValue = false;
    if (std::size_t eq = word.find('='); eq != std::string::npos && word.rfind("--", 0) == 0) {
      name = word.substr(0, eq);
      value = word.substr(eq + 1);
      hasValue = true;
    } else if (word[1] != '-' && word.size() > 2) {
      // A letter's value may follow it directly: -j2 as -j 2.
      name = word.substr(0, 2);
      value = word.substr(2);
      hasValue = true;
    }
    auto flag = [&]() {
      if (hasValue)
        Bad(name + " takes no value");
    };
    auto take = [&]() -> std::string {
      if (!hasValue) {
        if (i + 1 >= arguments.size())
          Bad(name + " needs a value");
        value = arguments[++i];
      }
      if (value.empty())
        Bad(name + " needs a value");
      return value;
    };
    if (name == "--help" || name == "-h") {
      flag();
      options.Help = true;
    } else if (name == "--version") {
      flag();
      options.Version = true;
    } else if (name == "--quiet" || name == "-q") {
      flag();
      options.Quiet = true;
    } else if (name == "--out") {
      options.OutDir = take();
    } else if (name == "--db") {
      options.DbFile = take();
    } else if (name == "--experiments") {
      options.Experiments = take();
      ExperimentList(options.Experiments, 1 << 30); // the syntax, now
    } else if (name == "--jobs" || name == "-j") {
      long long jobs = Whole(name, take());
      if (jobs < 1 || jobs > 1024)
        Bad(name + ": " + std::to_string(jobs) + " must lie between 1 and 1024");
      options.Jobs = static_cast<unsigned>(jobs);
    } else if (name == "--plot") {
      options.PlotFile = take();
      if (!EndsWith(options.PlotFile, ".png") && !EndsWith(options.PlotFile, ".svg"))
        Bad("--plot: '" + options.PlotFile + "' must end in .png or .svg");
    } else if (name == "--property" || name == "--properties" || name == "--times") {
      std::string given = take();
      if (name == "--properties")
        given = std::filesystem::absolute(given).string();
      options.SolveArguments.push_back(name);
      options.SolveArguments.push_back(given);
    } else if (name == "--set") {
      options.Sets.push_back(take());
    } else if (name == "--report") {
      options.Report = take();
    } else if (name == "--study") {
      options.StudyId = Whole(name, take());
      if (options.StudyId < 1)
        Bad("--study: a study id is 1 or more");
    } else {
      Bad("unknown option '" + word + "'");
    }
  }
  if (options.Help || options.Version)
    return options;
  if (!options.Report.empty()) {
    if (!positional.empty() || !options.OutDir.empty() || !options.Experiments.empty() ||
        options.Jobs != 0 || !options.DbFile.empty())
      Bad("--report prints a database's table and takes only --study and --plot");
    if (!options.Sets.empty())
      Bad("--set goes with a model file, not with --report");
    return options;
  }
  if (options.StudyId != 0)
    Bad("--study goes with --report");
  if (positional.empty())
    Bad("missing the model executable (for example build/release/gen-kanban)");
  if (positional.size() > 1)
    Bad("more than one model executable given ('" + positional[0] + "', '" + positional[1] + "')");
  options.Model = positional[0];
  const bool modelFile = EndsWith(options.Model, ".san");
  if (!options.Sets.empty() && !modelFile)
    Bad("--set replaces the study of a model file (.san); a model executable's study is built "
        "into it");
  if (options.OutDir.empty()) {
    std::string name = options.Model.substr(options.Model.rfind('/') + 1);
    options.OutDir = "out/" + (modelFile ? name.substr(0, name.size() - 4) : name);
  }
  if (options.DbFile.empty())
    options.DbFile = options.OutDir + "/results.db";
  return options;
}

std::vector<int> StudyOptions::ExperimentList(const std::string& text, int count) {
  std::set<int> chosen;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t comma = text.find(',', start);
    if (comma == std::string::npos)
      comma = text.size();
    std::string item = text.substr(start, comma - start);
    std::size_t dash = item.find('-');
    std::string lowText = item.substr(0, dash);
    std::string highText = dash == std::string::npos ? lowText : item.substr(dash + 1);
    int low = 0, high = 0;
    auto parse = [&](const std::string& t, int& v) {
      auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
      return !t.empty() && ec == std::errc() && end == t.data() + t.size() && v >= 0;
    };
    if (!parse(lowText, low) || !parse(highText, high) || high < low)
      Bad("--experiments " + text + ": '" + item +
          "' is not an experiment number or a range like 0-4");
    if (high >= count)
      Bad("--experiments " + text + ": experiment " + std::to_string(high) +
          " out of range (the model has experiments 0 to " + std::to_string(count - 1) + ")");
    for (int e = low; e <= high; e++)
      chosen.insert(e);
    start = comma + 1;
  }
  return std::vector<int>(chosen.begin(), chosen.end());
}

std::string StudyOptions::Usage() {
  return R"(Usage: ssg-study <model.san | model executable> [--out <dir>] [options]
       ssg-study --report <db> [--study <id>] [--plot <file>]

Given a model file (.san), compiles it (its errors are shown with their
positions), builds its model executable with the framework ssg-study was
built with (kept in a cache: a second run builds nothing) and runs its
study, or the study --set gives.

Runs a model executable for each chosen experiment of its study (its files
go to <dir>/exp<n>.*, its messages to <dir>/exp<n>.log), then ssg-solve on
the files (its table to <dir>/exp<n>.solve.log), records both in the results
database, and prints one row per experiment: the global variables, states,
transitions, seconds and every measure.

Options (a value follows as the next word or after '='; a letter's value
may follow it directly, -j2):
  --out DIR           directory of the files, created when missing
                      (default out/<executable's name>)
  --db FILE           results database (default DIR/results.db)
  --experiments LIST  experiments to run, e.g. 0-4,6 (default: all)
  --set NAME=VALUES   with a model file: replaces its study; VALUES are
                      numbers and ranges (N=1..7, lambda=0.1,0.2); several
                      --set give every combination, the first slowest
  --jobs N, -j N      experiments run at once (default: processors)
  --plot FILE         draw each measure against the experiments, or against
                      the one global variable that changes (.png or .svg)
  --property P        solve the path property P (ssg-solve --property)
                      instead of the reward variables; may be repeated
  --properties FILE   the properties of FILE (ssg-solve --properties)
  --times T,...       the times of a property's bound T (ssg-solve --times)
  --report DB         print the table of DB's latest study; run nothing
  --study ID          with --report: that study instead of the latest
  --quiet, -q         no progress on standard error
  --help, -h          this text
  --version           the program's version

Exit status: 0 every experiment generated and solved, every output written;
1 a bad command line, a model executable that cannot be run or listed, a
database or directory that cannot be written; 2 an experiment failed (its
exit status and last messages are printed; the others still ran); 3 every
experiment ran but some values are missing (the solver refused the model,
for example one with deterministic delays, or did not converge); 4 the
table is complete but the plot could not be drawn.

Examples:
  ssg-study models/kanban/kanban.san --set N=1..3
  ssg-study build/release/gen-kanban --out out/kanban --experiments 0-3 \
            --plot throughput.png
)";
}
