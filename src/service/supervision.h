// The supervision rules of the service process, free of Win32 so they are
// tested everywhere: the child's command line, the accepted priority classes
// and the service state as controls arrive and the child starts and ends.
#pragma once
#include <cstdint>
#include <vector>

#include "sys/wide.h"

namespace vexlo {

// The longest command line the system accepts for a new process, without its
// terminator.
constexpr size_t kMaxChildCommandLine = 32766;

// The child's command line: the executable's own path, the service name, the
// service process's further arguments, the start parameters and the restart
// marker, each quoted so the child's splitting gives it back unchanged. False
// when an element holds both quote characters or the line would exceed
// kMaxChildCommandLine.
bool BuildChildCommandLine(const WideString& executable_path, const WideString& service_name,
                           const std::vector<WideString>& own_arguments,
                           const std::vector<WideString>& start_parameters, WideString* command_line);

// True for the six priority classes CreateProcess takes; other registry values
// (for example a suspend or debug flag) must never reach it.
bool IsPriorityClass(uint32_t value);

// Service states and controls as the service control manager numbers them.
constexpr uint32_t kStateStopped = 1;
constexpr uint32_t kStateStartPending = 2;
constexpr uint32_t kStateStopPending = 3;
constexpr uint32_t kStateRunning = 4;
constexpr uint32_t kStateContinuePending = 5;
constexpr uint32_t kStatePausePending = 6;
constexpr uint32_t kControlStop = 1;
constexpr uint32_t kControlShutdown = 5;
constexpr uint32_t kControlPreshutdown = 15;
constexpr uint32_t kAcceptStop = 1;
constexpr uint32_t kAcceptShutdown = 4;
constexpr uint32_t kAcceptPreshutdown = 0x100;
constexpr uint32_t kServiceSpecificError = 1066;  // ERROR_SERVICE_SPECIFIC_ERROR

// While running, the wait hint means nothing; while stop-pending, the service
// raises the check point at least every kStopProgressMs and announces a wait
// hint a little above that, so that whoever waits for the stop sees it move.
constexpr uint32_t kRunningWaitHintMs = 50000;
constexpr uint32_t kStopProgressMs = 1000;
constexpr uint32_t kStopWaitHintMs = 3000;

// What the service reports, and what it knows about the child and the stop.
struct SupervisionState {
  uint32_t current_state = kStateRunning;
  uint32_t check_point = 0;
  uint32_t wait_hint = kRunningWaitHintMs;
  uint32_t win32_exit_code = 0;
  uint32_t specific_exit_code = 0;
  // Preshutdown only with a preshutdown time: the system then waits for the
  // service at a machine shutdown.
  uint32_t controls_accepted = kAcceptStop | kAcceptShutdown;
  bool child_running = false;   // created and not yet seen to end
  bool stop_relayed = false;    // the stop line has been sent (it is sent once)
  bool final_reported = false;  // stopped has been reported: nothing follows it
};

// What the caller does after a change, under the same lock.
struct SupervisionAction {
  bool report = false;      // report the status record
  bool relay_stop = false;  // send the stop line to the child and close its input
  bool stop_requested = false;  // the service main's bounded wait for the child begins
};

// A control from the service control manager. Preshutdown is a stop; a stop
// that arrives before the child exists is remembered (stop-pending) and
// relayed once it is created.
SupervisionAction OnControl(SupervisionState& state, uint32_t control);
// The child still runs a progress interval into the stop: the check point
// moves on.
SupervisionAction OnStopProgress(SupervisionState& state);
// The child has been created: running is reported again, unless a stop is
// already pending, in which case the stop is relayed now.
SupervisionAction OnChildCreated(SupervisionState& state);
// The child could not be started: stopped with the service-specific error.
SupervisionAction OnStartFailed(SupervisionState& state);
// The child ended: stopped, after a stop request or with exit code 0 as a
// clean stop, otherwise as a failure (the service-specific error with the
// child's exit code), so that the service control manager sees it as one.
SupervisionAction OnChildEnded(SupervisionState& state, uint32_t exit_code);

// How long the service main waits for the child before its next progress
// report, `elapsed_ms` into a stop with `timeout_ms`: the progress interval,
// cut to what is left of the timeout; 0 once it has expired.
uint32_t StopWaitSlice(uint64_t elapsed_ms, uint64_t timeout_ms);

}  // namespace vexlo
