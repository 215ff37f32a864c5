#ifndef DRIVER_GLOBALVALUES_H
#define DRIVER_GLOBALVALUES_H

#include <iosfwd>
#include <string>

class BaseStudyClass;

// The global variables of a study as text, for the results database and for
// programs that run a whole study.
class GlobalValues {
public:
  // The value global variable `index` holds now, read as its declared type:
  // integers in decimal, floating-point values in the shortest form that
  // reads back exactly (without an exponent from 1e-5 to 1e15), bool as 1
  // or 0, char as the character. "?" for a type the study does not declare
  // in a form we know.
  static std::string Text(BaseStudyClass& study, int index);

  // The study's experiments as a tab-separated table: a header line
  // "experiment" followed by the variables' names, then per experiment its
  // number and its values. A study without experiments lists experiment 0
  // with the values the variables hold.
  static void List(std::ostream& out, BaseStudyClass& study);

  // The option of a model executable that prints List and exits.
  static constexpr const char* ListOption = "--list-experiments";
};

#endif
