#include "windows/expand_win.h"

#include "core/config_win.h"
#include "core/log_win.h"
#include "core/process_path_win.h"
#include "core/win.h"
#include "payload/temp_dir_win.h"
#include "windows/expand.h"

namespace vexlo {
namespace {

std::string& JvmHomeStorage() {
  static std::string home;
  return home;
}

}  // namespace

void Expand(std::string& text) {
  FixedExpansionValues fixed;
  fixed.executable_directory = ExecutableDirectory();
  fixed.launcher_temp_dir = LauncherTempDir();
  fixed.jvm_home = JvmHome();
  fixed.system_temp_dir = SystemTempDir();
  ExpandText(text, fixed, EnvironmentEntries(), LogLine);
}

void SetJvmHome(const std::string& java_executable) { JvmHomeStorage() = JvmHomeFor(java_executable); }

const std::string& JvmHome() { return JvmHomeStorage(); }

}  // namespace vexlo
