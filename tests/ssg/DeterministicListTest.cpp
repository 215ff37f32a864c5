#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

#include "ssg/DeterministicList.h"
#include "ssg/RateInfoType.h"

namespace {

// Writes the list into a fresh file and returns the file's bytes. The name
// carries the process id: ctest runs the cases of this suite as parallel
// processes, and other checkouts' test runs may share the directory.
std::string written(DeterministicList& list, OutputFileType form) {
  const std::string path =
      ::testing::TempDir() + "deterministic_list_test_" + std::to_string(getpid()) + ".det";
  {
    std::fstream out(path, std::ios::out | std::ios::trunc | std::ios::binary);
    list.writeEnablingStates(out, form);
    EXPECT_TRUE(out.good());
  }
  std::ifstream in(path, std::ios::binary);
  std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  std::remove(path.c_str());
  return bytes;
}

void appendLittleEndian(std::string& bytes, uint64_t value, int width) {
  for (int i = 0; i < width; i++)
    bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
}

void appendInt(std::string& bytes, int32_t value) {
  appendLittleEndian(bytes, static_cast<uint32_t>(value), 4);
}

void appendDouble(std::string& bytes, double value) {
  appendLittleEndian(bytes, std::bit_cast<uint64_t>(value), 8);
}

std::vector<uint32_t> states(const RateInfoType& record) {
  return std::vector<uint32_t>(record.States, record.States + record.NumStates);
}

// The list of the file-format example: (1, 10.0), (2, 2.5), (3, 10.0).
void fillExample(DeterministicList& list) {
  list.insertEnablingState(1, 10.0);
  list.insertEnablingState(2, 2.5);
  list.insertEnablingState(3, 10.0);
}

} // namespace

TEST(DeterministicListTest, DuplicatePairsAreKept) {
  DeterministicList list;
  list.insertEnablingState(4, 1.0);
  list.insertEnablingState(4, 1.0);
  ASSERT_EQ(list.RateInfoSize, 1u);
  EXPECT_EQ(states(list.RateInfo[0]), (std::vector<uint32_t>{4, 4}));
}

TEST(DeterministicListTest, ValuesAreComparedExactly) {
  DeterministicList list;
  const double value = 0.1;
  list.insertEnablingState(1, value);
  list.insertEnablingState(2, std::nextafter(value, 1.0));
  list.insertEnablingState(3, 0.3 - 0.2); // not exactly 0.1
  EXPECT_EQ(list.RateInfoSize, 3u);
  const double nan = std::nan("");
  list.insertEnablingState(4, nan);
  list.insertEnablingState(5, nan);
  EXPECT_EQ(list.RateInfoSize, 5u); // a NaN matches nothing, not even a NaN
}

TEST(DeterministicListTest, ThirdValueDoublesRecordsKeepingContents) {
  DeterministicList list;
  EXPECT_EQ(list.RateInfoCapacity, 2u);
  fillExample(list);
  EXPECT_EQ(list.RateInfoCapacity, 2u);
  list.insertEnablingState(5, 7.0);
  EXPECT_EQ(list.RateInfoCapacity, 4u);
  ASSERT_EQ(list.RateInfoSize, 3u);
  EXPECT_EQ(list.RateInfo[0].Value, 10.0);
  EXPECT_EQ(states(list.RateInfo[0]), (std::vector<uint32_t>{1, 3}));
  EXPECT_EQ(list.RateInfo[1].Value, 2.5);
  EXPECT_EQ(states(list.RateInfo[1]), (std::vector<uint32_t>{2}));
  EXPECT_EQ(list.RateInfo[2].Value, 7.0);
  EXPECT_EQ(states(list.RateInfo[2]), (std::vector<uint32_t>{5}));
  // The moved records still grow their state lists.
  for (int s = 10; s < 30; s++)
    list.insertEnablingState(s, 2.5);
  EXPECT_EQ(list.RateInfo[1].NumStates, 21u);
}

TEST(DeterministicListTest, EleventhStateDoublesStateList) {
  DeterministicList list;
  std::vector<uint32_t> expected;
  for (int s = 1; s <= 10; s++) {
    list.insertEnablingState(s, 3.0);
    expected.push_back(s);
  }
  EXPECT_EQ(list.RateInfo[0].StateCapacity, 10u);
  list.insertEnablingState(11, 3.0);
  expected.push_back(11);
  EXPECT_EQ(list.RateInfo[0].StateCapacity, 20u);
  EXPECT_EQ(list.RateInfo[0].Value, 3.0);
  EXPECT_EQ(states(list.RateInfo[0]), expected);
}

TEST(DeterministicListTest, ManyValuesAndStatesAcrossGrowthPoints) {
  DeterministicList list;
  const int values = 70, perValue = 45;
  for (int s = 1; s <= perValue; s++)
    for (int v = 0; v < values; v++)
      list.insertEnablingState(s * 100 + v, 0.5 * v);
  ASSERT_EQ(list.RateInfoSize, uint32_t(values));
  EXPECT_EQ(list.RateInfoCapacity, 128u);
  for (int v = 0; v < values; v++) {
    const RateInfoType& record = list.RateInfo[v];
    ASSERT_EQ(record.Value, 0.5 * v);
    ASSERT_EQ(record.NumStates, uint64_t(perValue));
    EXPECT_EQ(record.StateCapacity, 80u);
    for (int s = 1; s <= perValue; s++)
      ASSERT_EQ(record.States[s - 1], uint32_t(s * 100 + v));
  }
}

