// The state-marking file (--states): the columns of a state vector, the
// records written as the states are numbered in both generation methods,
// the removal of a file an earlier run left, and the counts a run reports.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "ssg/ProgressReport.h"
#include "ssg/RecordWriter.h"
#include "ssg/StateColumns.h"
#include "ssg/StateSpaceGen.h"
#include "tests/ssg/GenHarness.h"
#include "tests/ssg/SmallModels.h"

namespace {

// A reward model that keeps the last action's index in its state vector.
class IndexedPVModel : public PVModel {
public:
  explicit IndexedPVModel(SmallSAN* child) {
    ChildModel = child;
    DefineName("IndexedPV");
    UsePVStateIndex = 1;
    CreatePVList(0, false);
    Initialize();
  }
  PerformanceVariableNode* createPVNode(int, int) override { return nullptr; }
};

// A deterministic activity with its delay.
class DelayActivity : public FunctionActivity {
public:
  double Parameters[1];
  DelayActivity(const char* name, int groupId, double delay)
      : FunctionActivity(name, groupId, DETERMINISTIC), Parameters{delay} {}
  double* ReturnDistributionParameters() override { return Parameters; }
};

struct RunCounts {
  std::string out;
  uint64_t absorbing = 0, transitions = 0;
  std::vector<std::string> files;
};

RunCounts GenerateWith(PVModel* model, const ScratchDir& dir, bool states) {
  StateSpaceGen gen(model, dir.path.c_str(), "t", 0, 0.5, nullptr, nullptr, nullptr);
  gen.WriteStates = states;
  gen.InitializeTrace();
  testing::internal::CaptureStdout();
  gen.GenStateSpace();
  RunCounts run;
  run.out = testing::internal::GetCapturedStdout();
  run.absorbing = gen.AbsorbingStates;
  run.transitions = gen.TransitionsWritten;
  run.files = gen.FilesWritten;
  return run;
}

TEST(StateColumnsTest, PlacesInVectorOrderThenTheLastActionIndex) {
  auto* san = new SmallSAN;
  san->add("Queue", 3);
  san->add("a,b", -2); // a comma would break the line's syntax
  san->move("go", 0, 3, 4, 1.0);
  san->finish();
  IndexedPVModel model(san);
  StateColumns columns = StateColumns::Of(model);
  EXPECT_EQ(columns.header(), "(Queue,a_b,LastAction)");
  ASSERT_EQ(columns.columns().size(), 3u);
  EXPECT_EQ(columns.columns()[2].Offset, 4u);
  EXPECT_EQ(columns.stateSize(), 5u);

  // The vector: Queue = 300, a,b = -2 (host order), index 1 (big-endian).
  char state[5];
  const short queue = 300, ab = -2;
  std::memcpy(state, &queue, 2);
  std::memcpy(state + 2, &ab, 2);
  state[4] = 1;
  ScratchDir dir;
  RecordWriter out;
  ASSERT_TRUE(out.open(dir.file("c").c_str()));
  columns.format(state, out);
  out.close();
  EXPECT_EQ(ReadFile(dir.file("c")), "300,-2,1");
}

TEST(StaWriterTest, NormalMethodWritesEveryStableStateInNumberOrder) {
  // p: 0 -> 5 (rate 1), where the instantaneous "hop" moves on to 1 at once;
  // 1 -> 2 (rate 2); 2 is absorbing. q counts the hops. The vanishing
  // marking p = 5 is never numbered.
  auto* san = new SmallSAN;
  const int p = san->add("p", 0);
  const int q = san->add("q", 7);
  san->move("a", p, 0, 5, 1.0);
  FunctionActivity* hop = san->activity("hop", INSTANTANEOUS);
  hop->enabled = [san, p] { return san->mark(p) == 5; };
  hop->fire = [san, p, q] {
    san->mark(p) = 1;
    san->mark(q) += 1;
  };
  san->move("b", p, 1, 2, 2.0);
  san->finish();
  SmallPVModel model(san);
  ScratchDir dir;
  RunCounts run = GenerateWith(&model, dir, true);
  EXPECT_EQ(ReadFile(dir.file("t.sta")), "(p,q)\n1:(0,7)\n2:(1,8)\n3:(2,8)\n");
  EXPECT_EQ(run.absorbing, 1u);
  EXPECT_EQ(run.transitions, 2u);
  EXPECT_EQ(run.files,
            (std::vector<std::string>{dir.file("t.pvtype"), dir.file("t.arm"), dir.file("t.var"),
                                      dir.file("t.rew"), dir.file("t.sta")}));
}

TEST(StaWriterTest, DeterministicMethodWritesTheMarkingsToo) {
  auto* san = new SmallSAN;
  const int x = san->add("X", 0);
  san->move("arrive", x, 0, 1, 0.5);
  auto* serve = new DelayActivity("serve", 1, 1.0);
  serve->enabled = [san, x] { return san->mark(x) == 1; };
  serve->fire = [san, x] { san->mark(x) = 0; };
  san->activities.push_back(serve);
  san->finish();
  SmallPVModel model(san);
  ScratchDir dir;
  RunCounts run = GenerateWith(&model, dir, true);
  EXPECT_EQ(ReadFile(dir.file("t.sta")), "(X)\n1:(0)\n2:(1)\n");
  EXPECT_EQ(run.files.back(), dir.file("t.det"));
  EXPECT_EQ(run.absorbing, 0u);
}

TEST(StaWriterTest, ARunWithoutStatesRemovesTheFileOfAnEarlierRun) {
  ScratchDir dir;
  for (bool states : {true, false}) {
    auto* san = new SmallSAN;
    san->add("p", 0);
    san->finish();
    SmallPVModel model(san);
    RunCounts run = GenerateWith(&model, dir, states);
    EXPECT_EQ(std::filesystem::exists(dir.file("t.sta")), states);
    EXPECT_EQ(run.files.size(), states ? 5u : 4u);
  }
}

// An Erlang activity's phase is part of the stored state, so it is a
// column: Erlang(1, 2) moving two tokens from A to B numbers (A, B, phase)
// as (2,0,1), (2,0,2), (1,1,1), (1,1,2), (0,2,1), the last in phase 1
// because the activity is no longer enabled. Without the column, states 1
// and 2 (and 3 and 4) would print alike.
TEST(StaWriterTest, ErlangPhasesFollowThePlaces) {
  auto* san = new SmallSAN;
  const int a = san->add("A", 2);
  const int b = san->add("B", 0);
  auto* e = san->activity("e", ERLANG);
  e->phases = 2;
  e->rate = [] { return 1.0; };
  e->enabled = [san, a] { return san->mark(a) > 0; };
  e->fire = [san, a, b] {
    san->mark(a)--;
    san->mark(b)++;
  };
  san->finish();
  SmallPVModel model(san);
  ScratchDir dir;
  RunCounts run = GenerateWith(&model, dir, true);
  EXPECT_EQ(ReadFile(dir.file("t.sta")),
            "(A,B,phase(e))\n1:(2,0,1)\n2:(2,0,2)\n3:(1,1,1)\n4:(1,1,2)\n5:(0,2,1)\n");
  EXPECT_EQ(run.absorbing, 1u);
  EXPECT_EQ(run.transitions, 4u);
}

// The solver takes a chain with a .det file beside it for one with
// deterministic delays: a run whose model has none removes the file an
// earlier run of a deterministic model left under the same name, whatever
// its method (exponential actions, or no actions at all).
TEST(StaWriterTest, ARunWithoutDeterministicActivitiesRemovesAnEarlierDetFile) {
  ScratchDir dir;
  for (bool withActions : {true, false}) {
    {
      auto* san = new SmallSAN;
      const int x = san->add("X", 0);
      auto* serve = new DelayActivity("serve", 0, 1.0);
      serve->enabled = [san, x] { return san->mark(x) == 0; };
      serve->fire = [san, x] { san->mark(x) = 1; };
      san->activities.push_back(serve);
      san->finish();
      SmallPVModel model(san);
      GenerateWith(&model, dir, false);
    }
    ASSERT_TRUE(std::filesystem::exists(dir.file("t.det")));
    auto* san = new SmallSAN;
    const int x = san->add("X", 0);
    if (withActions)
      san->move("arrive", x, 0, 1, 0.5);
    san->finish();
    SmallPVModel model(san);
    RunCounts run = GenerateWith(&model, dir, false);
    EXPECT_FALSE(std::filesystem::exists(dir.file("t.det"))) << withActions;
    EXPECT_EQ(std::count(run.files.begin(), run.files.end(), dir.file("t.det")), 0);
  }
}

TEST(ProgressReportTest, LineAndOneLinePerReportOffATerminal) {
  EXPECT_EQ(ProgressReport::Line(3000, 1000, 1000, 0.5, 3 << 20),
            "states numbered 3000, waiting 2000, 4000 states/s, memory 3.0 MiB");
  EXPECT_GT(ProgressReport::ResidentBytes(), 0u);
  std::FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  {
    ProgressReport progress(true, file);
    EXPECT_FALSE(progress.due()); // not within the first second
    progress.report(10, 4);
    progress.report(20, 20);
  }
  std::rewind(file);
  char text[512] = {};
  const std::size_t n = std::fread(text, 1, sizeof text - 1, file);
  std::fclose(file);
  const std::string written(text, n);
  EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 2) << written;
  EXPECT_EQ(written.rfind("states numbered 10, waiting 6, ", 0), 0u) << written;
  EXPECT_NE(written.find("\nstates numbered 20, waiting 0, "), std::string::npos) << written;
  EXPECT_EQ(written.find('\r'), std::string::npos);
}

} // namespace
