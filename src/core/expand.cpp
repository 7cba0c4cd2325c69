#include "core/expand.h"

namespace vexlo {

void ReplaceAll(std::string& text, const std::string& token, const std::string& value, LogSink log) {
  if (token.empty()) return;
  size_t position = 0;
  while ((position = text.find(token, position)) != std::string::npos) {
    text.replace(position, token.size(), value);
    log("expanding %s to %s in %s.", token.c_str(), value.c_str(), text.c_str());
    position += value.size();
  }
}

void ExpandText(std::string& text, const FixedExpansionValues& fixed,
                const std::vector<std::string>& environment, LogSink log) {
  const std::string separator = ";";
  const struct {
    const char* token;
    const std::string& value;
  } kFixed[] = {
      {"%VEXLO_EXEDIR%", fixed.executable_directory},
      {"%TAVRELIUM_EXEDIR%", fixed.executable_directory},
      {"%VEXLO_TEMPDIR%", fixed.launcher_temp_dir},
      {"%TAVRELIUM_TEMPDIR%", fixed.launcher_temp_dir},
      {"%VEXLO_PATHLIST_SEPARATOR%", separator},
      {"%TAVRELIUM_PATHLIST_SEPARATOR%", separator},
      {"%VEXLO_JVM_HOME%", fixed.jvm_home},
      {"%TAVRELIUM_JVM_HOME%", fixed.jvm_home},
      {"${VEXLO_EXEDIR}", fixed.executable_directory},
      {"${TAVRELIUM_EXEDIR}", fixed.executable_directory},
      {"${VEXLO_TEMPDIR}", fixed.launcher_temp_dir},
      {"${TAVRELIUM_TEMPDIR}", fixed.launcher_temp_dir},
      {"${VEXLO_PATHLIST_SEPARATOR}", separator},
      {"${TAVRELIUM_PATHLIST_SEPARATOR}", separator},
      {"${VEXLO_JVM_HOME}", fixed.jvm_home},
      {"${TAVRELIUM_JVM_HOME}", fixed.jvm_home},
      {"${launcher:sys.launcherDirectory}", fixed.executable_directory},
      {"${launcher:sys.launcherTempDirectory}", fixed.launcher_temp_dir},
      {"${launcher:sys.pathlistSeparator}", separator},
      {"${launcher:sys.jvmHome}", fixed.jvm_home},
      {"${launcher:sys.tempDir}", fixed.system_temp_dir},
  };
  for (const auto& entry : kFixed) ReplaceAll(text, entry.token, entry.value, log);

  for (const std::string& entry : environment) {
    const size_t equals = entry.find('=');
    if (equals == std::string::npos) continue;
    const std::string value = entry.substr(equals + 1);
    const std::string token = "${" + entry.substr(0, equals) + "}";
    ReplaceAll(text, token, value, log);
    std::string upper = token;
    for (char& c : upper) {
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    // For a name already in capitals a second pass would expand the token
    // again inside the value just inserted.
    if (upper != token) ReplaceAll(text, upper, value, log);
  }
}

bool MayExpand(const std::string& text) {
  const size_t percent = text.find('%');
  return text.find("${") != std::string::npos ||
         (percent != std::string::npos && text.find('%', percent + 1) != std::string::npos);
}

std::string JavaExecutableDirectory(const std::string& java_executable) {
  static const std::string kWindowed = "javaw.exe";
  static const size_t kConsoleLength = sizeof("java.exe") - 1;
  size_t cut = kConsoleLength;
  if (java_executable.size() >= kWindowed.size() &&
      java_executable.compare(java_executable.size() - kWindowed.size(), kWindowed.size(), kWindowed) == 0) {
    cut = kWindowed.size();
  }
  const size_t keep = java_executable.size() > cut ? java_executable.size() - cut : 0;
  return java_executable.substr(0, keep);
}

std::string JvmHomeFor(const std::string& java_executable) {
  return JavaExecutableDirectory(java_executable) + "..";
}

}  // namespace vexlo
