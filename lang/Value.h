#ifndef LANG_VALUE_H
#define LANG_VALUE_H

#include <string>

namespace lang {

// The three kinds of values of the language. Error marks an expression whose
// type could not be determined (an error has been reported for it; no
// further type errors are reported about it).
enum class ValueType { Error, Bool, Int, Real };

// "a condition", "a whole number", "a real number": the words messages use.
const char* TypeWords(ValueType type);

// A value known to the compiler: a literal, a constant, a global variable's
// value in one experiment, or a result of the evaluator. Int is a signed
// 64-bit integer, Real a double.
struct Value {
  ValueType type = ValueType::Error;
  bool boolean = false;
  long long integer = 0;
  double real = 0.0;

  static Value Bool(bool b) {
    Value v;
    v.type = ValueType::Bool;
    v.boolean = b;
    return v;
  }
  static Value Int(long long i) {
    Value v;
    v.type = ValueType::Int;
    v.integer = i;
    return v;
  }
  static Value Real(double r) {
    Value v;
    v.type = ValueType::Real;
    v.real = r;
    return v;
  }

  bool isNumber() const { return type == ValueType::Int || type == ValueType::Real; }
  // The value as a double (Int converted, Bool as 0 or 1).
  double asReal() const;
  // As written in a model file: 3, 0.25, 1e-05, true.
  std::string toString() const;
};

// Shortest text that reads back as exactly `x` ("0.1", "24", "1e-05").
std::string ShortestReal(double x);

} // namespace lang

#endif
