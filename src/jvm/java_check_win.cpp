#include "jvm/java_check_win.h"

#include <cstring>

#include "core/config.h"
#include "core/log_win.h"
#include "core/paths_win.h"
#include "core/temp_dir_win.h"
#include "jvm/java_version.h"
#include "jvm/registry_keys.h"
#include "sys/child_process_win.h"
#include "sys/file_tests_win.h"
#include "sys/handle_win.h"
#include "sys/registry_win.h"
#include "sys/text_win.h"

namespace vexlo {
namespace {

// The version line comes among the first few lines; more output than this
// is not read.
constexpr DWORD kVersionOutputRead = 64 * 1024;

std::string ReadFileStart(HANDLE file, DWORD limit) {
  std::string bytes;
  if (SetFilePointer(file, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) return bytes;
  char buffer[4096];
  DWORD got = 0;
  while (bytes.size() < limit && ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) {
    bytes.append(buffer, got);
  }
  return bytes;
}

// Finds the file and its last-write time with a directory search. Wildcards
// would let the search stand a different file in for the path.
bool FindFile(const std::string& path, FILETIME* last_write) {
  if (path.find_first_of("*?") != std::string::npos) return false;
  WIN32_FIND_DATAA found;
  UniqueFind search(FindFirstFileA(path.c_str(), &found));
  if (!search) return false;
  *last_write = found.ftLastWriteTime;
  return true;
}

}  // namespace

DWORD& VersionRunLimitMs() {
  static DWORD limit = 60000;
  return limit;
}

bool javaExeForHome(std::string* java_executable, const std::string& home) {
  *java_executable = home + "\\jre\\bin\\java.exe";
  if (ConfigFlag(record::kJdkRequired)) return Exists(home + "\\lib\\tools.jar");
  if (!Exists(*java_executable)) *java_executable = home + "\\bin\\java.exe";
  return true;
}

bool readCachedVersion(const std::string& resolved_path, const FILETIME& last_write,
                       std::string* version) {
  UniqueKey key = OpenRegistryKey(HKEY_CURRENT_USER, VersionCacheKeyName(resolved_path));
  if (!key) return false;
  std::string cached_time;
  if (!ReadRegistryBytes(key.get(), kCachedLastWriteValue, &cached_time) ||
      cached_time.size() != sizeof(FILETIME) ||
      std::memcmp(cached_time.data(), &last_write, sizeof(FILETIME)) != 0) {
    return false;
  }
  return ReadRegistryString(key.get(), kCachedVersionValue, version);
}

void writeCachedVersion(const std::string& resolved_path, const FILETIME& last_write,
                        const std::string& version) {
  UniqueKey key;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, VersionCacheKeyName(resolved_path).c_str(), 0, nullptr,
                      REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, key.put(),
                      nullptr) != ERROR_SUCCESS) {
    key.release();
    return;
  }
  RegSetValueExA(key.get(), kCachedLastWriteValue, 0, REG_BINARY,
                 reinterpret_cast<const BYTE*>(&last_write), sizeof(FILETIME));
  RegSetValueExA(key.get(), kCachedVersionValue, 0, REG_SZ,
                 reinterpret_cast<const BYTE*>(version.c_str()), static_cast<DWORD>(version.size() + 1));
}

bool runJavaVersion(const std::string& resolved_path, const FILETIME& last_write,
                    std::string* version) {
  // Quoted, and named as the application too: an unquoted path with a space
  // would start C:\Program.exe if one exists.
  const std::string command_line = "\"" + resolved_path + "\" -version";
  const std::string output_path = NewTempFileName();

  // Inheritable, as the child's standard error; the child inherits nothing
  // else. Deleted when its last handle closes, whoever holds that: a child
  // without a console gets one whose host also holds the file, for a while
  // after the child has ended, and a deletion by name would fail then.
  SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
  UniqueFile output(CreateFileA(output_path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inheritable, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  // Without it, only the empty file the name was reserved with is there.
  if (!output) DeleteFileA(output_path.c_str());

  const WideString application = NarrowToWide(resolved_path, CP_ACP);
  ChildProcessStart start;
  start.application = application.c_str();
  start.command_line = NarrowToWide(command_line, CP_ACP);
  start.use_std_handles = true;
  start.std_error = output ? output.get() : nullptr;
  start.hidden_window = true;
  start.creation_flags = NORMAL_PRIORITY_CLASS;
  ChildProcess child;
  DWORD error = 0;
  if (!StartChildProcess(start, &child, &error)) {
    LogLine("Could not create process %s > %s (error %d)", command_line.c_str(), output_path.c_str(),
            static_cast<int>(error));
    return false;
  }

  const bool ended = WaitForChildProcess(child, VersionRunLimitMs());
  DWORD exit_code = ChildExitCode(child, STILL_ACTIVE);
  LogLine("Exit Code %d", static_cast<int>(exit_code));
  if (!ended || exit_code == STILL_ACTIVE) {
    LogLine("Terminating process");
    TerminateChildProcess(child, 1);
    // Its end is awaited (bounded), so no run of a candidate outlives its test.
    WaitForChildProcess(child, 5000);
    exit_code = STILL_ACTIVE;
  } else if (exit_code != 0) {
    writeCachedVersion(resolved_path, last_write, kFailedVersionMarker);
  }
  child = ChildProcess();

  bool found = false;
  if (exit_code == 0 && output) {
    found = VersionFromOutput(ReadFileStart(output.get(), kVersionOutputRead), version);
    if (found) LogLine("Java version: %s", version->c_str());
  }
  return found;
}

bool checkJavaExe(std::string* java_executable, std::string* version, const std::string& minimum,
                  const std::string& maximum, bool allow_beta) {
  LogLine("checkJavaExe (%s, [out], %s, %s, %d)", java_executable->c_str(), minimum.c_str(),
          maximum.c_str(), allow_beta ? 1 : 0);
  *java_executable = FullPath(*java_executable, false);
  bool result = false;
  FILETIME last_write = {};
  if (!FindFile(*java_executable, &last_write)) {
    LogLine("file doesn't exist");
  } else {
    LogLine("file exists");
    version->clear();
    const bool beta_allowed = allow_beta || ConfigFlag(record::kAllowPreRelease);
    if (readCachedVersion(*java_executable, last_write, version) && CachedVersionTrusted(*version)) {
      LogLine("got version from registry %s", version->c_str());
      result = versionAcceptable(*version, minimum, maximum, beta_allowed, LogLine);
    } else if (runJavaVersion(*java_executable, last_write, version)) {
      LogLine("got version from execution %s", version->c_str());
      writeCachedVersion(*java_executable, last_write, *version);
      result = versionAcceptable(*version, minimum, maximum, beta_allowed, LogLine);
    } else {
      LogLine("couldn't get version");
    }
    if (result && ConfigInteger(record::kLaunchMode) == 1 && java_executable->size() >= 4) {
      java_executable->replace(java_executable->size() - 4, 4, "w.exe");
      result = Exists(*java_executable);
    }
  }
  LogLine("checkJavaExe returning %d", result ? 1 : 0);
  return result;
}

}  // namespace vexlo
