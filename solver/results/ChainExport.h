#ifndef SOLVER_CHAINEXPORT_H
#define SOLVER_CHAINEXPORT_H

#include <cstdint>
#include <string>
#include <vector>

class ChainFiles;
class Progress;

// Writes a chain read from the generator's files in the formats of other
// tools, so that it can be checked or analysed there.
//
// State i of our files (numbered from 1) is state i - 1 in the formats that
// number from 0 (prism, drn) and state i in the others (mtx, dot). Every
// rate is written in the shortest form that reads back as the same double.
// Transitions of a state to itself are left out (they do not change a
// continuous-time chain; our reader drops them too), and so are rates of 0.
// Rewards are the reward variables' rate rewards per state; impulse rewards
// are not exported (a note says so when a variable has them).
//
// - prism: <prefix>.tra ("<states> <transitions>", then "i j rate" sorted by
//   i, then j), <prefix>.sta (the markings, from our .sta when it exists,
//   without its label columns), <prefix>.lab (labels init and deadlock:
//   0="init" 1="deadlock", then the model's labels, the .sta columns
//   label(Name), as 2="Name" ...; then "i: 0 1 2"-style lines for the states
//   with a label), and <prefix>.<variable>.srew per reward variable
//   ("<states> <non-zero rewards>", then "i reward").
// - drn: <prefix>.drn, a CTMC in the explicit text format with one reward
//   model per reward variable, the labels init, deadlock and the model's
//   (by name after the state's rewards); an absorbing
//   state gets a transition to itself with rate 1 (the format wants every
//   state to have one; it changes nothing in the chain).
// - mtx: <prefix>.mtx, the generator matrix Q in Matrix Market coordinate
//   form (real general): Q(i,j) the rate from i to j, Q(i,i) minus the exit
//   rate of i (left out when 0); rows sum to 0.
// - dot: <prefix>.dot, a Graphviz digraph, states labelled with their number
//   and (from our .sta, when it exists) their non-zero markings, edges with
//   their rates; refused above MaxDotStates states.
//
// Names used as identifiers in another format (PRISM variables, DRN reward
// models) keep their letters, digits and underscores; any other character
// becomes '_'. Errors (a file that cannot be written, a refused format) are
// SolverError InputError.
class ChainExport {
public:
  static constexpr std::uint32_t MaxDotStates = 2000;

  struct Written {
    std::vector<std::string> Files; // in the order written
    std::vector<std::string> Notes; // what the user should know
  };

  // `format`: one of SolverOptions::ExportFormats().
  static Written Write(const std::string& format, const ChainFiles& files,
                       const std::string& prefix, Progress& progress);

  static Written Prism(const ChainFiles& files, const std::string& prefix, Progress& progress);
  static Written Drn(const ChainFiles& files, const std::string& prefix);
  static Written Mtx(const ChainFiles& files, const std::string& prefix);
  static Written Dot(const ChainFiles& files, const std::string& prefix, Progress& progress);

  // `name` as an identifier: letters, digits and '_' kept, anything else
  // '_', a leading digit preceded by '_'.
  static std::string Identifier(const std::string& name);
};

#endif
