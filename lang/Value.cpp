#include "lang/Value.h"

#include <charconv>

namespace lang {

const char* TypeWords(ValueType type) {
  switch (type) {
  case ValueType::Bool:
    return "a condition";
  case ValueType::Int:
    return "a whole number";
  case ValueType::Real:
    return "a real number";
  case ValueType::Error:
    break;
  }
  return "an invalid value";
}

double Value::asReal() const {
  switch (type) {
  case ValueType::Bool:
    return boolean ? 1.0 : 0.0;
  case ValueType::Int:
    return static_cast<double>(integer);
  case ValueType::Real:
    return real;
  case ValueType::Error:
    break;
  }
  return 0.0;
}

std::string ShortestReal(double x) {
  char buffer[64];
  auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, x);
  (void)error;
  return std::string(buffer, end);
}

std::string Value::toString() const {
  switch (type) {
  case ValueType::Bool:
    return boolean ? "true" : "false";
  case ValueType::Int:
    return std::to_string(integer);
  case ValueType::Real:
    return ShortestReal(real);
  case ValueType::Error:
    break;
  }
  return "?";
}

} // namespace lang
