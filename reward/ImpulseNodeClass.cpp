#include "reward/ImpulseNodeClass.h"

#include <cstring>

ImpulseNodeClass::ImpulseNodeClass()
    : Name(nullptr), WorkerIndex(-1), ImpulseIndex(-1), MaxModels(0), Value(0.0), ValueSquared(0.0),
      References(nullptr), NumReferences(0) {}

ImpulseNodeClass::~ImpulseNodeClass() {
  delete[] Name;
  delete[] References;
}

void ImpulseNodeClass::DefineName(const char* name, int impulse, int worker) {
  char* copy = new char[std::strlen(name) + 1];
  std::strcpy(copy, name);
  delete[] Name;
  Name = copy;
  ImpulseIndex = impulse;
  WorkerIndex = worker;
}

void ImpulseNodeClass::Reset() {
  Value = 0.0;
  ValueSquared = 0.0;
}
