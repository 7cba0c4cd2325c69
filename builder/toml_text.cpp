#include "toml_text.h"

#include <cstdio>

namespace vexlo {
namespace builder {
namespace {

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

}  // namespace

std::string TomlString(const std::string& utf8) {
  bool literal_fits = utf8.find('\\') != std::string::npos && utf8.find('\'') == std::string::npos;
  for (char c : utf8) {
    if (IsControl(static_cast<unsigned char>(c))) literal_fits = false;
  }
  if (literal_fits) return "'" + utf8 + "'";
  std::string out = "\"";
  for (char c : utf8) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      default:
        if (IsControl(static_cast<unsigned char>(c))) {
          char escape[8];
          std::snprintf(escape, sizeof(escape), "\\u%04X", static_cast<unsigned char>(c));
          out += escape;
        } else {
          out.push_back(c);
        }
    }
  }
  return out + "\"";
}

std::string TomlKey(const std::string& key) {
  bool bare = !key.empty();
  for (char c : key) {
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-')) {
      bare = false;
    }
  }
  return bare ? key : TomlString(key);
}

std::string TomlStringArray(const std::vector<std::string>& values) {
  std::string out = "[";
  for (size_t i = 0; i < values.size(); ++i) out += (i > 0 ? ", " : "") + TomlString(values[i]);
  return out + "]";
}

}  // namespace builder
}  // namespace vexlo
