#include "coord/instance_name.h"

#include <cstdint>

namespace vexlo {
namespace {

// FNV-1a: a fixed, platform-independent digest, so that the launcher and the
// Java side (which only receives the name) never need to agree on more.
uint64_t Digest(const std::string& text) {
  uint64_t hash = 14695981039346656037ull;
  for (unsigned char c : text) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  return hash;
}

std::string Hex(uint64_t value) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text(16, '0');
  for (int i = 15; i >= 0; --i, value >>= 4) text[i] = kDigits[value & 0xF];
  return text;
}

}  // namespace

std::string InstanceNameBase(bool global, const std::string& normalised_path, size_t reserved) {
  const std::string prefix = global ? "Global\\" : "Local\\";
  std::string path = normalised_path;
  for (char& c : path) {
    if (c == '\\' || c == ' ') c = '_';
  }
  const size_t room = kMaxObjectNameLength - (reserved < kMaxObjectNameLength ? reserved : kMaxObjectNameLength);
  if (prefix.size() + path.size() <= room) return prefix + path;

  const std::string middle = "~" + Hex(Digest(normalised_path)) + "~";
  const size_t fixed = prefix.size() + middle.size();
  const size_t keep = room > fixed ? room - fixed : 0;
  // The end of the path names the executable: it gets the larger half.
  const size_t head = keep / 2, tail = keep - head;
  return prefix + path.substr(0, head) + middle + path.substr(path.size() - tail);
}

}  // namespace vexlo
