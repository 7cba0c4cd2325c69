#include "service/service_text.h"

#include "sys/text_list.h"

namespace vexlo {

std::string DependencyList(const std::string& comma_separated) {
  std::string list;
  for (const std::string& piece : SplitList(comma_separated, ',')) {
    list += piece;
    list.push_back('\0');
  }
  if (!list.empty()) list.push_back('\0');
  return list;
}

std::string RegisteredBinaryPath(const std::string& executable_path) {
  if (executable_path.find(' ') == std::string::npos) return executable_path;
  return "\"" + executable_path + "\"";
}

bool UnsupportedSetting(uint32_t error) {
  return error == 0 || error == 50 || error == 120 || error == 124;
}

bool MayGrantFolder(const std::string& folder, const std::string& executable_directory) {
  // Compared as the file system does: ASCII letters in either case, and a
  // trailing backslash changes nothing.
  size_t length = folder.size();
  while (length > 0 && folder[length - 1] == '\\') --length;
  if (length > executable_directory.size()) return true;
  for (size_t i = 0; i < length; ++i) {
    const char a = folder[i], b = executable_directory[i];
    if (a != b && ((a | 0x20) != (b | 0x20) || (a | 0x20) < 'a' || (a | 0x20) > 'z')) return true;
  }
  return length < executable_directory.size() && executable_directory[length] != '\\';
}

}  // namespace vexlo
