#ifndef DRIVER_COMMANDLINE_H
#define DRIVER_COMMANDLINE_H

#include <iosfwd>
#include <string>

// Process-wide settings of a run, written only by commandline().
extern std::string gExperimentPath; // -P: output path prefix (ends in its separator)
extern std::string gExperimentName; // -N: output base name
extern int ExpNum;                  // -B: experiment number, default 0
extern double hash_value;           // -h: hash table load factor in (0, 1], default 0.5
extern short flagAbsorb;            // -a: 1 = report absorbing states
extern char* OverrideString;        // -O: global-variable overrides (new[] copy) or null
extern char* db_host;               // -s: results database file (new[] copy) or null
extern char* db_entity;             // -e: results database entity (new[] copy) or null
extern int TempTraceLevel;          // -l: trace level, default 0

// Parses the command line into the settings above and main's file type (-F,
// default 1) and trace file name (-t: a strdup copy, release with free; null
// when not given). With fewer than three arguments prints the usage and exits
// with status 0. An option that needs a value and has none, and a load factor
// outside (0, 1], end the run with a message and status 1. Unknown options
// are reported and skipped.
void commandline(int argc, char** argv, int& fileType, char*& traceFileName);

// The usage text, two lines.
void PrintUsage(std::ostream& out);

// Restores every setting to its default, releasing the string copies.
void ResetCommandLineSettings();

#endif
