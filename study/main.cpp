// ssg-study: runs every chosen experiment of a model executable's study,
// solves each, records everything in the results database and prints the
// table (and a plot); or prints the table of a database again (--report).
// See StudyOptions::Usage for the command line and the exit statuses.

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <stdexcept>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "database/SqlDatabase.h"
#include "study/ModelBuild.h"
#include "study/ModelExecutable.h"
#include "study/StudyDatabase.h"
#include "study/StudyOptions.h"
#include "study/StudyPlot.h"
#include "study/StudyRunner.h"
#include "study/StudyTable.h"

namespace {

enum Status { Ok = 0, Unusable = 1, ExperimentFailed = 2, ValuesMissing = 3, NoPlot = 4 };

// Prints the table and draws the plot; the exit status they give.
int Finish(const StudyTable& table, const std::string& title, const StudyOptions& options,
           int failed) {
  table.print(std::cout);
  std::cout.flush();
  if (!std::cout) {
    std::cerr << "ssg-study: cannot write the table to standard output" << std::endl;
    return Unusable;
  }
  int status = failed > 0 ? ExperimentFailed : table.complete() ? Ok : ValuesMissing;
  if (!options.PlotFile.empty()) {
    std::string why = StudyPlot::Draw(options.PlotFile, title, table);
    if (why.empty()) {
      std::cerr << "ssg-study: plot written to " << options.PlotFile << std::endl;
    } else {
      std::cerr << "ssg-study: no plot: " << why << std::endl;
      if (status == Ok)
        status = NoPlot;
    }
  }
  return status;
}

// A plot's title: the model's name (the executable's, or the model file's
// without .san), and the values the experiments share.
std::string Title(const std::string& model, const StudyTable& table) {
  std::string name = model.substr(model.rfind('/') + 1);
  if (ModelBuild::IsModelFile(name))
    name.resize(name.size() - 4);
  const std::string fixed = table.fixedValues();
  return fixed.empty() ? name : name + " (" + fixed + ")";
}

int Report(const StudyOptions& options) {
  if (!std::filesystem::exists(options.Report))
    throw std::runtime_error(options.Report + ": no such database");
  StudyDatabase db(options.Report, false);
  std::optional<StudyDatabase::Study> study = db.study(options.StudyId);
  if (options.StudyId != 0 && !study)
    throw std::runtime_error(options.Report + ": no study " + std::to_string(options.StudyId));
  if (!study) {
    // Runs made by hand (-s): one row per run.
    StudyTable table(db.runs());
    int failed = 0;
    for (const auto& e : db.runs())
      failed += e.Status == "failed";
    return Finish(table, options.Report, options, failed);
  }
  std::cout << "study " << study->Id << ": " << study->Model << " experiments "
            << (study->Experiments.empty() ? "all" : study->Experiments) << ", " << study->StartedAt
            << " to " << (study->FinishedAt.empty() ? "(not finished)" : study->FinishedAt) << ", "
            << study->Status << "\n";
  std::vector<StudyDatabase::Experiment> experiments = db.experiments(study->Id);
  int failed = 0;
  for (const auto& e : experiments)
    failed += e.Status == "failed" || (study->Status != "running" && e.Status != "done");
  StudyTable table(experiments);
  return Finish(table, Title(study->Model, table), options, failed);
}

std::string Absolute(const std::string& path) {
  return std::filesystem::absolute(path).lexically_normal().string();
}

int RunStudy(const StudyOptions& options) {
  std::error_code error;
  std::filesystem::create_directories(options.OutDir, error);
  if (error || !std::filesystem::is_directory(options.OutDir))
    throw std::runtime_error(options.OutDir + ": cannot create the directory" +
                             (error ? ": " + error.message() : ""));
  const std::string outDir = Absolute(options.OutDir);

  // A model file: its executable, built or found in the cache.
  std::string executable = options.Model;
  if (ModelBuild::IsModelFile(options.Model)) {
    std::vector<ModelBuild::Setting> settings;
    for (const std::string& set : options.Sets)
      settings.push_back(ModelBuild::ParseSetting(set));
    executable = ModelBuild::Prepare(options.Model, settings, std::cerr, options.Quiet);
  }
  ModelExecutable::Listing listing =
      ModelExecutable::List(executable, outDir + "/.experiments-" + std::to_string(getpid()));
  StudyRunner::Setup setup;
  setup.Model = executable;
  setup.OutDir = outDir;
  setup.DbFile = Absolute(options.DbFile);
  setup.ExperimentsText = options.Experiments.empty() ? "0-" + std::to_string(listing.count() - 1)
                                                      : options.Experiments;
  setup.Experiments = StudyOptions::ExperimentList(setup.ExperimentsText, listing.count());
  setup.Jobs = options.Jobs != 0 ? options.Jobs : std::max(1u, std::thread::hardware_concurrency());
  setup.Quiet = options.Quiet;
  setup.Solver = StudyRunner::SolverNextToThisProgram();
  setup.SolveArguments = options.SolveArguments;

  StudyDatabase db(setup.DbFile, true);
  StudyRunner runner(setup, db, std::cerr);
  long long study = runner.run();
  std::cout << "study " << study << ": " << options.Model << " experiments "
            << setup.ExperimentsText << " (database " << options.DbFile << ")\n";
  StudyTable table(db.experiments(study));
  return Finish(table, Title(options.Model, table), options, runner.failed());
}

} // namespace

int main(int argc, char** argv) {
  try {
    StudyOptions options = StudyOptions::Parse(std::vector<std::string>(argv + 1, argv + argc));
    if (options.Help) {
      std::cout << StudyOptions::Usage();
      return Ok;
    }
    if (options.Version) {
      std::cout << "ssg-study " << StudyOptions::VersionText << '\n';
      return Ok;
    }
    return options.Report.empty() ? RunStudy(options) : Report(options);
  } catch (const StudyOptions::Error& e) {
    std::cerr << "ssg-study: " << e.what() << std::endl;
    return Unusable;
  } catch (const ModelBuild::Error& e) {
    std::cerr << "ssg-study: " << e.what() << std::endl;
    return Unusable;
  } catch (const SqlDatabase::Error& e) {
    std::cerr << "ssg-study: results database " << e.what() << std::endl;
    return Unusable;
  } catch (const std::exception& e) {
    std::cerr << "ssg-study: " << e.what() << std::endl;
    return Unusable;
  }
}
