#include "launch/console_handler_win.h"

#include "core/log_win.h"

namespace vexlo {

BOOL WINAPI ConsoleCtrlHandler(DWORD) {
  LogLine("ConsoleCtrlHandler event");
  return TRUE;
}

}  // namespace vexlo
