#ifndef DRIVER_BASESTUDYCLASS_H
#define DRIVER_BASESTUDYCLASS_H

class PVModel;

// A study: the values of a model's global variables for a numbered set of
// experiments. The model code reads its global variables as plain
// process-wide variables; the study writes them (SetGVs) and builds the reward
// model over the model (GetPVModel).
//
// A generated study derives from this class, fills GVNames, GVTypes, NumGVs
// and NumExps in its constructor and overrides the virtual operations. The
// name and type strings are owned by the study and released with free(); the
// two pointer arrays are released with delete[] (allocate them with new[] and
// the strings with strdup). A study that overrides GetPVModel owns the reward
// model it creates and releases it in its own destructor.
class BaseStudyClass {
public:
  char** GVNames;
  char** GVTypes;
  PVModel* CurrentPVModel;
  int NumGVs;
  int NumExps;

  BaseStudyClass();
  virtual ~BaseStudyClass();
  BaseStudyClass(const BaseStudyClass&) = delete;
  BaseStudyClass& operator=(const BaseStudyClass&) = delete;

  // The reward model of the study; the base returns CurrentPVModel.
  virtual PVModel* GetPVModel(bool expandTimes);
  // Writes experiment expNum's values into the global variables. The base
  // prints "basestudyclass::SetGVs".
  virtual void SetGVs(int expNum);
  // Lists the global variables with experiment expNum's values; the base
  // prints nothing.
  virtual void PrintGlobalValues(int expNum);
  // Address of the named global variable, or null; the base returns null.
  virtual void* GetGVValue(char* name);
  // Sets the named global variable from *value, which must hold the
  // variable's declared type (overrideGVs guarantees it); the base does
  // nothing.
  virtual void OverrideGVValue(char* name, void* value);

  int GetNumGVs();
  char* GetGVName(int index);
  char* GetGVType(int index);
  int GetNumExps();
  // "Experiment <expNum + 1>", in one static buffer that the next call
  // overwrites.
  char* GetExpName(int expNum);

  // Applies an override string: triples "type:name:value" separated by ':'
  // (runs of ':' count as one), e.g. "d:lambda:0.5:d:meo:0.02". Type letters:
  // b bool, c char, d double, f float, i int, l long, s short. A triple whose
  // letter does not match the variable's declared type (GVTypes) is reported
  // on standard error and skipped, and so is a value that does not parse as
  // that type. A null string does nothing.
  void overrideGVs(char* overrides);

  // Ends the run (message on standard error, exit status 1) unless expNum
  // names one of the study's experiments, 0 .. NumExps - 1. A study without
  // experiments accepts only 0.
  void CheckExperimentNumber(int expNum);
  // The same check without ending the run: false after the message.
  bool AcceptExperimentNumber(int expNum);

private:
  // One override triple with a known type letter.
  void ApplyOverride(char letter, char* name, char* value);
};

// The one study of the process; null until GenerateStudy.
extern BaseStudyClass* GlobalStudyPtr;

// Defined once per model, beside its study: returns GlobalStudyPtr, creating
// the model's study on the first call.
BaseStudyClass* GenerateStudy();
// Destroys the study through its virtual destructor; GlobalStudyPtr = null.
void DestructStudy();

#endif
