#include "coord/single_instance_win.h"

#include <string.h>

#include <string>

#include "coord/instance_name.h"
#include "core/config.h"
#include "core/config_win.h"
#include "core/errors_win.h"
#include "core/log_win.h"
#include "core/paths_win.h"
#include "core/process_state.h"
#include "sys/handle_win.h"
#include "sys/registry_win.h"
#include "sys/user32_win.h"

namespace vexlo {
namespace {

// Under HKEY_CURRENT_USER; one REG_DWORD per executable, named by its
// normalised path, holding the process id of the instance that runs.
const char kProcessIdsKey[] = "SOFTWARE\\morvane-digital\\vexlo\\pids\\";
constexpr unsigned kLastInstanceNumber = 100000;

HANDLE CreateNamedSemaphore(const std::string& name, DWORD* error) {
  SetLastError(0);
  HANDLE semaphore = CreateSemaphoreA(nullptr, 1, 1, name.c_str());
  *error = GetLastError();
  return semaphore;
}

void LogSemaphore(const std::string& name, DWORD error, HANDLE semaphore) {
  LogLine("semaphore name %s, code %d, value %p", name.c_str(), static_cast<int>(error), semaphore);
}

// Whether another instance holds the name. A create refused with access
// denied is looked at again by opening the name for synchronisation only:
// another session's semaphore, created with rights this process lacks,
// exists all the same.
bool HeldByAnotherInstance(const std::string& name, DWORD create_error) {
  DWORD open_error = 0;
  if (create_error == ERROR_ACCESS_DENIED) {
    const UniqueHandle opened(OpenSemaphoreA(SYNCHRONIZE, FALSE, name.c_str()));
    open_error = opened ? 0 : GetLastError();
  }
  const InstanceSemaphore verdict = JudgeInstanceSemaphore(create_error, open_error);
  if (create_error == ERROR_ACCESS_DENIED && verdict == InstanceSemaphore::kOtherInstance) {
    LogLine("semaphore %s exists but cannot be opened (open error %d): another instance holds it", name.c_str(),
            static_cast<int>(open_error));
  }
  return verdict == InstanceSemaphore::kOtherInstance;
}

void StoreOwnProcessId(const std::string& value_name) {
  UniqueKey key;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, kProcessIdsKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS, nullptr, key.put(), nullptr) != ERROR_SUCCESS) {
    return;
  }
  const DWORD id = GetCurrentProcessId();
  RegSetValueExA(key.get(), value_name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&id),
                 sizeof(id));
}

// 0 when the value is missing or is no 4-byte number.
DWORD StoredProcessId(const std::string& value_name) {
  const UniqueKey key = OpenRegistryKey(HKEY_CURRENT_USER, kProcessIdsKey);
  std::string bytes;
  DWORD id = 0;
  if (!key || !ReadRegistryBytes(key.get(), value_name.c_str(), &bytes) || bytes.size() != sizeof(id)) {
    return 0;
  }
  memcpy(&id, bytes.data(), sizeof(id));
  return id;
}

struct WindowActivation {
  DWORD process_id;
  bool restore;
  BOOL(WINAPI* is_visible)(HWND);
  DWORD(WINAPI* owner_of)(HWND, DWORD*);
  BOOL(WINAPI* is_minimised)(HWND);
  BOOL(WINAPI* show)(HWND, int);
  BOOL(WINAPI* to_foreground)(HWND);
  HWND(WINAPI* last_active_popup)(HWND);
};

BOOL CALLBACK ActivateIfOwned(HWND window, LPARAM parameter) {
  const WindowActivation& activation = *reinterpret_cast<const WindowActivation*>(parameter);
  DWORD owner = 0;
  if (!activation.is_visible(window)) return TRUE;
  activation.owner_of(window, &owner);
  if (owner != activation.process_id) return TRUE;
  LogLine("found window %p", window);
  if (activation.restore && activation.is_minimised(window)) {
    LogLine("restore");
    activation.show(window, SW_RESTORE);
  }
  LogLine("foreground");
  activation.to_foreground(window);
  LogLine("popup");
  activation.to_foreground(activation.last_active_popup(window));
  LogLine("done");
  return TRUE;  // every window of the process, not just the first
}

// Brings every visible top-level window of the process to the front.
void ActivateWindows(DWORD process_id, bool restore) {
  WindowActivation activation = {
      process_id,
      restore,
      User32Function<decltype(WindowActivation::is_visible)>("IsWindowVisible"),
      User32Function<decltype(WindowActivation::owner_of)>("GetWindowThreadProcessId"),
      User32Function<decltype(WindowActivation::is_minimised)>("IsIconic"),
      User32Function<decltype(WindowActivation::show)>("ShowWindow"),
      User32Function<decltype(WindowActivation::to_foreground)>("SetForegroundWindow"),
      User32Function<decltype(WindowActivation::last_active_popup)>("GetLastActivePopup")};
  using EnumWindowsFunction = BOOL(WINAPI*)(WNDENUMPROC, LPARAM);
  const auto enum_windows = User32Function<EnumWindowsFunction>("EnumWindows");
  if (enum_windows == nullptr || !activation.is_visible || !activation.owner_of ||
      !activation.is_minimised || !activation.show || !activation.to_foreground ||
      !activation.last_active_popup) {
    return;
  }
  enum_windows(ActivateIfOwned, reinterpret_cast<LPARAM>(&activation));
}

}  // namespace

void CheckInstance() {
  // Absolute, lower-cased, single backslashes: the same executable reached
  // through different spellings of its path is one application.
  const std::string normalised = FullPath(ExecutablePath(), false);
  const bool global = ConfigFlag(record::kGlobalSemaphore);
  std::string& name = InstanceSemaphoreName();
  DWORD error = 0;
  HANDLE semaphore = nullptr;

  // The handles kept below are deliberately never closed: an open handle is
  // what marks this instance as running, and the system removes the name when
  // the last holder ends.
  if (!ConfigFlag(record::kSingleInstance)) {
    const std::string base = InstanceNameBase(global, normalised, kInstanceNumberDigits);
    for (unsigned number = 0;; ++number) {
      name = base + std::to_string(number);
      semaphore = CreateNamedSemaphore(name, &error);
      if (!HeldByAnotherInstance(name, error) || number >= kLastInstanceNumber) break;
      if (semaphore != nullptr) CloseHandle(semaphore);
    }
    LogSemaphore(name, error, semaphore);
    return;
  }

  LogLine("single instance mode");
  name = InstanceNameBase(global, normalised, 0);
  semaphore = CreateNamedSemaphore(name, &error);
  LogSemaphore(name, error, semaphore);
  // A create that fails outright (the global namespace refused, say) counts
  // as no other instance: the launch goes on.
  if (!HeldByAnotherInstance(name, error)) {
    StoreOwnProcessId(normalised);
    return;
  }
  if (semaphore != nullptr) CloseHandle(semaphore);
  const DWORD other = StoredProcessId(normalised);
  LogLine("other pid %d", static_cast<int>(other));
  ActivateWindows(other, true);
  LogLine("exiting");
  FatalExit(0);
}

}  // namespace vexlo
