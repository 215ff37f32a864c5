#include "driver/BaseStudyClass.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

BaseStudyClass* GlobalStudyPtr = nullptr;

BaseStudyClass::BaseStudyClass()
    : GVNames(nullptr), GVTypes(nullptr), CurrentPVModel(nullptr), NumGVs(0), NumExps(0) {}

BaseStudyClass::~BaseStudyClass() {
  for (int i = 0; i < NumGVs; i++) {
    if (GVNames != nullptr)
      free(GVNames[i]);
    if (GVTypes != nullptr)
      free(GVTypes[i]);
  }
  delete[] GVNames;
  delete[] GVTypes;
}

PVModel* BaseStudyClass::GetPVModel(bool) {
  return CurrentPVModel;
}

void BaseStudyClass::SetGVs(int) {
  std::cout << "basestudyclass::SetGVs" << std::endl;
}

void BaseStudyClass::PrintGlobalValues(int) {}

void* BaseStudyClass::GetGVValue(char*) {
  return nullptr;
}

void BaseStudyClass::OverrideGVValue(char*, void*) {}

int BaseStudyClass::GetNumGVs() {
  return NumGVs;
}

char* BaseStudyClass::GetGVName(int index) {
  return GVNames[index];
}

char* BaseStudyClass::GetGVType(int index) {
  return GVTypes[index];
}

int BaseStudyClass::GetNumExps() {
  return NumExps;
}

char* BaseStudyClass::GetExpName(int expNum) {
  static char name[32];
  std::snprintf(name, sizeof name, "Experiment %d", expNum + 1);
  return name;
}

void BaseStudyClass::CheckExperimentNumber(int expNum) {
  if (!AcceptExperimentNumber(expNum))
    std::exit(1);
}

bool BaseStudyClass::AcceptExperimentNumber(int expNum) {
  if (NumExps <= 0) {
    if (expNum == 0)
      return true;
    std::cerr << "-B " << expNum
              << ": experiment number out of range (this study has no experiments; use 0)"
              << std::endl;
    return false;
  }
  if (expNum >= 0 && expNum < NumExps)
    return true;
  std::cerr << "-B " << expNum
            << ": experiment number out of range (this study has experiments 0 to " << NumExps - 1
            << ")" << std::endl;
  return false;
}

namespace {

// Whether a variable declared with type name `declared` holds the C++ type
// that override letter `letter` reads.
bool TypeMatches(char letter, const char* declared) {
  static const struct {
    char letter;
    const char* names[3];
  } types[] = {
      {'b', {"bool", nullptr, nullptr}},
      {'c', {"char", nullptr, nullptr}},
      {'d', {"double", nullptr, nullptr}},
      {'f', {"float", nullptr, nullptr}},
      {'i', {"int", "signed int", "signed"}},
      {'l', {"long", "long int", "signed long"}},
      {'s', {"short", "short int", "signed short"}},
  };
  for (const auto& type : types) {
    if (type.letter != letter)
      continue;
    for (const char* name : type.names) {
      if (name != nullptr && std::strcmp(name, declared) == 0)
        return true;
    }
  }
  return false;
}

// The type override letter `letter` reads ("double" for 'd').
const char* LetterType(char letter) {
  switch (letter) {
  case 'b':
    return "bool";
  case 'c':
    return "char";
  case 'd':
    return "double";
  case 'f':
    return "float";
  case 'i':
    return "int";
  case 'l':
    return "long";
  default:
    return "short";
  }
}

// "an " before a type name that begins with a vowel, "a " otherwise.
const char* Article(const char* type) {
  return type[0] != '\0' && std::strchr("aeiou", type[0]) != nullptr ? "an " : "a ";
}

} // namespace

namespace {

// Reads value as a T with the scanf conversion `format`; false if it does not
// parse.
template <class T> bool ReadValue(const char* value, const char* format, T& out) {
  return std::sscanf(value, format, &out) == 1;
}

} // namespace

void BaseStudyClass::overrideGVs(char* overrides) {
  if (overrides == nullptr)
    return;
  std::string copy(overrides);
  char* save = nullptr;
  for (char* type = strtok_r(copy.data(), ":", &save); type != nullptr;
       type = strtok_r(nullptr, ":", &save)) {
    char* name = strtok_r(nullptr, ":", &save);
    char* value = name ? strtok_r(nullptr, ":", &save) : nullptr;
    if (name == nullptr || value == nullptr) {
      std::printf("Not enough double override tokens");
      std::fflush(stdout);
      return;
    }
    char letter = type[0];
    if (std::strchr("bcdfils", letter) == nullptr) {
      std::printf("Type %c not recognized\n", letter);
      std::fflush(stdout);
      continue;
    }
    ApplyOverride(letter, name, value);
  }
}

void BaseStudyClass::ApplyOverride(char letter, char* name, char* value) {
  // Only a value of the variable's own type is handed over; an unknown name
  // is left to OverrideGVValue, which reports it.
  for (int i = 0; i < NumGVs; i++) {
    if (std::strcmp(GVNames[i], name) == 0 && !TypeMatches(letter, GVTypes[i])) {
      std::cerr << "Override " << letter << ":" << name << ":" << value
                << " skipped: global variable " << name << " is " << Article(GVTypes[i])
                << GVTypes[i] << ", not " << Article(LetterType(letter)) << LetterType(letter)
                << std::endl;
      return;
    }
  }

  bool parsed = false;
  switch (letter) {
  case 'b': {
    short s;
    if ((parsed = ReadValue(value, "%hi", s))) {
      bool b = s != 0;
      OverrideGVValue(name, &b);
    }
    break;
  }
  case 'c': {
    char c;
    if ((parsed = ReadValue(value, "%c", c)))
      OverrideGVValue(name, &c);
    break;
  }
  case 'd': {
    double d;
    if ((parsed = ReadValue(value, "%lf", d)))
      OverrideGVValue(name, &d);
    break;
  }
  case 'f': {
    float f;
    if ((parsed = ReadValue(value, "%f", f)))
      OverrideGVValue(name, &f);
    break;
  }
  case 'i': {
    int v;
    if ((parsed = ReadValue(value, "%i", v)))
      OverrideGVValue(name, &v);
    break;
  }
  case 'l': {
    long v;
    if ((parsed = ReadValue(value, "%li", v)))
      OverrideGVValue(name, &v);
    break;
  }
  case 's': {
    short v;
    if ((parsed = ReadValue(value, "%hi", v)))
      OverrideGVValue(name, &v);
    break;
  }
  }
  if (!parsed)
    std::cerr << "Override " << letter << ":" << name << ":" << value << " skipped: " << value
              << " is not a value of type letter " << letter << std::endl;
}
