// User-facing errors: a message box in dialog mode, standard error otherwise,
// and the one exit routine every fatal path ends through.
#pragma once
#include <string>

namespace vexlo {

// Shows a ready text (with the log path appended while logging is on).
void ShowText(const std::string& text);
// Shows catalogue message `message_id` (records 1000 to 1020), with the
// argument in place of its first "{0}" when one is given.
void ShowMessage(int message_id, const char* argument = nullptr);

// From now on a failure of the C++ library inside the launcher (memory
// exhausted, ...) writes an error line to the log and removes the launcher
// temporary directory before the process ends with exit code 1.
void ReportLibraryFailures();

// Removes the launcher temporary directory of this run, then ends the process
// at once with the code: no C runtime exit processing.
[[noreturn]] void FatalExit(unsigned exit_code);
[[noreturn]] void FatalText(const std::string& text);
[[noreturn]] void FatalMessage(int message_id, const char* argument = nullptr);
// Internal error: message 1009 with the code text.
[[noreturn]] inline void FatalInternalError(const char* code) { FatalMessage(1009, code); }

}  // namespace vexlo
