// Names of the registry keys and values the JVM search reads and the one it
// writes (the version cache), and the choices made from their contents that
// need no registry. All keys live below HKEY_LOCAL_MACHINE or
// HKEY_CURRENT_USER as each user says.
#pragma once
#include <string>

namespace vexlo {

// Per-user version cache (HKCU): one sub-key per Java executable.
constexpr char kVersionCacheKey[] = "SOFTWARE\\morvane-digital\\vexlo\\jvms\\";
constexpr char kCachedLastWriteValue[] = "LastWriteTime";  // REG_BINARY, 8 bytes
constexpr char kCachedVersionValue[] = "Version";          // REG_SZ

// Located-JVM lists (HKCU and HKLM): sub-keys named by Java executable paths.
constexpr char kLocatedJvmsKey[] = "SOFTWARE\\morvane-digital\\vexlo\\locatedjvms";

// Previous installations (HKCU and HKLM): the value named by configuration
// record 160 lists installation directories.
constexpr char kInstallationsKey[] = "SOFTWARE\\morvane-digital\\tavrelium\\installations";

// The Java vendor's keys (HKLM), each with CurrentVersion and one sub-key per
// version holding JavaHome.
constexpr char kJreKey[] = "SOFTWARE\\JavaSoft\\Java Runtime Environment";
constexpr char kJdkKey[] = "SOFTWARE\\JavaSoft\\Java Development Kit";
constexpr char kCurrentVersionValue[] = "CurrentVersion";
constexpr char kJavaHomeValue[] = "JavaHome";

// Keys that current distributions write (HKLM), tried after the keys above.
enum class VendorLayout {
  kJavaHome,    // <key>\<version> holds JavaHome (the Java 9+ JavaSoft keys)
  kMsiPath,     // <key>\<version>\<jvm>\MSI holds Path (Adoptium, Microsoft)
  kInstallPath  // <key>\<name> holds InstallationPath (Azul Zulu)
};
struct VendorKey {
  const char* path;
  VendorLayout layout;
  bool jre;  // a JRE key: passed over when a JDK is required
};
constexpr VendorKey kVendorKeys[] = {
    {"SOFTWARE\\JavaSoft\\JDK", VendorLayout::kJavaHome, false},
    {"SOFTWARE\\JavaSoft\\JRE", VendorLayout::kJavaHome, true},
    {"SOFTWARE\\Eclipse Adoptium\\JDK", VendorLayout::kMsiPath, false},
    {"SOFTWARE\\Eclipse Adoptium\\JRE", VendorLayout::kMsiPath, true},
    {"SOFTWARE\\Eclipse Foundation\\JDK", VendorLayout::kMsiPath, false},
    {"SOFTWARE\\AdoptOpenJDK\\JDK", VendorLayout::kMsiPath, false},
    {"SOFTWARE\\AdoptOpenJDK\\JRE", VendorLayout::kMsiPath, true},
    {"SOFTWARE\\Microsoft\\JDK", VendorLayout::kMsiPath, false},
    {"SOFTWARE\\Azul Systems\\Zulu", VendorLayout::kInstallPath, false},
};

// The cache key of a resolved Java executable path: every backslash becomes a
// forward slash so that the path is one key name.
std::string VersionCacheKeyName(const std::string& resolved_path);

// The Java executable a located-JVM sub-key names: slashes back to backslashes.
std::string LocatedJvmPath(const std::string& sub_key_name);

// The version part of a vendor's sub-key name, from its first digit on
// ("zulu-17" gives 17), for ordering; names without digits stay whole.
std::string VendorVersionName(const std::string& sub_key_name);

// The current-version route of the vendor keys: which sub-key to read
// JavaHome from, given the two CurrentVersion values (each already emptied
// when missing or out of range). The JDK key when its version is the
// greater, else the JRE key (ties included). False when a JDK is required and
// there is no JDK version: the JRE key must not be read then.
bool CurrentVersionKey(const std::string& jdk_version, const std::string& jre_version,
                       bool jdk_required, std::string* key_path);

}  // namespace vexlo
