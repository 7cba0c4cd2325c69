// Administration of this executable's own Windows service. Each operation
// prints its outcome on standard output and returns the process exit code.
#pragma once

namespace vexlo {

enum class StartType : unsigned { kAuto = 2, kDemand = 3 };

// 0 installed, 1 failed. Replaces a service of the same name. Delayed start
// applies to automatic start only.
int InstallService(StartType start_type, bool delayed_start);
// 0 started or already running, 1 failed. Does not wait for running.
int StartService();
// 0 stop accepted or already stopped, 1 failed.
int StopService(bool messages);
// 0 deleted, 1 failed.
int UninstallService(bool messages);
// 0 running, 3 not running, 1 failed.
int ServiceStatus();

}  // namespace vexlo
