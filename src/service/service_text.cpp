#include "service/service_text.h"

#include "service/supervision.h"
#include "sys/text_list.h"

namespace vexlo {

std::string DependencyList(const std::string& comma_separated) {
  std::string list;
  for (const std::string& piece : SplitList(comma_separated, ',')) {
    list += piece;
    list.push_back('\0');
  }
  if (!list.empty()) list.push_back('\0');
  return list;
}

std::string RegisteredBinaryPath(const std::string& executable_path) {
  if (executable_path.find(' ') == std::string::npos) return executable_path;
  return "\"" + executable_path + "\"";
}

bool UnsupportedSetting(uint32_t error) {
  return error == 0 || error == 50 || error == 120 || error == 124;
}

bool MayGrantFolder(const std::string& folder, const std::string& executable_directory) {
  // Compared as the file system does: ASCII letters in either case, and a
  // trailing backslash changes nothing.
  size_t length = folder.size();
  while (length > 0 && folder[length - 1] == '\\') --length;
  if (length > executable_directory.size()) return true;
  for (size_t i = 0; i < length; ++i) {
    const char a = folder[i], b = executable_directory[i];
    if (a != b && ((a | 0x20) != (b | 0x20) || (a | 0x20) < 'a' || (a | 0x20) > 'z')) return true;
  }
  return length < executable_directory.size() && executable_directory[length] != '\\';
}

StartWatch WatchStart(StartWatchState& watch, uint32_t state, uint32_t check_point, uint32_t wait_hint_ms,
                      uint64_t now_ms) {
  if (state != watch.state) {
    watch.state = state;
    watch.state_since = now_ms;
    watch.check_point = check_point;
    watch.progress_since = now_ms;
  } else if (check_point != watch.check_point) {
    watch.check_point = check_point;
    watch.progress_since = now_ms;
  }
  switch (state) {
    case kStateStopped:
      return StartWatch::kStopped;
    case kStateRunning:
      return now_ms - watch.state_since >= watch.check_ms ? StartWatch::kRunning : StartWatch::kWatching;
    // A stop on its way is watched to its end: its exit code comes with it.
    case kStateStartPending:
    case kStateStopPending:
    case kStateContinuePending:
    case kStatePausePending:
      return now_ms - watch.progress_since > wait_hint_ms ? StartWatch::kNoProgress : StartWatch::kWatching;
    default:
      return StartWatch::kRunning;
  }
}

std::string UsageText(const std::string& program) {
  return "Usage: " + program +
         " -<command> [service name]\n"
         "\n"
         "  -install            install the service with the configured start type\n"
         "                      (a service of the same name is replaced)\n"
         "  -install-and-start  install it, then start it\n"
         "  -install-auto       install it with automatic start\n"
         "  -install-demand     install it with demand start\n"
         "  -uninstall          stop it and remove it\n"
         "  -start              start it and watch it through its start check\n"
         "  -stop               stop it and wait until it has stopped\n"
         "  -status             say whether it is running\n"
         "  -help               show this text\n"
         "\n"
         "/ and -- work as prefixes too. A service name after the command takes the\n"
         "place of the configured one.\n"
         "Exit codes: 0 success, 1 failure, 3 not running (-status).\n";
}

}  // namespace vexlo
