// The baseline of the service benchmark: a bare MinGW service that reports
// running at once and stopped when asked, and does nothing else.
#include "sys/win.h"

namespace {

SERVICE_STATUS_HANDLE g_handle = nullptr;
SERVICE_STATUS g_status = {SERVICE_WIN32_OWN_PROCESS, SERVICE_RUNNING, SERVICE_ACCEPT_STOP, 0, 0, 0, 0};
HANDLE g_stop = nullptr;

void WINAPI Handler(DWORD control) {
  if (control == SERVICE_CONTROL_STOP) SetEvent(g_stop);
  else SetServiceStatus(g_handle, &g_status);
}

void WINAPI Main(DWORD, LPSTR* argv) {
  g_stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  g_handle = RegisterServiceCtrlHandlerA(argv[0], Handler);
  SetServiceStatus(g_handle, &g_status);
  WaitForSingleObject(g_stop, INFINITE);
  g_status.dwCurrentState = SERVICE_STOPPED;
  SetServiceStatus(g_handle, &g_status);
}

}  // namespace

int main() {
  char name[] = "";
  SERVICE_TABLE_ENTRYA table[] = {{name, Main}, {nullptr, nullptr}};
  StartServiceCtrlDispatcherA(table);
  return 0;
}
