#include "coord/native_path_win.h"

#include <string>

#include "coord/native_path.h"
#include "core/config.h"
#include "core/config_win.h"
#include "core/expand_win.h"
#include "core/log_win.h"
#include "sys/process_path_win.h"
#include "sys/text_win.h"

namespace vexlo {
namespace {

void CollapsePath(std::string& path) { CollapseNarrowBackslashes(path); }

}  // namespace

void PrependNativeLibraryDirectories() {
  std::string directories = ConfigText(record::kNativeLibraryDirectories);
  LogLine("native lib dir is %s", directories.c_str());
  Expand(directories);
  // The old PATH is read at whatever length it has: cutting it would hide the
  // system's own directories from everything the application loads. A result
  // the system cannot hold is not set at all, and PATH stays as it is, whole.
  const std::string value =
      ComposeNativeLibraryPath(directories, ExecutableDirectory(), ProcessPath(), CollapsePath);
  DWORD error = 0;
  if (SetProcessPath(value.c_str(), &error)) {
    LogLine("Setting PATH (native libs) %s", value.c_str());
  } else {
    LogLine("Setting PATH (native libs) %s failed with error %d", value.c_str(), static_cast<int>(error));
  }
}

}  // namespace vexlo
