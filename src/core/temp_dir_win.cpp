#include "core/temp_dir_win.h"

#include <string.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "core/errors_win.h"
#include "core/log_win.h"
#include "core/temp_names.h"
#include "sys/file_tests_win.h"
#include "sys/random_win.h"
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

// The folders this run created, each known by its path and by what the file
// system calls it (volume serial and file index, kIdentitySize bytes behind
// the path's terminating zero), so that a link or another folder put in its
// place later is never taken for it. Never destroyed: a fatal exit may come
// at any time.
constexpr size_t kIdentitySize = 3 * sizeof(DWORD);

std::vector<std::string>& CreatedFolders() {
  static std::vector<std::string>* folders;  // zero at start: no guard
  if (folders == nullptr) folders = new std::vector<std::string>();
  return *folders;
}

// False when the handle's file cannot be asked. A link opened as itself
// (Windows) shows the reparse-point attribute: it has no identity here.
bool ReadIdentity(HANDLE file, DWORD identity[3]) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(file, &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    return false;
  }
  identity[0] = info.dwVolumeSerialNumber;
  identity[1] = info.nFileIndexHigh;
  identity[2] = info.nFileIndexLow;
  return true;
}

const std::string* FindCreated(const char* path) {
  for (const std::string& folder : CreatedFolders()) {
    if (lstrcmpiA(folder.c_str(), path) == 0) return &folder;
  }
  return nullptr;
}

