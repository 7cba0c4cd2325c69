// Texts handed to the service control manager when a service is created,
// and the commands' rules that need no system.
#pragma once
#include <cstdint>
#include <string>

namespace vexlo {

// The dependency list in the form CreateService takes: each non-empty piece of
// the comma-separated record, unchanged, followed by a zero byte, and one
// more zero byte at the end. Empty when there are no pieces (no list).
std::string DependencyList(const std::string& comma_separated);

// The binary path as registered. A path with a space is quoted: unquoted,
// C:\Program Files\x\svc.exe would let a planted C:\Program.exe run as
// LocalSystem in the service's place.
std::string RegisteredBinaryPath(const std::string& executable_path);

// True for the answers of a service control manager that does not know a
// setting (an older system, or Wine): invalid level, not supported, not
// implemented, or a refusal without a reason (0).
bool UnsupportedSetting(uint32_t error);

// False for the executable's folder and every folder above it: rights
// granted there reach the executable, and whoever holds them could replace
// a program that administrators run. Both are full paths.
bool MayGrantFolder(const std::string& folder, const std::string& executable_directory);

// What -start makes of the service's state while it watches a start.
enum class StartWatch {
  kWatching,    // not decided yet: look again
  kRunning,     // running for the whole start check
  kStopped,     // stopped (or stop-pending) before the check was over
  kNoProgress,  // pending without progress for longer than its wait hint
};

struct StartWatchState {
  uint64_t check_ms = 0;  // how long running must last
  uint32_t state = 0;     // as last seen, with the time it was first seen
  uint64_t state_since = 0;
  uint32_t check_point = 0;  // as last seen, with the time it last moved
  uint64_t progress_since = 0;
};

// The next step after a status query at `now_ms`. A pending state counts as
// progress while its check point moves, and as none once the wait hint has
// passed since the last move; running counts from when it was first seen;
// any other state of a started service (paused, say) counts as running.
StartWatch WatchStart(StartWatchState& watch, uint32_t state, uint32_t check_point, uint32_t wait_hint_ms,
                      uint64_t now_ms);

// The usage text of the executable `program` (its file name): the command
// words, what each does, and the exit codes.
std::string UsageText(const std::string& program);

}  // namespace vexlo
