#include "driver/GlobalValues.h"

#include <charconv>
#include <cstring>
#include <ostream>

#include "driver/BaseStudyClass.h"

namespace {

template <class T> std::string Number(T value) {
  char text[400];
  auto end = std::to_chars(text, text + sizeof text, value).ptr;
  return std::string(text, end);
}

// The shortest digits that read back exactly, written without an exponent
// for everyday magnitudes (0.0001, not 1e-04).
template <class T> std::string Decimal(T value) {
  T magnitude = value < 0 ? -value : value;
  if (magnitude != 0 && (magnitude < T(1e-5) || magnitude >= T(1e15)))
    return Number(value);
  char text[400];
  auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed).ptr;
  return std::string(text, end);
}

bool Is(const char* type, std::initializer_list<const char*> names) {
  for (const char* name : names)
    if (std::strcmp(type, name) == 0)
      return true;
  return false;
}

} // namespace

std::string GlobalValues::Text(BaseStudyClass& study, int index) {
  const char* type = study.GetGVType(index);
  void* value = study.GetGVValue(study.GetGVName(index));
  if (value == nullptr || type == nullptr)
    return "?";
  if (Is(type, {"double"}))
    return Decimal(*static_cast<double*>(value));
  if (Is(type, {"float"}))
    return Decimal(*static_cast<float*>(value));
  if (Is(type, {"int", "signed int", "signed"}))
    return Number(*static_cast<int*>(value));
  if (Is(type, {"long", "long int", "signed long"}))
    return Number(*static_cast<long*>(value));
  if (Is(type, {"short", "short int", "signed short"}))
    return Number(*static_cast<short*>(value));
  if (Is(type, {"bool"}))
    return *static_cast<bool*>(value) ? "1" : "0";
  if (Is(type, {"char"}))
    return std::string(1, *static_cast<char*>(value));
  return "?";
}

void GlobalValues::List(std::ostream& out, BaseStudyClass& study) {
  out << "experiment";
  for (int i = 0; i < study.GetNumGVs(); i++)
    out << '\t' << study.GetGVName(i);
  out << '\n';
  int experiments = study.GetNumExps() > 0 ? study.GetNumExps() : 1;
  for (int e = 0; e < experiments; e++) {
    if (study.GetNumExps() > 0)
      study.SetGVs(e);
    out << e;
    for (int i = 0; i < study.GetNumGVs(); i++)
      out << '\t' << Text(study, i);
    out << '\n';
  }
  out.flush();
}
