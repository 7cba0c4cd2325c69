// Texts handed to the service control manager when a service is created.
#pragma once
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

}  // namespace vexlo
