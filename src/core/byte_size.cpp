#include "core/byte_size.h"

#include "core/quantity.h"

namespace vexlo {
namespace {

constexpr uint64_t kKilobyte = 1024;
// Largest first, for FormatSize.
constexpr QuantityUnit kUnits[] = {
    {"GB", kKilobyte * kKilobyte * kKilobyte}, {"MB", kKilobyte * kKilobyte}, {"KB", kKilobyte}};
constexpr size_t kUnitCount = sizeof(kUnits) / sizeof(kUnits[0]);
constexpr uint64_t kLargest = 1024 * kKilobyte * kKilobyte * kKilobyte;

}  // namespace

bool ParseSize(const std::string& text, uint64_t* bytes) {
  return ParseQuantity(text, kUnits, kUnitCount, kLargest, bytes);
}

std::string FormatSize(uint64_t bytes) { return FormatQuantity(bytes, kUnits, kUnitCount, "0KB", "B"); }

std::string SizeProblem(const std::string& text, const SizeSetting& setting, uint64_t* bytes) {
  uint64_t value = 0;
  if (!ParseSize(text, &value)) {
    return "expected a size such as \"64KB\", \"10MB\" or \"1GB\", found \"" + text + "\"";
  }
  if (value < setting.min_bytes) return "must be at least " + FormatSize(setting.min_bytes);
  if (value > setting.max_bytes) return "must be at most " + FormatSize(setting.max_bytes);
  *bytes = value;
  return std::string();
}

}  // namespace vexlo
