#include "sys/process_path_win.h"

#include <stdlib.h>
#include <string.h>

#include "sys/text_win.h"

namespace vexlo {

std::vector<std::string> EnvironmentEntries() {
  std::vector<std::string> entries;
  char* block = GetEnvironmentStringsA();
  if (block == nullptr) return entries;
  for (const char* entry = block; *entry != '\0'; entry += strlen(entry) + 1) entries.push_back(entry);
  FreeEnvironmentStringsA(block);
  return entries;
}

std::string ProcessPath(bool* set) {
  if (set != nullptr) *set = false;
  for (const std::string& entry : EnvironmentEntries()) {
    if (_strnicmp(entry.c_str(), "PATH=", 5) == 0) {
      if (set != nullptr) *set = true;
      return entry.substr(5);
    }
  }
  return std::string();
}

bool SetProcessPath(const char* value, DWORD* error) {
  if (value != nullptr && NarrowToWide(value, CP_ACP).size() > kMaxEnvironmentValueLength) {
    *error = ERROR_FILENAME_EXCED_RANGE;
    return false;
  }
  const bool set = SetEnvironmentVariableA("PATH", value) != 0;
  if (!set) *error = GetLastError();
  _putenv((std::string("PATH=") + (value != nullptr ? value : "")).c_str());  // msvcrt copies the text
  return set;
}

}  // namespace vexlo
