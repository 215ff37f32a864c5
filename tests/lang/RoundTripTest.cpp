// The whole way from a model file to its files: the complete example of
// docs/language.md is compiled with ssg-compile, its C++ is built with the
// C++ compiler and flags of this build (warnings as errors), the executable
// runs, and its .arm, .var and .pvtype files must equal, byte for byte,
// files built here from the model's definition by an exploration of our own.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "../driver/Subprocess.h"

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// The fenced block of the section "A complete example".
std::string DocumentedExample() {
  const std::string doc = ReadFile(fs::path(SSG_SOURCE_DIR) / "docs" / "language.md");
  const size_t section = doc.find("## A complete example");
  const size_t open = doc.find("```san\n", section);
  const size_t close = doc.find("\n```", open + 7);
  if (section == std::string::npos || open == std::string::npos || close == std::string::npos)
    return "";
  return doc.substr(open + 7, close - open - 7 + 1);
}

struct Scratch {
  fs::path dir;
  Scratch() {
    char name[] = "/tmp/lang_roundtrip_XXXXXX";
    const char* made = mkdtemp(name);
    dir = made != nullptr ? made : "/tmp/lang_roundtrip";
  }
  ~Scratch() {
    std::error_code ignored;
    fs::remove_all(dir, ignored);
  }
};

std::string Sci(double x) {
  char text[64];
  std::snprintf(text, sizeof text, "%.10e", x);
  return text;
}

std::string General(double x) {
  char text[64];
  std::snprintf(text, sizeof text, "%g", x);
  return text;
}

// The example's semantics, written directly: markings (Thinking, Ready,
// Queue1, Queue2); timed activities Think, Serve1, Serve2 in that order; a
// marking with Ready > 0 is vanishing and splits 2 : 1 between To1 and To2.
// States are numbered breadth-first as the generator numbers them (a state
// found for the first time gets the next number; after a timed firing the
// instantaneous branches are followed in activity order), and each new
// state's rewards are those after the firing that led to it: Completions
// earns 1 when that firing was a service.
struct Reference {
  struct Marking {
    int thinking, ready, q1, q2;
    bool operator<(const Marking& o) const {
      return std::tie(thinking, ready, q1, q2) < std::tie(o.thinking, o.ready, o.q1, o.q2);
    }
  };
  std::vector<Marking> states;
  std::vector<double> impulse; // Completions' impulse when numbered
  std::vector<std::map<unsigned, double>> records;
  std::map<Marking, unsigned> numbers;

  unsigned number(const Marking& m, double completion) {
    auto [it, added] = numbers.emplace(m, static_cast<unsigned>(states.size() + 1));
    if (added) {
      states.push_back(m);
      impulse.push_back(completion);
      records.emplace_back();
    }
    return it->second;
  }

  explicit Reference(int jobs) {
    const double think = 0.5;
    number({jobs, 0, 0, 0}, 0.0);
    for (size_t n = 0; n < states.size(); n++) {
      const Marking m = states[n];
      if (m.thinking > 0) {
        const double rate = think * m.thinking;
        Marking a = m, b = m;
        a.thinking--, b.thinking--;
        a.q1++; // To1, weight 2
        b.q2++; // To2, weight 1
        const unsigned first = number(a, 0.0), second = number(b, 0.0);
        records[n][first] += rate * (2.0 / 3.0);
        records[n][second] += rate * (1.0 / 3.0);
      }
      if (m.q1 > 0) {
        Marking a = m;
        a.q1--, a.thinking++;
        const unsigned target = number(a, 1.0);
        records[n][target] += 1.0;
      }
      if (m.q2 > 0) {
        Marking a = m;
        a.q2--, a.thinking++;
        const unsigned target = number(a, 1.0);
        records[n][target] += 2.5;
      }
    }
  }

