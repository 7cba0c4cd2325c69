#include "service/supervision.h"

#include "core/args.h"

namespace vexlo {

bool BuildChildCommandLine(const WideString& executable_path, const WideString& service_name,
                           const std::vector<WideString>& own_arguments,
                           const std::vector<WideString>& start_parameters, WideString* command_line) {
  // Element 0 is read by the system's own rules, where only double quotes
  // group; a path never holds one.
  WideString line;
  if (executable_path.find(static_cast<WideChar>('"')) != WideString::npos ||
      !AppendQuotedArgument(executable_path, &line) || !AppendQuotedArgument(service_name, &line)) {
    return false;
  }
  for (const WideString& argument : own_arguments) {
    if (!AppendQuotedArgument(argument, &line)) return false;
  }
  for (const WideString& parameter : start_parameters) {
    if (!AppendQuotedArgument(parameter, &line)) return false;
  }
  line += VEXLO_WIDE(" __tvl_restart");
  if (line.size() > kMaxChildCommandLine) return false;
  command_line->swap(line);
  return true;
}

bool IsPriorityClass(uint32_t value) {
  switch (value) {
    case 0x20:    // normal
    case 0x40:    // idle
    case 0x80:    // high
    case 0x100:   // realtime
    case 0x4000:  // below normal
    case 0x8000:  // above normal
      return true;
    default:
      return false;
  }
}

SupervisionAction OnControl(SupervisionState& state, uint32_t control) {
  SupervisionAction action;
  if (state.final_reported) return action;
  if (control == kControlStop || control == kControlShutdown || control == kControlPreshutdown) {
    if (control == kControlShutdown) ++state.check_point;
    state.current_state = kStateStopPending;
    state.wait_hint = kStopWaitHintMs;
    action.stop_requested = true;
    if (state.child_running && !state.stop_relayed) {
      state.stop_relayed = true;
      action.relay_stop = true;
    }
  }
  action.report = true;
  return action;
}

SupervisionAction OnStopProgress(SupervisionState& state) {
  SupervisionAction action;
  if (state.final_reported || state.current_state != kStateStopPending) return action;
  ++state.check_point;
  action.report = true;
  return action;
}

SupervisionAction OnChildCreated(SupervisionState& state) {
  SupervisionAction action;
  state.child_running = true;
  if (state.final_reported) return action;
  if (state.current_state == kStateStopPending) {
    if (!state.stop_relayed) {
      state.stop_relayed = true;
      action.relay_stop = true;
    }
    return action;
  }
  state.current_state = kStateRunning;
  action.report = true;
  return action;
}

SupervisionAction OnStartFailed(SupervisionState& state) {
  SupervisionAction action;
  if (state.final_reported) return action;
  state.current_state = kStateStopped;
  state.win32_exit_code = kServiceSpecificError;
  state.specific_exit_code = 5000;
  state.final_reported = true;
  action.report = true;
  return action;
}

SupervisionAction OnChildEnded(SupervisionState& state, uint32_t exit_code) {
  SupervisionAction action;
  state.child_running = false;
  if (state.final_reported) return action;
  if (exit_code != 0 && state.current_state != kStateStopPending) {
    state.win32_exit_code = kServiceSpecificError;
    state.specific_exit_code = exit_code;
  }
  state.current_state = kStateStopped;
  state.final_reported = true;
  action.report = true;
  return action;
}

uint32_t StopWaitSlice(uint64_t elapsed_ms, uint64_t timeout_ms) {
  if (elapsed_ms >= timeout_ms) return 0;
  const uint64_t left = timeout_ms - elapsed_ms;
  return left < kStopProgressMs ? static_cast<uint32_t>(left) : kStopProgressMs;
}

}  // namespace vexlo
