#ifndef DRIVER_COMMANDLINE_H
#define DRIVER_COMMANDLINE_H

#include <iosfwd>
#include <string>

// Process-wide settings of a run, written only by commandline().
extern std::string gExperimentPath;   // -P: output path prefix (ends in its separator)
extern std::string gExperimentName;   // -N: output base name
extern int ExpNum;                    // -B: experiment number, default 0
extern double hash_value;             // -h: hash table load factor in (0, 1], default 0.5
extern short flagAbsorb;              // -a: 1 = report absorbing states
extern char* OverrideString;          // -O: global-variable overrides (new[] copy) or null
extern char* db_host;                 // -s: results database file (new[] copy) or null
extern char* db_entity;               // -e: results database entity (new[] copy) or null
extern int TempTraceLevel;            // -l: trace level, default 0
extern bool gWriteStates;             // --states: also write the .sta file of the markings
extern bool gShowProgress;            // --progress: progress on standard error every second
extern unsigned long long gMaxStates; // --max-states: the most states a run may find (0: any)
extern unsigned long long gWorkers;   // --workers: worker processes to start (0: not given)
// --min-free: the free bytes the output files' file system must keep.
constexpr unsigned long long DefaultMinFreeBytes = 64ULL << 20;
extern unsigned long long gMinFreeBytes;

// Parses the command line into the settings above and main's file type (-F,
// default 1) and trace file name (-t: a strdup copy, release with free; null
// when not given). --help or --version anywhere on the command line prints
// the help or the version and exits with status 0, whatever else is there.
// Otherwise, with fewer than three arguments prints the usage and exits
// with status 0. An option that needs a value and has none, and a load factor
// outside (0, 1], end the run with a message and status 1. An unknown long
// option (a word beginning with "--": all of them are ours) ends the run
// before anything else is read, with the nearest option and status 2; an
// unknown single letter is reported and skipped.
void commandline(int argc, char** argv, int& fileType, char*& traceFileName);

// What ParseCommandLine returns when the run goes on.
constexpr int ContinueRun = -1;
// The exit status of an unknown long option.
constexpr int UnknownLongOption = 2;

// commandline() without ending the process: prints the same messages and
// returns the exit status commandline() would end the run with (0 after
// --help, --version or the usage, 1 after an error, UnknownLongOption after
// an unknown long option), or ContinueRun. After an
// error the settings read so far are kept (ResetCommandLineSettings and free
// of traceFileName release them).
int ParseCommandLine(int argc, char** argv, int& fileType, char*& traceFileName);

// The usage text, two lines.
void PrintUsage(std::ostream& out);

// The help of --help: what the program does, every option on a line of its
// own, an example. `program` is the name it was run by (argv[0]).
void PrintHelp(std::ostream& out, const char* program);

// The version of the generator, printed by --version after the program's
// name.
constexpr const char* GeneratorVersion = "1.0.0";

// Restores every setting to its default, releasing the string copies.
void ResetCommandLineSettings();

#endif
