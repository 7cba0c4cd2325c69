#include "core/duration.h"

#include "core/quantity.h"

namespace vexlo {
namespace {

constexpr uint64_t kSecond = 1000;

// Largest first, for FormatDuration.
constexpr QuantityUnit kUnits[] = {{"d", 86400 * kSecond}, {"h", 3600 * kSecond}, {"m", 60 * kSecond}, {"s", kSecond}};
constexpr size_t kUnitCount = sizeof(kUnits) / sizeof(kUnits[0]);
constexpr uint64_t kLongestMs = 3650 * 86400 * kSecond;

}  // namespace

bool ParseDuration(const std::string& text, uint64_t* milliseconds) {
  return ParseQuantity(text, kUnits, kUnitCount, kLongestMs, milliseconds);
}

std::string FormatDuration(uint64_t milliseconds) {
  return FormatQuantity(milliseconds, kUnits, kUnitCount, "0s", "ms");
}

bool DurationValue(const std::string& text, const DurationSetting& setting, uint64_t* milliseconds) {
  uint64_t value = 0;
  if (!ParseDuration(text, &value)) return false;
  const bool valid = value == 0 ? text == "0s" && setting.can_be_off : value >= setting.min_ms && value <= setting.max_ms;
  if (valid) *milliseconds = value;
  return valid;
}

std::string DurationProblem(const std::string& text, const DurationSetting& setting, uint64_t* milliseconds) {
  if (DurationValue(text, setting, milliseconds)) return std::string();
  uint64_t value = 0;
  if (!ParseDuration(text, &value)) {
    return std::string("expected a duration such as \"90s\", \"5m\", \"1h\" or \"1d\"") +
           (setting.can_be_off ? " (\"0s\": off)" : "") + ", found \"" + text + "\"";
  }
  if (value == 0 && text != "0s") return "off is written \"0s\"";
  if (value == 0) return "cannot be off; the shortest is " + FormatDuration(setting.min_ms);
  if (value < setting.min_ms) return "must be at least " + FormatDuration(setting.min_ms);
  return "must be at most " + FormatDuration(setting.max_ms);
}

}  // namespace vexlo
