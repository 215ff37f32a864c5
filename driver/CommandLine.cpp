#include "driver/CommandLine.h"

#include <charconv>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "driver/LongOptions.h"

std::string gExperimentPath;
std::string gExperimentName;
int ExpNum = 0;
double hash_value = 0.5;
short flagAbsorb = 0;
char* OverrideString = nullptr;
char* db_host = nullptr;
char* db_entity = nullptr;
int TempTraceLevel = 0;
bool gWriteStates = false;
bool gShowProgress = false;
unsigned long long gMaxStates = 0;
unsigned long long gWorkers = 0;
unsigned long long gMinFreeBytes = DefaultMinFreeBytes;

namespace {

// A new[] copy of text.
char* CopyString(const char* text) {
  char* copy = new char[std::strlen(text) + 1];
  std::strcpy(copy, text);
  return copy;
}

void Replace(char*& setting, const char* value) {
  delete[] setting;
  setting = CopyString(value);
}

bool NeedsValue(char letter) {
  return letter != '\0' && std::strchr("PNBhFltseO", letter) != nullptr;
}

void MissingValue(const char* option) {
  std::cerr << option << ": this option needs a value (e.g. " << option << "value or " << option
            << " value)" << std::endl;
  PrintUsage(std::cerr);
}

// The name the program was run by, without its directory.
std::string ProgramName(const char* argv0) {
  std::string name = argv0 != nullptr && argv0[0] != '\0' ? argv0 : "gen";
  return name.substr(name.rfind('/') + 1);
}

// --help and --version win over everything else on the command line; true
// when one of them was answered.
bool AnswerHelpOrVersion(int argc, char** argv) {
  for (int i = 1; i < argc; i++) {
    if (std::strcmp(argv[i], "--help") == 0) {
      PrintHelp(std::cout, argv[0]);
      return true;
    }
  }
  for (int i = 1; i < argc; i++) {
    if (std::strcmp(argv[i], "--version") == 0) {
      std::cout << ProgramName(argv[0]) << " (state-space generator) " << GeneratorVersion
                << std::endl;
      return true;
    }
  }
  return false;
}

// The first word that begins with "--" and is not one of our long options
// ends the run before anything else is read: a message with the nearest
// option, and UnknownLongOption. Returns ContinueRun when there is none.
int RefuseUnknownLongOption(int argc, char** argv) {
  for (int i = 1; i < argc; i++) {
    const char* word = argv[i];
    if (word[0] != '-' || word[1] != '-' || LongOptions::Known(word))
      continue;
    const std::string name = ProgramName(argv[0]);
    std::cerr << name << ": unknown option '" << word << "'; did you mean '"
              << LongOptions::Nearest(word) << "'? (" << name << " --help lists the options)"
              << std::endl;
    return UnknownLongOption;
  }
  return ContinueRun;
}

// An option with a whole number, `name N` or `name=N`, at argv[i] (i moves
// past a separate value) into `target`; false after a message when the value
// is missing, not a whole number, or below `least`.
bool WholeNumberOption(int argc, char** argv, int& i, const char* name, const char* example,
                       const char* what, unsigned long long least, unsigned long long& target) {
  const char* word = argv[i];
  const char* value = nullptr;
  if (word[std::strlen(name)] == '=')
    value = word + std::strlen(name) + 1;
  else if (i + 1 < argc && argv[i + 1][0] != '-')
    value = argv[++i];
  if (value == nullptr) {
    std::cerr << name << ": this option needs a value (e.g. " << name << " " << example << ")"
              << std::endl;
    return false;
  }
  unsigned long long number = 0;
  const char* end = value + std::strlen(value);
  auto [stop, ec] = std::from_chars(value, end, number);
  if (ec != std::errc() || stop != end || number < least) {
    std::cerr << name << " " << value << ": " << what << std::endl;
    return false;
  }
  target = number;
  return true;
}

// A long option at argv[i]: 1 when read, 0 when not one this loop reads
// (--list-experiments, which only stands alone), -1 after an error.
int LongOption(int argc, char** argv, int& i) {
  const char* argument = argv[i];
  if (std::strcmp(argument, "--states") == 0) {
    gWriteStates = true;
    return 1;
  }
  if (std::strcmp(argument, "--progress") == 0) {
    gShowProgress = true;
    return 1;
  }
  if (std::strncmp(argument, "--max-states", std::strlen("--max-states")) == 0)
    return WholeNumberOption(argc, argv, i, "--max-states", "1000000",
                             "the limit must be a whole number of states, 1 or more", 1, gMaxStates)
               ? 1
               : -1;
  if (std::strncmp(argument, "--workers", std::strlen("--workers")) == 0)
    return WholeNumberOption(argc, argv, i, "--workers", "2",
                             "the number of workers must be a whole number, 1 or more", 1, gWorkers)
               ? 1
               : -1;
  if (std::strncmp(argument, "--min-free", std::strlen("--min-free")) == 0) {
    unsigned long long mib = 0;
    if (!WholeNumberOption(argc, argv, i, "--min-free", "1024",
                           "the reserve must be a whole number of MiB, 0 or more", 0, mib))
      return -1;
    if (mib > (ULLONG_MAX >> 20)) {
      std::cerr << "--min-free " << mib << ": the reserve is larger than any file system"
                << std::endl;
      return -1;
    }
    gMinFreeBytes = mib << 20;
    return 1;
  }
  return 0;
}

} // namespace

