#include "service/service_text.h"

#include <gtest/gtest.h>

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
  using W = StartWatch;
  struct Step { uint32_t state, check_point, wait_hint; uint64_t now; W expected; };
  const std::vector<std::vector<Step>> cases = {
      {{2, 1, 2000, 0, W::kWatching}, {2, 2, 2000, 1500, W::kWatching}, {2, 2, 2000, 3000, W::kWatching},
       {4, 0, 0, 3100, W::kWatching}, {4, 0, 0, 6099, W::kWatching}, {4, 0, 0, 6100, W::kRunning}},
      {{4, 0, 0, 0, W::kWatching}, {3, 1, 3000, 100, W::kWatching}, {1, 0, 0, 200, W::kStopped}},
      {{2, 1, 2000, 0, W::kWatching}, {2, 1, 2000, 2000, W::kWatching}, {2, 1, 2000, 2001, W::kNoProgress}},
      {{7, 0, 0, 0, W::kRunning}},  // paused: started
  };
  for (size_t c = 0; c < cases.size(); ++c) {
    StartWatchState watch;
    watch.check_ms = 3000;
    for (const Step& step : cases[c]) {
      EXPECT_EQ(WatchStart(watch, step.state, step.check_point, step.wait_hint, step.now), step.expected)
          << "case " << c << " at " << step.now;
    }
  }
}

}  // namespace
}  // namespace vexlo
