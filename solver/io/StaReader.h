#ifndef SOLVER_STAREADER_H
#define SOLVER_STAREADER_H

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class BlockReader;
class Progress;

// Reader of a state-marking file (.sta), written by a model executable run
// with --states: which marking each state number stands for.
//
// Layout read (every line ending in a line feed):
//   (name1,name2,...,namek)      the columns: places in state-vector order,
//                                then any further parts of the stored state
//   1:(v1,v2,...,vk)             state 1, the initial state
//   2:(...)                      ... one line per state, in state-number order
// Values are whole numbers ("-3", "12"). Nothing follows the last record.
//
// Checks, each an error naming the file and line (SolverError InputError): a
// header that is not a parenthesised list of names, a record out of order or
// with a different number of values, a value that is not a whole number,
// fewer or more records than the chain's states, a last line without its
// line feed (a file whose writing stopped).
//
// The records are streamed (BlockReader): nothing but the buffer and one
// record's values is kept.
class StaReader {
public:
  // Opens the file and reads its header. A missing file is an InputError
  // that says how to get one (run the model executable with --states).
  explicit StaReader(std::string fileName);
  ~StaReader();
  StaReader(const StaReader&) = delete;
  StaReader& operator=(const StaReader&) = delete;

  const std::string& fileName() const { return Name; }
  // The columns, in file order.
  const std::vector<std::string>& names() const { return Names; }

  // Reads the records of states 1..states in order, calling
  // visit(state, values) for each (values: names().size() of them).
  void read(std::uint32_t states,
            const std::function<void(std::uint32_t, const std::int64_t*)>& visit,
            Progress& progress);

  // True when `prefix`.sta exists.
  static bool Exists(const std::string& prefix);

private:
  std::string Name;
  std::vector<std::string> Names;
  std::unique_ptr<BlockReader> In; // positioned after the header
};

#endif
