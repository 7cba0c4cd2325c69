// The launcher's own executable and its configuration block.
#pragma once
#include <cstdint>
#include <string>

#include "core/block_format.h"
#include "core/duration.h"
#include "sys/handle_win.h"
#include "sys/wide.h"

namespace vexlo {

// Works out the user's locale text ("en", "de_AT") that selects the override
// blocks; called once, between the default records and the override blocks,
// so that its log line stands there.
using LocaleDetector = std::string (*)();

// Reads the block appended to this executable into the record tables, applies
// the locale overrides, records the block end and sets the dialog mode. Ends
// the process with the fixed texts on any failure.
void ReadConfigurationBlock(LocaleDetector detect_locale);

// The full path of this executable in the file APIs' code page, computed once.
const std::string& ExecutablePath();
// Its long wide form, computed with it.
const WideString& ExecutableLongPath();
// The executable's directory, always ending in a backslash.
const std::string& ExecutableDirectory();

struct ExecutablePaths {
  std::string narrow;
  WideString long_wide;
  std::string directory;
};
// The paths above worked out for a code page of the file APIs; tests use it
// for code pages the system cannot be set to.
ExecutablePaths ComputeExecutablePaths(UINT code_page);

// Opens this executable for reading, sharing read and write with others;
// ends the process when it cannot be opened.
UniqueFile OpenOwnExecutable();

// An open file as the byte source of the block's stream readers.
ByteSource FileSource(HANDLE file);

// Low 32 bits of the file offset behind the block, where included files start.
uint32_t BlockEndPosition();

// True while fatal messages go to a message box rather than standard error.
bool DialogMode();

// Set to "1" by the service process in its child's environment. A service's
// child runs in a session without a desktop, where a message box would wait
// for ever unseen: it writes every message to standard error.
constexpr char kServiceChildVariable[] = "VEXLO_SERVICE_CHILD";
// Reads the variable once, before anything can show a message, and removes
// it, so that the processes the application starts do not inherit it; the
// same for the temporary folder the service process chose.
void TakeServiceChildMark();

// A duration setting (records 30000 to 30999): the record's value, or the
// setting's default, with an error line, when the record is not a valid
// value of the setting. An absent or empty record gives the default.
uint64_t ConfigDurationMs(const DurationSetting& setting);

}  // namespace vexlo