// A link is opened as the link, never its target (where the system supports
// it).
UniqueFile OpenNoFollow(const char* path, DWORD access) {
  return UniqueFile(CreateFileA(path, access | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

// The well-known SIDs S-1-5-18 (SYSTEM) and S-1-5-32-544 (Administrators):
// revision, sub-authority count, authority 5 (NT), sub-authorities.
alignas(4) const BYTE kSystemSid[] = {1, 1, 0, 0, 0, 0, 0, 5, 18, 0, 0, 0};
alignas(4) const BYTE kAdministratorsSid[] = {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 0x02, 0, 0};

}  // namespace

bool IsWritableDir(const std::string& directory) {
  const std::string probe = directory + "\\vxl_w_testdir";
  RemoveDirectoryA(probe.c_str());  // left over from an earlier run
  if (!CreateDirectoryA(probe.c_str(), nullptr)) return false;
  const bool exists = Exists(probe);
  RemoveDirectoryA(probe.c_str());
  return exists;
}

std::string UsableSystemTempDir() {
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
  return std::string();
}

std::string SystemTempDir() {
  std::string directory = UsableSystemTempDir();
  if (directory.empty()) FatalMessage(1015);
  return directory;
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
    uint64_t random = 0;
    RandomValue(&random);
    file = JoinPath(directory, ("vxl" + std::to_string(static_cast<int>(random & 0x7FFFFFFF))).c_str());
  }
  LogLine("tempFile is %s", file.c_str());
  return file;
}

std::string ProcessCommFileName(unsigned process_id) {
  return JoinPath(SystemTempDir(), ("vxl_p" + std::to_string(process_id) + ".tmp").c_str());
}

std::string NewLauncherFolderPath(const std::string& directory) {
  uint64_t random = 0;
  if (directory.empty() || !RandomValue(&random)) return std::string();
  return JoinPath(directory, LauncherFolderName(random).c_str());
}

std::string& ChosenLauncherTempDir() {
  static std::string path;
  return path;
}

void TakeChosenLauncherTempDir(bool service_child) {
  std::string path = EnvironmentVariable(kChosenTempDirVariable);
  SetEnvironmentVariableA(kChosenTempDirVariable, nullptr);
  if (service_child) ChosenLauncherTempDir() = std::move(path);
}

namespace {

// The lock of this run's folder: open, sharing nothing, until the process
// ends. Closed only by the removal, which then deletes it with the rest.
HANDLE g_lock_file = INVALID_HANDLE_VALUE;

// The name the service chose is taken when it is a launcher folder name in
// this temporary directory; anything else is ignored.
std::string ChosenName(const std::string& directory) {
  const std::string& chosen = ChosenLauncherTempDir();
  const size_t slash = chosen.rfind('\\');
  if (slash == std::string::npos || !IsLauncherFolderName(chosen.c_str() + slash + 1)) return std::string();
  const std::string path = JoinPath(directory, chosen.c_str() + slash + 1);
  return lstrcmpiA(path.c_str(), chosen.c_str()) == 0 ? path : std::string();
}

void LockCreatedFolder(const std::string& folder) {
  const std::string lock = JoinPath(folder, kLockFileName);
  g_lock_file = CreateFileA(lock.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  // Extraction goes on: the folder is only left to the next start's clean-up.
  if (g_lock_file == INVALID_HANDLE_VALUE) LogErrorLine("could not create %s (%d)", lock.c_str(), static_cast<int>(GetLastError()));
}

}  // namespace

void CreateLauncherTempDir(const std::string& directory) {
  if (directory.empty()) FatalMessage(1015);
  std::string name = ChosenName(directory);
  if (!ChosenLauncherTempDir().empty() && name.empty()) {
    LogLine("ignoring the chosen temp dir %s", ChosenLauncherTempDir().c_str());
  }
  for (int attempt = 0; attempt < 10; ++attempt) {
    if (attempt > 0 || name.empty()) name = NewLauncherFolderPath(directory);
    DWORD error = 0;
    if (name.empty()) {
      error = GetLastError();
    } else {
      LogLine("Temp dir: %s", name.c_str());
      error = CreatePrivateFolder(name);
      if (error == 0) {
        LauncherTempDir() = name;
        LockCreatedFolder(name);
        return;
      }
    }
    LogLine("Could not create dir (%d)", static_cast<int>(error));
  }
  // Every name was taken: whoever holds them, nothing of theirs is touched.
  FatalMessage(1015);
}

std::string& LauncherTempDir() {
  static std::string directory;
  return directory;
}

bool PrivateSecurity::Build() {
  // TOKEN_USER followed by its SID, which is never longer than the maximum.
  DWORD user[(sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE) / sizeof(DWORD) + 1];
  DWORD user_size = 0;
  HANDLE raw_token = nullptr;
  const HANDLE this_process = reinterpret_cast<HANDLE>(-1);  // what GetCurrentProcess() returns
  if (!OpenProcessToken(this_process, TOKEN_QUERY, &raw_token)) return false;
  UniqueHandle token(raw_token);
  ACL* acl = reinterpret_cast<ACL*>(acl_);
  if (!GetTokenInformation(token.get(), TokenUser, user, sizeof(user), &user_size) ||
      !InitializeAcl(acl, sizeof(acl_), ACL_REVISION)) {
    return false;
  }
  for (PSID sid : {const_cast<BYTE*>(kSystemSid), const_cast<BYTE*>(kAdministratorsSid),
                   static_cast<BYTE*>(reinterpret_cast<TOKEN_USER*>(user)->User.Sid)}) {
    if (!AddAccessAllowedAceEx(acl, ACL_REVISION, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE, FILE_ALL_ACCESS, sid)) {
      return false;
    }
  }
  return InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) &&
         SetSecurityDescriptorDacl(&descriptor_, TRUE, acl, FALSE) &&
         SetSecurityDescriptorControl(&descriptor_, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
}

unsigned long CreatePrivateFolder(const std::string& path) {
  PrivateSecurity security;
  if (!security.Build()) return GetLastError();
  SECURITY_ATTRIBUTES attributes = {sizeof(attributes), security.Descriptor(), FALSE};
  if (!CreateDirectoryA(path.c_str(), &attributes)) {
    // Wine reports a link at the name without an error code.
    const DWORD error = GetLastError();
    return error != 0 ? error : ERROR_ALREADY_EXISTS;
  }
  DWORD identity[3];
  UniqueFile folder = OpenNoFollow(path.c_str(), 0);
  if (!folder || !ReadIdentity(folder.get(), identity)) return GetLastError();
  std::string record = path;
  record += '\0';
  record.append(reinterpret_cast<const char*>(identity), kIdentitySize);
  CreatedFolders().push_back(std::move(record));
  return 0;
}

bool CreatedByThisRun(const char* path) { return FindCreated(path) != nullptr; }

UniqueFile OpenCreatedFolder(const char* path, unsigned long access) {
  const std::string* created = FindCreated(path);
  if (created == nullptr) return UniqueFile();
  UniqueFile folder = OpenNoFollow(path, access);
  DWORD identity[3];
  // Windows opens a link itself (with the reparse-point attribute); Wine
  // opens what a Unix link points to: either way it is not the recorded
  // folder.
  if (!folder || !ReadIdentity(folder.get(), identity) || memcmp(created->data() + created->size() - kIdentitySize, identity, kIdentitySize) != 0) {
    LogLine("%s is not the folder this run created", path);
    return UniqueFile();
  }
  return folder;
}

namespace {

// How a folder is opened before it is entered or removed: a folder this run
// created (OpenCreatedFolder), or any plain folder of a stale launcher folder.
using FolderOpener = UniqueFile (*)(const char* path, unsigned long access);

// A folder that is neither a link nor a junction (as far as the handle
// shows; the listing's attributes show Wine's Unix links). The handle
// shares no right to delete or rename it.
UniqueFile OpenPlainFolder(const char* path, unsigned long access) {
  UniqueFile folder = OpenNoFollow(path, access);
  BY_HANDLE_FILE_INFORMATION info;
  if (folder && (!GetFileInformationByHandle(folder.get(), &info) ||
                 (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) !=
                     FILE_ATTRIBUTE_DIRECTORY)) {
    folder.reset();
  }
  return folder;
}

bool DeleteThrough(HANDLE file) {
  FILE_DISPOSITION_INFO disposition = {TRUE};
  return SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof(disposition)) != 0;
}

// Removed through a handle checked to be the folder, never by name alone.
// The caller holds no handle of its own to it.
bool RemoveFolder(FolderOpener open, const char* path) {
  UniqueFile folder = open(path, DELETE);
  return folder && DeleteThrough(folder.get());
}

// Paths are built in place in one buffer of the system's longest path, so
// that removal allocates nothing: it also runs when memory is gone.
constexpr size_t kPathCapacity = 32768;

// Empties the folder whose path fills path[0, length), held by the caller,
// leaving the file named `keep` (if any). False when anything else is left,
// with the system's first complaint in *error (not when it is something this
// will not touch: a link or a folder the opener refuses).
bool EmptyDirectoryAt(char* path, size_t length, bool descend, FolderOpener open, const char* keep, DWORD* error) {
  LogLine("emptying %s", path);
  bool emptied = true;
  const auto failed = [error]() {
    if (*error == 0) *error = GetLastError();
    return false;
  };
  size_t base = length;
  if (path[base - 1] != '\\') path[base++] = '\\';
  WIN32_FIND_DATAA entry;
  UniqueFind search;
  if (base + sizeof("*.*") <= kPathCapacity) {
    memcpy(path + base, "*.*", sizeof("*.*"));
    search.reset(FindFirstFileA(path, &entry));
  }
  if (search) {
    do {
      if (lstrcmpA(entry.cFileName, ".") == 0 || lstrcmpA(entry.cFileName, "..") == 0) continue;
      if (keep != nullptr && lstrcmpiA(entry.cFileName, keep) == 0) continue;
      const size_t name_length = strlen(entry.cFileName);
      if (base + name_length + 1 > kPathCapacity) {
        emptied = false;
        continue;
      }
      memcpy(path + base, entry.cFileName, name_length + 1);
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        // The listing's attributes are the only place where Wine shows a Unix
        // link as one; the opener's check of the handle catches the rest.
        UniqueFile folder;
        if (descend && (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
          folder = open(path, FILE_LIST_DIRECTORY);
        }
        if (!folder) {
          LogLine("leaving %s", path);
          emptied = false;
          continue;
        }
        LogLine("attempting to remove %s (1)", path);
        emptied = EmptyDirectoryAt(path, base + name_length, false, open, nullptr, error) && emptied;
        folder.reset();
        if (!RemoveFolder(open, path)) emptied = failed();
      } else {  // a file link too: deleting it removes the link
        LogLine("attempting to delete %s", path);
        if (!DeleteFileA(path)) emptied = failed();
      }
    } while (FindNextFileA(search.get(), &entry));
  }
  path[length] = '\0';
  return emptied;
}

bool EmptyPath(const std::string& path, bool descend, FolderOpener open, const char* keep, DWORD* error) {
  if (path.empty() || path.size() >= kPathCapacity) return false;
  char buffer[kPathCapacity];
  memcpy(buffer, path.c_str(), path.size() + 1);
  return EmptyDirectoryAt(buffer, path.size(), descend, open, keep, error);
}

}  // namespace

void EmptyDirectory(const std::string& path, bool descend) {
  DWORD error = 0;
  EmptyPath(path, descend, OpenCreatedFolder, nullptr, &error);
}

void RemoveLauncherTempDir() {
  const char* directory = LauncherTempDir().c_str();
  UniqueFile folder = OpenCreatedFolder(directory);
  if (!folder) return;
  // Our own lock goes with the rest.
  if (g_lock_file != INVALID_HANDLE_VALUE) CloseHandle(g_lock_file);
  g_lock_file = INVALID_HANDLE_VALUE;
  EmptyDirectory(LauncherTempDir(), true);
  folder.reset();
  RemoveFolder(OpenCreatedFolder, directory);
}

FolderRemoval RemoveStaleLauncherFolder(const std::string& path, unsigned long* error) {
  *error = 0;
  // By the listing first: there, Wine shows a Unix link as one.
  WIN32_FIND_DATAA entry;
  const size_t slash = path.rfind('\\');
  UniqueFind search(FindFirstFileA(path.c_str(), &entry));
  if (!search) return FolderRemoval::kAbsent;
  if (slash == std::string::npos || lstrcmpiA(entry.cFileName, path.c_str() + slash + 1) != 0 ||
      !IsLauncherFolderName(entry.cFileName) ||
      (entry.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != FILE_ATTRIBUTE_DIRECTORY) {
    return FolderRemoval::kNotLaunchers;
  }
  // Held without sharing the right to delete: while it is emptied, the name
  // keeps leading to this folder. (A handle with that right would keep the
  // system's own listing of the folder out.)
  UniqueFile folder = OpenPlainFolder(path.c_str(), FILE_LIST_DIRECTORY);
  if (!folder) return FolderRemoval::kNotLaunchers;
  const std::string lock_path = JoinPath(path, kLockFileName);
  search.reset(FindFirstFileA(lock_path.c_str(), &entry));
  if (!search || (entry.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
    return FolderRemoval::kNotLaunchers;
  }
  // Its owner holds the lock sharing nothing: opening it for deletion fails
  // while the owner runs. From here on this handle is the lock, and another
  // clean-up finds the folder in use.
  UniqueFile lock(CreateFileA(lock_path.c_str(), DELETE | FILE_READ_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!lock) {
    *error = GetLastError();
    return *error == ERROR_SHARING_VIOLATION ? FolderRemoval::kInUse : FolderRemoval::kFailed;
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(lock.get(), &info) ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
    return FolderRemoval::kNotLaunchers;
  }
  // The lock goes last: a folder that could not be emptied stays one the
  // next clean-up knows.
  if (!EmptyPath(path, true, OpenPlainFolder, kLockFileName, error)) return FolderRemoval::kFailed;
  if (!DeleteThrough(lock.get())) {
    *error = GetLastError();
    return FolderRemoval::kFailed;
  }
  lock.reset();
  folder.reset();
  if (!RemoveFolder(OpenPlainFolder, path.c_str())) {
    *error = GetLastError();
    return FolderRemoval::kFailed;
  }
  return FolderRemoval::kRemoved;
}

void RemoveStaleLauncherFolders(const std::string& directory) {
  if (directory.empty()) return;
  WIN32_FIND_DATAA entry;
  UniqueFind search(FindFirstFileA(JoinPath(directory, "vxl*.tmp_dir").c_str(), &entry));
  for (bool more = static_cast<bool>(search); more; more = FindNextFileA(search.get(), &entry)) {
    if (!IsLauncherFolderName(entry.cFileName)) continue;
    const std::string path = JoinPath(directory, entry.cFileName);
    DWORD error = 0;
    const FolderRemoval removal = RemoveStaleLauncherFolder(path, &error);
    if (removal == FolderRemoval::kRemoved) {
      LogLine("removed the stale temp dir %s", path.c_str());
    } else if (removal == FolderRemoval::kFailed) {
      LogLine("could not remove the stale temp dir %s (%d)", path.c_str(), static_cast<int>(error));
    }
  }
}

}  // namespace vexlo
