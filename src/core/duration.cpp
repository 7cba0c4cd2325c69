#include "core/duration.h"

namespace vexlo {
namespace {

constexpr uint64_t kSecond = 1000;

struct Unit {
  char letter;
  uint64_t milliseconds;
};
// Largest first, for FormatDuration.
constexpr Unit kUnits[] = {{'d', 86400 * kSecond}, {'h', 3600 * kSecond}, {'m', 60 * kSecond}, {'s', kSecond}};
constexpr uint64_t kLongestMs = 3650 * 86400 * kSecond;

}  // namespace

bool ParseDuration(const std::string& text, uint64_t* milliseconds) {
  if (text.size() < 2 || text.size() > 12) return false;
  const char unit_letter = text.back();
  uint64_t unit = 0;
  for (const Unit& known : kUnits) {
    if (known.letter == unit_letter) unit = known.milliseconds;
  }
  if (unit == 0 || (text[0] == '0' && text.size() > 2)) return false;
  uint64_t number = 0;
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    number = number * 10 + static_cast<uint64_t>(text[i] - '0');
  }
  if (number > kLongestMs / unit) return false;
  *milliseconds = number * unit;
  return true;
}

std::string FormatDuration(uint64_t milliseconds) {
  for (const Unit& unit : kUnits) {
    if (milliseconds != 0 && milliseconds % unit.milliseconds == 0) {
      return std::to_string(milliseconds / unit.milliseconds) + unit.letter;
    }
  }
  return milliseconds == 0 ? "0s" : std::to_string(milliseconds) + "ms";
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
