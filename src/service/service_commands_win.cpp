#include "service/service_commands_win.h"

#include <stdio.h>

#include <string>

#include "core/args.h"
#include "core/config.h"
#include "core/config_win.h"
#include "core/process_state.h"
#include "core/settings.h"
#include "service/install_settings_win.h"
#include "service/service_log_win.h"
#include "service/service_text.h"
#include "service/supervision.h"
#include "sys/crt_print_win.h"
#include "sys/handle_win.h"
#include "sys/text_win.h"

namespace vexlo {
namespace {

UniqueService OpenManager(DWORD access) {
  return UniqueService(OpenSCManagerA(nullptr, nullptr, access));
}

UniqueService OpenNamedService(const UniqueService& manager, DWORD access) {
  return UniqueService(OpenServiceA(manager.get(), ServiceName().c_str(), access));
}

// Waits while the service reports stop-pending. The wait hint counts from the
// last progress of the check point, so a service that keeps reporting
// progress is waited for without an overall limit.
bool WaitForStop(SC_HANDLE service) {
  SERVICE_STATUS status;
  if (!QueryServiceStatus(service, &status)) return false;
  DWORD progress_tick = GetTickCount();
  DWORD progress_check_point = status.dwCheckPoint;
  while (status.dwCurrentState == SERVICE_STOP_PENDING) {
    Sleep(500);
    if (!QueryServiceStatus(service, &status)) return false;
    if (status.dwCheckPoint > progress_check_point) {
      progress_tick = GetTickCount();
      progress_check_point = status.dwCheckPoint;
    } else if (GetTickCount() - progress_tick > status.dwWaitHint) {
      break;
    }
  }
  return status.dwCurrentState == SERVICE_STOPPED;
}

// The child's last lines tell why a start failed; the service log holds
// them (none when it is off).
constexpr size_t kFailureLines = 20;
constexpr DWORD kStartWatchIntervalMs = 100;

int ReportFailedStart(const SERVICE_STATUS& status) {
  const DWORD exit_code =
      status.dwWin32ExitCode == kServiceSpecificError ? status.dwServiceSpecificExitCode : status.dwWin32ExitCode;
  CrtFprintf(stdout, "Service '%s' failed to start (exit code %lu).\n", ServiceName().c_str(), exit_code);
  for (const std::string& line : LastChildLines(ServiceName(), kFailureLines)) {
    CrtFprintf(stdout, "%s\n", line.c_str());
  }
  return 1;
}

// Watches a started service until it has run for the start check, or until
// it stopped.
int WatchStartedService(SC_HANDLE service, uint64_t check_ms) {
  StartWatchState watch;
  watch.check_ms = check_ms;
  for (;;) {
    SERVICE_STATUS status;
    if (!QueryServiceStatus(service, &status)) {
      CrtFprintf(stdout, "Could not get the status of service '%s'", ServiceName().c_str());
      PrintErrorText(stdout, GetLastError());
      return 1;
    }
    switch (WatchStart(watch, status.dwCurrentState, status.dwCheckPoint, status.dwWaitHint, GetTickCount64())) {
      case StartWatch::kWatching: break;
      case StartWatch::kRunning:
        CrtFprintf(stdout, "Service '%s' is running.\n", ServiceName().c_str());
        return 0;
      case StartWatch::kStopped: return ReportFailedStart(status);
      case StartWatch::kNoProgress:
        CrtFprintf(stdout, "Service '%s' did not start: no progress within its wait hint (state %lu).\n",
                   ServiceName().c_str(), status.dwCurrentState);
        return 1;
    }
    Sleep(kStartWatchIntervalMs);
  }
}

}  // namespace

int StopService(bool messages) {
  UniqueService manager = OpenManager(SC_MANAGER_CONNECT);
  if (!manager) {
    if (messages) CrtFprintf(stdout, "Could not open SCManager.\n");
    return 1;
  }
  UniqueService service = OpenNamedService(manager, SERVICE_STOP | SERVICE_QUERY_STATUS);
  if (!service) {
    if (messages) CrtFprintf(stdout, "Could not stop service.\n");
    return 1;
  }
  SERVICE_STATUS status;
  if (ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) {
    CrtFprintf(stdout, "Stopping service '%s'.\n", ServiceName().c_str());
    fflush(stdout);  // the wait may be long; show progress first
    // A script that goes on after the stop must know the service is gone.
    if (WaitForStop(service.get())) {
      CrtFprintf(stdout, "Service stopped\n");
      return 0;
    }
    CrtFprintf(stdout, "Error while stopping service\n");
    return 1;
  }
  if (GetLastError() == ERROR_SERVICE_NOT_ACTIVE) {
    CrtFprintf(stdout, "Service is already stopped.\n");
    return 0;
  }
  if (messages) CrtFprintf(stdout, "Could not stop service.\n");
  return 1;
}

int UninstallService(bool messages) {
  StopService(false);
  UniqueService manager = OpenManager(SC_MANAGER_ALL_ACCESS);
  if (!manager) {
    if (messages) CrtFprintf(stdout, "Could not open SCManager.\n");
    return 1;
  }
  UniqueService service = OpenNamedService(manager, DELETE);
  if (!service || !DeleteService(service.get())) {
    if (messages) CrtFprintf(stdout, "Could not delete service.\n");
    return 1;
  }
  if (messages) CrtFprintf(stdout, "Uninstalled service '%s'.\n", ServiceName().c_str());
  return 0;
}

int InstallService(StartType start_type, bool delayed_start) {
  if (StartsLikeCommand(ServiceName())) {
    CrtFprintf(stdout, "Could not create service '%s': a service name must not begin with '-' or '/'.\n",
               ServiceName().c_str());
    return 1;
  }
  // Before anything changes: a refused account leaves the old service as it was.
  ServiceAccount account;
  if (!ResolveServiceAccount(&account)) return 1;
  UninstallService(false);
  UniqueService manager = OpenManager(SC_MANAGER_ALL_ACCESS);
  if (!manager) {
    CrtFprintf(stdout, "Could not open SCManager.\n");
    return 1;
  }
  const std::string binary_path = RegisteredBinaryPath(ExecutablePath());
  const std::string dependencies = DependencyList(ConfigText(record::kServiceDependencies));
  // Never interactive: the system ignores it since Windows 10 1803, and the
  // service's child shows no windows.
  UniqueService service(CreateServiceA(
      manager.get(), ServiceName().c_str(), ServiceName().c_str(), SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
      static_cast<DWORD>(start_type), SERVICE_ERROR_NORMAL, binary_path.c_str(), nullptr, nullptr,
      dependencies.empty() ? nullptr : dependencies.c_str(), account.name.empty() ? nullptr : account.name.c_str(),
      account.user ? account.password.c_str() : nullptr));
  if (!service) {
    CrtFprintf(stdout, "Could not create service.\n");
    return 1;
  }
  if (!account.name.empty()) CrtFprintf(stdout, "Service account: %s.\n", account.name.c_str());
  // The description is a nicety, never failing the install.
  WideString description = ConfigWide(record::kServiceDescription);
  if (!description.empty()) {
    SERVICE_DESCRIPTIONW info = {&description[0]};
    ChangeServiceConfig2W(service.get(), SERVICE_CONFIG_DESCRIPTION, &info);
  }
  if (!ApplyServiceSettings(service.get(), delayed_start)) {
    // Not half installed: the service goes again.
    DeleteService(service.get());
    return 1;
  }
  GrantServiceFolders(account);
  CrtFprintf(stdout, "Installed service '%s'.\n", ServiceName().c_str());
  return 0;
}

int StartService() {
  UniqueService manager = OpenManager(SC_MANAGER_CONNECT);
  if (!manager) {
    CrtFprintf(stdout, "Could not open SCManager.\n");
    return 1;
  }
  UniqueService service = OpenNamedService(manager, SERVICE_START | SERVICE_QUERY_STATUS);
  if (service && StartServiceA(service.get(), 0, nullptr)) {
    CrtFprintf(stdout, "Starting service '%s'.\n", ServiceName().c_str());
    const uint64_t check_ms = ConfigDurationMs(kStartCheckSetting);
    if (check_ms == 0) return 0;
    fflush(stdout);  // the watch takes seconds
    return WatchStartedService(service.get(), check_ms);
  }
  const DWORD error = GetLastError();  // of the failed open or start
  if (error == ERROR_SERVICE_ALREADY_RUNNING) {
    CrtFprintf(stdout, "Service is already running.\n");
    return 0;
  }
  // A service process that reports stopped before the start call returns
  // (under Wine: a child that fails at once) fails the call with 1053; its
  // status tells what happened.
  SERVICE_STATUS status;
  if (error == ERROR_SERVICE_REQUEST_TIMEOUT && QueryServiceStatus(service.get(), &status) &&
      status.dwCurrentState == SERVICE_STOPPED && status.dwWin32ExitCode != 0) {
    return ReportFailedStart(status);
  }
  CrtFprintf(stdout, "Could not start service '%s'", ServiceName().c_str());
  PrintErrorText(stdout, error);
  return 1;
}

int ServiceStatus() {
  UniqueService manager = OpenManager(SC_MANAGER_CONNECT);
  if (!manager) {
    CrtFprintf(stdout, "Could not open SCManager.\n");
    return 1;
  }
  UniqueService service = OpenNamedService(manager, SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS);
  SERVICE_STATUS status;
  if (!service || !QueryServiceStatus(service.get(), &status)) {
    CrtFprintf(stdout, "Could not get status.\n");
    return 1;
  }
  const int result = status.dwCurrentState == SERVICE_RUNNING ? 0 : 3;
  CrtFprintf(stdout, result == 0 ? "Running.\n" : "Not running.\n");
  // Why it stopped, when it stopped with an error of its own.
  if (result != 0 && status.dwWin32ExitCode == kServiceSpecificError) {
    CrtFprintf(stdout, "Last exit code %lu.\n", status.dwServiceSpecificExitCode);
  }

  // A configuration with long paths or many dependencies can need more than
  // the usual 8 KB; grow to what the call asks for instead of failing.
  std::string config(8192, '\0');
  DWORD needed = 0;
  BOOL ok = QueryServiceConfigA(service.get(), reinterpret_cast<QUERY_SERVICE_CONFIGA*>(&config[0]),
                                static_cast<DWORD>(config.size()), &needed);
  if (!ok && GetLastError() == ERROR_INSUFFICIENT_BUFFER && needed > config.size()) {
    config.resize(needed);
    ok = QueryServiceConfigA(service.get(), reinterpret_cast<QUERY_SERVICE_CONFIGA*>(&config[0]),
                             static_cast<DWORD>(config.size()), &needed);
  }
  if (!ok) {
    CrtFprintf(stdout, "Could not get config");
    PrintErrorText(stdout, GetLastError());
    return 1;
  }
  if (reinterpret_cast<const QUERY_SERVICE_CONFIGA*>(config.data())->dwStartType == SERVICE_AUTO_START) {
    CrtFprintf(stdout, "%s.\n", "Auto-start");
  }
  return result;
}

}  // namespace vexlo
