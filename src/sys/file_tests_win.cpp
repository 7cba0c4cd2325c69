#include "sys/file_tests_win.h"

#include "sys/handle_win.h"

namespace vexlo {

bool Exists(const std::string& path) {
  if (path.size() >= 2) {
    const std::string after_letter = path.substr(1);
    if (after_letter == ":\\" || after_letter == ":\\." || after_letter == ":\\.\\.") return true;
  }
  WIN32_FIND_DATAA found;
  UniqueFind search(FindFirstFileA(path.c_str(), &found));
  return static_cast<bool>(search);
}

}  // namespace vexlo
