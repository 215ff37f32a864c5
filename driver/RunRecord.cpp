#include "driver/RunRecord.h"

#include <string>

#include "driver/BaseStudyClass.h"
#include "driver/CommandLine.h"
#include "driver/GlobalValues.h"
#include "database/ResultsDB.h"

void RunRecord::Start(ResultsDB& db, BaseStudyClass& study, const char* program) {
  std::string model = program ? program : "";
  model = model.substr(model.rfind('/') + 1);
  std::string prefix = ResultsDB::AbsolutePrefix(gExperimentPath + gExperimentName);
  db.setRunInfo(model.c_str(), ExpNum, prefix.c_str(), db_entity);
  if (db.getRunId(gExperimentName.data()) < 0)
    return;
  for (int i = 0; i < study.GetNumGVs(); i++)
    db.writeSingleGV(study.GetGVName(i), study.GetGVType(i), GlobalValues::Text(study, i).c_str());
  db.writeGVValues();
}
