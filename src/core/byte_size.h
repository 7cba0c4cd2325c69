// Sizes in the launcher's own configuration records (see record_ids.h): a
// whole number and one unit, "64KB", "10MB" or "2GB", where a kilobyte is
// 1024 bytes, a megabyte 1024 kilobytes and a gigabyte 1024 megabytes. The
// launcher and the builder read them with this one rule.
#pragma once
#include <cstdint>
#include <string>

namespace vexlo {

// What one size setting accepts, and its value without a record.
struct SizeSetting {
  int32_t id;                // its record
  const char* default_text;  // a valid value of the setting
  uint64_t min_bytes;
  uint64_t max_bytes;
};

// The syntax alone: decimal digits without sign or leading zero, then KB, MB
// or GB in capitals, and nothing else (no blanks, no fractions, no "10M",
// "10mb" or "10MiB"). False for anything else and for more than 1024GB,
// which no setting takes.
bool ParseSize(const std::string& text, uint64_t* bytes);

// The size in its shortest form: the largest unit that divides it ("64KB",
// "10MB", "2GB"); "<n>B" for a size that is no whole number of kilobytes.
std::string FormatSize(uint64_t bytes);

// Why `text` is not a value of the setting ("expected a size such as ...",
// "must be at least 64KB", ...), or "" when it is; *bytes then holds the
// value, and is untouched otherwise.
std::string SizeProblem(const std::string& text, const SizeSetting& setting, uint64_t* bytes);

}  // namespace vexlo
