#include "reward/PerformanceVariableWorker.h"

#include <cstring>
#include <iostream>

PerformanceVariableWorker::PerformanceVariableWorker()
    : References(nullptr), NumReferences(0), Name(nullptr), WorkerIndex(-1), PVIndex(-1),
      RewardValue(0.0), RewardSquared(0.0), Fraction(1.0), StartTime(0.0), StopTime(0.0) {}

PerformanceVariableWorker::~PerformanceVariableWorker() {
  delete[] Name;
  delete[] References;
}

void PerformanceVariableWorker::CurrentReward() {
  std::cerr << "!! Calling PerformanceVariableWorker::CurrentReward()" << std::endl;
}

void PerformanceVariableWorker::Reset() {
  RewardValue = 0.0;
  RewardSquared = 0.0;
}

void PerformanceVariableWorker::DefineName(const char* name, int index) {
  char* copy = new char[std::strlen(name) + 1];
  std::strcpy(copy, name);
  delete[] Name;
  Name = copy;
  WorkerIndex = index;
}
