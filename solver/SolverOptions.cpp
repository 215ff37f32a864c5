#include "solver/SolverOptions.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "solver/SolverError.h"

namespace {

constexpr double MaxGridTimes = 100000;

[[noreturn]] void Bad(const std::string& what) {
  throw SolverError(SolverError::InputError, what + " (ssg-solve --help lists the options)");
}

double Number(const std::string& option, const std::string& text) {
  double value = 0;
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || ptr != text.data() + text.size() ||
      !std::isfinite(value))
    Bad(option + ": '" + text + "' is not a number");
  return value;
}

std::uint64_t Whole(const std::string& option, const std::string& text) {
  std::uint64_t value = 0;
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || ptr != text.data() + text.size())
    Bad(option + ": '" + text + "' is not a whole number");
  return value;
}

// A grid "first:last:step" of --times: first, first + step, ... up to last.
void Grid(const std::string& item, std::vector<double>& times) {
  const std::size_t colon = item.find(':');
  const std::size_t second = item.find(':', colon + 1);
  if (second == std::string::npos || item.find(':', second + 1) != std::string::npos)
    Bad("--times: '" + item + "' is not a grid first:last:step (such as 0:1000:50)");
  const double first = Number("--times", item.substr(0, colon));
  const double last = Number("--times", item.substr(colon + 1, second - colon - 1));
  const double step = Number("--times", item.substr(second + 1));
  if (first < 0)
    Bad("--times: '" + item + "' starts below 0 (times start at 0)");
  if (!(step > 0) || last < first)
    Bad("--times: '" + item + "' needs a positive step and a last time not below the first");
  const double count = std::floor((last - first) / step * (1 + 1e-12)) + 1;
  if (count > MaxGridTimes)
    Bad("--times: '" + item + "' has " + std::to_string(static_cast<long long>(count)) +
        " times; a grid has at most " + std::to_string(MaxGridTimes));
  for (long long k = 0; k < static_cast<long long>(count); k++)
    times.push_back(std::min(first + double(k) * step, last));
}

// The times of --times: numbers or grids first:last:step separated by
// commas, each finite and not negative.
std::vector<double> TimeList(const std::string& text) {
  std::vector<double> times;
  std::size_t at = 0;
  for (;;) {
    const std::size_t comma = text.find(',', at);
    const std::string item = text.substr(at, comma == std::string::npos ? comma : comma - at);
    if (item.find(':') != std::string::npos) {
      Grid(item, times);
      if (comma == std::string::npos)
        return times;
      at = comma + 1;
      continue;
    }
    const double t = Number("--times", item);
    if (t < 0)
      Bad("--times: '" + item + "' is negative (times start at 0)");
    times.push_back(t);
    if (comma == std::string::npos)
      return times;
    at = comma + 1;
  }
}

} // namespace

const std::vector<std::string>& SolverOptions::ExportFormats() {
  static const std::vector<std::string> formats = {"prism", "drn", "mtx", "dot"};
  return formats;
}

