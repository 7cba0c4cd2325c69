// TEMPORARY: stands in for the JVM search until the real one is merged. It
// knows one source only: VEXLO_JAVA_HOME, whose jre\bin\java.exe or else
// bin\java.exe must exist.
#include "jvm/search_win.h"

#include "core/text_win.h"
#include "payload/file_tests_win.h"
#include "windows/paths_win.h"

namespace vexlo {

JvmSource searchJvm(std::string* java_executable, std::string* location) {
  std::string home = EnvironmentVariable("VEXLO_JAVA_HOME");
  if (home.empty()) return JvmSource::None;
  for (char& c : home) {
    if (c == '/') c = '\\';
  }
  std::string candidate = home + "\\jre\\bin\\java.exe";
  if (!Exists(candidate)) candidate = home + "\\bin\\java.exe";
  if (!Exists(candidate)) return JvmSource::None;
  *java_executable = FullPath(candidate, false);
  *location = "VEXLO_JAVA_HOME";
  return JvmSource::EnvironmentVariable;
}

}  // namespace vexlo
