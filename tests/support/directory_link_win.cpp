#include "support/directory_link_win.h"

#include "sys/text_win.h"
#include "sys/win.h"

namespace vexlo {
namespace testing_support {
namespace {

bool IsDirectoryLink(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  const DWORD link = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & link) == link;
}

// Wine's own exports: the Unix name of a Windows path (allocated on the
// process heap; the last element need not exist) and running a Unix program.
using UnixFileName = char*(CDECL*)(const wchar_t*);
using UnixSpawn = int(CDECL*)(char* const*, int);

// Runs a Unix program on the Unix names of Windows paths; false outside Wine.
bool RunOnUnixNames(const char* program, const char* option, const std::string& first,
                    const std::string& second) {
  const auto unix_name = reinterpret_cast<UnixFileName>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  const auto spawn = reinterpret_cast<UnixSpawn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "__wine_unix_spawnvp")));
  if (unix_name == nullptr || spawn == nullptr) return false;
  char* names[2] = {unix_name(NarrowToWide(first, CP_ACP).c_str()),
                    second.empty() ? nullptr : unix_name(NarrowToWide(second, CP_ACP).c_str())};
  bool ran = false;
  if (names[0] != nullptr && (second.empty() || names[1] != nullptr)) {
    std::string program_text = program, option_text = option;
    char* const argv[] = {&program_text[0], &option_text[0], names[0], names[1], nullptr};
    ran = spawn(argv, 1) == 0;
  }
  for (char* name : names) {
    if (name != nullptr) HeapFree(GetProcessHeap(), 0, name);
  }
  return ran;
}

}  // namespace

bool CreateDirectoryLink(const std::string& link, const std::string& target) {
  const DWORD kAllowUnprivileged = 0x2;  // SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE
  if (CreateSymbolicLinkA(link.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY | kAllowUnprivileged) ||
      CreateSymbolicLinkA(link.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY)) {
    if (IsDirectoryLink(link)) return true;
  }
  return RunOnUnixNames("ln", "-s", target, link) && IsDirectoryLink(link);
}

void RemoveDirectoryLink(const std::string& link) {
  if (!RunOnUnixNames("rm", "-f", link, "")) RemoveDirectoryA(link.c_str());
}

}  // namespace testing_support
}  // namespace vexlo
