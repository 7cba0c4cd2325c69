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

}  // namespace vexlo
