#include <gtest/gtest.h>

#include <string>

#include "example/AtomicModelSAN.h"
#include "example/RewardCalcPVModel.h"
#include "example/setStudySetStudy.h"

namespace {

struct StudyFixture : testing::Test {
  void SetUp() override {
    lambda = 0;
    meo = 0;
  }
  void TearDown() override { DestructStudy(); }
};

using StudyTest = StudyFixture;

TEST_F(StudyTest, ExperimentsSetTheirValues) {
  const double lambdas[] = {0.1, 0.01, 0.001, 0.001, 0.1, 0.0001};
  const double meos[] = {0.1, 0.01, 0.001, 0.1, 0.001, 0.0001};
  BaseStudyClass* study = GenerateStudy();
  ASSERT_EQ(study->GetNumExps(), 6);
  ASSERT_EQ(study->GetNumGVs(), 2);
  EXPECT_STREQ(study->GetGVName(0), "lambda");
  EXPECT_STREQ(study->GetGVName(1), "meo");
  EXPECT_STREQ(study->GetGVType(0), "double");
  EXPECT_STREQ(study->GetGVType(1), "double");
  for (int e = 0; e < 6; e++) {
    study->SetGVs(e);
    EXPECT_EQ(lambda, lambdas[e]) << e;
    EXPECT_EQ(meo, meos[e]) << e;
  }
}

TEST_F(StudyTest, PrintGlobalValuesSetsAndListsTheExperiment) {
  BaseStudyClass* study = GenerateStudy();
  testing::internal::CaptureStdout();
  study->PrintGlobalValues(3);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "The Global Variable values for experiment Experiment 4 are:\n"
            "lambda\tdouble\t0.001\nmeo\tdouble\t0.1\n");
  EXPECT_EQ(lambda, 0.001);
  EXPECT_EQ(meo, 0.1);
}

TEST_F(StudyTest, OverridesChangeOnlyTheNamedVariable) {
  BaseStudyClass* study = GenerateStudy();
  study->SetGVs(0);
  char one[] = "d:meo:0.5";
  study->overrideGVs(one);
  EXPECT_EQ(lambda, 0.1);
  EXPECT_EQ(meo, 0.5);

  char two[] = "x:lambda:1:d:meo:2";
  testing::internal::CaptureStdout();
  study->overrideGVs(two);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Type x not recognized\n");
  EXPECT_EQ(lambda, 0.1);
  EXPECT_EQ(meo, 2.0);

  char three[] = "d:mu:1";
  testing::internal::CaptureStderr();
  study->overrideGVs(three);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "!! setStudySetStudy::OverrideGVValue: Global Variable mu does not exist.\n");
}

TEST_F(StudyTest, OneStudyPerProcessUntilDestructed) {
  BaseStudyClass* first = GenerateStudy();
  EXPECT_EQ(GenerateStudy(), first);
  EXPECT_EQ(GlobalStudyPtr, first);
  DestructStudy();
  EXPECT_EQ(GlobalStudyPtr, nullptr);
  BaseStudyClass* second = GenerateStudy();
  EXPECT_NE(second, nullptr);
  EXPECT_EQ(GlobalStudyPtr, second);
}

TEST_F(StudyTest, RewardModelIsReplacedOnEachRequest) {
  BaseStudyClass* study = GenerateStudy();
  PVModel* first = study->GetPVModel(false);
  ASSERT_NE(first, nullptr);
  EXPECT_NE(dynamic_cast<RewardCalcPVModel*>(first), nullptr);
  EXPECT_EQ(study->CurrentPVModel, first);
  PVModel* second = study->GetPVModel(false);
  EXPECT_EQ(study->CurrentPVModel, second);
  EXPECT_EQ(second->NumPVs, 2);
}

} // namespace
