#include "trace/TraceFileTarvekSSG.h"

#include <ostream>

#include "model/BaseActionClass.h"
#include "model/BaseModelClass.h"
#include "reward/PVModel.h"
#include "state/BaseStateVariableClass.h"

namespace {

const char* const Stars = "**************************************";

} // namespace

void TraceFileTarvekSSG::printHeader(PVModel*) {
  if (!outStream)
    return;
  *outStream << Stars << std::endl;
  *outStream << "\t\tTRACE" << std::endl;
  *outStream << Stars << std::endl;
}

void TraceFileTarvekSSG::printInitialState(BaseModelClass* model) {
  if (!outStream)
    return;
  *outStream << "Initial Model State:" << std::endl;
  printState(model);
}

void TraceFileTarvekSSG::printState(BaseModelClass* model) {
  if (!outStream)
    return;
  BaseStateVariableClass** variables = model->GetLocalStateVariables(outStream);
  *outStream << "  Model: (" << model->modelId << ")" << model->Name << std::endl;
  if (variables != nullptr) {
    for (int i = 0; i < model->numSVs; i++) {
      *outStream << "    " << variables[i]->Name << " = ";
      variables[i]->printStateVal(outStream);
      *outStream << std::endl;
    }
  }
  int children = model->GetNumberOfChildren();
  for (int i = 0; i < children; i++)
    printState(model->GetChild(i));
}

void TraceFileTarvekSSG::printState(PVModel* model) {
  printState(model->ChildModel);
}

void TraceFileTarvekSSG::printFireAction(BaseActionClass* action, double) {
  if (!outStream || traceLevel < 1)
    return;
  *outStream << "Firing Action: " << action->ActionName << std::endl;
}

void TraceFileTarvekSSG::printPreFireAction(BaseActionClass* action) {
  if (!outStream || traceLevel < 2)
    return;
  BaseActionClass* shown = action->getPrintedAction();
  *outStream << "Enabling state before action firing:" << std::endl;
  const List<BaseStateVariableClass>& variables = shown->EnablingSVs;
  for (int i = 0; i < variables.getNumItems(); i++) {
    BaseStateVariableClass* sv = variables.getItem(i);
    *outStream << "  " << sv->Name << " = ";
    sv->printStateVal(outStream);
    *outStream << std::endl;
  }
}

void TraceFileTarvekSSG::printPostFireAction(BaseActionClass* action, BaseActionClass*) {
  if (!outStream)
    return;
  *outStream << "State after firing action: " << action->ActionName << std::endl;
}

void TraceFileTarvekSSG::newBatch() {
  if (!outStream)
    return;
  *outStream << "##### NEW BATCH #####" << std::endl;
}

void TraceFileTarvekSSG::printStr(int level, const char* text) {
  if (!outStream || level > traceLevel)
    return;
  *outStream << text << std::endl;
}
