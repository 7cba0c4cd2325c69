// Window activation by a second instance in single instance mode, with a
// display: the first instance shows a minimised window, the second restores
// it and brings it forward before it exits.
#include <gtest/gtest.h>

#include <cstdio>

#include "core/record_ids.h"
#include "support/instance_fixture_win.h"

namespace vexlo {
namespace testing_support {
namespace {

struct WindowOf {
  DWORD process_id;
  HWND found;
};

HWND VisibleWindowOf(DWORD process_id) {
  WindowOf search = {process_id, nullptr};
  EnumWindows(
      [](HWND window, LPARAM parameter) -> BOOL {
        auto* search = reinterpret_cast<WindowOf*>(parameter);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner != search->process_id || !IsWindowVisible(window)) return TRUE;
        search->found = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

using InstanceWindowTest = InstanceTest;

TEST_F(InstanceWindowTest, SecondInstanceRestoresTheFirstOnesWindow) {
  BlockContents contents = DefaultContents();
  SetText(contents, record::kSingleInstance, "1");
  const std::string exe = WriteProbe("svc.exe", contents);
  Normalised(exe);
  // The holder gets ready only once its window is shown.
  Holder* first = Hold(exe, "instance-window");
  ASSERT_TRUE(first);
  HWND window = VisibleWindowOf(first->id);
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(IsIconic(window));

  ReplaceWithLauncher(exe, contents);
  EXPECT_EQ(RunChild(exe).exit_code, 0u);
  const std::vector<std::string> log = NewestLog();
  char handle[32];
  snprintf(handle, sizeof(handle), "%016llX", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)));
  const size_t found = FindLine(log, "found window ");
  ASSERT_LT(found + 5, log.size());
  EXPECT_EQ(std::vector<std::string>(log.begin() + found, log.begin() + found + 6),
            (std::vector<std::string>{std::string("found window ") + handle, "restore", "foreground", "popup",
                                      "done", "exiting"}));
  EXPECT_FALSE(IsIconic(window));
}

}  // namespace
}  // namespace testing_support
}  // namespace vexlo
