// The rules of the launcher's own settings (records 30000 to 30999, see
// record_ids.h), shared by the launcher, which reads them, and the builder,
// which checks them.
#pragma once
#include <string>
#include <vector>

#include "core/byte_size.h"
#include "core/duration.h"
#include "core/record_ids.h"

namespace vexlo {

// The Java side halts the application this long before the supervisor ends
// the child's processes, so that a stop ends gracefully where it can.
constexpr uint64_t kJavaStopMarginMs = 5000;

// From the stop (or shutdown) control to the forced end of the child's
// process tree; the Java side gets a second less at the least.
inline constexpr DurationSetting kStopTimeoutSetting = {record::kStopTimeout, "30s", kJavaStopMarginMs + 1000,
                                                 86400 * 1000, false};

// The service log's size, beyond which it becomes "<name>.1". The smallest
// still holds a few hundred lines.
inline constexpr SizeSetting kServiceLogMaxSizeSetting = {record::kServiceLogMaxSize, "10MB", 64 * 1024,
                                                   uint64_t{1024} << 30};

// Why `text` cannot be the service log's path, or "" when it can: a file's
// path, relative to the executable's folder or full, without variables (the
// install command and the service must resolve it alike, in different
// environments). "" itself turns the log off.
std::string ServiceLogPathProblem(const std::string& text);

// How long a machine shutdown waits for the service (preshutdown); "0s"
// leaves it to the shutdown control and the few seconds the system gives
// every service there.
inline constexpr DurationSetting kPreshutdownTimeoutSetting = {record::kPreshutdownTimeout, "60s", 1000, 3600 * 1000,
                                                        true};

// How long -start (and -install-and-start) watches a started service before
// it calls the start good: a child that fails at once (no Java runtime, a
// missing jar) stops the service within it. "0s": -start returns as soon as
// the service control manager has started the service.
inline constexpr DurationSetting kStartCheckSetting = {record::kStartCheck, "3s", 1000, 3600 * 1000, true};

// ---- service.account (record 30003) -----------------------------------------

// The account name the service control manager takes for a service.account
// value: "" for "LocalSystem" (and the empty value), "NT AUTHORITY\..." for
// "LocalService" and "NetworkService", "NT SERVICE\<service name>" for
// "virtual", and anything else as it is, as a user, which needs a password
// (*user set).
std::string ServiceAccountName(const std::string& value, const std::string& service_name, bool* user);

// True when `value` is one of the words above or a user as ".\name",
// "DOMAIN\name" or "name@domain" (not in the domains "NT AUTHORITY" and
// "NT SERVICE", whose accounts take no password). The launcher leaves the
// user's form to the builder and the service control manager.
bool IsAccount(const std::string& value);

// ---- service.recovery (record 30005) ----------------------------------------

// The record as the system takes it: the reset period in seconds, then for
// each failure action a blank and "R<milliseconds>" (restart after that
// delay), "C" (run the command) or "N" (none), then a line feed and the
// command line of the run actions (the system keeps one for all of them),
// empty without one: "86400 R10000 R60000 N\n".
constexpr size_t kMaxRecoveryActions = 3;
// A restart waits at least a second, so that a service that fails at once
// does not restart in a tight loop.
inline constexpr DurationSetting kRestartDelaySetting = {record::kRecovery, "1m", 1000, 86400 * 1000, false};
// After this long without a failure the count starts at the first action
// again.
inline constexpr DurationSetting kRecoveryResetSetting = {record::kRecovery, "1d", 1000, 3650ull * 86400 * 1000,
                                                          false};

struct RecoveryAction {
  uint32_t type;  // as the system numbers them: 0 none, 1 restart, 3 run a command
  uint32_t delay_ms;
};

struct Recovery {
  uint32_t reset_seconds = 0;
  RecoveryAction actions[kMaxRecoveryActions] = {};
  uint32_t action_count = 0;
  size_t command_start = 0;  // the record from there on is the command line
};

// Fills a fresh *recovery from the record. False, and *recovery means
// nothing, for anything the builder does not write: a reset
// period or delay outside its setting's range, no action or more than three,
// a run action without a command or a command without one.
bool ParseRecovery(const std::string& record, Recovery* recovery);

// ---- service.environment (record 30010) -------------------------------------

// One "NAME=value" line a variable, in the configuration's order. The service
// expands each value and sets it in its child's environment before the next,
// so a value may use a variable of an earlier line; an empty value removes
// the variable.

// The longest value the system keeps in an environment, in characters.
constexpr size_t kMaxVariableValue = 32766;

// Why `name` cannot be a variable's name, or "" when it can: not empty, no
// "=" (it ends the name in the environment block) and no control character.
std::string VariableNameProblem(const std::string& name);

// The variable of the record's line that begins at *position, and the
// position of the next line: false at the record's end or for a line the
// builder does not write (without "=", or with an empty name).
bool NextVariable(const std::string& record, size_t* position, std::string* name, std::string* value);

// ---- java.stop (record 30011) -----------------------------------------------

// The public static method the Java side calls on the stop request. The
// record's lines are its class, its name and then its arguments, one a
// line; the launcher hands the record on as it is, expanded, in the system
// property vexlo.stop.
struct JavaStop {
  std::string class_name;
  std::string method;
  std::vector<std::string> arguments;
};

// False for a record of fewer than two lines or with an empty class or
// method name.
bool ParseJavaStop(const std::string& record, JavaStop* stop);

// ---- logs.rotate (record 30012) ---------------------------------------------

// The size at which the Java side's output and error logs roll over into
// "<name>.1" ... "<name>.<keep>", and how many of those are kept: "10MB 5".
// The launcher hands the record on as it is, in the system property
// vexlo.logs.rotate.
inline constexpr SizeSetting kLogRotateSizeSetting = {record::kLogRotation, "10MB", 1024, uint64_t{1} << 30};
constexpr uint32_t kDefaultLogRotateKeep = 5;
constexpr uint32_t kMaxLogRotateKeep = 99;

struct LogRotation {
  uint64_t max_bytes = 0;
  uint32_t keep = 0;
};

// False for anything but a size of the setting, one blank and a count from
// 1 to kMaxLogRotateKeep without leading zero.
bool ParseLogRotation(const std::string& record, LogRotation* rotation);

}  // namespace vexlo
