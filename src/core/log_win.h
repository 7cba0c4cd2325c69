// The launcher log: a diagnostic trace, off unless VEXLO_LOG or TAVRELIUM_LOG
// is exactly "yes" when the process first logs. Each process writes its own
// file tvl_nlog_N; every line opens, appends and closes the file, so the log
// is complete up to the last line even when the process is killed. Safe from
// any thread, also before the configuration block is read.
#pragma once
#include <stdio.h>

#include <string>

// Log formats are checked at compile time against msvcrt's conventions, which
// the log writes with (%S wide, %I64d, %p).
#if defined(__MINGW32__)
#define VEXLO_LOG_FORMAT(format_index, first_argument) \
  __attribute__((format(ms_printf, format_index, first_argument)))
#else
#define VEXLO_LOG_FORMAT(format_index, first_argument)
#endif

namespace vexlo {

// printf-style (the C runtime's conventions: %s narrow, %S wide, %I64d).
void LogLine(const char* format, ...) VEXLO_LOG_FORMAT(1, 2);
// The same with "ERROR: " in front.
void LogErrorLine(const char* format, ...) VEXLO_LOG_FORMAT(1, 2);
// LogErrorLine for a failure that may have struck anywhere, the log itself
// included, when memory may be gone: it allocates nothing of its own, never
// waits for the log lock and never sets the log up; it drops the line instead.
void LogErrorLineNow(const char* format, ...) VEXLO_LOG_FORMAT(1, 2);
// The log file's path, or null while logging is off.
const char* LogFilePath();

// How the log's files are opened, exposed for tests. None is inheritable: a
// child started with handle inheritance while a line is being written (the
// service's child, say) must not hold the log open.
// Creates the first free tvl_nlog_N (N from 2) in `directory` (which ends in
// a separator or is empty) for writing; null when none can be created.
FILE* CreateNumberedLog(const std::string& directory, std::string* path);
// Opens a log path for appending or for writing from scratch.
FILE* OpenLogFile(const char* path, bool append);

}  // namespace vexlo
