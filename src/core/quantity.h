// Whole numbers with one unit ("90s", "10MB"), the form of the launcher's
// own duration and size settings (core/duration.h, core/byte_size.h).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace vexlo {

struct QuantityUnit {
  const char* suffix;  // "s", "MB"
  uint64_t factor;     // in the quantity's base unit
};

// Decimal digits without sign or leading zero ("0" alone is zero), then one
// of the units' suffixes exactly and nothing else. False for anything else
// and for a value above `limit`; *value is then untouched.
bool ParseQuantity(const std::string& text, const QuantityUnit* units, size_t unit_count, uint64_t limit,
                   uint64_t* value);

// The value with the largest unit that divides it (units largest first);
// `zero` for 0, and the digits followed by `base_suffix` when no unit does.
std::string FormatQuantity(uint64_t value, const QuantityUnit* units, size_t unit_count, const char* zero,
                           const char* base_suffix);

}  // namespace vexlo
