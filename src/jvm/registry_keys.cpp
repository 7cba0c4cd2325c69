#include "jvm/registry_keys.h"

#include <algorithm>

#include "jvm/java_version.h"

namespace vexlo {

std::string VersionCacheKeyName(const std::string& resolved_path) {
  std::string name = kVersionCacheKey + resolved_path;
  std::replace(name.begin() + sizeof(kVersionCacheKey) - 1, name.end(), '\\', '/');
  return name;
}

std::string LocatedJvmPath(const std::string& sub_key_name) {
  std::string path = sub_key_name;
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

std::string VendorVersionName(const std::string& sub_key_name) {
  const size_t digit = sub_key_name.find_first_of("0123456789");
  return digit == std::string::npos ? sub_key_name : sub_key_name.substr(digit);
}

bool CurrentVersionKey(const std::string& jdk_version, const std::string& jre_version,
                       bool jdk_required, std::string* key_path) {
  if (jdk_required && jdk_version.empty()) return false;
  if (CompareVersions(jdk_version, jre_version) > 0) {
    *key_path = std::string(kJdkKey) + "\\" + jdk_version;
  } else {
    *key_path = std::string(kJreKey) + "\\" + jre_version;
  }
  return true;
}

}  // namespace vexlo
