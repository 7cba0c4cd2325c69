#include "service/service_text.h"

#include <gtest/gtest.h>

#include "core/args.h"

namespace vexlo {
namespace {

TEST(DependencyList, SkipsEmptyPiecesAndKeepsTheRestAsItIs) {
  EXPECT_EQ(DependencyList(",Tcpip,,Afd,"), std::string("Tcpip\0Afd\0\0", 11));
  EXPECT_EQ(DependencyList("Tcpip"), std::string("Tcpip\0\0", 7));
  EXPECT_EQ(DependencyList(" Tcpip , Afd"), std::string(" Tcpip \0 Afd\0\0", 14));  // no trimming
  EXPECT_EQ(DependencyList(""), "");
  EXPECT_EQ(DependencyList(",,,"), "");
}

TEST(RegisteredBinaryPath, QuotesPathsWithSpaces) {
  EXPECT_EQ(RegisteredBinaryPath("C:\\apps\\svc.exe"), "C:\\apps\\svc.exe");
  EXPECT_EQ(RegisteredBinaryPath("C:\\Program Files\\x\\svc.exe"), "\"C:\\Program Files\\x\\svc.exe\"");
}

// Rights granted on the executable's folder or above it would reach the
// executable; folders below it, and beside it, take them.
TEST(MayGrantFolder, NeverTheExecutablesFolderOrAbove) {
  const std::string executable_directory = "C:\\Apps\\My Svc\\";
  for (const char* folder : {"C:\\Apps\\My Svc", "c:\\apps\\my svc\\", "C:\\Apps", "C:\\APPS\\", "C:\\", "C:"}) {
    EXPECT_FALSE(MayGrantFolder(folder, executable_directory)) << folder;
  }
  for (const char* folder : {"C:\\Apps\\My Svc\\logs", "C:\\Apps\\My Svc2", "C:\\Apps\\My Sv", "C:\\Apps\\Other",
                             "D:\\Apps\\My Svc", "C:\\Apps\\My Svc\\logs\\app"}) {
    EXPECT_TRUE(MayGrantFolder(folder, executable_directory)) << folder;
  }
  EXPECT_FALSE(MayGrantFolder("C:\\Apps\\My Svc", "C:\\Apps\\My Svc"));  // without the trailing backslash
}

TEST(UnsupportedSetting, TheAnswersOfAManagerThatDoesNotKnowIt) {
  for (uint32_t error : {0u, 50u, 120u, 124u}) EXPECT_TRUE(UnsupportedSetting(error)) << error;
  for (uint32_t error : {5u, 87u, 1057u, 1072u}) EXPECT_FALSE(UnsupportedSetting(error)) << error;
}

// The start check: running counts from when it is first seen; a stop ends
// the watch as a failure; a pending state waits while its check point moves.
TEST(WatchStart, RunningForTheCheckOrStoppedBeforeIt) {
  struct Step {
    uint32_t state, check_point, wait_hint;
    uint64_t now;
    StartWatch expected;
  };
  const struct {
    const char* name;
    std::vector<Step> steps;
  } cases[] = {
      {"runs through the check",
       {{4, 0, 50000, 1000, StartWatch::kWatching}, {4, 0, 50000, 3999, StartWatch::kWatching},
        {4, 0, 50000, 4000, StartWatch::kRunning}}},
      {"start pending first, then the check from running",
       {{2, 1, 2000, 0, StartWatch::kWatching}, {2, 2, 2000, 1500, StartWatch::kWatching},
        {2, 3, 2000, 3000, StartWatch::kWatching}, {4, 0, 0, 4000, StartWatch::kWatching},
        {4, 0, 0, 6999, StartWatch::kWatching}, {4, 0, 0, 7000, StartWatch::kRunning}}},
      {"the child fails within the check",
       {{4, 0, 50000, 0, StartWatch::kWatching}, {1, 0, 0, 2999, StartWatch::kStopped}}},
      {"stopped at the first look", {{1, 0, 0, 0, StartWatch::kStopped}}},
      {"a stop on its way is watched to its end",
       {{4, 0, 0, 0, StartWatch::kWatching}, {3, 1, 3000, 100, StartWatch::kWatching},
        {3, 1, 3000, 3100, StartWatch::kWatching}, {1, 0, 0, 3200, StartWatch::kStopped}}},
      {"pending without progress",
       {{2, 1, 2000, 0, StartWatch::kWatching}, {2, 1, 2000, 2000, StartWatch::kWatching},
        {2, 1, 2000, 2001, StartWatch::kNoProgress}}},
      {"paused counts as started", {{7, 0, 0, 0, StartWatch::kRunning}}},
  };
  for (const auto& c : cases) {
    StartWatchState watch;
    watch.check_ms = 3000;
    for (size_t i = 0; i < c.steps.size(); ++i) {
      const Step& step = c.steps[i];
      EXPECT_EQ(WatchStart(watch, step.state, step.check_point, step.wait_hint, step.now), step.expected)
          << c.name << ", step " << i;
    }
  }
}

// Every command word the usage names is one the launcher knows.
TEST(UsageText, NamesTheProgramItsCommandsAndExitCodes) {
  const std::string usage = UsageText("svc.exe");
  EXPECT_EQ(usage.rfind("Usage: svc.exe -<command> [service name]\n", 0), 0u) << usage;
  std::vector<std::string> words;
  for (size_t at = usage.find("\n  -"); at != std::string::npos; at = usage.find("\n  -", at + 1)) {
    const size_t word = at + 4;
    words.push_back(usage.substr(word, usage.find(' ', word) - word));
  }
  EXPECT_EQ(words.size(), 9u) << usage;
  for (const std::string& word : words) EXPECT_NE(LookupCommand(word), CommandWord::kNone) << word;
  EXPECT_NE(usage.find("Exit codes: 0 success, 1 failure, 3 not running (-status).\n"), std::string::npos);
}

}  // namespace
}  // namespace vexlo