void PrintHelp(std::ostream& out, const char* program) {
  const std::string name = ProgramName(program);
  out << "Usage: " << name << " -P<path> -N<name> [-B<experiment>] [options]\n"
      << "\n"
         "Generates the continuous-time Markov chain of one experiment of the model's\n"
         "study: every reachable stable state, numbered breadth-first from the initial\n"
         "state (state 1), with its transitions and reward values. Writes\n"
         "<path><name>.arm (transitions), .var (reward values), .pvtype (reward\n"
         "variables) and, for models with deterministic activities, .det; the formats\n"
         "are described in docs/formats.md. Exit status 0 only when every file is\n"
         "complete; 1 with a message otherwise; 2 for an unknown long option (nothing\n"
         "is written); 5 when the files are complete but the run's record in the\n"
         "results database (-s) is not.\n"
         "\n"
         "A letter's value follows it directly (-Nexp1) or as the next argument\n"
         "(-N exp1); a value that begins with '-' must be joined (-B-1).\n"
         "  -P<path>      prefix of the output files, used as given: a directory ends in /\n"
         "  -N<name>      base name of the output files\n"
         "  -B<n>         experiment of the study, from 0 (default 0)\n"
         "  -O<t:n:v:...> override global variables (type b c d f i l s), e.g. -Od:meo:0.5\n"
         "  -h<x>         load factor of the state hash table, in (0, 1] (default 0.5)\n"
         "  -a            report absorbing states\n"
         "  -l<0-4>       trace level: 1 states and firings, 4 also every activity tried\n"
         "  -t<file>      write the trace to this file instead of standard output\n"
         "  -F<n>         file type (accepted; the files are always written as type 1)\n"
         "  -s<file>      record the run in this results database (SQLite, created when missing)\n"
         "  -e<entity>    a label stored with the run in the results database\n"
         "  --states      also write <path><name>.sta: the marking of every state\n"
         "  --progress    report progress on standard error, at most once a second\n"
         "  --max-states N  stop with status 1 when the chain has more than N states\n"
         "  --min-free MB stop with status 1 when less than MB MiB are free where the\n"
         "                files go (checked during the run; default 64)\n"
         "  --workers N   generate with N worker processes on this machine (through\n"
         "                mpirun); the files are those of a one-process run. Across\n"
         "                machines: mpirun -np N --hostfile <hosts> "
      << name
      << " ...\n"
         "  --list-experiments  alone on the command line: the study's experiments, a table\n"
         "  --help        this text\n"
         "  --version     the program's version\n"
         "\n"
         "Example:\n"
      << "  " << name << " -P out/ -Nexp1 -B0 --states\n";
  out.flush();
}

