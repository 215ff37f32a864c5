#include "ssg/ExactRewardFile.h"

#include <string_view>

#include "reward/PVModel.h"
#include "reward/PerformanceVariableNode.h"

ExactRewardFile::ExactRewardFile(PVModel* model, const char* fileName) {
  if (fileName == nullptr) {
    File.openInMemory();
    return;
  }
  File.openOrExit(fileName, "Error: Could not open the exact reward file");
  File.putText(std::string_view(Magic, sizeof Magic - 1));
  File.putLittleEndian32(static_cast<uint32_t>(model->NumPVs));
  for (int p = 0; p < model->NumPVs; p++) {
    const PerformanceVariableNode* pv = model->PVList[p];
    File.putLittleEndian32(static_cast<uint32_t>(pv->GetNumTimePoints()));
    for (int t = 0; t < pv->GetNumTimePoints(); t++) {
      File.putLittleEndianDouble(pv->GetStartTime(t));
      File.putLittleEndianDouble(pv->GetStopTime(t));
    }
  }
}

void ExactRewardFile::Finish(uint32_t states) {
  File.putLittleEndian32(states);
  File.putText(std::string_view(Trailer, sizeof Trailer - 1));
  File.close();
}
