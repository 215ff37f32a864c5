#ifndef SSG_STATECOLUMNS_H
#define SSG_STATECOLUMNS_H

#include <cstdint>
#include <string>
#include <vector>

class BaseStateVariableClass;
class PVModel;
class RecordWriter;

// The parts of a model's state vector, named, so that a state can be written
// as its marking: one column per place, in state-vector order.
//
// A column is a name, an offset in the vector, a width and how its bytes
// read as a whole number:
// - a place (Place or SharableSV<short>): its signed 16-bit marking in host
//   byte order, named after the place;
// - a structured variable: its fields in order, named "<variable>[<i>]"
//   (short, int and char fields as numbers, structured fields in turn by
//   their fields, other fields byte by byte);
// - the reward model's last-action index (PVModel::UsePVStateIndex):
//   "LastAction", unsigned, most significant byte first;
// - any bytes the framework cannot name: one unsigned column per byte,
//   "<variable>#<k>" or "byte#<k>";
// - whatever the generator stores after the model's vector, added with
//   append() (an Erlang action's phase: "phase(<action>)", 16-bit).
// The columns cover the vector exactly, so two states with different
// vectors never print alike. A name keeps every character except ',' and
// line ends (which would break the line's syntax); those become '_'.
//
// Built once per run from the model (which it reads but does not keep);
// formatting reads only the vector, so another thread may do it.
class StateColumns {
public:
  enum class Kind { Int8, Int16, Int32, UInt8, UIntBigEndian };
  struct Column {
    std::string Name;
    uint32_t Offset;
    uint32_t Width; // bytes
    Kind Type;
  };

  // The columns of the model's state vector (StateSize() bytes).
  static StateColumns Of(PVModel& model);
  // A column of `width` bytes after the others (the vector grows by it).
  void append(const std::string& name, Kind type, uint32_t width);

  const std::vector<Column>& columns() const { return Columns; }
  uint32_t stateSize() const { return Size; }
  // "(name1,name2,...)".
  std::string header() const;
  // The values of `state`, separated by commas, without parentheses.
  void format(const char* state, RecordWriter& out) const;
  // The values of `state` with their names, for a message: "Up=0, Down=1".
  std::string describe(const char* state) const;

private:
  std::vector<Column> Columns;
  uint32_t Size = 0;
  // Every column is a 16-bit marking at offsets 0, 2, 4, ...
  bool AllMarkings = false;

  void add(std::string name, uint32_t offset, uint32_t width, Kind type);
  // The columns of one variable at `offset`; returns the bytes it takes.
  uint32_t addVariable(BaseStateVariableClass* variable, const std::string& name, uint32_t offset);
  void addBytes(const std::string& name, uint32_t offset, uint32_t count);
  void noteAllMarkings();
};

#endif
