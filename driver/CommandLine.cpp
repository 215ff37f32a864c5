#include "driver/CommandLine.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>

std::string gExperimentPath;
std::string gExperimentName;
int ExpNum = 0;
double hash_value = 0.5;
short flagAbsorb = 0;
char* OverrideString = nullptr;
char* db_host = nullptr;
char* db_entity = nullptr;
int TempTraceLevel = 0;

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

[[noreturn]] void MissingValue(const char* option) {
  std::cerr << option << ": this option needs a value (e.g. " << option << "value or " << option
            << " value)" << std::endl;
  PrintUsage(std::cerr);
  std::exit(1);
}

} // namespace

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
}

void commandline(int argc, char** argv, int& fileType, char*& traceFileName) {
  if (argc < 4) {
    PrintUsage(std::cout);
    std::exit(0);
  }
  for (int i = 1; i < argc; i++) {
    const char* argument = argv[i];
    if (argument[0] != '-')
      continue;
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
    if (value == nullptr && NeedsValue(letter))
      MissingValue(argument);

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
          std::exit(1);
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
}
