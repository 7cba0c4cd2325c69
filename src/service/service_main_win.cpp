#include "service/service_main_win.h"

#include "core/log_win.h"
#include "core/process_state.h"

namespace vexlo {
namespace {

SERVICE_STATUS_HANDLE g_status_handle = nullptr;

void WINAPI ControlHandler(DWORD control) { LogLine("control handler request %d", static_cast<int>(control)); }

}  // namespace

// The supervision of a child copy is not part of this build yet. Rather than
// pretend to run, the service reports itself stopped with a service-specific
// error, so the service control manager and the administrator see the start
// fail.
void WINAPI ServiceMain(DWORD argc, LPSTR* argv) {
  LogLine("service main");
  if (argc >= 1 && argv[0] != nullptr && argv[0][0] != '\0') ServiceName() = argv[0];
  else ServiceName() = "unknown";
  LogLine("service name is '%s'", ServiceName().c_str());
  g_status_handle = RegisterServiceCtrlHandlerA(ServiceName().c_str(), ControlHandler);
  if (g_status_handle == nullptr) return;
  SERVICE_STATUS status = {};
  status.dwServiceType = SERVICE_WIN32_OWN_PROCESS | SERVICE_WIN32_SHARE_PROCESS;
  status.dwCurrentState = SERVICE_STOPPED;
  status.dwWin32ExitCode = ERROR_SERVICE_SPECIFIC_ERROR;
  status.dwServiceSpecificExitCode = 5000;
  LogErrorLine("running the application as a service is not available in this build");
  SetServiceStatus(g_status_handle, &status);
}

BOOL WINAPI ConsoleCtrlHandler(DWORD) {
  LogLine("ConsoleCtrlHandler event");
  return TRUE;
}

}  // namespace vexlo
