#include "sys/name_digest.h"

#include <cstdint>

namespace vexlo {

std::string NameDigest(const std::string& text) {
  uint64_t hash = 14695981039346656037ull;
  for (unsigned char byte : text) {
    hash ^= byte;
    hash *= 1099511628211ull;
  }
  std::string digits(16, '0');
  for (int i = 15; i >= 0; --i, hash >>= 4) digits[i] = "0123456789abcdef"[hash & 0xF];
  return digits;
}

}  // namespace vexlo
