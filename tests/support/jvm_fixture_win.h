// Fixture for the JVM search tests: fake runtime directories made of the
// java.exe and unpack200.exe doubles, registry keys seeded for one test and
// removed after it (with the version cache entries of the test's paths), and
// the probe's answers and log lines.
#pragma once
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "support/launcher_fixture_win.h"

namespace vexlo {
namespace testing_support {

struct RuntimeOptions {
  // Lines of java-double.txt; empty prints openjdk version "<version>".
  std::vector<std::string> double_settings;
  bool under_jre = false;  // java.exe in jre\bin rather than bin
  bool javaw = false;      // javaw.exe beside java.exe
  bool tools_jar = false;  // lib\tools.jar (a JDK)
};

class JvmTest : public LauncherTest {
 protected:
  void TearDown() override;

  // Creates work\<name> as a runtime whose java.exe announces `version`;
  // returns the runtime directory.
  std::string MakeRuntime(const std::string& name, const std::string& version = "17.0.2",
                          const RuntimeOptions& options = {});
  // Rewrites a runtime's java-double.txt.
  void SetDoubleSettings(const std::string& java_directory, const std::vector<std::string>& lines);
  // Runs recorded by the double in that directory (its java-double.runs).
  int RunCount(const std::string& java_directory) const;

  // A probe carrying DefaultContents with these records set.
  std::string JvmProbe(const std::vector<std::pair<int32_t, std::string>>& records);
  // Runs the probe with logging on and the Java variables of the machine
  // cleared; extra entries are added to its environment.
  ProcessResult RunProbe(const std::string& probe, const std::string& arguments,
                         std::vector<std::wstring> environment = {});
  // The probe's key=value lines.
  static std::map<std::string, std::string> Fields(const ProcessResult& result);
  // Lines of the newest launcher log that start with `prefix`.
  std::vector<std::string> LastLogLines(const std::string& prefix) const;

  // Sets a string value (REG_SZ unless told), creating the key. The key's
  // tree goes at the end of the test.
  void SeedString(HKEY root, const std::string& key, const char* name, const std::string& value,
                  DWORD type = REG_SZ);
  void SeedKey(HKEY root, const std::string& key);
  // Removes the seeded trees now (TearDown does it too).
  void RemoveSeededKeys();
  // The version cache entry of a resolved path, as the launcher writes it.
  void SeedCache(const std::string& resolved_path, const FILETIME& last_write, const std::string& version);
  bool ReadCache(const std::string& resolved_path, std::string* version, FILETIME* last_write) const;

  static FILETIME LastWriteTime(const std::string& path);

 private:
  std::vector<std::pair<HKEY, std::string>> seeded_trees_;
};

std::string JavaDoublePath();
std::string Unpack200DoublePath();

}  // namespace testing_support
}  // namespace vexlo
