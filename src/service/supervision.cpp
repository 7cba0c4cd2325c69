#include "service/supervision.h"

namespace vexlo {
namespace {

constexpr WideChar kSpace = static_cast<WideChar>(' ');
constexpr WideChar kDoubleQuote = static_cast<WideChar>('"');
constexpr WideChar kSingleQuote = static_cast<WideChar>('\'');

// The executable's own path goes first without a leading space; it cannot
// hold a double quote, so double quotes always pass it.
WideString QuotedExecutable(const WideString& path) {
  if (path.find(kSpace) == WideString::npos && path.find(kSingleQuote) == WideString::npos) return path;
  return kDoubleQuote + path + kDoubleQuote;
}

}  // namespace

bool AppendChildArgument(const WideString& element, WideString* command_line) {
  const bool has_double = element.find(kDoubleQuote) != WideString::npos;
  const bool has_single = element.find(kSingleQuote) != WideString::npos;
  if (has_double && has_single) return false;
  command_line->push_back(kSpace);
  const bool needs_quotes = element.empty() || has_double || has_single ||
                            element.find(kSpace) != WideString::npos;
  if (!needs_quotes) {
    command_line->append(element);
    return true;
  }
  // Inside a quoted part the other quote character is ordinary.
  const WideChar quote = has_double ? kSingleQuote : kDoubleQuote;
  command_line->push_back(quote);
  command_line->append(element);
  command_line->push_back(quote);
  return true;
}

bool BuildChildCommandLine(const WideString& executable_path, const WideString& service_name,
                           const std::vector<WideString>& own_arguments,
                           const std::vector<WideString>& start_parameters, WideString* command_line) {
  if (executable_path.find(kDoubleQuote) != WideString::npos) return false;
  WideString line = QuotedExecutable(executable_path);
  if (!AppendChildArgument(service_name, &line)) return false;
  for (const WideString& argument : own_arguments) {
    if (!AppendChildArgument(argument, &line)) return false;
  }
  for (const WideString& parameter : start_parameters) {
    if (!AppendChildArgument(parameter, &line)) return false;
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
  if (control == kControlStop || control == kControlShutdown) {
    if (control == kControlShutdown) ++state.check_point;
    state.current_state = kStateStopPending;
    if (state.child_running && !state.stop_relayed) {
      state.stop_relayed = true;
      action.relay_stop = true;
    }
  }
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
  state.win32_exit_code = 1066;  // ERROR_SERVICE_SPECIFIC_ERROR
  state.specific_exit_code = 5000;
  state.final_reported = true;
  action.report = true;
  return action;
}

SupervisionAction OnChildEnded(SupervisionState& state, uint32_t exit_code) {
  SupervisionAction action;
  state.child_running = false;
  if (state.final_reported) return action;
  if (exit_code == 0 || state.current_state == kStateStopPending) {
    state.current_state = kStateStopped;
    state.final_reported = true;
    action.report = true;
  }
  return action;
}

}  // namespace vexlo