SolverOptions SolverOptions::Parse(const std::vector<std::string>& arguments) {
  SolverOptions options;
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
    if (word.size() < 2 || word[0] != '-' || word == "--") {
      positional.push_back(word);
      continue;
    }
    std::string name = word;
    std::string value;
    bool hasValue = false;
    if (std::size_t eq = word.find('='); eq != std::string::npos && word.rfind("--", 0) == 0) {
      name = word.substr(0, eq);
      value = word.substr(eq + 1);
      hasValue = true;
    }
    auto flag = [&]() {
      if (hasValue)
        Bad(name + " takes no value");
    };
    auto takeValue = [&]() -> std::string {
      if (hasValue)
        return value;
      if (i + 1 >= arguments.size())
        Bad(name + " needs a value");
      return arguments[++i];
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
    } else if (name == "--epsilon") {
      double e = Number(name, takeValue());
      if (!(e > 0 && e < 1))
        Bad("--epsilon: " + std::to_string(e) + " must lie strictly between 0 and 1");
      options.Epsilon = e;
    } else if (name == "--max-iterations") {
      options.MaxIterations = Whole(name, takeValue());
      if (options.MaxIterations == 0)
        Bad("--max-iterations: must be at least 1");
    } else if (name == "--method") {
      std::string m = takeValue();
      if (m == "auto")
        options.SolveMethod = Method::Auto;
      else if (m == "gs")
        options.SolveMethod = Method::GaussSeidel;
      else if (m == "sor")
        options.SolveMethod = Method::SOR;
      else if (m == "jacobi")
        options.SolveMethod = Method::Jacobi;
      else if (m == "direct")
        options.SolveMethod = Method::Direct;
      else if (m == "multilevel")
        options.SolveMethod = Method::Multilevel;
      else
        Bad("--method: '" + m + "' is not one of auto, gs, sor, jacobi, direct, multilevel");
    } else if (name == "--omega") {
      double w = Number(name, takeValue());
      if (!(w > 0 && w < 2))
        Bad("--omega: relaxation " + std::to_string(w) + " must lie strictly between 0 and 2");
      options.Omega = w;
    } else if (name == "--csv") {
      options.CsvFile = takeValue();
      if (options.CsvFile.empty())
        Bad("--csv needs a file name");
    } else if (name == "--plot") {
      options.PlotFile = takeValue();
      std::string p = options.PlotFile;
      bool png = p.size() > 4 && p.compare(p.size() - 4, 4, ".png") == 0;
      bool svg = p.size() > 4 && p.compare(p.size() - 4, 4, ".svg") == 0;
      if (!png && !svg)
        Bad("--plot: '" + p + "' must end in .png or .svg");
    } else if (name == "--db") {
      options.DbFile = takeValue();
      if (options.DbFile.empty())
        Bad("--db needs a file name");
    } else if (name == "--where") {
      options.Conditions.push_back(takeValue());
      if (options.Conditions.back().find_first_not_of(" \t") == std::string::npos)
        Bad("--where needs a condition over the places, e.g. --where \"Pm1 > 0 && Pout4 == 0\"");
    } else if (name == "--property") {
      options.Properties.push_back(takeValue());
      if (options.Properties.back().find_first_not_of(" \t") == std::string::npos)
        Bad("--property needs a property, e.g. --property 'P=? [ F<=100 \"Failed\" ]'");
    } else if (name == "--properties") {
      options.PropertyFiles.push_back(takeValue());
      if (options.PropertyFiles.back().empty())
        Bad("--properties needs a file name");
    } else if (name == "--times") {
      for (double t : TimeList(takeValue()))
        options.Times.push_back(t);
    } else if (name == "--export") {
      Export e;
      e.Format = takeValue();
      bool known = false;
      for (const std::string& f : ExportFormats())
        known = known || f == e.Format;
      if (!known)
        Bad("--export: '" + e.Format + "' is not one of prism, drn, mtx, dot");
      if (i + 1 >= arguments.size())
        Bad("--export " + e.Format + " needs the prefix of the files to write (e.g. out/k3-" +
            e.Format + ")");
      e.Prefix = arguments[++i];
      if (e.Prefix.empty())
        Bad("--export " + e.Format + ": the prefix of the files to write is empty");
      options.Exports.push_back(std::move(e));
    } else {
      Bad("unknown option '" + word + "'");
    }
  }
  if (!options.Times.empty() && options.Conditions.empty() && options.Properties.empty() &&
      options.PropertyFiles.empty())
    Bad("--times gives the times of --where conditions; without --where the reward variables "
        "are solved at the times of the .pvtype file");
  if (positional.empty())
    Bad("missing the files' prefix <path><name> (for example out/exp1)");
  if (positional.size() > 1)
    Bad("more than one prefix given ('" + positional[0] + "', '" + positional[1] + "')");
  options.Prefix = positional[0];
  // Accept the name of one of the files for its prefix.
  for (const char* suffix : {".arm", ".var", ".pvtype"}) {
    std::string s = suffix;
    if (options.Prefix.size() > s.size() &&
        options.Prefix.compare(options.Prefix.size() - s.size(), s.size(), s) == 0) {
      options.Prefix.resize(options.Prefix.size() - s.size());
      break;
    }
  }
  return options;
}

