#include "support/service_query_win.h"

#include <gtest/gtest.h>

#include "sys/handle_win.h"

namespace vexlo {
namespace testing_support {

void RemoveService(const std::string& name) {
  UniqueService manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  UniqueService service(OpenServiceA(manager.get(), name.c_str(), SERVICE_ALL_ACCESS));
  if (!service) return;
  SERVICE_STATUS status;
  if (ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) {
    for (int i = 0; i < 100 && QueryServiceStatus(service.get(), &status) &&
                    status.dwCurrentState != SERVICE_STOPPED;
         ++i) {
      Sleep(100);
    }
  }
  DeleteService(service.get());
}

ServiceConfig QueryServiceSettings(const std::string& name) {
  ServiceConfig config;
  UniqueService manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
  UniqueService service(OpenServiceA(manager.get(), name.c_str(), SERVICE_QUERY_CONFIG));
  if (!service) return config;
  std::string buffer(16384, '\0');
  DWORD needed = 0;
  auto* query = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(&buffer[0]);
  if (!QueryServiceConfigA(service.get(), query, static_cast<DWORD>(buffer.size()), &needed)) {
    ADD_FAILURE() << "QueryServiceConfigA failed with " << GetLastError();
    return config;
  }
  config.found = true;
  config.type = query->dwServiceType;
  config.start_type = query->dwStartType;
  config.error_control = query->dwErrorControl;
  config.binary_path = query->lpBinaryPathName ? query->lpBinaryPathName : "";
  config.account = query->lpServiceStartName ? query->lpServiceStartName : "";
  std::string description(8192, '\0');
  if (QueryServiceConfig2W(service.get(), SERVICE_CONFIG_DESCRIPTION,
                           reinterpret_cast<BYTE*>(&description[0]), 8192, &needed)) {
    const auto* info = reinterpret_cast<SERVICE_DESCRIPTIONW*>(&description[0]);
    if (info->lpDescription) config.description = info->lpDescription;
  }
  SERVICE_PRESHUTDOWN_INFO preshutdown = {};
  if (QueryServiceConfig2W(service.get(), SERVICE_CONFIG_PRESHUTDOWN_INFO, reinterpret_cast<BYTE*>(&preshutdown),
                           sizeof(preshutdown), &needed)) {
    config.preshutdown_ms = preshutdown.dwPreshutdownTimeout;
  }
  return config;
}

std::string FirstDependency(const std::string& name) {
  UniqueKey key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, ("SYSTEM\\CurrentControlSet\\Services\\" + name).c_str(), 0,
                    KEY_READ, key.put()) != ERROR_SUCCESS) {
    return "<no key>";
  }
  char value[1024] = {};
  DWORD size = sizeof(value) - 2;
  if (RegQueryValueExA(key.get(), "DependOnService", nullptr, nullptr, reinterpret_cast<BYTE*>(value),
                       &size) != ERROR_SUCCESS) {
    return "<none>";
  }
  return value;
}

}  // namespace testing_support
}  // namespace vexlo
