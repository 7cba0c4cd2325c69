#include "service/service_text.h"

namespace vexlo {

std::string DependencyList(const std::string& comma_separated) {
  std::string list;
  size_t start = 0;
  while (start <= comma_separated.size()) {
    size_t comma = comma_separated.find(',', start);
    if (comma == std::string::npos) comma = comma_separated.size();
    if (comma > start) {
      list.append(comma_separated, start, comma - start);
      list.push_back('\0');
    }
    start = comma + 1;
  }
  if (!list.empty()) list.push_back('\0');
  return list;
}

std::string RegisteredBinaryPath(const std::string& executable_path) {
  if (executable_path.find(' ') == std::string::npos) return executable_path;
  return "\"" + executable_path + "\"";
}

}  // namespace vexlo
