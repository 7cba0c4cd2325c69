// Launcher tests with a fake Java runtime: a runtime directory holding the
// java.exe double as bin\java.exe (the search runs it for its version) and
// the recording jvm.dll double below bin\<vm type>. VEXLO_JAVA_HOME points the
// search at it, so the launcher's whole child start runs for real.
#pragma once
#include <string>
#include <vector>

#include "support/launcher_fixture_win.h"

namespace vexlo {
namespace testing_support {

// DefaultContents with the JVM messages and the default runtime layout (no
// mode letter "i").
BlockContents JvmContents();

std::string JvmDoublePath();
std::string JvmWithoutEntryPath();

class RuntimeTest : public LauncherTest {
 protected:
  // Removes the version cache entries of this test's runtimes.
  void TearDown() override;

  // work\<name> with bin\java.exe, bin\javaw.exe and bin\<type>\jvm.dll (the recording
  // double) for each type; returns the runtime directory.
  std::string MakeRuntime(const std::string& name = "jre", const std::vector<std::string>& vm_types = {"server"});
  // Copies a library to <directory>\jvm.dll, creating the directory.
  void PlaceJvmDll(const std::string& directory, const std::string& source);
  // A jvm.dll there that the system refuses to load (as a runtime of the
  // other bitness would be).
  void PlaceBrokenJvmDll(const std::string& directory);
  // Settings for the double whose jvm.dll is in the directory (see
  // jvm_double_win.cpp).
  void SetDouble(const std::string& dll_directory, const std::string& settings);
  // The double's record lines, and the values of the lines with a prefix.
  static std::vector<std::string> Record(const std::string& dll_directory);
  static std::vector<std::string> Values(const std::vector<std::string>& record, const std::string& prefix);

  // Options for a child start: VEXLO_JAVA_HOME set to the runtime (none for
  // an empty text), the log on, then the test's own entries.
  ProcessOptions ChildOptions(const std::string& runtime, std::vector<std::wstring> environment = {}) const;
  // Runs the launcher as a child start: the arguments, then the restart marker.
  ProcessResult RunChild(const std::string& exe, const std::string& runtime, const std::string& arguments,
                         std::vector<std::wstring> environment = {});
  ProcessResult RunChild(const std::string& exe, const std::string& arguments, const ProcessOptions& options);
  // The lines of the one launcher log of the test's last run.
  std::vector<std::string> LastLog() const;
};

bool Contains(const std::vector<std::string>& lines, const std::string& line);
size_t Count(const std::vector<std::string>& lines, const std::string& line);
// How often a text occurs in another.
size_t Occurrences(const std::string& text, const std::string& part);

}  // namespace testing_support
}  // namespace vexlo
