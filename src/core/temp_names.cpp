#include "core/temp_names.h"

#include <cstring>

namespace vexlo {
namespace {

constexpr char kPrefix[] = "vxl";
constexpr char kSuffix[] = ".tmp_dir";
constexpr char kDigits[] = "0123456789ABCDEF";
constexpr size_t kDigitCount = 16;

}  // namespace

std::string LauncherFolderName(uint64_t random) {
  std::string name = kPrefix;
  for (int shift = 60; shift >= 0; shift -= 4) name += kDigits[(random >> shift) & 0xF];
  return name + kSuffix;
}

bool IsLauncherFolderName(const char* name) {
  const size_t prefix = sizeof(kPrefix) - 1;
  if (std::strlen(name) != prefix + kDigitCount + sizeof(kSuffix) - 1) return false;
  if (std::strncmp(name, kPrefix, prefix) != 0 || std::strcmp(name + prefix + kDigitCount, kSuffix) != 0) {
    return false;
  }
  for (size_t i = prefix; i < prefix + kDigitCount; ++i) {
    if (std::strchr(kDigits, name[i]) == nullptr) return false;
  }
  return true;
}

}  // namespace vexlo
