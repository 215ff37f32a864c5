#include <cstdlib>
#include <iostream>

#include "ssg/StateSpaceGen.h"

void StateSpaceGen::GenStateSpaceDeterministic(char*, char*, char*) {
  std::cerr << "Error: deterministic activities are not supported yet: this model cannot be "
               "generated"
            << std::endl;
  std::exit(1);
}

void StateSpaceGen::FindNextDeterministic(char*) {}

void StateSpaceGen::FireInstantDet(double) {}
