#ifndef SOLVER_PROPERTY_PROPERTYPARSER_H
#define SOLVER_PROPERTY_PROPERTYPARSER_H

#include <string>
#include <vector>

#include "solver/MarkingCondition.h"
#include "solver/property/Property.h"

// Reads the properties of --property and --properties (the grammar is in
// Property.h and docs/solver.md).
//
// The structure (P=?, R{"v"}=?, S=?, the brackets, F, U, C, I and the time
// bounds) is parsed here; the conditions are only delimited, and parsed
// against the chain's places and labels by MarkingCondition when the .sta
// file is known. A condition of an until ends at the word U outside
// parentheses and quotes (a place named U is written (U)); the others end at
// the closing ']' of the property.
//
// Errors are SolverError InputError in the language's form, with the
// source, line and column, the text and a caret under the column, saying
// what was expected there.
class PropertyParser {
public:
  // `line`: the whole line the property is written on (positions in
  // messages count from its start); blanks around the property are allowed.
  static Property Parse(const std::string& line, const MarkingCondition::Origin& origin);
  // A file of properties, one per line; "//" starts a comment (outside a
  // quoted name), blank lines are skipped. A missing or unreadable file is
  // an InputError.
  static std::vector<Property> ReadFile(const std::string& fileName);
};

#endif
