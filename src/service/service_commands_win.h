// Administration of this executable's own Windows service. Each operation
// prints its outcome on standard output and returns the process exit code.
#pragma once

namespace vexlo {

enum class StartType : unsigned { kAuto = 2, kDemand = 3 };

// 0 installed, 1 failed. Replaces a service of the same name. Delayed start
// applies to automatic start only.
int InstallService(StartType start_type, bool delayed_start);
// 0 started (and, with a start check, still running at its end) or already
// running; 1 failed, also when the service stopped during the check, with
// its exit code and its child's last lines.
int StartService();
// 0 stopped or already stopped; 1 failed, also when the stop did not
// complete.
int StopService(bool messages);
// 0 deleted, 1 failed.
int UninstallService(bool messages);
// 0 running, 3 not running (with the last service-specific exit code), 1
// failed.
int ServiceStatus();

}  // namespace vexlo
