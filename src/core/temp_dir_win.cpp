#include "core/temp_dir_win.h"

#include <stdlib.h>
#include <time.h>

#include "core/errors_win.h"
#include "core/log_win.h"
#include "sys/file_tests_win.h"
#include "sys/handle_win.h"
#include "sys/path_text.h"
#include "sys/text_win.h"

namespace vexlo {
namespace {

std::string JoinPath(const std::string& directory, const char* name) {
  std::string path = directory;
  if (path.empty() || path.back() != '\\') path += '\\';
  return path + name;
}

std::string WindowsDirectory() {
  char buffer[MAX_PATH + 1];
  const UINT length = GetWindowsDirectoryA(buffer, sizeof(buffer));
  return length > 0 && length < sizeof(buffer) ? std::string(buffer, length) : std::string();
}

// A chosen temporary path is usable when its long form exists and every
// character of it has a form in the ANSI code page ("?" marks one that has
// not). A path whose long form cannot be had does not exist: not usable.
bool UsableTempPath(const std::string& path) {
  if (path.empty() || path.find('?') != std::string::npos) return false;
  char long_path[8192];
  const DWORD length = GetLongPathNameA(path.c_str(), long_path, sizeof(long_path));
  if (length == 0 || length >= sizeof(long_path)) return false;
  return std::string(long_path, length).find('?') == std::string::npos;
}

}  // namespace

bool IsWritableDir(const std::string& directory) {
  const std::string probe = directory + "\\vxl_w_testdir";
  RemoveDirectoryA(probe.c_str());  // left over from an earlier run
  if (!CreateDirectoryA(probe.c_str(), nullptr)) return false;
  const bool exists = Exists(probe);
  RemoveDirectoryA(probe.c_str());
  return exists;
}

std::string SystemTempDir() {
  char buffer[8192];
  const DWORD length = GetTempPathA(sizeof(buffer), buffer);
  LogLine("GetTempPath returned %d (last error %d)", static_cast<int>(length),
          static_cast<int>(GetLastError()));
  std::string chosen = length > 0 && length < sizeof(buffer) ? std::string(buffer, length) : std::string();
  if (chosen.empty()) {
    chosen = EnvironmentVariable("HOMEDRIVE") + EnvironmentVariable("HOMEPATH");
    LogLine("No temp dir defined. Using home %s", chosen.c_str());
  } else {
    const int made = CreateDirectoryA(chosen.c_str(), nullptr) ? 0 : -1;
    LogLine("make dir returned %d", made);
  }
  if (UsableTempPath(chosen)) return chosen;

  const std::string windows = WindowsDirectory();
  const std::string candidates[] = {windows + "\\temp", "c:\\temp", "c:\\tmp", windows};
  for (const std::string& candidate : candidates) {
    if (!candidate.empty() && candidate != "\\temp" && IsWritableDir(candidate)) return candidate;
  }
  if (IsWritableDir("c:\\")) {
    CreateDirectoryA("c:\\tmp", nullptr);
    if (IsWritableDir("c:\\tmp")) return "c:\\tmp";
  }
  FatalMessage(1015);
}

std::string NewTempFileName() {
  const std::string directory = SystemTempDir();
  LogLine("tempPath is %s", directory.c_str());
  char name[MAX_PATH];
  std::string file;
  if (GetTempFileNameA(directory.c_str(), "vxl", 0, name) != 0) {
    file = name;
  } else {
    LogLine("GetTempFileName failed (last error %d)", static_cast<int>(GetLastError()));
    srand(static_cast<unsigned>(time(nullptr)));
    file = JoinPath(directory, ("vxl" + std::to_string(rand())).c_str());
  }
  LogLine("tempFile is %s", file.c_str());
  return file;
}

std::string ProcessCommFileName(unsigned process_id) {
  return JoinPath(SystemTempDir(), ("vxl_p" + std::to_string(process_id) + ".tmp").c_str());
}

void CreateLauncherTempDir() {
  for (int attempt = 0; attempt < 10; ++attempt) {
    LauncherTempDir() =
        NewTempFileName() + "_dir" + std::to_string(static_cast<long long>(time(nullptr)));
    LogLine("Temp dir: %s", LauncherTempDir().c_str());
    if (CreateDirectoryA(LauncherTempDir().c_str(), nullptr)) return;
    LogLine("Could not create dir (%d)", static_cast<int>(GetLastError()));
  }
  EmptyDirectory(LauncherTempDir(), true);
  FatalInternalError("7");
}

std::string& LauncherTempDir() {
  static std::string directory;
  return directory;
}

void EmptyDirectory(const std::string& path, bool descend) {
  if (path.empty() || path[0] == '.') return;
  LogLine("emptying %s", path.c_str());
  WIN32_FIND_DATAA entry;
  UniqueFind search(FindFirstFileA(JoinPath(path, "*.*").c_str(), &entry));
  if (!search) return;
  do {
    if (lstrcmpA(entry.cFileName, ".") == 0 || lstrcmpA(entry.cFileName, "..") == 0) continue;
    const std::string child = JoinPath(path, entry.cFileName);
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      // A directory link or junction is removed as the link: emptying it
      // would delete the files it points to, possibly as LocalSystem.
      const bool empty_it = descend && (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
      LogLine("attempting to remove %s (%d)", child.c_str(), empty_it ? 1 : 0);
      if (empty_it) EmptyDirectory(child, false);
      RemoveDirectoryA(child.c_str());
    } else {  // a file link too: deleting it removes the link
      LogLine("attempting to delete %s", child.c_str());
      DeleteFileA(child.c_str());
    }
  } while (FindNextFileA(search.get(), &entry));
}

void RemoveLauncherTempDir() {
  const std::string& directory = LauncherTempDir();
  // Only a directory this run created, and never a relative one: a fatal exit
  // must not empty whatever the current directory happens to be.
  if (directory.empty() || IsRelativePath(directory)) return;
  EmptyDirectory(directory, true);
  RemoveDirectoryA(directory.c_str());
}

}  // namespace vexlo
