#include "jvm/registry_sources_win.h"

#include <vector>

#include "core/config.h"
#include "core/log_win.h"
#include "jvm/java_check_win.h"
#include "jvm/java_version.h"
#include "jvm/registry_keys.h"
#include "jvm/search_rules.h"
#include "sys/registry_win.h"
#include "sys/text_list.h"

namespace vexlo {
namespace {

// An accepted candidate, copied out of the buffers that the next
// checkJavaExe overwrites.
struct Found {
  std::string java_executable;
  std::string version;
};

// javaExeForHome and checkJavaExe on a runtime directory, pre-releases not
// allowed.
bool AcceptHome(const std::string& home, const std::string& minimum, const std::string& maximum,
                Found* found) {
  std::string java_executable;
  std::string version;
  if (!javaExeForHome(&java_executable, home)) return false;
  if (!checkJavaExe(&java_executable, &version, minimum, maximum, false)) return false;
  found->java_executable = java_executable;
  found->version = version;
  return true;
}

// CurrentVersion of a vendor key, or the empty text when it is missing or out
// of range.
std::string CurrentVersionInRange(const char* key_path, const std::string& minimum,
                                  const std::string& maximum) {
  UniqueKey key = OpenRegistryKey(HKEY_LOCAL_MACHINE, key_path);
  std::string version;
  if (!key || !ReadRegistryString(key.get(), kCurrentVersionValue, &version) ||
      !registryVersionInRange(version, minimum, maximum)) {
    return std::string();
  }
  return version;
}

bool CurrentVersionRoute(const std::string& minimum, const std::string& maximum, Found* found) {
  const bool jdk_required = ConfigFlag(record::kJdkRequired);
  const std::string jdk_version = CurrentVersionInRange(kJdkKey, minimum, maximum);
  const std::string jre_version = jdk_required ? std::string() : CurrentVersionInRange(kJreKey, minimum, maximum);
  std::string key_path;
  if (!CurrentVersionKey(jdk_version, jre_version, jdk_required, &key_path)) return false;
  UniqueKey key = OpenRegistryKey(HKEY_LOCAL_MACHINE, key_path);
  std::string home;
  if (!key || !ReadRegistryString(key.get(), kJavaHomeValue, &home)) return false;
  return AcceptHome(home, minimum, maximum, found);
}

// The version sub-keys in range, newest first.
bool EnumerationRoute(const char* key_path, const std::string& minimum, const std::string& maximum,
                      Found* found) {
  UniqueKey key = OpenRegistryKey(HKEY_LOCAL_MACHINE, key_path);
  if (!key) return false;
  std::vector<std::string> names;
  for (std::string& name : RegistrySubKeyNames(key.get())) {
    if (registryVersionInRange(name, minimum, maximum)) names.push_back(std::move(name));
  }
  SortRegistryVersions(&names);
  for (auto name = names.rbegin(); name != names.rend(); ++name) {
    UniqueKey version_key = OpenRegistryKey(key.get(), *name);
    std::string home;
    if (!version_key || !ReadRegistryString(version_key.get(), kJavaHomeValue, &home)) continue;
    if (AcceptHome(home, minimum, maximum, found)) return true;
  }
  return false;
}

struct VendorCandidate {
  std::string version_name;
  std::string home;
};

// The runtime directory one vendor sub-key records, by the vendor's layout.
bool VendorHome(HKEY version_key, VendorLayout layout, std::string* home) {
  switch (layout) {
    case VendorLayout::kJavaHome:
      return ReadRegistryString(version_key, kJavaHomeValue, home);
    case VendorLayout::kInstallPath:
      return ReadRegistryString(version_key, "InstallationPath", home);
    case VendorLayout::kMsiPath:
      for (const std::string& jvm : RegistrySubKeyNames(version_key)) {  // hotspot, openj9
        UniqueKey msi = OpenRegistryKey(version_key, jvm + "\\MSI");
        if (msi && ReadRegistryString(msi.get(), "Path", home)) return true;
      }
      return false;
  }
  return false;
}

// The JavaSoft keys of Java 9 and later name their sub-keys by Java version,
// so the range test applies before anything runs. The vendors name theirs by
// their own version schemes (8.0.392.8 for a Java 1.8.0_392, zulu-8), which
// the bounds cannot judge: those are all tried, and checkJavaExe decides.
void GatherVendorCandidates(const VendorKey& vendor, const std::string& minimum,
                            const std::string& maximum, std::vector<VendorCandidate>* candidates) {
  UniqueKey key = OpenRegistryKey(HKEY_LOCAL_MACHINE, vendor.path);
  if (!key) return;
  for (const std::string& name : RegistrySubKeyNames(key.get())) {
    if (vendor.layout == VendorLayout::kJavaHome && !registryVersionInRange(name, minimum, maximum)) continue;
    UniqueKey version_key = OpenRegistryKey(key.get(), name);
    std::string home;
    if (version_key && VendorHome(version_key.get(), vendor.layout, &home)) {
      candidates->push_back({VendorVersionName(name), home});
    }
  }
}

// The current distributions' keys together, newest first.
bool CurrentDistributionsRoute(const std::string& minimum, const std::string& maximum, Found* found) {
  const bool jdk_required = ConfigFlag(record::kJdkRequired);
  std::vector<VendorCandidate> candidates;
  for (const VendorKey& vendor : kVendorKeys) {
    if (!(vendor.jre && jdk_required)) GatherVendorCandidates(vendor, minimum, maximum, &candidates);
  }
  SortByVersion(&candidates, [](const VendorCandidate& c) -> const std::string& { return c.version_name; });
  for (auto candidate = candidates.rbegin(); candidate != candidates.rend(); ++candidate) {
    if (AcceptHome(candidate->home, minimum, maximum, found)) return true;
  }
  return false;
}

// The newest acceptable entry of one root's list; the earlier on a tie.
bool BestLocated(HKEY root, const std::string& minimum, const std::string& maximum, Found* best) {
  UniqueKey key = OpenRegistryKey(root, kLocatedJvmsKey);
  if (!key) return false;
  bool any = false;
  for (const std::string& name : RegistrySubKeyNames(key.get())) {
    std::string java_executable = LocatedJvmPath(name);
    std::string version;
    if (!checkJavaExe(&java_executable, &version, minimum, maximum, true)) continue;
    if (!any || CompareVersions(version, best->version) > 0) {
      best->java_executable = java_executable;
      best->version = version;
      any = true;
    }
  }
  return any;
}

}  // namespace

bool findJavaSoftJvm(std::string* java_executable, std::string* version, const std::string& minimum,
                     const std::string& maximum) {
  Found found;
  const bool accepted = CurrentVersionRoute(minimum, maximum, &found) ||
                        (!ConfigFlag(record::kJdkRequired) && EnumerationRoute(kJreKey, minimum, maximum, &found)) ||
                        EnumerationRoute(kJdkKey, minimum, maximum, &found) ||
                        CurrentDistributionsRoute(minimum, maximum, &found);
  if (!accepted) return false;
  *java_executable = found.java_executable;
  *version = found.version;
  return true;
}

bool findLocatedJvm(std::string* java_executable, std::string* version, const std::string& minimum,
                    const std::string& maximum) {
  Found user;
  Found machine;
  const bool has_user = BestLocated(HKEY_CURRENT_USER, minimum, maximum, &user);
  const bool has_machine = BestLocated(HKEY_LOCAL_MACHINE, minimum, maximum, &machine);
  if (!has_user && !has_machine) return false;
  const bool take_user = has_user && (!has_machine || CompareVersions(user.version, machine.version) > 0);
  const Found& chosen = take_user ? user : machine;
  *java_executable = chosen.java_executable;
  *version = chosen.version;
  return true;
}

bool findRegistryJvm(std::string* java_executable, const std::string& minimum,
                     const std::string& maximum) {
  Found vendor;
  Found located;
  const bool has_vendor = findJavaSoftJvm(&vendor.java_executable, &vendor.version, minimum, maximum);
  const bool has_located = findLocatedJvm(&located.java_executable, &located.version, minimum, maximum);
  if (has_vendor) LogLine("found sun %s %s", vendor.java_executable.c_str(), vendor.version.c_str());
  if (has_located) LogLine("found located %s %s", located.java_executable.c_str(), located.version.c_str());
  if (has_vendor && (!has_located || CompareVersions(vendor.version, located.version) > 0)) {
    *java_executable = vendor.java_executable;
  } else if (has_located) {
    *java_executable = located.java_executable;
  } else {
    return false;
  }
  return true;
}

bool findPreviousInstallation(HKEY root, std::string* java_executable, const std::string& minimum,
                              const std::string& maximum) {
  const std::string& value_name = ConfigText(record::kPreviousInstallations);
  if (value_name.empty()) return false;
  UniqueKey key = OpenRegistryKey(root, kInstallationsKey);
  std::string installations;
  if (!key || !ReadRegistryString(key.get(), value_name.c_str(), &installations) || installations.empty()) {
    return false;
  }
  LogLine("found installations: %s", installations.c_str());
  for (const std::string& directory : SplitList(installations, ';')) {
    Found found;
    if (AcceptHome(directory + "\\jre", minimum, maximum, &found)) {
      *java_executable = found.java_executable;
      return true;
    }
  }
  return false;
}

}  // namespace vexlo