TEST(DeterministicListTest, ZeroCapacityListAndRecordStillGrow) {
  DeterministicList list(0);
  EXPECT_EQ(list.RateInfoCapacity, 0u);
  fillExample(list);
  list.insertEnablingState(4, 1.5);
  ASSERT_EQ(list.RateInfoSize, 3u);
  EXPECT_EQ(states(list.RateInfo[0]), (std::vector<uint32_t>{1, 3}));
  EXPECT_EQ(list.RateInfo[2].Value, 1.5);

  RateInfoType record(0, 4.0);
  for (int s = 1; s <= 5; s++)
    record.insertState(s);
  EXPECT_EQ(states(record), (std::vector<uint32_t>{1, 2, 3, 4, 5}));
  EXPECT_GE(record.StateCapacity, 5u);

  DeterministicList negative(-3);
  negative.insertEnablingState(9, 1.0);
  EXPECT_EQ(states(negative.RateInfo[0]), (std::vector<uint32_t>{9}));
}

TEST(DeterministicListTest, TextFileOfTheExample) {
  DeterministicList list;
  fillExample(list);
  EXPECT_EQ(written(list, TEXT_FILE), "2\n"
                                      "1.0000000000e+01\n1\n3\n0\n"
                                      "2.5000000000e+00\n2\n0\n");
}

TEST(DeterministicListTest, BinaryFileOfTheExample) {
  DeterministicList list;
  fillExample(list);
  std::string expected;
  appendInt(expected, 2);
  appendDouble(expected, 10.0);
  appendInt(expected, 1);
  appendInt(expected, 3);
  expected.append(2, '\0');
  appendDouble(expected, 2.5);
  appendInt(expected, 2);
  expected.append(2, '\0');
  const std::string bytes = written(list, BINARY_FILE);
  EXPECT_EQ(bytes.size(), 4u + 8 + 4 + 4 + 2 + 8 + 4 + 2);
  EXPECT_EQ(bytes, expected);
  // Every form other than text is binary.
  EXPECT_EQ(written(list, static_cast<OutputFileType>(3)), expected);
}

TEST(DeterministicListTest, BinaryFileReadsBack) {
  DeterministicList list;
  for (int s = 1; s <= 25; s++)
    list.insertEnablingState(s * 3, s % 3 == 0 ? 0.75 : 1e-9 * s);
  const std::string bytes = written(list, BINARY_FILE);
  size_t at = 0;
  auto take = [&](int width) {
    uint64_t value = 0;
    for (int i = 0; i < width; i++)
      value |= static_cast<uint64_t>(static_cast<unsigned char>(bytes.at(at + i))) << (8 * i);
    at += width;
    return value;
  };
  ASSERT_EQ(take(4), list.RateInfoSize);
  for (uint32_t r = 0; r < list.RateInfoSize; r++) {
    ASSERT_EQ(std::bit_cast<double>(take(8)), list.RateInfo[r].Value);
    for (uint64_t s = 0; s < list.RateInfo[r].NumStates; s++)
      ASSERT_EQ(take(4), list.RateInfo[r].States[s]);
    ASSERT_EQ(take(2), 0u);
  }
  EXPECT_EQ(at, bytes.size());
}

// State numbers have 32 bits: numbers past the signed range are written as
// the unsigned values they are.
TEST(DeterministicListTest, LargeStateNumbersAreWrittenWhole) {
  DeterministicList list;
  list.insertEnablingState(2147483648u, 1.0);
  list.insertEnablingState(4294967294u, 1.0);
  EXPECT_EQ(written(list, TEXT_FILE), "1\n1.0000000000e+00\n2147483648\n4294967294\n0\n");
  std::string expected;
  appendLittleEndian(expected, 1, 4);
  appendDouble(expected, 1.0);
  appendLittleEndian(expected, 2147483648u, 4);
  appendLittleEndian(expected, 4294967294u, 4);
  expected.append(2, '\0');
  EXPECT_EQ(written(list, BINARY_FILE), expected);
}

TEST(DeterministicListTest, EmptyListFiles) {
  DeterministicList list;
  EXPECT_EQ(written(list, TEXT_FILE), "0\n");
  EXPECT_EQ(written(list, BINARY_FILE), std::string(4, '\0'));
}

TEST(DeterministicListTest, PrintEnablingStatesListsEveryRecord) {
  DeterministicList list;
  fillExample(list);
  const std::string rule(35, '-');
  std::ostringstream expected;
  expected << rule << "\n"
           << "RateInfoSize = 2\nRateInfoCapacity = 2\nValue = 10\n[0] 1\n[1] 3\n"
           << "RateInfoSize = 2\nRateInfoCapacity = 2\nValue = 2.5\n[0] 2\n"
           << rule << "\n";
  ::testing::internal::CaptureStdout();
  list.printEnablingStates();
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), expected.str());
}
