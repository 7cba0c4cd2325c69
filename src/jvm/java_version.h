// Java version texts: reading them from a runtime's "-version" output and
// judging them against the configured bounds. A version is kept exactly as
// the runtime prints it; only comparisons read its digit runs as numbers
// (see CompareVersions).
#pragma once
#include <string>
#include <utility>
#include <vector>

#include "core/block_format.h"  // LogSink

namespace vexlo {

// The version that a runtime's "-version" error output announces: the text
// between the quotes of the first line, among the first few, that starts
// with `java version "` or `openjdk version "`. Lines before it (a JVM
// prints "Picked up ..." or "NOTE: Picked up ..." there when JAVA_TOOL_OPTIONS
// and the like are set) are skipped. False when no such line is found, or the
// first one has no closing quote or an empty version.
bool VersionFromOutput(const std::string& output, std::string* version);

// Marker cached after a version run that failed; never trusted.
constexpr char kFailedVersionMarker[] = "1.0.0";

// False for the failed-run marker, an empty version and one holding a double
// quote (older launchers cached the rest of the version line, quote included).
bool CachedVersionTrusted(const std::string& version);

// The one version order every caller uses: the texts as runs of digits and
// runs of other characters. Where both have a digit run, the runs compare as
// numbers of any length, leading zeros ignored (11.0.10 > 11.0.9, 1.8.0_392 >
// 1.8.0_92, 1.6.0_45 > 1.6.0_5, 1.6.0_05 = 1.6.0_5); everything else compares
// byte by byte, unsigned, so a digit against another character ranks as the
// bytes do, and a text that ends first is the lower. A strict weak order, so
// it can sort. Returns <0, 0 or >0.
int CompareVersions(const std::string& a, const std::string& b);

// The version against a bound over the bound's length in runs, so a bound
// acts as a prefix: the maximum 1.8 admits 1.8.0_392 but not 1.80 or 9.0.4,
// the minimum 1.8 admits 17.0.2, and 1.5 is below the minimum 1.5.0.
int CompareVersionWithBound(const std::string& version, const std::string& bound);

// Contains "beta", "ea" or "rc" (case-sensitive).
bool IsPreRelease(const std::string& version);

// Pre-release rule (unless allow_beta, which the caller sets for the candidate
// kinds that allow it or when the configuration allows pre-releases), then
// the minimum and maximum; an empty bound always passes. Logs "beta vm not
// allowed" when the pre-release rule refuses.
bool versionAcceptable(const std::string& version, const std::string& minimum,
                       const std::string& maximum, bool allow_beta, LogSink log);

// The range test for registry version names before any runtime is run: each
// bound is compared over the shorter of the two in runs only, so 1.6 passes
// the minimum 1.6.0_10.
bool registryVersionInRange(const std::string& name, const std::string& minimum,
                            const std::string& maximum);

// Sorts items ascending by the version text `version_of(item)` gives, keeping
// the order of equal ones. An insertion sort: the lists are registry keys, a
// handful of entries, and the standard library's stable sort would cost every
// launcher kilobytes.
template <typename Item, typename VersionOf>
void SortByVersion(std::vector<Item>* items, VersionOf version_of) {
  for (size_t next = 1; next < items->size(); ++next) {
    Item held = std::move((*items)[next]);
    size_t at = next;
    for (; at > 0 && CompareVersions(version_of((*items)[at - 1]), version_of(held)) > 0; --at) {
      (*items)[at] = std::move((*items)[at - 1]);
    }
    (*items)[at] = std::move(held);
  }
}

// Ascending by CompareVersions; the search tries them from the back.
void SortRegistryVersions(std::vector<std::string>* names);

}  // namespace vexlo
