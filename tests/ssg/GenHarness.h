#ifndef TESTS_SSG_GENHARNESS_H
#define TESTS_SSG_GENHARNESS_H

// Running the generator on a small model into a scratch directory, and
// reading its .arm file back.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "ssg/StateSpaceGen.h"
#include "tests/ssg/SmallModels.h"

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// A fresh directory, removed with its contents at the end of the test. Its
// path ends in '/', ready to be an output prefix.
struct ScratchDir {
  std::string path;
  ScratchDir() {
    char name[] = "/tmp/ssg_test_XXXXXX";
    char* made = mkdtemp(name);
    EXPECT_NE(made, nullptr);
    path = std::string(made ? made : "/tmp") + "/";
  }
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
  std::string file(const std::string& name) const { return path + name; }
};

// "%.10e": the notation of rates in the .arm file.
inline std::string Sci(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.10e", value);
  return text;
}

// The records of an .arm file: state -> (target -> rate text), in file order.
struct ArmContents {
  std::string typeLine;
  unsigned long count = 0;
  std::vector<unsigned long> states;
  std::map<unsigned long, std::vector<std::pair<unsigned long, std::string>>> transitions;
};

// Parses an .arm file, checking its layout on the way: the 66-byte header
// and records ending in 0.
inline ArmContents ParseArm(const std::string& text) {
  ArmContents arm;
  EXPECT_GE(text.size(), 66u);
  if (text.size() < 66)
    return arm;
  std::string header = text.substr(0, 66);
  std::istringstream h(header);
  std::string countLine, blanks;
  std::getline(h, arm.typeLine);
  std::getline(h, countLine);
  std::getline(h, blanks);
  arm.count = std::stoul(countLine);
  EXPECT_EQ(blanks, std::string(62 - countLine.size(), ' '));
  EXPECT_EQ(header.back(), '\n');

  std::istringstream body(text.substr(66));
  std::string line;
  while (std::getline(body, line)) {
    unsigned long state = std::stoul(line);
    arm.states.push_back(state);
    auto& list = arm.transitions[state];
    for (;;) {
      std::string target, rate;
      if (!std::getline(body, target)) {
        ADD_FAILURE() << "record of state " << state << " is not terminated";
        return arm;
      }
      if (target == "0")
        break;
      std::getline(body, rate);
      list.emplace_back(std::stoul(target), rate);
    }
  }
  return arm;
}

// Runs the whole generation of `model` into dir with experiment name "t".
// Returns standard output.
inline std::string Generate(PVModel* model, const ScratchDir& dir, short absorbFlag = 0,
                            short fileType = 1) {
  StateSpaceGen gen(model, dir.path.c_str(), "t", absorbFlag, 0.5, nullptr, nullptr, nullptr);
  gen.FileType = fileType;
  gen.TraceLevel = 0;
  gen.InitializeTrace();
  testing::internal::CaptureStdout();
  gen.GenStateSpace();
  return testing::internal::GetCapturedStdout();
}

#endif
