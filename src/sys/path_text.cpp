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

std::string ComparablePath(const std::string& path) {
  std::string text = path;
  for (char& c : text) {
    if (c == '/') c = '\\';
    else if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  // The part ".." never leaves: "c:" or "\\server\share".
  size_t root = 0;
  if (text.size() >= 2 && text[1] == ':') {
    root = 2;
  } else if (text.compare(0, 2, "\\\\") == 0) {
    const size_t server_end = text.find('\\', 2);
    const size_t share_end = server_end == std::string::npos ? server_end : text.find('\\', server_end + 1);
    root = share_end == std::string::npos ? text.size() : share_end;
  }
  std::string comparable = text.substr(0, root);
  for (size_t start = root; start < text.size();) {
    size_t end = text.find('\\', start);
    if (end == std::string::npos) end = text.size();
    std::string part = text.substr(start, end - start);
    if (end == text.size() && part != "..") {
      while (!part.empty() && (part.back() == '.' || part.back() == ' ')) part.pop_back();
    }
    if (part == "..") {
      const size_t last = comparable.rfind('\\');
      if (last != std::string::npos && last >= root) comparable.resize(last);
    } else if (!part.empty() && part != ".") {
      comparable += '\\';
      comparable += part;
    }
    start = end + 1;
  }
  return comparable;
}

}  // namespace vexlo
