#ifndef MODELS_KANBAN_KANBANSTUDY_H
#define MODELS_KANBAN_KANBANSTUDY_H

#include "driver/BaseStudyClass.h"

// The kanban study: one global variable, N (int, cards per cell), and seven
// experiments; experiment e sets N = e + 1.
class KanbanStudy : public BaseStudyClass {
public:
  // N per experiment, NumExps entries.
  int* NValues;

  KanbanStudy();
  ~KanbanStudy() override;

  // Replaces the reward model made before, if any, by a new one.
  PVModel* GetPVModel(bool expandTimes) override;
  void SetGVs(int expNum) override;
  void PrintGlobalValues(int expNum) override;
  void* GetGVValue(char* name) override;
  // value points at an int.
  void OverrideGVValue(char* name, void* value) override;

  void SetValues_N();
};

#endif
