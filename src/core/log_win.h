// The launcher log: a diagnostic trace, off unless VEXLO_LOG or TAVRELIUM_LOG
// is exactly "yes" when the process first logs. Each process writes its own
// file tvl_nlog_N; every line opens, appends and closes the file, so the log
// is complete up to the last line even when the process is killed. Safe from
// any thread, also before the configuration block is read.
#pragma once

namespace vexlo {

// printf-style (the C runtime's conventions: %s narrow, %S wide, %I64d).
void LogLine(const char* format, ...);
// The same with "ERROR: " in front.
void LogErrorLine(const char* format, ...);
// The log file's path, or null while logging is off.
const char* LogFilePath();

}  // namespace vexlo
