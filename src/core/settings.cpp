#include "core/settings.h"

#include <cstring>

namespace vexlo {

std::string ServiceLogPathProblem(const std::string& text) {
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x20) return "a path cannot hold a control character";
    if (std::strchr("<>\"|?*", c) != nullptr) return std::string("a path cannot hold \"") + text[i] + "\"";
    const bool drive = i == 1 && ((text[0] >= 'A' && text[0] <= 'Z') || (text[0] >= 'a' && text[0] <= 'z')) &&
                       i + 1 < text.size() && (text[i + 1] == '\\' || text[i + 1] == '/');
    if (c == ':' && !drive) return "\":\" only follows a drive letter, before a backslash (\"D:\\logs\\app.log\")";
  }
  if (text.find("${") != std::string::npos || text.find("%VEXLO_") != std::string::npos ||
      text.find("%TAVRELIUM_") != std::string::npos) {
    return "variables are not expanded here: give a full path or one relative to the executable's folder";
  }
  const size_t last = text.find_last_of("\\/:");
  const std::string name = last == std::string::npos ? text : text.substr(last + 1);
  if (!text.empty() && (name.empty() || name == "." || name == "..")) {
    return "names a folder: end it with the log file's name";
  }
  return std::string();
}

}  // namespace vexlo
