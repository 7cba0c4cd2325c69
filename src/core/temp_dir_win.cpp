#include "core/temp_dir_win.h"

#include <string.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "core/errors_win.h"
#include "core/log_win.h"
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

void CreateLauncherTempDir() {
  const std::string directory = SystemTempDir();
  for (int attempt = 0; attempt < 10; ++attempt) {
    uint64_t random = 0;
    DWORD error = 0;
    if (!RandomValue(&random)) {
      error = GetLastError();
    } else {
      std::string name = JoinPath(directory, "vxl");
      for (int shift = 60; shift >= 0; shift -= 4) name += "0123456789ABCDEF"[(random >> shift) & 0xF];
      name += ".tmp_dir";
      LogLine("Temp dir: %s", name.c_str());
      error = CreatePrivateFolder(name);
      if (error == 0) {
        LauncherTempDir() = name;
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

// Removed through a handle checked to be the folder, never by name alone.
// The caller holds no handle of its own to it.
void RemoveCreatedFolder(const char* path) {
  UniqueFile folder = OpenCreatedFolder(path, DELETE);
  FILE_DISPOSITION_INFO disposition = {TRUE};
  if (folder) SetFileInformationByHandle(folder.get(), FileDispositionInfo, &disposition, sizeof(disposition));
}

// Paths are built in place in one buffer of the system's longest path, so
// that removal allocates nothing: it also runs when memory is gone.
constexpr size_t kPathCapacity = 32768;

// Empties the folder whose path fills path[0, length), held by the caller.
void EmptyDirectoryAt(char* path, size_t length, bool descend) {
  LogLine("emptying %s", path);
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
      const size_t name_length = strlen(entry.cFileName);
      if (base + name_length + 1 > kPathCapacity) continue;
      memcpy(path + base, entry.cFileName, name_length + 1);
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        // The listing's attributes are the only place where Wine shows a Unix
        // link as one; the identity check in OpenCreatedFolder catches the rest.
        UniqueFile folder;
        if (descend && (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
          folder = OpenCreatedFolder(path);
        }
        if (!folder) {
          LogLine("leaving %s", path);
          continue;
        }
        LogLine("attempting to remove %s (1)", path);
        EmptyDirectoryAt(path, base + name_length, false);
        folder.reset();
        RemoveCreatedFolder(path);
      } else {  // a file link too: deleting it removes the link
        LogLine("attempting to delete %s", path);
        DeleteFileA(path);
      }
    } while (FindNextFileA(search.get(), &entry));
  }
  path[length] = '\0';
}

}  // namespace

void EmptyDirectory(const std::string& path, bool descend) {
  if (path.empty() || path.size() >= kPathCapacity) return;
  char buffer[kPathCapacity];
  memcpy(buffer, path.c_str(), path.size() + 1);
  EmptyDirectoryAt(buffer, path.size(), descend);
}

void RemoveLauncherTempDir() {
  const char* directory = LauncherTempDir().c_str();
  UniqueFile folder = OpenCreatedFolder(directory);
  if (!folder) return;
  EmptyDirectory(LauncherTempDir(), true);
  folder.reset();
  RemoveCreatedFolder(directory);
}

}  // namespace vexlo
