// ssg-compile: translates a model file into the C++ of the model's SAN,
// reward model and study, ready to be built into a model executable.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>

#include "lang/Compiler.h"
#include "lang/OutputDirectory.h"

namespace {

const char* const Version = "ssg-compile 1.0 (model language 1)";

void Usage(std::ostream& out) {
  out << "Usage: ssg-compile <model.san> -o <directory>\n"
         "       ssg-compile --check <model.san>\n"
         "\n"
         "Translates a model file into the C++ code of its stochastic activity network,\n"
         "reward model and study (SAN.h/.cpp, RewardPVModel.h/.cpp, RewardPVNodes.h/.cpp,\n"
         "Study.h/.cpp), which a build links with the framework into a model executable.\n"
         "Errors are reported on standard error with their position; then nothing is\n"
         "written and the exit status is 1.\n"
         "\n"
         "Options:\n"
         "  -o, --output <directory>  where to write the files (created if missing)\n"
         "  --check                   check the model only; write nothing\n"
         "  --max-errors <n>          show at most n errors (default 10)\n"
         "  --help                    show this help and exit\n"
         "  --version                 show the version and exit\n"
         "\n"
         "Example:\n"
         "  ssg-compile models/kanban/kanban.san -o build/san/kanban\n"
         "The language is described in docs/language.md.\n";
}

int Fail(const std::string& message) {
  std::cerr << "ssg-compile: " << message << std::endl;
  return 1;
}

} // namespace

int main(int argc, char** argv) {
  std::string input, output;
  bool checkOnly = false;
  int maxErrors = 10;
  for (int i = 1; i < argc; i++) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      Usage(std::cout);
      return 0;
    }
    if (arg == "--version") {
      std::cout << Version << std::endl;
      return 0;
    }
  }
  for (int i = 1; i < argc; i++) {
    const std::string arg = argv[i];
    // The next argument as the option's value.
    auto value = [&](std::string& into) {
      if (i + 1 >= argc)
        return false;
      into = argv[++i];
      return true;
    };
    if (arg == "-o" || arg == "--output") {
      if (!value(output))
        return Fail("option " + arg + " needs a directory (try --help)");
    } else if (arg.rfind("--output=", 0) == 0) {
      output = arg.substr(9);
    } else if (arg.size() > 2 && arg.rfind("-o", 0) == 0) {
      output = arg.substr(2);
    } else if (arg == "--check") {
      checkOnly = true;
    } else if (arg == "--max-errors" || arg.rfind("--max-errors=", 0) == 0) {
      std::string n;
      if (arg == "--max-errors") {
        if (!value(n))
          return Fail("option --max-errors needs a number (try --help)");
      } else {
        n = arg.substr(13);
      }
      try {
        size_t used = 0;
        maxErrors = std::stoi(n, &used);
        if (used != n.size() || maxErrors < 1)
          throw std::invalid_argument(n);
      } catch (const std::exception&) {
        return Fail("--max-errors " + n + ": expected a number of 1 or more");
      }
    } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
      return Fail("unknown option '" + arg + "' (try --help)");
    } else if (input.empty()) {
      input = arg;
    } else {
      return Fail("more than one model file given ('" + input + "' and '" + arg +
                  "'); compile one at a time");
    }
  }
  if (input.empty())
    return Fail("no model file given (try --help)");
  if (output.empty() && !checkOnly)
    return Fail("no output directory given: use -o <directory>, or --check to check only");

  std::string text;
  if (std::error_code ec; std::filesystem::is_directory(input, ec))
    return Fail("cannot read '" + input + "': it is a directory");
  {
    std::ifstream in(input, std::ios::binary);
    std::ostringstream buffer;
    if (in)
      buffer << in.rdbuf();
    if (!in || in.bad())
      return Fail("cannot read '" + input + "'");
    text = buffer.str();
  }

  lang::SourceFile file(input, std::move(text));
  lang::Diagnostics diagnostics(file, maxErrors);
  std::vector<lang::GeneratedFile> files = lang::Compiler::Compile(file, diagnostics);
  if (diagnostics.hasErrors()) {
    std::cerr << diagnostics.render() << std::flush;
    return 1;
  }
  if (checkOnly)
    return 0;
  std::string error;
  if (!lang::OutputDirectory(output).write(files, error))
    return Fail(error);
  return 0;
}
