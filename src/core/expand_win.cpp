#include "core/expand_win.h"

#include "core/config_win.h"
#include "core/expand.h"
#include "core/log_win.h"
#include "core/temp_dir_win.h"
#include "sys/process_path_win.h"
#include "sys/win.h"

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
