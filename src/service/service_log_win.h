// The service log: what the service process did and every line its child
// wrote, for the operator (logs.service; the launcher log is the developer's
// trace). Lines gather in memory, from either thread, and only the service
// main's thread writes them: when a block's worth has gathered, at least
// every second, and before the service reports stopped, so that the drain
// never waits for the other thread and nothing stays unwritten for long. The
// file becomes "<path>.1" at its size limit (one old file is kept). A failed
// write never ends the service: the lines are counted, and the count is
// written once writing works again. The file is opened non-inheritable.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/log_win.h"
#include "sys/wide.h"
#include "sys/win.h"

namespace vexlo {

// The service log's path from the configuration: logs.service (relative to
// the executable's folder), the default when it has none, or when its value
// is refused (with an error line in the launcher log); empty when it is "".
// The service and the install command (which lets the service account write
// its folder) resolve it alike.
WideString ServiceLogPath();

// Creates the folders of a file's `path` that do not exist yet.
void CreateFoldersOf(const WideString& path);

// Starts the log at ServiceLogPath() with logs.service-max-size.
void StartServiceLog();
// Starts it at a given path and limit (an empty path keeps it off). The file
// and its missing folders are created when the first lines are written.
void StartServiceLogAt(const WideString& path, uint64_t max_bytes);

// A line saying what the service did, printf-style (the C runtime's
// conventions, as in the launcher log); from any thread.
void ServiceLogEvent(const char* format, ...) VEXLO_LOG_FORMAT(1, 2);
// The child's output as it arrives, and its end; the service main's thread.
void ServiceLogOutput(const char* data, size_t size);
void ServiceLogOutputEnded();

// Milliseconds until the gathered lines are due to be written; INFINITE
// while none wait.
DWORD ServiceLogDueMs();
// Writes the gathered lines; the service main's thread only.
void FlushServiceLog();

// The last lines (up to `max_lines`) that the child of the service's last run
// wrote, read from the end of the service log; none when the log is off or
// cannot be read. For the commands, not the service.
std::vector<std::string> LastChildLines(const std::string& service_name, size_t max_lines);

}  // namespace vexlo
