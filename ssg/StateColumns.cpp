#include "ssg/StateColumns.h"

#include <cstring>
#include <typeinfo>

#include "model/SANModel.h"
#include "reward/PVModel.h"
#include "ssg/RecordWriter.h"
#include "state/Place.h"
#include "state/StructStateVariable.h"

namespace {

std::string CleanName(const char* name) {
  std::string clean = name != nullptr ? name : "";
  for (char& c : clean)
    if (c == ',' || c == '\n' || c == '\r')
      c = '_';
  return clean;
}

} // namespace

void StateColumns::add(std::string name, uint32_t offset, uint32_t width, Kind type) {
  Columns.push_back({std::move(name), offset, width, type});
}

void StateColumns::addBytes(const std::string& name, uint32_t offset, uint32_t count) {
  for (uint32_t k = 0; k < count; k++)
    add(name + "#" + std::to_string(k), offset + k, 1, Kind::UInt8);
}

uint32_t StateColumns::addVariable(BaseStateVariableClass* variable, const std::string& name,
                                   uint32_t offset) {
  const std::type_info& type = typeid(*variable);
  if (type == typeid(Place) || type == typeid(SharableSV<short>)) {
    add(name, offset, 2, Kind::Int16);
    return 2;
  }
  const uint32_t size = static_cast<uint32_t>(variable->StateSize());
  auto* structured = dynamic_cast<BaseStructStateVariable*>(variable);
  if (structured == nullptr) {
    addBytes(name, offset, size);
    return size;
  }
  uint32_t at = offset;
  for (int i = 0; i < structured->getSize(); i++) {
    const std::string field = name + "[" + std::to_string(i) + "]";
    BaseStateVariableClass* child = structured->fields[i].first;
    switch (structured->getType(i)) {
    case SHORT_TYPE:
      add(field, at, 2, Kind::Int16);
      at += 2;
      break;
    case INT_TYPE:
      add(field, at, 4, Kind::Int32);
      at += 4;
      break;
    case CHAR_TYPE:
      add(field, at, 1, Kind::Int8);
      at += 1;
      break;
    case DOUBLE_TYPE:
    case FLOAT_TYPE: {
      const uint32_t width =
          static_cast<uint32_t>(BaseStructStateVariable::elementSize(structured->getType(i)));
      addBytes(field, at, width);
      at += width;
      break;
    }
    default:
      at += child != nullptr ? addVariable(child, field, at) : 0;
      break;
    }
  }
  return at - offset;
}

StateColumns StateColumns::Of(PVModel& model) {
  StateColumns result;
  result.Size = static_cast<uint32_t>(model.StateSize());
  uint32_t offset = 0;
  if (auto* san = dynamic_cast<SANModel*>(model.ChildModel)) {
    // The places CurrentState writes: the local ones that are not shared.
    const int count = san->numSVs - san->numReadOnlyPlaces;
    for (int i = 0; i < count && offset < result.Size; i++) {
      BaseStateVariableClass* place = san->Places[i];
      if (!place->shared)
        offset += result.addVariable(place, CleanName(place->Name), offset);
    }
  }
  if (model.PVIndexBytes > 0 && offset == static_cast<uint32_t>(model.PVIndexOffset) &&
      offset + model.PVIndexBytes <= result.Size) {
    result.add("LastAction", offset, static_cast<uint32_t>(model.PVIndexBytes),
               Kind::UIntBigEndian);
    offset += static_cast<uint32_t>(model.PVIndexBytes);
  }
  if (offset > result.Size) {
    // The variables did not take the bytes they said: name every byte.
    result.Columns.clear();
    offset = 0;
  }
  if (offset < result.Size)
    result.addBytes("byte", offset, result.Size - offset);

  result.noteAllMarkings();
  return result;
}

void StateColumns::append(const std::string& name, Kind type, uint32_t width) {
  add(CleanName(name.c_str()), Size, width, type);
  Size += width;
  noteAllMarkings();
}

void StateColumns::noteAllMarkings() {
  AllMarkings = true;
  for (std::size_t i = 0; i < Columns.size(); i++)
    AllMarkings = AllMarkings && Columns[i].Type == Kind::Int16 && Columns[i].Offset == 2 * i;
}

std::string StateColumns::header() const {
  std::string text = "(";
  for (std::size_t i = 0; i < Columns.size(); i++)
    text += (i > 0 ? "," : "") + Columns[i].Name;
  return text + ")";
}

void StateColumns::format(const char* state, RecordWriter& out) const {
  if (AllMarkings) {
    for (std::size_t i = 0; i < Columns.size(); i++) {
      int16_t marking;
      std::memcpy(&marking, state + 2 * i, 2);
      if (i > 0)
        out.putChar(',');
      out.putSigned(marking);
    }
    return;
  }
  for (std::size_t i = 0; i < Columns.size(); i++) {
    const Column& column = Columns[i];
    const char* at = state + column.Offset;
    if (i > 0)
      out.putChar(',');
    switch (column.Type) {
    case Kind::Int8: {
      int8_t value;
      std::memcpy(&value, at, 1);
      out.putSigned(value);
      break;
    }
    case Kind::Int16: {
      int16_t value;
      std::memcpy(&value, at, 2);
      out.putSigned(value);
      break;
    }
    case Kind::Int32: {
      int32_t value;
      std::memcpy(&value, at, 4);
      out.putSigned(value);
      break;
    }
    case Kind::UInt8:
      out.putUnsigned(static_cast<unsigned char>(*at));
      break;
    case Kind::UIntBigEndian: {
      uint64_t value = 0;
      for (uint32_t k = 0; k < column.Width; k++)
        value = (value << 8) | static_cast<unsigned char>(at[k]);
      out.putUnsigned(value);
      break;
    }
    }
  }
}

std::string StateColumns::describe(const char* state) const {
  std::string text;
  for (const Column& column : Columns) {
    const char* at = state + column.Offset;
    std::string value;
    switch (column.Type) {
    case Kind::Int8: {
      int8_t v;
      std::memcpy(&v, at, 1);
      value = std::to_string(v);
      break;
    }
    case Kind::Int16: {
      int16_t v;
      std::memcpy(&v, at, 2);
      value = std::to_string(v);
      break;
    }
    case Kind::Int32: {
      int32_t v;
      std::memcpy(&v, at, 4);
      value = std::to_string(v);
      break;
    }
    case Kind::UInt8:
      value = std::to_string(static_cast<unsigned char>(*at));
      break;
    case Kind::UIntBigEndian: {
      uint64_t v = 0;
      for (uint32_t k = 0; k < column.Width; k++)
        v = (v << 8) | static_cast<unsigned char>(at[k]);
      value = std::to_string(v);
      break;
    }
    }
    text += (text.empty() ? "" : ", ") + column.Name + "=" + value;
  }
  return text;
}
