#include "jvm/java_version.h"

#include <cstring>

namespace vexlo {
namespace {

// Runtimes print at most a few notes before their version line; a line
// further down is not the answer to "-version".
constexpr int kVersionLinesLooked = 5;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Two digit runs by their numbers: leading zeros skipped, then the longer
// run is the greater, then the digits decide. No conversion, so any length.
int CompareNumbers(const char* a, size_t a_length, const char* b, size_t b_length) {
  while (a_length > 0 && *a == '0') ++a, --a_length;
  while (b_length > 0 && *b == '0') ++b, --b_length;
  if (a_length != b_length) return a_length < b_length ? -1 : 1;
  return a_length == 0 ? 0 : std::memcmp(a, b, a_length);
}

// a against b as runs: where both go on with digits, the two whole digit
// runs compare as numbers; anywhere else one byte against the other
// (unsigned), so a digit against another character ranks as the bytes do.
// A text that ends while the other goes on gives a_ended or b_ended: a bound
// that ends first compares equal, which makes it act as a prefix in runs.
int CompareRuns(const std::string& a, const std::string& b, int a_ended, int b_ended) {
  size_t i = 0;
  size_t j = 0;
  while (i < a.size() && j < b.size()) {
    if (IsDigit(a[i]) && IsDigit(b[j])) {
      size_t i_end = i;
      size_t j_end = j;
      while (i_end < a.size() && IsDigit(a[i_end])) ++i_end;
      while (j_end < b.size() && IsDigit(b[j_end])) ++j_end;
      const int order = CompareNumbers(a.data() + i, i_end - i, b.data() + j, j_end - j);
      if (order != 0) return order;
      i = i_end;
      j = j_end;
      continue;
    }
    const unsigned char a_byte = static_cast<unsigned char>(a[i]);
    const unsigned char b_byte = static_cast<unsigned char>(b[j]);
    if (a_byte != b_byte) return a_byte < b_byte ? -1 : 1;
    ++i;
    ++j;
  }
  if (i < a.size()) return b_ended;
  if (j < b.size()) return a_ended;
  return 0;
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

int CompareVersions(const std::string& a, const std::string& b) { return CompareRuns(a, b, -1, 1); }

int CompareVersionWithBound(const std::string& version, const std::string& bound) {
  return CompareRuns(version, bound, -1, 0);
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
  // Over the shorter text: whichever ends first compares equal.
  if (!minimum.empty() && CompareRuns(name, minimum, 0, 0) < 0) return false;
  if (!maximum.empty() && CompareRuns(name, maximum, 0, 0) > 0) return false;
  return true;
}

void SortRegistryVersions(std::vector<std::string>* names) {
  SortByVersion(names, [](const std::string& name) -> const std::string& { return name; });
}

}  // namespace vexlo
