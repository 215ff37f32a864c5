#ifndef SOLVER_SOLVEROPTIONS_H
#define SOLVER_SOLVEROPTIONS_H

#include <cstdint>
#include <string>
#include <vector>

// The settings of one solve, and the command line that gives them.
//
// ssg-solve <path><name> [options]; options take their value as the next
// word or after '=' (--epsilon 1e-12, --epsilon=1e-12).
class SolverOptions {
public:
  enum class Method { Auto, GaussSeidel, SOR, Jacobi, Direct, Multilevel };

  std::string Prefix;     // <path><name> of the files
  double Epsilon = 1e-10; // accuracy of iterations and truncations
  std::uint64_t MaxIterations = 10000;
  Method SolveMethod = Method::Auto;
  double Omega = 0; // relaxation; 0 = the method's default
  std::string CsvFile;
  std::string PlotFile;
  std::string DbFile; // results database the solve is stored in
  // --where: conditions over the places of the .sta file, each solved for
  // its steady-state probability and its probability at each of Times.
  std::vector<std::string> Conditions;
  std::vector<double> Times; // --times, in the order given
  // --property: path properties (P=? [ F<=t "Failed" ], ...), solved
  // instead of the reward variables; --properties: files of them.
  std::vector<std::string> Properties;
  std::vector<std::string> PropertyFiles;
  // --export: the chain written in another tool's format.
  struct Export {
    std::string Format; // prism, drn, mtx or dot
    std::string Prefix; // <path><name> of the files written
  };
  std::vector<Export> Exports;
  bool Quiet = false; // no progress on standard error
  bool Help = false;
  bool Version = false;

  // Parses argv[1..]; a bad command line throws SolverError (status 1) with
  // a message that says what is wrong. --help (-h) or --version anywhere
  // gives Help or Version set and nothing else checked.
  static SolverOptions Parse(const std::vector<std::string>& arguments);
  static constexpr const char* VersionText = "1.0.0";
  // The formats of --export.
  static const std::vector<std::string>& ExportFormats();
  static std::string Usage();

  static const char* MethodName(Method method);
  // The relaxation a method uses: Omega, or its default (SOR 1.1, Jacobi 0.9,
  // Gauss-Seidel 1; Auto adapts its own).
  double omegaFor(Method method) const;
};

#endif
