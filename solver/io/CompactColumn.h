#ifndef SOLVER_COMPACTCOLUMN_H
#define SOLVER_COMPACTCOLUMN_H

#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

// A column of doubles (one per transition, or one per state) stored as small
// indices into a table of its distinct values.
//
// Chains have few distinct rates and reward values (a model has a handful of
// rate expressions), so an entry costs 1 byte while the column has at most
// 256 distinct values, 2 bytes up to 65536, and a plain 8-byte double beyond
// that. The column widens itself when a new value does not fit (one copy of
// the indices, at most twice in its life). The values read back are exactly
// the values appended (the table is keyed by bit pattern).
//
// Hot loops do not call operator[] (a switch per entry); they call visit()
// once with a generic lambda, which is instantiated for each width and
// receives an accessor `double operator()(std::size_t) const`.
class CompactColumn {
public:
  enum class Width { Byte, Short, Full };

  // Room for `count` entries without reallocation (memory is only touched
  // when written).
  void reserve(std::size_t count);
  void push_back(double value) {
    // The common case, a value equal to the one before, without the map.
    if (Kind != Width::Full && LastIndex != UINT32_MAX &&
        std::bit_cast<std::uint64_t>(value) == LastBits) {
      if (Kind == Width::Byte)
        Bytes.push_back(static_cast<std::uint8_t>(LastIndex));
      else
        Shorts.push_back(static_cast<std::uint16_t>(LastIndex));
      Count++;
      return;
    }
    pushNew(value);
  }
  std::size_t size() const { return Count; }
  double operator[](std::size_t i) const;

  Width width() const { return Kind; }
  // The distinct values seen while the column was indexed (empty once Full).
  const std::vector<double>& table() const { return Table; }
  // Bytes held by the entries and the table.
  std::size_t bytes() const;

  struct ByteAccess {
    const std::uint8_t* Index;
    const double* Table;
    double operator()(std::size_t i) const { return Table[Index[i]]; }
  };
  struct ShortAccess {
    const std::uint16_t* Index;
    const double* Table;
    double operator()(std::size_t i) const { return Table[Index[i]]; }
  };
  struct FullAccess {
    const double* Values;
    double operator()(std::size_t i) const { return Values[i]; }
  };

  template <class F> decltype(auto) visit(F&& f) const {
    switch (Kind) {
    case Width::Byte:
      return f(ByteAccess{Bytes.data(), Table.data()});
    case Width::Short:
      return f(ShortAccess{Shorts.data(), Table.data()});
    default:
      return f(FullAccess{Values.data()});
    }
  }

private:
  // Index of `value` in Table, adding it when new; widens the column when the
  // table outgrows the index width (then returns an index valid after it).
  std::uint32_t indexOf(double value);
  void pushNew(double value);
  void widen();

  Width Kind = Width::Byte;
  std::size_t Count = 0;
  std::size_t Reserved = 0;
  std::vector<std::uint8_t> Bytes;
  std::vector<std::uint16_t> Shorts;
  std::vector<double> Values;
  std::vector<double> Table;

  // Open-addressing map from a value's bits to its index in Table.
  std::vector<std::uint64_t> SlotBits;
  std::vector<std::uint32_t> SlotIndex;
  std::uint64_t LastBits = 0;
  std::uint32_t LastIndex = UINT32_MAX;
};

#endif
