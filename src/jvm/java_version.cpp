#include "jvm/java_version.h"

#include <algorithm>
#include <cstring>

namespace vexlo {
namespace {

// Runtimes print at most a few notes before their version line; a line
// further down is not the answer to "-version".
constexpr int kVersionLinesLooked = 5;

size_t LeadingDigits(const std::string& text) {
  size_t count = 0;
  while (count < text.size() && text[count] >= '0' && text[count] <= '9') ++count;
  return count;
}

// The first a_length bytes of a against the first b_length bytes of b, as
// unsigned bytes, the shorter equal part the lower; before the bytes, the
// repair: when both texts start with digit runs of different lengths, the
// longer run is the greater.
int CompareRepaired(const std::string& a, size_t a_length, const std::string& b, size_t b_length) {
  const size_t a_digits = LeadingDigits(a);
  const size_t b_digits = LeadingDigits(b);
  if (a_digits != 0 && b_digits != 0 && a_digits != b_digits) return a_digits < b_digits ? -1 : 1;
  const size_t common = std::min(a_length, b_length);
  const int order = common == 0 ? 0 : std::memcmp(a.data(), b.data(), common);
  if (order != 0) return order;
  if (a_length == b_length) return 0;
  return a_length < b_length ? -1 : 1;
}

// A registry name against a bound over the shorter of the two lengths.
int CompareOverShorter(const std::string& name, const std::string& bound) {
  const size_t length = std::min(name.size(), bound.size());
  return CompareRepaired(name, length, bound, length);
}

}  // namespace

bool VersionFromOutput(const std::string& output, std::string* version) {
  static const char* const kPrefixes[] = {"java version \"", "openjdk version \""};
  size_t start = 0;
  for (int line_number = 0; line_number < kVersionLinesLooked && start < output.size(); ++line_number) {
    size_t end = output.find('\n', start);
    if (end == std::string::npos) end = output.size();
    std::string line = output.substr(start, end - start);
    start = end + 1;
    while (!line.empty() && line.back() == '\r') line.pop_back();
    for (const char* prefix : kPrefixes) {
      if (line.compare(0, std::strlen(prefix), prefix) != 0) continue;
      const size_t opening = std::strlen(prefix);
      const size_t closing = line.find('"', opening);
      // The first version line decides: a malformed one refuses the runtime.
      if (closing == std::string::npos || closing == opening) return false;
      const std::string found = line.substr(opening, closing - opening);
      // A NUL could not be cached as it is.
      if (found.find('\0') != std::string::npos) return false;
      *version = found;
      return true;
    }
  }
  return false;
}

bool CachedVersionTrusted(const std::string& version) {
  return !version.empty() && version != kFailedVersionMarker && version.find('"') == std::string::npos;
}

int CompareVersions(const std::string& a, const std::string& b) {
  return CompareRepaired(a, a.size(), b, b.size());
}

int CompareVersionWithBound(const std::string& version, const std::string& bound) {
  return CompareRepaired(version, std::min(version.size(), bound.size()), bound, bound.size());
}

bool IsPreRelease(const std::string& version) {
  return version.find("beta") != std::string::npos || version.find("ea") != std::string::npos ||
         version.find("rc") != std::string::npos;
}

bool versionAcceptable(const std::string& version, const std::string& minimum,
                       const std::string& maximum, bool allow_beta, LogSink log) {
  if (!allow_beta && IsPreRelease(version)) {
    log("beta vm not allowed");
    return false;
  }
  if (!minimum.empty() && CompareVersionWithBound(version, minimum) < 0) return false;
  if (!maximum.empty() && CompareVersionWithBound(version, maximum) > 0) return false;
  return true;
}

bool registryVersionInRange(const std::string& name, const std::string& minimum,
                            const std::string& maximum) {
  if (!minimum.empty() && CompareOverShorter(name, minimum) < 0) return false;
  if (!maximum.empty() && CompareOverShorter(name, maximum) > 0) return false;
  return true;
}

void SortRegistryVersions(std::vector<std::string>* names) {
  SortByVersion(names, [](const std::string& name) -> const std::string& { return name; });
}

}  // namespace vexlo
