#ifndef SOLVER_DETREADER_H
#define SOLVER_DETREADER_H

#include <cstdint>
#include <string>
#include <vector>

// Reader of a deterministic-enabling file (.det): per distinct delay, the
// states in which an activity with that delay is enabled.
//
// Layout read (the text form the model executables write, every line ending
// in a line feed): the number of delays d; then per delay a line with the
// delay (any decimal number; the generator writes "%.10e"), one line per
// state number (1..n) and a line 0. Nothing may follow the d-th record.
// The binary form (file types 2, 4 and 6, never written by the model
// executables) is not read: it is an error that says so.
//
// Kept as written: a state listed twice for one delay, or for two delays,
// stays so (the solver refuses such chains, naming the state).
//
// Errors (InputError, file and line): a missing file, a count or state that
// is not a whole number, a state out of 1..n, a delay that is not a finite
// positive number, a file that ends inside a record or has extra text.
class DetReader {
public:
  struct Delay {
    double Value = 0;
    std::vector<std::uint32_t> States; // indices (state number - 1), file order
  };

  // `states`: n, the .arm file's number of states.
  static std::vector<Delay> Read(const std::string& fileName, std::uint32_t states);
};

#endif
