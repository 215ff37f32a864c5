// ssg-solve's progress: once a second on a terminal, sparse in a log.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

#include "solver/Progress.h"

namespace {

TEST(ProgressTest, ALogGetsALineEveryThirtySecondsATerminalEverySecond) {
  std::FILE* log = std::tmpfile();
  ASSERT_NE(log, nullptr);
  // A pseudo-terminal stands for the user's terminal.
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  std::FILE* terminal = std::fopen(ptsname(master), "w");
  ASSERT_NE(terminal, nullptr);

  Progress toLog(true, log);
  Progress toTerminal(true, terminal);
  EXPECT_EQ(toLog.interval(), std::chrono::seconds(30));
  EXPECT_EQ(toTerminal.interval(), std::chrono::seconds(1));
  EXPECT_FALSE(toLog.due());
  EXPECT_FALSE(toTerminal.due());
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  EXPECT_FALSE(toLog.due()); // a second later: still nothing in the log
  EXPECT_TRUE(toTerminal.due());
  EXPECT_FALSE(toTerminal.due()); // and not again within the second

  Progress disabled(false, terminal);
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  EXPECT_FALSE(disabled.due());
  std::fclose(terminal);
  close(master);
  std::fclose(log);
}

} // namespace
