#include "jvm/load_win.h"

#include "core/config.h"
#include "core/errors_win.h"
#include "core/expand_win.h"
#include "core/log_win.h"
#include "jvm/jvm_library.h"
#include "jvm/search_win.h"
#include "sys/file_tests_win.h"
#include "sys/process_path_win.h"
#include "sys/text_win.h"

namespace vexlo {
namespace {

FARPROC g_create_java_vm = nullptr;

// Sets PATH for the JVM library's own dependencies; null removes it.
void SetPath(const char* value) {
  const char* shown = value ? value : "";
  DWORD error = 0;
  if (SetProcessPath(value, &error)) {
    LogLine("Setting PATH %s", shown);
  } else {
    LogLine("Setting PATH %s failed with error %d", shown, static_cast<int>(error));
  }
}

// The one message for a runtime that was found but cannot be used, chosen by
// how it was found.
void ShowLoadFailure(JvmSource source, const std::string& location) {
  switch (source) {
    case JvmSource::SearchPath: ShowMessage(1016, "64"); break;
    case JvmSource::EnvironmentVariable: ShowMessage(1018, location.c_str()); break;
    case JvmSource::Directory: ShowMessage(1020, location.c_str()); break;
    case JvmSource::Registry: ShowMessage(1005); break;
    case JvmSource::None: break;
  }
}

}  // namespace

HMODULE tryJvmDll(const std::string& bin_directory, const std::string& vm_type) {
  const std::string path = bin_directory + "\\" + vm_type + "\\jvm.dll";
  const bool exists = Exists(path);
  LogLine("Trying %s (exists %d)", path.c_str(), exists ? 1 : 0);
  // The JVM library stays loaded for the life of the process.
  HMODULE library = LoadLibraryA(path.c_str());
  const DWORD error = GetLastError();
  if (library == nullptr && exists) LogLine("Failed with error code %d", static_cast<int>(error));
  return library;
}

HMODULE loadFromBinDirectory(const std::string& java_executable) {
  const std::string bin = BinDirectoryOf(java_executable);
  // What PATH held, so that it can be put back exactly, unset included.
  bool old_path_set = false;
  const std::string old_path = ProcessPath(&old_path_set);
  SetPath(PathWithBinDirectory(old_path, bin).c_str());

  HMODULE library = nullptr;
  for (const std::string& vm_type : VmTypeTrials(ConfigText(record::kPreferredVmType))) {
    library = tryJvmDll(bin, vm_type);
    if (library != nullptr) return library;
  }
  SetPath(old_path_set ? old_path.c_str() : nullptr);
  return nullptr;
}

HMODULE loadJvmLibrary(const std::string& java_executable) {
  HMODULE library = loadFromBinDirectory(java_executable);
  if (library != nullptr) return library;
  return loadFromBinDirectory(JreJavaExecutableBeside(java_executable));
}

bool resolveCreateJavaVm(HMODULE library) {
  if (library == nullptr) return false;
  FARPROC entry = GetProcAddress(library, "JNI_CreateJavaVM");
  if (entry == nullptr) return false;
  g_create_java_vm = entry;
  return true;
}

FARPROC CreateJavaVmEntry() { return g_create_java_vm; }

bool LoadDLL() {
  const char* no_text = nullptr;
  LogLine("LoadDLL (%d, %s, %d)", 1, no_text, 0);
  std::string java_executable;
  std::string location;
  const JvmSource source = searchJvm(&java_executable, &location);
  if (source == JvmSource::None) {
    LogErrorLine("No JVM found");
    ShowMessage(1016, "64");
    return false;
  }
  LogLine("Trying to load JVM-DLL from %s", java_executable.c_str());
  HMODULE library = loadJvmLibrary(java_executable);
  // The home follows the executable the search chose, also when only the
  // JDK's private runtime loaded or nothing did.
  SetJvmHome(java_executable);
  if (library == nullptr) LogErrorLine("Could not get DLL-Handle.");
  if (!resolveCreateJavaVm(library)) {
    LogErrorLine("Could not load functions");
    ShowLoadFailure(source, location);
    return false;
  }
  LogLine("Loading of JVM-DLL successful");
  return true;
}

}  // namespace vexlo
