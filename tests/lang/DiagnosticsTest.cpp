// How errors are shown: file:line:column, the source line, a caret under the
// column, notes, source order, one message per position, and the limit.

#include <gtest/gtest.h>

#include <string>

#include "LangTestSupport.h"
#include "lang/Diagnostics.h"

using namespace lang;

TEST(DiagnosticsTest, ErrorShowsTheLineWithACaretUnderTheName) {
  Compiled c = CompileText("model M\nplace Pm4\n"
                           "activity A exponential(1) {\n  Pm5 += 1\n}\n",
                           "model.san");
  EXPECT_EQ(c.rendered(), "model.san:4:3: error: unknown place 'Pm5'; did you mean 'Pm4'?\n"
                          "   4 |   Pm5 += 1\n"
                          "     |   ^~~\n");
}

TEST(DiagnosticsTest, CaretFollowsTabsAndNotesFollowTheirError) {
  Compiled c = CompileText("model M\nplace P\n\tplace\tP\n", "m.san");
  EXPECT_EQ(c.rendered(), "m.san:3:8: error: 'P' is already declared, as a place\n"
                          "   3 | \tplace\tP\n"
                          "     | \t     \t^\n"
                          "m.san:2:7: note: 'P' is first declared here\n"
                          "   2 | place P\n"
                          "     |       ^\n");
}

TEST(DiagnosticsTest, MessagesComeInSourceOrderOncePerPosition) {
  SourceFile file("f.san", "a\nb\nc\n");
  Diagnostics d(file);
  SourceLocation l3{3, 1, 1, nullptr}, l1{1, 1, 1, nullptr};
  d.error(l3, "third");
  d.error(l1, "first");
  d.error(l1, "first again");
  d.note(l1, "dropped with its duplicate error");
  ASSERT_EQ(d.errorCount(), 2);
  auto m = d.sorted();
  EXPECT_EQ(m[0].text, "first");
  EXPECT_TRUE(m[0].notes.empty());
  EXPECT_EQ(m[1].text, "third");
}

TEST(DiagnosticsTest, StopsAfterTheLimit) {
  std::string text = "model M\nplace P\n";
  for (int i = 0; i < 15; i++)
    text += "place P\n";
  SourceFile file("f.san", text);
  Diagnostics d(file, 3);
  Compiler::Check(file, d);
  EXPECT_EQ(d.errorCount(), 15);
  const std::string out = d.render();
  EXPECT_NE(out.find("f.san:5:7: error"), std::string::npos);
  EXPECT_EQ(out.find("f.san:6:7: error"), std::string::npos);
  EXPECT_NE(out.find("f.san: too many errors (15); stopping after the first 3\n"),
            std::string::npos)
      << out;
}
