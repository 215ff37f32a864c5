#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "driver/BaseStudyClass.h"

namespace {

// A study with an int, a double and a short, recording what it is given.
class RecordingStudy : public BaseStudyClass {
public:
  int count = 0;
  double rate = 0;
  short small = 0;

  RecordingStudy() {
    NumGVs = 3;
    NumExps = 4;
    // The copies are kept in the arrays (cppcheck does not follow them there).
    // cppcheck-suppress leakReturnValNotUsed
    GVNames = new char* [3] { strdup("count"), strdup("rate"), strdup("small") };
    // cppcheck-suppress leakReturnValNotUsed
    GVTypes = new char* [3] { strdup("int"), strdup("double"), strdup("short") };
  }
  void OverrideGVValue(char* name, void* value) override {
    if (std::strcmp(name, "count") == 0)
      count = *static_cast<int*>(value);
    else if (std::strcmp(name, "rate") == 0)
      rate = *static_cast<double*>(value);
    else if (std::strcmp(name, "small") == 0)
      small = *static_cast<short*>(value);
    else
      std::cerr << "no variable " << name << std::endl;
  }
};

// Applies the overrides; returns standard output and standard error.
std::pair<std::string, std::string> Override(RecordingStudy& study, const char* overrides) {
  std::string copy(overrides);
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  study.overrideGVs(copy.data());
  std::string err = testing::internal::GetCapturedStderr();
  return {testing::internal::GetCapturedStdout(), err};
}

TEST(BaseStudyClassTest, OverridesSetVariablesOfTheirType) {
  RecordingStudy study;
  auto [out, err] = Override(study, "i:count:12::d:rate:0.5:s:small:-3");
  EXPECT_EQ(study.count, 12);
  EXPECT_EQ(study.rate, 0.5);
  EXPECT_EQ(study.small, -3);
  EXPECT_EQ(out, "");
  EXPECT_EQ(err, "");
}

TEST(BaseStudyClassTest, TypeLetterThatDoesNotMatchIsReportedAndSkipped) {
  RecordingStudy study;
  auto [out, err] = Override(study, "d:count:7:i:rate:3:i:count:5");
  EXPECT_EQ(study.count, 5); // only the matching triple
  EXPECT_EQ(study.rate, 0.0);
  // Reported like an unknown name, on standard error, and skipped.
  EXPECT_EQ(err, "Override d:count:7 skipped: global variable count is an int, not a double\n"
                 "Override i:rate:3 skipped: global variable rate is a double, not an int\n");
  EXPECT_EQ(out, "");
}

TEST(BaseStudyClassTest, UnknownTypeLetterSkipsItsTriple) {
  RecordingStudy study;
  auto [out, err] = Override(study, "x:count:1:d:rate:2");
  EXPECT_EQ(out, "Type x not recognized\n");
  EXPECT_EQ(study.count, 0);
  EXPECT_EQ(study.rate, 2.0);
}

TEST(BaseStudyClassTest, MissingValueEndsTheOverrides) {
  RecordingStudy study;
  auto [out, err] = Override(study, "d:rate");
  EXPECT_EQ(out, "Not enough double override tokens");
  EXPECT_EQ(study.rate, 0.0);
}

TEST(BaseStudyClassTest, ValueThatDoesNotParseIsReportedAndSkipped) {
  RecordingStudy study;
  study.count = 4;
  auto [out, err] = Override(study, "i:count:many");
  EXPECT_EQ(study.count, 4);
  EXPECT_NE(err.find("Override i:count:many skipped"), std::string::npos) << err;
}

TEST(BaseStudyClassTest, UnknownNameIsLeftToTheStudy) {
  RecordingStudy study;
  auto [out, err] = Override(study, "d:mu:1");
  EXPECT_EQ(err, "no variable mu\n");
}

TEST(BaseStudyClassTest, ExperimentNamesCountFromOne) {
  RecordingStudy study;
  EXPECT_STREQ(study.GetExpName(0), "Experiment 1");
  EXPECT_STREQ(study.GetExpName(5), "Experiment 6");
}

TEST(BaseStudyClassDeathTest, ExperimentNumberOutsideTheStudyIsRejected) {
  RecordingStudy study;
  study.CheckExperimentNumber(0);
  study.CheckExperimentNumber(3);
  EXPECT_EXIT(study.CheckExperimentNumber(4), testing::ExitedWithCode(1),
              "-B 4: experiment number out of range \\(this study has experiments 0 to 3\\)");
  EXPECT_EXIT(study.CheckExperimentNumber(-1), testing::ExitedWithCode(1),
              "-B -1: experiment number out of range");
  BaseStudyClass empty;
  empty.CheckExperimentNumber(0);
  EXPECT_EXIT(empty.CheckExperimentNumber(1), testing::ExitedWithCode(1),
              "-B 1: experiment number out of range \\(this study has no experiments; use 0\\)");
}

TEST(BaseStudyClassTest, ExperimentNumberCheckCanReportWithoutExiting) {
  RecordingStudy study;
  testing::internal::CaptureStderr();
  EXPECT_TRUE(study.AcceptExperimentNumber(3));
  EXPECT_FALSE(study.AcceptExperimentNumber(4));
  EXPECT_FALSE(study.AcceptExperimentNumber(-1));
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "-B 4: experiment number out of range (this study has experiments 0 to 3)\n"
            "-B -1: experiment number out of range (this study has experiments 0 to 3)\n");
}

} // namespace
