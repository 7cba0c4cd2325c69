#include "core/version_info.h"

#include "core/byte_order.h"

namespace vexlo {
namespace {

constexpr uint32_t kFixedSignature = 0xFEEF04BDu;
constexpr uint32_t kFixedSize = 52;
constexpr uint16_t kBinary = 0, kText = 1;
// Language 0x0409 (US English) in the low word, code page 1200 in the high.
constexpr uint32_t kTranslation = 0x04B00409u;

WideString Ascii(const char* text) { return WideString(text, text + std::char_traits<char>::length(text)); }

void AppendWide(std::string& out, const WideString& text) {
  for (WideChar c : text) AppendLe(out, static_cast<uint16_t>(c), 2);
  AppendLe(out, 0, 2);
}

void PadTo4(std::string& out) { out.resize(AlignUp(out.size(), 4), '\0'); }

// One node of the tree: length, value length, type, key, the value and the
// children, each starting on a 32-bit boundary. The length leaves out the
// padding after the node.
struct NodeWriter {
  bool too_long = false;

  std::string Node(const WideString& key, uint16_t type, const std::string& value, uint16_t value_length,
                   const std::vector<std::string>& children) {
    std::string out(6, '\0');
    AppendWide(out, key);
    PadTo4(out);
    out += value;
    for (const std::string& child : children) {
      PadTo4(out);
      out += child;
    }
    too_long = too_long || out.size() > 0xFFFF;
    StoreLe(out, 0, static_cast<uint32_t>(out.size() & 0xFFFF), 2);
    StoreLe(out, 2, value_length, 2);
    StoreLe(out, 4, type, 2);
    return out;
  }
};

struct NodeView {
  uint64_t end = 0;  // first byte after the node
  WideString key;
  uint64_t value = 0;     // where the value starts
  uint64_t children = 0;  // where the children start
  uint16_t value_length = 0;
};

// Reads the text at `at` up to its NUL, which must come before `end`.
bool ReadWide(const std::string& data, uint64_t at, uint64_t end, WideString* text, uint64_t* after) {
  text->clear();
  for (; at + 2 <= end; at += 2) {
    const uint16_t c = Le16(data, at);
    if (c == 0) {
      *after = at + 2;
      return true;
    }
    text->push_back(static_cast<WideChar>(c));
  }
  return false;
}

bool ReadNode(const std::string& data, uint64_t at, uint64_t limit, NodeView* node) {
  if (!Within(limit, at, 6)) return false;
  const uint16_t length = Le16(data, at);
  if (length < 6 || !Within(limit, at, length)) return false;
  node->end = at + length;
  node->value_length = Le16(data, at + 2);
  const uint16_t type = Le16(data, at + 4);
  uint64_t key_end = 0;
  if (!ReadWide(data, at + 6, node->end, &node->key, &key_end)) return false;
  node->value = AlignUp(key_end, 4);
  // Text values count characters, binary ones bytes.
  const uint64_t value_bytes = type == kText ? 2ull * node->value_length : node->value_length;
  node->children = std::min(node->end, AlignUp(node->value + value_bytes, 4));
  return node->value <= node->end;
}

// Calls visit for each child of parent; false when one is damaged.
template <typename Visit>
bool EachChild(const std::string& data, const NodeView& parent, Visit visit) {
  for (uint64_t at = parent.children; at + 6 <= parent.end;) {
    NodeView child;
    if (!ReadNode(data, at, parent.end, &child) || !visit(child)) return false;
    at = AlignUp(child.end, 4);
  }
  return true;
}

}  // namespace

bool VersionInfo::operator==(const VersionInfo& other) const {
  for (int i = 0; i < 4; ++i) {
    if (version[i] != other.version[i]) return false;
  }
  return strings == other.strings;
}

bool SerializeVersionInfo(const VersionInfo& info, std::string* data) {
  NodeWriter writer;
  std::string fixed;
  const uint32_t high = (uint32_t{info.version[0]} << 16) | info.version[1];
  const uint32_t low = (uint32_t{info.version[2]} << 16) | info.version[3];
  // Signature, structure version 1.0, file and product version, flags mask,
  // no flags, Windows NT, an application, no subtype, no date.
  for (uint32_t value : {kFixedSignature, 0x00010000u, high, low, high, low, 0x3Fu, 0u, 0x00040004u, 1u, 0u, 0u, 0u}) {
    AppendLe(fixed, value, 4);
  }
  std::vector<std::string> children;
  if (!info.strings.empty()) {
    std::vector<std::string> strings;
    for (const auto& entry : info.strings) {
      std::string value;
      AppendWide(value, entry.second);
      const size_t characters = entry.second.size() + 1;
      strings.push_back(writer.Node(entry.first, kText, value, static_cast<uint16_t>(characters & 0xFFFF), {}));
      writer.too_long = writer.too_long || characters > 0xFFFF;
    }
    const std::string table = writer.Node(Ascii("040904B0"), kText, "", 0, strings);
    children.push_back(writer.Node(Ascii("StringFileInfo"), kText, "", 0, {table}));
  }
  std::string translation;
  AppendLe(translation, kTranslation, 4);
  const std::string var = writer.Node(Ascii("Translation"), kBinary, translation, 4, {});
  children.push_back(writer.Node(Ascii("VarFileInfo"), kText, "", 0, {var}));
  std::string out = writer.Node(Ascii("VS_VERSION_INFO"), kBinary, fixed, kFixedSize, children);
  if (writer.too_long) return false;
  data->swap(out);
  return true;
}

bool ParseVersionInfo(const std::string& data, VersionInfo* info) {
  NodeView root;
  if (!ReadNode(data, 0, data.size(), &root) || root.key != Ascii("VS_VERSION_INFO") ||
      root.value_length != kFixedSize || !Within(root.end, root.value, kFixedSize) ||
      Le32(data, root.value) != kFixedSignature) {
    return false;
  }
  VersionInfo result;
  const uint32_t high = Le32(data, root.value + 8), low = Le32(data, root.value + 12);
  result.version[0] = static_cast<uint16_t>(high >> 16);
  result.version[1] = static_cast<uint16_t>(high);
  result.version[2] = static_cast<uint16_t>(low >> 16);
  result.version[3] = static_cast<uint16_t>(low);
  bool table_read = false;
  const bool ok = EachChild(data, root, [&](const NodeView& block) {
    if (block.key != Ascii("StringFileInfo")) return true;
    return EachChild(data, block, [&](const NodeView& table) {
      if (table_read) return true;
      table_read = true;
      return EachChild(data, table, [&](const NodeView& string) {
        WideString value;
        uint64_t after = 0;
        // A value ends at its NUL or with the node.
        if (!ReadWide(data, string.value, string.end, &value, &after)) {
          value.clear();
          for (uint64_t at = string.value; at + 2 <= string.end; at += 2) {
            value.push_back(static_cast<WideChar>(Le16(data, at)));
          }
        }
        result.strings.emplace_back(string.key, value);
        return true;
      });
    });
  });
  if (!ok) return false;
  *info = std::move(result);
  return true;
}

bool ParseVersionNumber(const std::string& text, uint16_t version[4]) {
  uint16_t parts[4] = {0, 0, 0, 0};
  size_t count = 0, at = 0;
  while (true) {
    const size_t dot = text.find('.', at);
    const std::string part = text.substr(at, dot == std::string::npos ? std::string::npos : dot - at);
    if (count == 4 || part.empty() || part.size() > 5 || part.find_first_not_of("0123456789") != std::string::npos) {
      return false;
    }
    uint32_t value = 0;
    for (char digit : part) value = value * 10 + static_cast<uint32_t>(digit - '0');
    if (value > 0xFFFF) return false;
    parts[count++] = static_cast<uint16_t>(value);
    if (dot == std::string::npos) break;
    at = dot + 1;
  }
  for (int i = 0; i < 4; ++i) version[i] = parts[i];
  return true;
}

}  // namespace vexlo
