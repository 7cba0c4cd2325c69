#include "jvm/search_win.h"

#include <algorithm>
#include <vector>

#include "core/config.h"
#include "core/expand_win.h"
#include "core/log_win.h"
#include "core/paths_win.h"
#include "jvm/java_check_win.h"
#include "jvm/packed_jre_win.h"
#include "jvm/registry_sources_win.h"
#include "jvm/search_rules.h"
#include "jvm/search_steps_win.h"
#include "sys/file_tests_win.h"
#include "sys/handle_win.h"
#include "sys/text_win.h"

namespace vexlo {
namespace {

constexpr char kPreferredLocationFile[] = "\\.tavrelium\\pref_jre.cfg";
constexpr char kInstallerLocationFile[] = "\\.tavrelium\\inst_jre.cfg";

// Reads the start of a file up to and including its first line feed; empty
// when the file cannot be opened, which LocationFileLine refuses as it
// refuses an empty file.
std::string ReadFirstLine(const std::string& path) {
  UniqueFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  std::string text;
  char buffer[4096];
  DWORD got = 0;
  while (file && ReadFile(file.get(), buffer, sizeof(buffer), &got, nullptr) && got > 0) {
    text.append(buffer, got);
    if (std::find(buffer, buffer + got, '\n') != buffer + got) break;
  }
  return text;
}

}  // namespace

bool testDirectory(std::string* java_executable, const std::string& location,
                   const std::string& minimum, const std::string& maximum, bool skip_version_test) {
  const std::string home = FullPath(location, false);
  prepareJre(home);
  const bool named = javaExeForHome(java_executable, home);
  if (skip_version_test) return true;
  std::string version;
  return named && checkJavaExe(java_executable, &version, minimum, maximum, true);
}

bool testEnvironmentVariable(std::string* java_executable, const std::string& variable,
                             const std::string& minimum, const std::string& maximum) {
  std::string home = EnvironmentVariable(variable.c_str());
  if (home.empty()) return false;
  std::replace(home.begin(), home.end(), '/', '\\');
  std::string version;
  return javaExeForHome(java_executable, home) &&
         checkJavaExe(java_executable, &version, minimum, maximum, false);
}

bool testSearchPath(std::string* java_executable, const std::string& minimum,
                    const std::string& maximum) {
  *java_executable = FillGrowing<char>([](char* buffer, DWORD size) {
    return SearchPathA(nullptr, "java.exe", nullptr, size, buffer, nullptr);
  });
  if (java_executable->empty()) return false;
  std::string version;
  return checkJavaExe(java_executable, &version, minimum, maximum, false);
}

bool readLocationFile(std::string* line, const char* file_name) {
  const std::string path = FullPath(ConfigText(record::kInstallationDirectory), true) + file_name;
  return LocationFileLine(ReadFirstLine(path), line);
}

JvmSource searchJvm(std::string* java_executable, std::string* location) {
  LogLine("Searching for a JVM");
  const std::string& sequence = ConfigText(record::kSearchSequence);
  const std::string& minimum = ConfigText(record::kMinimumJavaVersion);
  const std::string& maximum = ConfigText(record::kMaximumJavaVersion);

  std::string line;
  if (readLocationFile(&line, kPreferredLocationFile)) {
    LogLine("Has preferred location %s", line.c_str());
    if (testDirectory(java_executable, line, minimum, maximum, false)) {
      LogLine("Using preferred location");
      *location = line;
      return JvmSource::Directory;
    }
  }

  const std::vector<SearchEntry> entries = SplitSearchSequence(sequence);
  for (const SearchEntry& entry : entries) {
    std::string text = entry.location;
    Expand(text);
    LogLine("Testing location %s (type %c)", text.c_str(), entry.letter);
    switch (entry.letter) {
      case 'A':
      case 'B':
      case 'R':
        if (testDirectory(java_executable, text, minimum, maximum, false)) {
          *location = text;
          return JvmSource::Directory;
        }
        break;
      case 'E':
        if (testEnvironmentVariable(java_executable, text, minimum, maximum)) {
          *location = text;
          return JvmSource::EnvironmentVariable;
        }
        break;
      case 'S':
        if (testSearchPath(java_executable, minimum, maximum)) {
          *location = text;
          return JvmSource::SearchPath;
        }
        break;
      case 'Y':
        if (findRegistryJvm(java_executable, minimum, maximum)) return JvmSource::Registry;
        break;
      default:
        break;
    }
  }

  if (readLocationFile(&line, kInstallerLocationFile)) {
    LogLine("Has installer location %s", line.c_str());
    if (testDirectory(java_executable, line, minimum, maximum, false)) {
      LogLine("Using installer location");
      *location = line;
      return JvmSource::Directory;
    }
  }

  // Runtimes shipped beside the application, taken whatever their version.
  for (const SearchEntry& entry : entries) {
    if (!RetriedInRelativePass(entry)) continue;
    LogLine("Testing relative location %s", entry.location.c_str());
    testDirectory(java_executable, entry.location, minimum, maximum, true);
    if (Exists(*java_executable)) {
      LogLine("%s exists", java_executable->c_str());
      *location = entry.location;
      return JvmSource::Directory;
    }
  }

  if (findPreviousInstallation(HKEY_CURRENT_USER, java_executable, minimum, maximum)) {
    LogLine("found JRE from previous installation (user) %s", java_executable->c_str());
    return JvmSource::Registry;
  }
  if (findPreviousInstallation(HKEY_LOCAL_MACHINE, java_executable, minimum, maximum)) {
    LogLine("found JRE from previous installation (machine) %s", java_executable->c_str());
    return JvmSource::Registry;
  }
  LogLine("Search sequence finished");

  for (const char* variable : {"VEXLO_JAVA_HOME", "TAVRELIUM_JAVA_HOME"}) {
    if (testEnvironmentVariable(java_executable, variable, minimum, maximum)) {
      *location = variable;
      return JvmSource::EnvironmentVariable;
    }
  }
  return JvmSource::None;
}

}  // namespace vexlo
