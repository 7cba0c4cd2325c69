#include "sys/path_text.h"

namespace vexlo {

bool IsRelativePath(const std::string& text) {
  if (text.size() < 3) return true;
  size_t start = text[0] == '"' ? 1 : 0;
  if (text.size() - start < 3) return true;
  if (text[start + 1] == ':' && text[start + 2] == '\\') return false;
  if (text[start] == '\\' && text[start + 1] == '\\') return false;
  return true;
}

}  // namespace vexlo
