#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "model/StandardErrors.h"

namespace {

std::string stderrOf(const std::function<void()>& report) {
  testing::internal::CaptureStderr();
  report();
  return testing::internal::GetCapturedStderr();
}

TEST(StandardErrorsTest, MemoryAllocationErrorWritesTwoLinesAndExitsWithOne) {
  EXPECT_EXIT(MemoryAllocationError(), ::testing::ExitedWithCode(1),
              "^Insufficient Memory to allocate dynamic data structures from heap memory\n"
              "Exiting program\\.\\.\\.\n$");
}

TEST(StandardErrorsTest, InvalidStructTypeAbortsAfterTwoLines) {
  EXPECT_EXIT(InvalidStructType(), ::testing::KilledBySignal(SIGABRT),
              "^ArrayType is invalid for struct element\npreparing to segfault\n");
}

TEST(StandardErrorsTest, ReturningReportsWriteOneLine) {
  EXPECT_EQ(stderrOf(MemoryError), "Memory Error\n");
  EXPECT_EQ(stderrOf([] { ErrorEmptyParameter("x"); }), "x: Parameter was an empty reference\n");
  EXPECT_EQ(stderrOf(SyncError::WrongDistributionType),
            "You can only synchronize actions from one type,either exponential or instantenous\n");
  EXPECT_EQ(stderrOf(SyncError::NoAction), " no Action found in model\n");
  EXPECT_EQ(stderrOf(InconsistantState),
            "This program has entered into an inconsistant state. Please report this bug.\n");
  EXPECT_EQ(stderrOf(UserError), "A user error has been detected\n");
  EXPECT_EQ(stderrOf(InvalidArrayType), "ArrayType is not valid\n");
  EXPECT_EQ(stderrOf(InvalidUnorderedType), "ArrayType is invalid for unordered element\n");
  EXPECT_EQ(stderrOf([] { ArrayOutOfBoundsError("Group::setMember"); }),
            "Array out of bounds error at Group::setMember\n");
}

TEST(StandardErrorsTest, TypeMismatchesListBothNamesIndented) {
  EXPECT_EQ(stderrOf([] { ArrayTypeMismatchError("a", "b"); }),
            "Array types for equivalence sharing do not match for state variables: \n  a\n  b\n");
  EXPECT_EQ(stderrOf([] { StructTypeMismatchError("s1", "s2"); }),
            "Struct types for equivalence sharing do not match for state variables: \n  s1\n"
            "  s2\n");
}

} // namespace
