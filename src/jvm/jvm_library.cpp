#include "jvm/jvm_library.h"

#include "core/expand.h"

namespace vexlo {

std::string BinDirectoryOf(const std::string& java_executable) {
  std::string bin = JavaExecutableDirectory(java_executable);
  if (!bin.empty() && bin.back() == '\\') bin.pop_back();
  return bin;
}

std::string JreJavaExecutableBeside(const std::string& java_executable) {
  return BinDirectoryOf(java_executable) + "\\..\\jre\\bin\\java.exe";
}

std::string PathWithBinDirectory(const std::string& old_path, const std::string& bin_directory) {
  return old_path.empty() ? bin_directory : old_path + ";" + bin_directory;
}

std::vector<std::string> VmTypeTrials(const std::string& preferred) {
  std::vector<std::string> trials;
  if (!preferred.empty()) trials.push_back(preferred);
  for (const char* type : {"hotspot", "client", "server", "classic", "jrockit"}) trials.push_back(type);
  return trials;
}

}  // namespace vexlo
