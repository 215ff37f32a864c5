#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "ssg/RecordWriter.h"
#include "tests/ssg/GenHarness.h"

namespace {

const double Samples[] = {0.0,
                          -0.0,
                          1.0,
                          0.1,
                          0.75,
                          1.0 / 3.0,
                          2.0 / 3.0,
                          123456.5,
                          999999.5,
                          1e-5,
                          0.0001,
                          1e100,
                          -2.5e-300,
                          5e-324,
                          std::numeric_limits<double>::max(),
                          std::numeric_limits<double>::infinity(),
                          -std::numeric_limits<double>::infinity(),
                          0.30000000000000004,
                          9.99999999995e-3};

std::string Printf(const char* format, double value) {
  char text[128];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

TEST(RecordWriterTest, NumbersMatchTheCFormattedOutput) {
  ScratchDir dir;
  std::string name = dir.file("w");
  std::string expected;
  {
    RecordWriter writer;
    ASSERT_TRUE(writer.open(name.c_str()));
    for (double v : Samples) {
      writer.putScientific(v);
      writer.putChar(' ');
      writer.putGeneral(v);
      writer.putChar('\n');
      expected += Printf("%.10e", v) + " " + Printf("%g", v) + "\n";
    }
    writer.putUnsigned(18446744073709551615ull);
    writer.putChar(' ');
    writer.putSigned(-9223372036854775807ll - 1);
    expected += "18446744073709551615 -9223372036854775808";
    writer.close();
  }
  EXPECT_EQ(ReadFile(name), expected);
}

// Repeated numbers come from the writer's cache of formatted texts: values
// that share a cache slot, -0.0 beside 0.0, and repeats far apart must still
// print exactly as the C formatted output does.
TEST(RecordWriterTest, RepeatedAndCollidingNumbersPrintExactly) {
  ScratchDir dir;
  std::string name = dir.file("w");
  std::string expected;
  std::vector<double> values;
  values.reserve(3000);
  std::mt19937_64 random(7);
  for (int i = 0; i < 3000; i++)
    values.push_back(std::ldexp(static_cast<double>(random() >> 11), -40 + int(random() % 80)) *
                     ((random() & 1) ? 1.0 : -1.0));
  for (double v : Samples)
    values.push_back(v);
  {
    RecordWriter writer;
    ASSERT_TRUE(writer.open(name.c_str()));
    for (int round = 0; round < 3; round++) {
      for (std::size_t i = 0; i < values.size(); i++) {
        // Walk the values in a different order each round.
        double v = values[(i * (2 * round + 1)) % values.size()];
        writer.putScientific(v);
        writer.putChar(' ');
        writer.putGeneral(v);
        writer.putChar('\n');
        expected += Printf("%.10e", v) + " " + Printf("%g", v) + "\n";
      }
    }
    writer.close();
  }
  EXPECT_EQ(ReadFile(name), expected);
}

TEST(RecordWriterTest, RewindOverwritesTheReservedHeader) {
  ScratchDir dir;
  std::string name = dir.file("w");
  RecordWriter writer;
  ASSERT_TRUE(writer.open(name.c_str()));
  writer.putText("1\n          \nbody\n");
  writer.rewind();
  writer.putText("1\n42\n");
  writer.close();
  // "1\n42\n" covers the type line and the first three of the ten blanks.
  EXPECT_EQ(ReadFile(name), "1\n42\n" + std::string(7, ' ') + "\nbody\n");
}

// The deterministic method's .arm header reserves 8 characters for the state
// count. A count that fits is written over the blanks; a longer one (10 and
// 12 digits here) moves every byte after the header, across several buffers
// of the writer.
TEST(RecordWriterTest, HeaderLongerThanItsReservedBytesMovesTheRecords) {
  ScratchDir dir;
  const std::string reserved = "1\n" + std::string(8, ' ') + "\n";
  std::string body;
  for (unsigned i = 0; body.size() < 3 * 256 * 1024 + 1234; i++)
    body += std::to_string(i * 7919u) + "\n";
  for (const std::string count : {"99999999", "4294967294", "123456789012"}) {
    std::string name = dir.file("w" + count);
    RecordWriter writer;
    ASSERT_TRUE(writer.open(name.c_str()));
    writer.putText(reserved);
    writer.putText(body);
    const std::string header = "1\n" + count + "\n";
    writer.overwriteStart(header, reserved.size());
    writer.putText("end\n"); // writing goes on at the end
    writer.close();
    const std::string remaining =
        header.size() < reserved.size() ? reserved.substr(header.size()) : "";
    EXPECT_EQ(ReadFile(name), header + remaining + body + "end\n") << count;
  }
  // A shorter count keeps the remaining blanks.
  std::string name = dir.file("short");
  RecordWriter writer;
  ASSERT_TRUE(writer.open(name.c_str()));
  writer.putText(reserved + "1\n0\n");
  writer.overwriteStart("1\n1\n", reserved.size());
  writer.close();
  EXPECT_EQ(ReadFile(name), "1\n1\n" + std::string(6, ' ') + "\n1\n0\n");
}

TEST(RecordWriterTest, LongOutputCrossesTheBufferIntact) {
  ScratchDir dir;
  std::string name = dir.file("w");
  std::string expected;
  RecordWriter writer;
  ASSERT_TRUE(writer.open(name.c_str()));
  for (unsigned i = 0; i < 100000; i++) {
    writer.putUnsignedLine(i);
    expected += std::to_string(i) + "\n";
  }
  std::string block(300000, 'x');
  writer.putText(block);
  expected += block;
  writer.close();
  EXPECT_EQ(ReadFile(name), expected);
}

} // namespace
