// The names of the launcher's temporary folders, free of Win32 so that the
// clean-up's first test (is this one of ours by name at all?) is checked
// everywhere.
#pragma once
#include <cstdint>
#include <string>

namespace vexlo {

// The lock file in every launcher temporary folder: its owner holds it open
// without sharing for as long as it runs, so a folder whose lock file can be
// opened for deletion is stale. No included file can take the name: a ";"
// separates included-file names.
constexpr char kLockFileName[] = "vxl;lock";

// "vxl", the 16 hexadecimal digits (0-9, A-F) of `random`, ".tmp_dir".
std::string LauncherFolderName(uint64_t random);

// True for exactly the names LauncherFolderName makes.
bool IsLauncherFolderName(const char* name);

}  // namespace vexlo
