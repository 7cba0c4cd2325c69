// How the launcher log's files are opened.
#include <gtest/gtest.h>
#include <io.h>

#include "core/log_win.h"
#include "sys/win.h"

namespace vexlo {
namespace {

bool Inheritable(FILE* file) {
  DWORD flags = 0;
  const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
  EXPECT_TRUE(GetHandleInformation(handle, &flags)) << GetLastError();
  return (flags & HANDLE_FLAG_INHERIT) != 0;
}

// A child started with handle inheritance (the service's child) while a line
// is being written must not get the log's handle.
TEST(LogFiles, AreNeverInheritable) {
  char temp[MAX_PATH];
  ASSERT_NE(GetTempPathA(MAX_PATH, temp), 0u);
  const std::string directory =
      std::string(temp) + "vexlo_log_test_" + std::to_string(GetCurrentProcessId()) + "\\";
  ASSERT_TRUE(CreateDirectoryA(directory.c_str(), nullptr));

  std::string path;
  FILE* created = CreateNumberedLog(directory, &path);
  ASSERT_NE(created, nullptr);
  EXPECT_EQ(path, directory + "tvl_nlog_2");
  EXPECT_FALSE(Inheritable(created));
  fclose(created);
  for (bool append : {false, true}) {
    FILE* opened = OpenLogFile(path.c_str(), append);
    ASSERT_NE(opened, nullptr) << append;
    EXPECT_FALSE(Inheritable(opened)) << (append ? "append" : "write");
    fclose(opened);
  }
  EXPECT_TRUE(DeleteFileA(path.c_str()));
  EXPECT_TRUE(RemoveDirectoryA(directory.c_str()));
}

}  // namespace
}  // namespace vexlo