std::string SolverOptions::Usage() {
  return R"(Usage: ssg-solve <path><name> [options]

Reads <path><name>.arm, .var and .pvtype, as written by a model executable
run with -P<path> -N<name>, and computes every reward variable of the
.pvtype file: instant-of-time values at their times, accumulated and
time-averaged interval values, and steady-state values (from state 1).

Options (a value follows as the next word or after '='):
  --epsilon E         accuracy: relative change that ends an iteration, and
                      probability left out by transient truncation (1e-10)
  --max-iterations N  limit of an iterative method, in sweeps (cycles for
                      multilevel) (10000)
  --method M          steady-state method (default auto): auto (GTH
                      elimination for systems of up to 1000 states, and up
                      to 4096 when the rates are stiff or the iteration
                      does not converge; above, SOR whose relaxation is
                      tried against Gauss-Seidel and kept only while it
                      converges faster, or multilevel when it contracts
                      too slowly), gs (Gauss-Seidel), sor (fixed
                      relaxation: faster on some chains, diverging on
                      others), jacobi, direct (GTH elimination, up to 4096
                      states), multilevel (Gauss-Seidel corrected by
                      aggregated chains, for closed classes)
  --omega W           relaxation of sor (default 1.1) and jacobi (0.9)
  --where COND        instead of the reward variables, the probability that
                      the marking satisfies COND, a condition over the place
                      names of <path><name>.sta (written by a model
                      executable run with --states), in the model language:
                      --where "Pm1 > 0 && Pout4 == 0"; labels by their
                      quoted name: "init", "deadlock" and the model's
                      (--where '"Failed" && Up > 0'); may be repeated
  --times T,T,...     with --where: also the probability at these times;
                      with --property: the times a bound named T stands for;
                      a grid first:last:step gives first, first+step, ...
  --property P        instead of the reward variables, the path property P
                      from state 1: P=? [ F<=t phi ], P=? [ F[t1,t2] phi ],
                      P=? [ phi U<=t psi ], P=? [ F phi ], P=? [ phi U psi ],
                      R=? [ F phi ] (expected time to reach phi),
                      R{"var"}=? [ F phi ], R{"var"}=? [ C<=t ],
                      R{"var"}=? [ I=t ], R{"var"}=? [ S ], S=? [ phi ];
                      phi, psi as for --where, with labels by their quoted
                      name ("Failed", "init", "deadlock"); may be repeated
  --properties FILE   the properties of FILE, one per line (// comments)
  --export F PREFIX   write the chain for another tool (F: prism: PREFIX.tra
                      .sta .lab and PREFIX.<variable>.srew; drn: PREFIX.drn;
                      mtx: PREFIX.mtx, the generator matrix; dot: PREFIX.dot,
                      up to 2000 states); may be repeated; nothing is solved
                      unless --where is given too
  --csv FILE          also write the rows as CSV
  --plot FILE         draw the instant-of-time variables over time with
                      gnuplot (FILE ends in .png or .svg)
  --db FILE           also store the values in the results database FILE
                      (created when missing), with the generator's run
  --quiet, -q         no progress on standard error
  --help, -h          this text
  --version           the program's version

Exit status: 0 all results computed and written; 1 bad command line or
input files (the message names the file and line); 2 the chain has
deterministic delays and a time-dependent variable (only steady-state
measures are computed for them; the other rows are printed) or more than
one delay enabled in a state (the message names it); 3 an iterative
method did not converge within its limit (its residual is printed; the other
rows are still printed); 4 the table is complete but the plot could not be
drawn; 5 the table is complete but the database could not be written. With
--db, a refused or failed solve is stored too, with its reason.

Examples:
  build/release/gen -P out/ -Nexp1 -B0 --states
  ssg-solve out/exp1 --plot out/exp1.png
  ssg-solve out/exp1 --where "FailState > 0" --times 24,360
  ssg-solve out/exp1 --property 'R=? [ F FailState > 0 ]'
  ssg-solve out/exp1 --export prism out/exp1-prism
)";
}

const char* SolverOptions::MethodName(Method method) {
  switch (method) {
  case Method::Auto:
    return "auto";
  case Method::GaussSeidel:
    return "gs";
  case Method::SOR:
    return "sor";
  case Method::Jacobi:
    return "jacobi";
  case Method::Direct:
    return "direct";
  case Method::Multilevel:
    return "multilevel";
  }
  return "?";
}

double SolverOptions::omegaFor(Method method) const {
  switch (method) {
  case Method::SOR:
    return Omega > 0 ? Omega : 1.1;
  case Method::Jacobi:
    return Omega > 0 ? Omega : 0.9;
  default:
    return 1.0;
  }
}
