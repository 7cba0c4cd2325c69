// Texts handed to the service control manager when a service is created,
// and the install's rules that need no system.
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

}  // namespace vexlo
