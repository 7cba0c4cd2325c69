#include "coord/native_path_win.h"

#include <stdlib.h>
#include <string.h>

#include <string>

#include "coord/native_path.h"
#include "core/config.h"
#include "core/config_win.h"
#include "core/log_win.h"
#include "core/text_win.h"
#include "windows/expand_win.h"

namespace vexlo {
namespace {

void CollapsePath(std::string& path) { CollapseNarrowBackslashes(path); }

// PATH as inherited, read from the environment block: GetEnvironmentVariable
// goes through a counted string of at most 32767 characters, and Wine then
// returns a longer value cut to its length modulo 32768.
std::string InheritedPath() {
  for (const std::string& entry : EnvironmentEntries()) {
    if (_strnicmp(entry.c_str(), "PATH=", 5) == 0) return entry.substr(5);
  }
  return std::string();
}

}  // namespace

void PrependNativeLibraryDirectories() {
  std::string directories = ConfigText(record::kNativeLibraryDirectories);
  LogLine("native lib dir is %s", directories.c_str());
  Expand(directories);
  // The old PATH is read at whatever length it has: cutting it would hide the
  // system's own directories from everything the application loads.
  const std::string value =
      ComposeNativeLibraryPath(directories, ExecutableDirectory(), InheritedPath(), CollapsePath);
  // A value the system cannot hold is not handed to it at all: Wine would
  // store a cut copy. The inherited PATH then stays as it is, whole.
  if (NarrowToWide(value, CP_ACP).size() > kMaxEnvironmentValueLength) {
    LogLine("Setting PATH (native libs) %s failed with error %d", value.c_str(),
            static_cast<int>(ERROR_FILENAME_EXCED_RANGE));
    return;
  }
  if (SetEnvironmentVariableA("PATH", value.c_str())) {
    LogLine("Setting PATH (native libs) %s", value.c_str());
  } else {
    LogLine("Setting PATH (native libs) %s failed with error %d", value.c_str(),
            static_cast<int>(GetLastError()));
  }
  // The C runtime keeps its own copy of the environment (getenv, _spawn).
  _putenv(("PATH=" + value).c_str());
}

}  // namespace vexlo