void PrintUsage(std::ostream& out) {
  out << "usage:  gen -Pexperimentfilepath -Nexperimentname -hhash_value"
      << " -Bexperimentnumber -Ffiletype -edb_entity -sdb_macserver "
      << " -ltrace_level[0-4] -tTraceFilename" << std::endl;
  out << "Example:  gen -P. -Nexp1 -B0" << std::endl;
}

void ResetCommandLineSettings() {
  gExperimentPath.clear();
  gExperimentName.clear();
  ExpNum = 0;
  hash_value = 0.5;
  flagAbsorb = 0;
  delete[] OverrideString;
  delete[] db_host;
  delete[] db_entity;
  OverrideString = db_host = db_entity = nullptr;
  TempTraceLevel = 0;
  gWriteStates = false;
  gShowProgress = false;
  gMaxStates = 0;
  gWorkers = 0;
  gMinFreeBytes = DefaultMinFreeBytes;
}

void commandline(int argc, char** argv, int& fileType, char*& traceFileName) {
  const int status = ParseCommandLine(argc, argv, fileType, traceFileName);
  if (status != ContinueRun)
    std::exit(status);
}

int ParseCommandLine(int argc, char** argv, int& fileType, char*& traceFileName) {
  if (AnswerHelpOrVersion(argc, argv))
    return 0;
  if (const int status = RefuseUnknownLongOption(argc, argv); status != ContinueRun)
    return status;
  if (argc < 4) {
    PrintUsage(std::cout);
    return 0;
  }
  for (int i = 1; i < argc; i++) {
    const char* argument = argv[i];
    if (argument[0] != '-')
      continue;
    if (argument[1] == '-') {
      const int read = LongOption(argc, argv, i);
      if (read < 0)
        return 1;
      if (read > 0)
        continue;
    }
    char letter = argument[1];
    // The value follows the letter (-Nexp1) or, for an argument of exactly
    // two characters, is the next argument (-N exp1) when that does not begin
    // with '-'. A lone '-' has no letter and takes no value.
    const char* value = nullptr;
    const char* lastConsumed = argument;
    if (letter != '\0' && argument[2] != '\0') {
      value = argument + 2;
    } else if (letter != '\0' && i + 1 < argc && argv[i + 1][0] != '-') {
      value = argv[++i];
      lastConsumed = value;
    }
    if (value == nullptr && NeedsValue(letter)) {
      MissingValue(argument);
      return 1;
    }

    switch (letter) {
    case 'P':
      gExperimentPath = value;
      std::cout << "path=[" << value << "]" << std::endl;
      break;
    case 'N':
      gExperimentName = value;
      break;
    case 'B':
      ExpNum = std::atoi(value);
      break;
    case 'h': {
      double loadFactor;
      if (std::sscanf(value, "%lf", &loadFactor) == 1) {
        if (!(loadFactor > 0.0 && loadFactor <= 1.0)) {
          std::cerr << "-h " << value
                    << ": hash load factor out of range (it must be above 0 and at most 1; "
                       "the default is 0.5)"
                    << std::endl;
          return 1;
        }
        hash_value = loadFactor;
      }
      break;
    }
    case 'F':
      fileType = std::atoi(value);
      break;
    case 'l':
      TempTraceLevel = std::atoi(value);
      std::cout << "TraceLevel=" << TempTraceLevel << std::endl;
      break;
    case 't':
      free(traceFileName);
      traceFileName = strdup(value);
      break;
    case 's':
      Replace(db_host, value);
      break;
    case 'e':
      Replace(db_entity, value);
      break;
    case 'O':
      Replace(OverrideString, value);
      std::cout << "OverrideString is " << value << std::endl;
      break;
    case 'a':
      flagAbsorb = 1;
      break;
    default:
      std::cout << "ERROR: unknown argument: " << lastConsumed << std::endl;
      break;
    }
  }
  return ContinueRun;
}
