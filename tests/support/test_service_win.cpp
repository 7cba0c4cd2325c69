// A small Windows service that stands in for the launcher's own service main
// in tests of the service commands: it runs until stopped and then takes a
// chosen time to stop, with or without reporting progress.
//
// Usage (as the service's binary path):
//   test_service.exe progress <steps> <step ms> <wait hint ms>
//     stop-pending for steps x step ms, raising the check point each step
//   test_service.exe stuck <steps> <step ms> <wait hint ms>
//     stop-pending as long, without progress
#include <stdlib.h>
#include <string.h>

#include "sys/win.h"

namespace {

SERVICE_STATUS_HANDLE g_status_handle = nullptr;
SERVICE_STATUS g_status = {};
HANDLE g_stop_requested = nullptr;
bool g_report_progress = true;
int g_steps = 0;
DWORD g_step_ms = 0;
DWORD g_wait_hint = 0;

void Report() { SetServiceStatus(g_status_handle, &g_status); }

void WINAPI Handler(DWORD control) {
  if (control == SERVICE_CONTROL_STOP && g_status.dwCurrentState == SERVICE_RUNNING) {
    g_status.dwCurrentState = SERVICE_STOP_PENDING;
    g_status.dwCheckPoint = 1;
    g_status.dwWaitHint = g_wait_hint;
    Report();
    SetEvent(g_stop_requested);
    return;
  }
  Report();
}

void WINAPI Main(DWORD, LPSTR* argv) {
  g_status_handle = RegisterServiceCtrlHandlerA(argv[0], Handler);
  if (g_status_handle == nullptr) return;
  g_status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  g_status.dwCurrentState = SERVICE_RUNNING;
  g_status.dwControlsAccepted = SERVICE_ACCEPT_STOP;
  Report();
  WaitForSingleObject(g_stop_requested, INFINITE);
  for (int step = 0; step < g_steps; ++step) {
    Sleep(g_step_ms);
    if (g_report_progress) {
      ++g_status.dwCheckPoint;
      Report();
    }
  }
  g_status.dwCurrentState = SERVICE_STOPPED;
  g_status.dwCheckPoint = 0;
  g_status.dwWaitHint = 0;
  Report();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 5) {
    g_report_progress = strcmp(argv[1], "stuck") != 0;
    g_steps = atoi(argv[2]);
    g_step_ms = static_cast<DWORD>(atoi(argv[3]));
    g_wait_hint = static_cast<DWORD>(atoi(argv[4]));
  }
  g_stop_requested = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  char name[] = "";
  SERVICE_TABLE_ENTRYA table[] = {{name, Main}, {nullptr, nullptr}};
  return StartServiceCtrlDispatcherA(table) ? 0 : 1;
}
