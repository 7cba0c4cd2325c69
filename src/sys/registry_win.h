// Reading the registry: keys opened read-only in the process's own view (the
// 64-bit view for the 64-bit launcher; no view flag is ever added), values
// and sub-key names of any length.
#pragma once
#include <string>
#include <vector>

#include "sys/handle_win.h"

namespace vexlo {

// Opens root\path with KEY_READ; an empty owner when it cannot be opened.
UniqueKey OpenRegistryKey(HKEY root, const std::string& path);

// A string value (REG_SZ, or REG_EXPAND_SZ expanded), whole, without the
// terminator. False when the value is missing or holds no string.
bool ReadRegistryString(HKEY key, const char* name, std::string* value);

// A value's raw bytes, whatever its type. False when it cannot be read.
bool ReadRegistryBytes(HKEY key, const char* name, std::string* bytes);

// The names of the key's sub-keys in the order the system enumerates them.
std::vector<std::string> RegistrySubKeyNames(HKEY key);

}  // namespace vexlo
