#include "core/errors_win.h"

#include <stdio.h>

#include "core/config.h"
#include "core/config_win.h"
#include "core/log_win.h"
#include "core/message_text.h"
#include "core/temp_dir_win.h"
#include "sys/crt_print_win.h"
#include "sys/library_failure.h"
#include "sys/user32_win.h"
#include "sys/win.h"

namespace vexlo {
namespace {

std::string LongLogPath(const char* log_path) {
  char buffer[kMessageCapacity];
  const DWORD length = GetLongPathNameA(log_path, buffer, sizeof(buffer));
  if (length == 0 || length >= sizeof(buffer)) return log_path;
  return std::string(buffer, length);
}

void ShowMessageBox(const std::string& text, const std::string& caption) {
  using MessageBoxFunction = int(WINAPI*)(HWND, LPCSTR, LPCSTR, UINT);
  const auto message_box = User32Function<MessageBoxFunction>("MessageBoxA");
  if (message_box != nullptr) message_box(nullptr, text.c_str(), caption.c_str(), MB_ICONERROR);
}

}  // namespace

void ShowText(const std::string& text) {
  const char* log_path = LogFilePath();
  const std::string shown = ComposeShownText(text, log_path ? LongLogPath(log_path).c_str() : nullptr);
  if (DialogMode()) {
    ShowMessageBox(shown, ConfigText(record::kMessageCaption));
  } else {
    CrtFprintf(stderr, "%s\n", shown.c_str());
    fflush(stderr);
  }
}

void ShowMessage(int message_id, const char* argument) {
  const std::string& text = ConfigText(message_id);
  ShowText(argument ? SubstituteArgument(text, argument) : text);
}

void ReportLibraryFailures() {
  // Allocates nothing: the log line is formatted by the C runtime straight
  // into the log file, and the directory is removed through a fixed buffer.
  SetLibraryFailureHook([](const char* what) {
    LogErrorLineNow("C++ library failure (%s): the launcher ends", what);
    RemoveLauncherTempDir();
  });
}

void FatalExit(unsigned exit_code) {
  RemoveLauncherTempDir();
  ExitProcess(exit_code);
}

void FatalText(const std::string& text) {
  ShowText(text);
  FatalExit(1);
}

void FatalMessage(int message_id, const char* argument) {
  ShowMessage(message_id, argument);
  FatalExit(1);
}

}  // namespace vexlo
