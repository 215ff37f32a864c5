// The study table: its axis for a plot, its cells without values and
// whether it is complete.

#include <gtest/gtest.h>

#include <sstream>

#include "study/StudyPlot.h"
#include "study/StudyTable.h"

namespace {

StudyDatabase::Experiment Done(int number, std::vector<std::pair<std::string, std::string>> globals,
                               std::optional<double> value) {
  StudyDatabase::Experiment e;
  e.Number = number;
  e.Status = "done";
  e.SolveStatus = value ? "completed" : "not converged";
  e.Globals = std::move(globals);
  StudyDatabase::Value v;
  v.Variable = "X";
  v.Type = "steady-state";
  v.Number = value;
  e.Values.push_back(v);
  return e;
}

TEST(StudyTableTest, AxisIsTheOneNumericVariableThatChanges) {
  StudyTable one({Done(0, {{"K", "5"}, {"d", "1"}}, 0.5), Done(1, {{"K", "20"}, {"d", "1"}}, 0.7)});
  EXPECT_EQ(one.xLabel(), "K");
  std::vector<StudyTable::Series> s = one.series();
  ASSERT_EQ(s.size(), 1u);
  EXPECT_EQ(s[0].Points, (std::vector<std::pair<double, double>>{{5, 0.5}, {20, 0.7}}));

  StudyTable two({Done(0, {{"K", "5"}, {"d", "1"}}, 0.5), Done(3, {{"K", "20"}, {"d", "2"}}, 0.7)});
  EXPECT_EQ(two.xLabel(), "experiment");
  EXPECT_EQ(two.series()[0].Points, (std::vector<std::pair<double, double>>{{0, 0.5}, {3, 0.7}}));
  StudyTable none({Done(0, {{"K", "5"}}, 0.5), Done(1, {{"K", "5"}}, 0.7)});
  EXPECT_EQ(none.xLabel(), "experiment");
  StudyTable text({Done(0, {{"c", "a"}}, 0.5), Done(1, {{"c", "b"}}, 0.7)});
  EXPECT_EQ(text.xLabel(), "experiment");
}

TEST(StudyTableTest, MissingValuesSayWhyAndMakeTheTableIncomplete) {
  StudyTable complete({Done(0, {}, 0.5)});
  EXPECT_TRUE(complete.complete());
  StudyTable missing({Done(0, {}, 0.5), Done(1, {}, std::nullopt)});
  EXPECT_FALSE(missing.complete());
  std::ostringstream out;
  missing.print(out);
  EXPECT_NE(out.str().find("\n1    -       -            -      -        not converged  not "
                           "converged\n"),
            std::string::npos)
      << out.str();
  EXPECT_TRUE(missing.series()[0].Points.size() == 1);

  StudyDatabase::Value interval;
  interval.Variable = "Up";
  interval.Type = "time-averaged interval";
  interval.Start = 0;
  interval.Stop = 2.5;
  EXPECT_EQ(StudyTable::MeasureName(interval), "avg Up[0,2.5]");
  interval.Type = "instant-of-time";
  EXPECT_EQ(StudyTable::MeasureName(interval), "Up@0");
}

TEST(StudyTableTest, PlotTitleValuesAndProbabilityAxesThatStopAtOne) {
  StudyTable table({Done(0, {{"K", "5"}, {"d", "1"}, {"e", "2"}}, 0.5),
                    Done(1, {{"K", "20"}, {"d", "1"}, {"e", "3"}}, 1.0)});
  // The values every experiment shares, for the title.
  EXPECT_EQ(table.fixedValues(), "d=1");
  EXPECT_EQ(StudyTable({}).fixedValues(), "");
  // 0.5 to 1: padded by a tenth of the span, but not past 1.
  const std::string script = StudyPlot::Script("p.png", "m (d=1)", table);
  EXPECT_NE(script.find("set yrange [0.45:1]\n"), std::string::npos) << script;
  EXPECT_NE(script.find("title 'm (d=1)'"), std::string::npos) << script;
  // A measure beyond 1 is scaled by gnuplot; a constant probability gets a
  // small band below it.
  const std::string large = StudyPlot::Script(
      "p.png", "m", StudyTable({Done(0, {{"K", "5"}}, 2.0), Done(1, {{"K", "6"}}, 3.0)}));
  EXPECT_NE(large.find("set autoscale y\n"), std::string::npos) << large;
  EXPECT_EQ(large.find("set yrange"), std::string::npos);
  const std::string constant = StudyPlot::Script(
      "p.png", "m", StudyTable({Done(0, {{"K", "5"}}, 1.0), Done(1, {{"K", "6"}}, 1.0)}));
  EXPECT_NE(constant.find("set yrange [0.95:1]\n"), std::string::npos) << constant;
}

} // namespace

namespace {

TEST(StudyTableTest, NotedValuesAreMarkedListedAndCarriedIntoThePlotTitles) {
  StudyDatabase::Experiment e = Done(0, {{"K", "1"}}, 0.5);
  e.Values[0].Note = "input rounded to 6 significant digits (no .rew file)";
  StudyDatabase::Value rate;
  rate.Variable = "X";
  rate.Type = "impulse-rate";
  rate.Number = 0.25;
  rate.Note = e.Values[0].Note;
  e.Values.push_back(rate);
  StudyDatabase::Experiment clean = Done(1, {{"K", "2"}}, 0.75);
  rate.Number = 0.125;
  rate.Note.clear();
  clean.Values.push_back(rate);
  StudyTable table({e, clean});
  EXPECT_TRUE(table.complete()); // a value with a note is a value
  std::ostringstream out;
  table.print(out);
  // The last three fields of each experiment's line.
  auto tail = [&](const std::string& head) {
    const std::size_t at = out.str().find("\n" + head);
    std::istringstream line(out.str().substr(at + 1, out.str().find('\n', at + 1) - at - 1));
    std::vector<std::string> fields;
    for (std::string f; line >> f;)
      fields.push_back(f);
    return std::vector<std::string>(fields.end() - 3, fields.end());
  };
  EXPECT_EQ(tail("0 "), (std::vector<std::string>{"0.5*", "0.25*", "ok"})) << out.str();
  EXPECT_EQ(tail("1 "), (std::vector<std::string>{"0.75", "0.125", "ok"})) << out.str();
  EXPECT_NE(out.str().find("\nexperiment 0: * X, X/time: input rounded to 6 significant digits "
                           "(no .rew file)\n"),
            std::string::npos)
      << out.str();
  std::vector<StudyTable::Series> series = table.series();
  ASSERT_EQ(series.size(), 2u);
  EXPECT_EQ(series[0].Measure, "X");
  EXPECT_EQ(series[0].Note, "input rounded to 6 significant digits (no .rew file)");
  EXPECT_EQ(series[1].Measure, "X/time");
}

} // namespace
