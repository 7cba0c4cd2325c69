// Rules of the packed private runtime that need no file system: which jars
// are restored and in what order, when a runtime counts as packed, and the
// name of the lock that keeps two launchers from preparing it at once.
#pragma once
#include <string>

namespace vexlo {

// Jars restored from their ".pack" files, relative to the runtime directory.
// lib\rt.jar comes last: its packed file is what marks a runtime as packed,
// so it must be the last packed file to go, or an interrupted preparation
// would leave the other jars packed for good.
constexpr const char* kPackedJars[] = {
    "lib\\jfxrt.jar",  "lib\\charsets.jar", "lib\\plugin.jar", "lib\\deploy.jar",
    "lib\\ext\\localedata.jar", "lib\\jsse.jar", "lib\\rt.jar",
};
constexpr char kRtPack[] = "\\lib\\rt.jar.pack";
constexpr char kRtJar[] = "\\lib\\rt.jar";
constexpr char kJsseJar[] = "\\lib\\jsse.jar";

// A runtime is packed while lib\rt.jar.pack exists and the preparation has
// not finished: lib\jsse.jar (restored late) or lib\rt.jar (restored last)
// is still missing.
inline bool RuntimeIsPacked(bool rt_pack_exists, bool jsse_jar_exists, bool rt_jar_exists) {
  return rt_pack_exists && !(jsse_jar_exists && rt_jar_exists);
}

// Name of the named mutex that serialises preparations of one runtime
// directory, the same in every launcher and every session. Backslashes would
// be namespace separators in an object name, so the directory is hashed.
std::string PreparationMutexName(const std::string& runtime_directory);

}  // namespace vexlo
