// Creating the JVM in this process and calling the Java side's launcher
// class: the last step of a child start.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "sys/wide.h"

namespace vexlo {

// Assembles the options, creates the JVM, calls main and, when asked,
// destroys the JVM (which waits for the application's non-daemon threads).
// False when the JVM could not be created or main could not be called; a
// missing required class path entry or launcher class ends the process with
// its message.
bool Launch(const std::vector<WideString>& program_arguments, bool destroy_afterwards);

// A log file name as the Java side gets it (records 102 to 105): expanded; a
// name starting with "$" is the Java side's business and stays as it is,
// anything else becomes a full path. Empty when the log is off.
std::string LogFilePath(int32_t enabled_record, int32_t name_record);

// Fills the JVM start arguments from the own options and every other source.
void BuildStartArguments(const std::vector<std::string>& own_options,
                         const std::vector<WideString>& program_arguments);

// JNI_CreateJavaVM with the start arguments; true when it returned 0.
bool CreateVm();

// Builds the argument array and calls the launcher class's main. False when
// the array could not be built or an exception escaped main or firstRun.
bool InvokeMain(const std::vector<WideString>& program_arguments);

enum class FirstRunResult { kContinue, kStop, kFailed };
// With the first-run marker present, calls FirstRun.firstRun(): false stops
// the start normally, an exception makes it fail.
FirstRunResult CheckFirstRun();

}  // namespace vexlo
