// Fuzzes the JVM search's text rules that take outside input: a runtime's
// "-version" output, versions and bounds from the configuration and the
// registry, the search sequence and location file contents.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "jvm/java_version.h"
#include "jvm/packed_jre.h"
#include "jvm/registry_keys.h"
#include "jvm/search_rules.h"
#include "sys/text_list.h"

namespace {

void DiscardLine(const char*, ...) {}

int Sign(int value) { return (value > 0) - (value < 0); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);

  std::string version;
  if (vexlo::VersionFromOutput(text, &version)) {
    if (version.empty() || version.find('"') != std::string::npos) __builtin_trap();
    if (version.find('\n') != std::string::npos) __builtin_trap();
  }
  vexlo::CachedVersionTrusted(text);

  // Three texts cut from the input at ";": version, minimum, maximum.
  const std::vector<std::string> parts = vexlo::SplitList(text, ';');
  const std::string a = parts.size() > 0 ? parts[0] : std::string();
  const std::string b = parts.size() > 1 ? parts[1] : std::string();
  const std::string c = parts.size() > 2 ? parts[2] : std::string();
  if (Sign(vexlo::CompareVersions(a, b)) != -Sign(vexlo::CompareVersions(b, a))) __builtin_trap();
  if (vexlo::CompareVersions(a, a) != 0) __builtin_trap();
  // Transitive, equal ones included, so sorting is sound.
  const bool ordered = vexlo::CompareVersions(a, b) <= 0 && vexlo::CompareVersions(b, c) <= 0;
  if (ordered && vexlo::CompareVersions(a, c) > 0) __builtin_trap();
  vexlo::CompareVersionWithBound(a, b);
  vexlo::versionAcceptable(a, b, c, (size & 1) != 0, DiscardLine);
  // An empty bound always passes.
  if (!vexlo::registryVersionInRange(a, "", "")) __builtin_trap();
  vexlo::registryVersionInRange(a, b, c);

  // The sort must see a consistent order (anything else is undefined).
  std::vector<std::string> names = parts;
  vexlo::SortRegistryVersions(&names);
  for (size_t i = 1; i < names.size(); ++i) {
    if (vexlo::CompareVersions(names[i - 1], names[i]) > 0) __builtin_trap();
  }

  for (const vexlo::SearchEntry& entry : vexlo::SplitSearchSequence(text)) {
    if (entry.letter == ';') __builtin_trap();
    vexlo::RetriedInRelativePass(entry);
  }
  std::string line;
  if (vexlo::LocationFileLine(text, &line) && line.find('\n') != std::string::npos) __builtin_trap();

  std::string key_path;
  vexlo::CurrentVersionKey(a, b, (size & 2) != 0, &key_path);
  if (vexlo::VersionCacheKeyName(text).find('\\', sizeof(vexlo::kVersionCacheKey) - 1) != std::string::npos) {
    __builtin_trap();
  }
  vexlo::LocatedJvmPath(text);
  vexlo::VendorVersionName(text);
  if (vexlo::PreparationMutexName(text).find('\\', 7) != std::string::npos) __builtin_trap();
  return 0;
}
