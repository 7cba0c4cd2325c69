// The test every candidate runtime of the JVM search goes through: the Java
// executable of a runtime directory, its existence, its version (from the
// per-user version cache or from a "-version" run), the bounds, the
// pre-release rule and, in launch mode 1, javaw.exe beside it.
#pragma once
#include <string>

#include "sys/win.h"

namespace vexlo {

// Names the Java executable of a runtime directory: home\jre\bin\java.exe
// when it exists, else home\bin\java.exe. With a JDK required (record 131)
// the result is whether home\lib\tools.jar exists, and the executable is
// always the one below jre. Otherwise true: whether the executable exists is
// the caller's question.
bool javaExeForHome(std::string* java_executable, const std::string& home);

// Resolves *java_executable in place (full, lower-cased path), learns its
// version into *version and judges it. In launch mode 1 the path is turned
// into the javaw.exe beside it, which must exist. allow_beta is the candidate
// kind's pre-release permission; record 130 adds to it.
bool checkJavaExe(std::string* java_executable, std::string* version, const std::string& minimum,
                  const std::string& maximum, bool allow_beta);

// The version cache under HKCU, keyed by the resolved path and valid only for
// the exact last-write time. A hit gives the cached text as it is.
bool readCachedVersion(const std::string& resolved_path, const FILETIME& last_write,
                       std::string* version);
// Creates or updates the entry; failures only cost a run next time.
void writeCachedVersion(const std::string& resolved_path, const FILETIME& last_write,
                        const std::string& version);

// Runs the executable with "-version" (standard error to a temporary file,
// time limit VersionRunLimitMs) and reads the version it announces. A
// non-zero exit caches the failed-run marker; a time-out terminates the run
// and leaves the cache alone.
bool runJavaVersion(const std::string& resolved_path, const FILETIME& last_write,
                    std::string* version);

// The version run's time limit: 60 seconds. Test drivers shorten it.
DWORD& VersionRunLimitMs();

}  // namespace vexlo
