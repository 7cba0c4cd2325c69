#include "core/temp_dir_win.h"

#include <stdlib.h>
#include <string.h>
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

namespace {

// Paths are built in place in one buffer of the system's longest path, so
// that removal allocates nothing: it also runs when memory is gone.
constexpr size_t kPathCapacity = 32768;

// Empties the directory whose path fills path[0, length).
void EmptyDirectoryAt(char* path, size_t length, bool descend) {
  LogLine("emptying %s", path);
  size_t base = length;
  if (path[base - 1] != '\\') path[base++] = '\\';
  if (base + sizeof("*.*") > kPathCapacity) return;
  memcpy(path + base, "*.*", sizeof("*.*"));
  WIN32_FIND_DATAA entry;
  UniqueFind search(FindFirstFileA(path, &entry));
  if (!search) {
    path[length] = '\0';
    return;
  }
  do {
    if (lstrcmpA(entry.cFileName, ".") == 0 || lstrcmpA(entry.cFileName, "..") == 0) continue;
    const size_t name_length = strlen(entry.cFileName);
    if (base + name_length + 1 > kPathCapacity) continue;
    memcpy(path + base, entry.cFileName, name_length + 1);
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      // A directory link or junction is removed as the link: emptying it
      // would delete the files it points to, possibly as LocalSystem.
      const bool empty_it = descend && (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
      LogLine("attempting to remove %s (%d)", path, empty_it ? 1 : 0);
      if (empty_it) EmptyDirectoryAt(path, base + name_length, false);
      RemoveDirectoryA(path);
    } else {  // a file link too: deleting it removes the link
      LogLine("attempting to delete %s", path);
      DeleteFileA(path);
    }
  } while (FindNextFileA(search.get(), &entry));
  path[length] = '\0';
}

}  // namespace

void EmptyDirectory(const std::string& path, bool descend) {
  if (path.empty() || path[0] == '.' || path.size() >= kPathCapacity) return;
  char buffer[kPathCapacity];
  memcpy(buffer, path.c_str(), path.size() + 1);
  EmptyDirectoryAt(buffer, path.size(), descend);
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
