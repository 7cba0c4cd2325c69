#include "windows/expand_win.h"

#include <cstring>

#include "core/config_win.h"
#include "core/log_win.h"
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

std::vector<std::string> EnvironmentEntries() {
  std::vector<std::string> entries;
  char* block = GetEnvironmentStringsA();
  if (block == nullptr) return entries;
  for (const char* entry = block; *entry != '\0'; entry += std::strlen(entry) + 1) {
    entries.push_back(entry);
  }
  FreeEnvironmentStringsA(block);
  return entries;
}

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
