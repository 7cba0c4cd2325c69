// The service log's file under Wine: failures to write, folders, a rotation
// that is refused, and when gathered lines are due.
#include "service/service_log_win.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/process_win.h"
#include "sys/win.h"

namespace vexlo {
namespace {

using testing_support::ReadWholeFile;
using testing_support::RemoveTree;
using testing_support::SplitLines;
using testing_support::WriteWholeFile;

class ServiceLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH];
    ASSERT_NE(GetTempPathA(MAX_PATH, temp), 0u);
    folder_ = std::string(temp) + "vexlo_service_log_test_" + std::to_string(GetCurrentProcessId());
    RemoveTree(folder_);
    ASSERT_TRUE(CreateDirectoryA(folder_.c_str(), nullptr));
  }
  void TearDown() override {
    StartServiceLogAt(WideString(), 0);
    RemoveTree(folder_);
  }
  static WideString Wide(const std::string& path) { return WideString(path.begin(), path.end()); }

  // The file's lines without their times.
  static std::vector<std::string> Lines(const std::string& path) {
    std::vector<std::string> lines = SplitLines(ReadWholeFile(path));
    for (std::string& line : lines) line = line.size() > 24 ? line.substr(24) : line;
    return lines;
  }

  std::string folder_;
};

// Lines that cannot be written are counted; once the file can be written,
// the count comes first, once. Missing folders are created on the way.
TEST_F(ServiceLogTest, LinesThatCannotBeWrittenAreCountedAndReportedOnce) {
  const std::string blocker = folder_ + "\\x";
  const std::string path = blocker + "\\y\\svc.log";
  ASSERT_TRUE(WriteWholeFile(blocker, "a file where a folder must be"));
  StartServiceLogAt(Wide(path), 1 << 20);
  for (const char* line : {"one", "two", "three"}) ServiceLogEvent("%s", line);
  FlushServiceLog();
  ServiceLogEvent("four");
  FlushServiceLog();
  ASSERT_TRUE(DeleteFileA(blocker.c_str()));
  ServiceLogEvent("five");
  FlushServiceLog();
  ServiceLogEvent("six");
  FlushServiceLog();
  EXPECT_EQ(Lines(path), (std::vector<std::string>{"[service] 4 lines could not be written to this log (error 3)",
                                                   "[service] five", "[service] six"}));
}

// A full log whose old file is held open, so that it cannot move on, grows
// on past its limit (said once) and moves on as soon as it can.
TEST_F(ServiceLogTest, ALogThatCannotMoveOnGrowsUntilItCan) {
  const std::string path = folder_ + "\\svc.log";
  ASSERT_TRUE(WriteWholeFile(path + ".1", "old"));
  HANDLE held = CreateFileA((path + ".1").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  const uint64_t kLimit = 64 * 1024;
  StartServiceLogAt(Wide(path), kLimit);
  const std::string block = [] {
    std::string lines;
    while (lines.size() < 50000) lines += std::string(99, 'x') + "\n";
    return lines;
  }();
  for (int flush = 0; flush < 3; ++flush) {
    ServiceLogOutput(block.data(), block.size());
    FlushServiceLog();
  }
  EXPECT_GT(ReadWholeFile(path).size(), 2 * kLimit);
  CloseHandle(held);
  ServiceLogEvent("after");
  FlushServiceLog();
  const std::vector<std::string> old = Lines(path + ".1");
  ASSERT_FALSE(old.empty());
  EXPECT_EQ(std::count_if(old.begin(), old.end(),
                          [](const std::string& line) { return line.find("could not rename") != std::string::npos; }),
            1);
  EXPECT_EQ(old.back(), "[service] after");
  EXPECT_EQ(ReadWholeFile(path), "");
}

// Lines wait at most a second to be written.
TEST_F(ServiceLogTest, GatheredLinesAreDueWithinASecond) {
  StartServiceLogAt(Wide(folder_ + "\\svc.log"), 1 << 20);
  EXPECT_EQ(ServiceLogDueMs(), INFINITE);
  ServiceLogEvent("waiting");
  const DWORD due = ServiceLogDueMs();
  EXPECT_GT(due, 0u);
  EXPECT_LE(due, 1000u);
  Sleep(due + 20);
  EXPECT_EQ(ServiceLogDueMs(), 0u);
  FlushServiceLog();
  EXPECT_EQ(ServiceLogDueMs(), INFINITE);
}

}  // namespace
}  // namespace vexlo
