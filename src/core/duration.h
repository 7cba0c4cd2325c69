// Durations in the launcher's own configuration records (see record_ids.h):
// a whole number and one unit, "90s", "5m", "1h" or "1d"; a bare "0s" turns
// off a setting that can be off. The launcher and the builder read them with
// this one rule, so a value the builder accepts is the value the launcher
// uses.
#pragma once
#include <cstdint>
#include <string>

namespace vexlo {

// What one duration setting accepts, and its value without a record.
struct DurationSetting {
  int32_t id;                // its record
  const char* default_text;  // a valid value of the setting
  uint64_t min_ms;           // the smallest value other than off
  uint64_t max_ms;
  bool can_be_off;           // "0s" accepted
};

// The syntax alone: decimal digits without sign or leading zero, then one of
// s, m, h, d, and nothing else (no blanks, no upper case, no fractions, no
// "1h30m"). False for anything else and for more than 10 years, which no
// setting takes.
bool ParseDuration(const std::string& text, uint64_t* milliseconds);

// The value of the setting that `text` gives (0 for off): true when it is
// one, false with *milliseconds untouched otherwise.
bool DurationValue(const std::string& text, const DurationSetting& setting, uint64_t* milliseconds);

// The duration in its shortest form: the largest unit that divides it ("90s",
// "5m", "2d"); "0s" for zero.
std::string FormatDuration(uint64_t milliseconds);

// Why `text` is not a value of the setting ("expected a duration such as
// ...", "must be at least 6s", ...), or "" when it is; *milliseconds then
// holds the value (0 for off).
std::string DurationProblem(const std::string& text, const DurationSetting& setting, uint64_t* milliseconds);

}  // namespace vexlo
