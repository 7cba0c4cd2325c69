#include "core/quantity.h"

#include <cstring>

namespace vexlo {

bool ParseQuantity(const std::string& text, const QuantityUnit* units, size_t unit_count, uint64_t limit,
                   uint64_t* value) {
  for (size_t u = 0; u < unit_count; ++u) {
    const size_t suffix = std::strlen(units[u].suffix);
    if (text.size() <= suffix || text.compare(text.size() - suffix, suffix, units[u].suffix) != 0) continue;
    const size_t digits = text.size() - suffix;
    if (text[0] == '0' && digits > 1) return false;
    uint64_t number = 0;
    for (size_t i = 0; i < digits; ++i) {
      if (text[i] < '0' || text[i] > '9') return false;
      number = number * 10 + static_cast<uint64_t>(text[i] - '0');
      if (number > limit / units[u].factor) return false;
    }
    *value = number * units[u].factor;
    return true;
  }
  return false;
}

std::string FormatQuantity(uint64_t value, const QuantityUnit* units, size_t unit_count, const char* zero,
                           const char* base_suffix) {
  if (value == 0) return zero;
  for (size_t u = 0; u < unit_count; ++u) {
    if (value % units[u].factor == 0) return std::to_string(value / units[u].factor) + units[u].suffix;
  }
  return std::to_string(value) + base_suffix;
}

}  // namespace vexlo