  std::string arm() const {
    const std::string count = std::to_string(states.size());
    std::string out = "1\n" + count + "\n" + std::string(63 - count.size() - 1, ' ') + "\n";
    for (size_t n = 0; n < states.size(); n++) {
      out += std::to_string(n + 1) + "\n";
      for (const auto& [target, rate] : records[n])
        out += std::to_string(target) + "\n" + Sci(rate) + "\n";
      out += "0\n";
    }
    return out;
  }

  // Throughput = rate(Serve1) + rate(Serve2), Waiting2 = Queue2,
  // Completions = impulses only.
  std::string var() const {
    std::string out = "Throughput\nWaiting2\nCompletions\n";
    for (size_t n = 0; n < states.size(); n++) {
      const Marking& m = states[n];
      const double throughput = (m.q1 > 0 ? 1.0 : 0.0) + (m.q2 > 0 ? 2.5 : 0.0);
      out += std::to_string(n + 1) + "\n";
      out += "0\n" + General(throughput) + "\n";
      out += "0\n" + General(m.q2) + "\n";
      out += General(impulse[n]) + "\n0\n";
    }
    return out;
  }
};

const char* const ExpectedPvtype = "Version:1\nNumPV:3\n"
                                   "Name:Throughput\nType:3\nNumTimes:1\nStart:0\nStop:1\n"
                                   "Name:Waiting2\nType:0\nNumTimes:2\nStart:1\nStop:1\n"
                                   "Start:10\nStop:10\n"
                                   "Name:Completions\nType:3\nNumTimes:1\nStart:0\nStop:1\n";

} // namespace

TEST(RoundTripTest, DocumentedExampleCompilesBuildsAndRunsToTheExpectedChain) {
  const std::string model = DocumentedExample();
  ASSERT_FALSE(model.empty()) << "no example in docs/language.md";
  Scratch scratch;
  const fs::path source = scratch.dir / "dispatch.san";
  std::ofstream(source) << model;

  // Model file -> C++.
  const fs::path generated = scratch.dir / "gen";
  RunResult compiled =
      RunProgram(SSG_BINARY_DIR "/ssg-compile", {source.string(), "-o", generated.string()});
  ASSERT_EQ(compiled.status, 0) << compiled.err;
  EXPECT_EQ(compiled.err, "");

  // C++ -> executable, with this build's compiler and sanitizers.
  const fs::path exe = scratch.dir / "gen-dispatch";
  std::string command = std::string(SSG_CXX) + " " + SSG_CXX_FLAGS + " -Wall -Wextra -Werror -I" +
                        SSG_SOURCE_DIR + " -I" + generated.string();
  for (const char* f : {"SAN.cpp", "RewardPVModel.cpp", "RewardPVNodes.cpp", "Study.cpp"})
    command += " " + (generated / f).string();
  command += std::string(" ") + SSG_SOURCE_DIR + "/driver/main.cpp " + SSG_LIBS + " -o " +
             exe.string() + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string buildOutput;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
    buildOutput.append(buffer, n);
  ASSERT_EQ(pclose(pipe), 0) << command << "\n" << buildOutput;

  // Executable -> chain, for C = 1, 2, 3.
  for (int experiment = 0; experiment < 3; experiment++) {
    SCOPED_TRACE("experiment " + std::to_string(experiment));
    const std::string name = "d" + std::to_string(experiment);
    RunResult run = RunProgram(exe.string(), {"-P" + scratch.dir.string() + "/", "-N" + name,
                                              "-B" + std::to_string(experiment)});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("C\tint\t" + std::to_string(experiment + 1) + "\n"), std::string::npos)
        << run.out;
    const Reference expected(experiment + 1);
    EXPECT_EQ(ReadFile(scratch.dir / (name + ".arm")), expected.arm());
    EXPECT_EQ(ReadFile(scratch.dir / (name + ".var")), expected.var());
    EXPECT_EQ(ReadFile(scratch.dir / (name + ".pvtype")), ExpectedPvtype);
  }
}
