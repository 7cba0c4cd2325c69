// Reading and removing services in the real service control manager, for
// tests that install services through a launcher.
#pragma once
#include <string>

#include "sys/win.h"

namespace vexlo {
namespace testing_support {

struct ServiceConfig {
  bool found = false;
  DWORD type = 0, start_type = 0, error_control = 0;
  std::string binary_path, account;
  std::wstring description;
  DWORD preshutdown_ms = 0;  // 0: none set
};

// What the service control manager holds for a service; found is false when
// it does not exist.
ServiceConfig QueryServiceSettings(const std::string& name);

// The first dependency as stored (the system may keep only the first):
// "<none>" without one, "<no key>" without the service's registry key.
std::string FirstDependency(const std::string& name);

// Stops (waiting up to 10 s) and deletes a service, if it exists.
void RemoveService(const std::string& name);

}  // namespace testing_support
}  // namespace vexlo
